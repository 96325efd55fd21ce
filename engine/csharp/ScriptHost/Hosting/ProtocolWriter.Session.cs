using System.Text;

namespace Orvane.Hosting;

// The version-2 lines about the session rather than the drawing: the game asking to
// end the run, and the state it hands to its next instance on a reload.
internal sealed partial class ProtocolWriter
{
    // The runtime drops a host line longer than 1 MiB; a state that would not fit is
    // not sent at all, so the new instance starts afresh instead of from half a state.
    internal const int MaxStateBytes = 1024 * 1024 - 16;

    private bool quitSent;
    private bool reportedQuitUnsupported;

    // One QUIT is enough: the runtime ends the run after the frame.
    internal void Quit()
    {
        if (Version < 2)
        {
            if (!reportedQuitUnsupported)
            {
                reportedQuitUnsupported = true;
                Log(LogLevel.Warn, "The runtime speaks protocol version 1, which cannot be asked to quit; Game.Quit is ignored.");
            }
            return;
        }
        if (!quitSent)
        {
            quitSent = true;
            Line("QUIT");
        }
    }

    // STATE|text with "\" as "\\", line feeds as "\n" and carriage returns as "\r", so
    // the text comes back exactly; null or too long goes out empty.
    internal void State(string? state)
    {
        if (state != null && EscapedStateBytes(state) > MaxStateBytes)
        {
            Log(LogLevel.Warn, $"The game's saved state is larger than {MaxStateBytes} bytes and is not carried over; the game starts afresh.");
            state = null;
        }
        buffer.Append("STATE|"u8);
        if (!string.IsNullOrEmpty(state))
        {
            var runes = state.AsSpan().EnumerateRunes();
            foreach (Rune rune in runes)
            {
                switch (rune.Value)
                {
                    case '\\':
                        buffer.Append("\\\\"u8);
                        break;
                    case '\n':
                        buffer.Append("\\n"u8);
                        break;
                    case '\r':
                        buffer.Append("\\r"u8);
                        break;
                    default:
                        buffer.Append(rune);
                        break;
                }
            }
        }
        buffer.EndLine();
    }

    // The inverse of State's escapes; a backslash before anything else stands for itself.
    internal static string UnescapeState(ReadOnlySpan<char> text)
    {
        if (text.IndexOf('\\') < 0)
        {
            return text.ToString();
        }
        var state = new StringBuilder(text.Length);
        for (int i = 0; i < text.Length; i++)
        {
            char c = text[i];
            if (c == '\\' && i + 1 < text.Length && text[i + 1] is 'n' or 'r' or '\\')
            {
                i++;
                c = text[i] switch { 'n' => '\n', 'r' => '\r', _ => '\\' };
            }
            state.Append(c);
        }
        return state.ToString();
    }

    private static int EscapedStateBytes(string state)
    {
        long bytes = 0;
        foreach (Rune rune in state.AsSpan().EnumerateRunes())
        {
            bytes += rune.Value is '\\' or '\n' or '\r' ? 2 : rune.Utf8SequenceLength;
            if (bytes > MaxStateBytes)
            {
                break;
            }
        }
        return (int)bytes;
    }
}
