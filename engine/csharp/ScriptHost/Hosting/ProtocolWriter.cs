using System.Globalization;

namespace Orvane.Hosting;

// Writes protocol lines to the runtime. Numbers use the invariant culture; floats are
// written in their shortest round-trip form, which the runtime's strtof reads back
// exactly. Nothing is flushed here except by Flush: the host flushes once per reply.
internal sealed class ProtocolWriter
{
    private readonly TextWriter writer;
    private readonly HashSet<string> reportedSpritePaths = new(StringComparer.Ordinal);
    private bool reportedNonFinite;
    private AudioWriter? audio;

    internal ProtocolWriter(TextWriter writer)
    {
        this.writer = writer;
    }

    // 2 once the runtime has answered the host's offer with PROTOCOL|2.
    internal int ProtocolVersion { get; set; } = 1;

    internal AudioWriter Audio => audio ??= new AudioWriter(this);

    internal void Line(string keyword)
    {
        writer.Write(keyword);
        writer.Write('\n');
    }

    internal void Flush() => writer.Flush();

    internal void Rect(float x, float y, float width, float height, Color color) =>
        Box("RECT|", x, y, width, height, color);

    internal void DebugRect(float x, float y, float width, float height, Color color) =>
        Box("DEBUG_RECT|", x, y, width, height, color);

    // A path the protocol cannot carry (empty, or holding "|" or a line break) would
    // make the runtime drop the line, or misread it; draw the fallback rectangle instead.
    internal void Sprite(string path, float x, float y, float width, float height, Color fallback)
    {
        if (string.IsNullOrEmpty(path) || path.AsSpan().IndexOfAny('|', '\r', '\n') >= 0)
        {
            if (reportedSpritePaths.Add(path ?? ""))
            {
                Log("Warn", $"Sprite path cannot be sent, drawing its fallback colour instead: \"{path}\"");
            }
            Rect(x, y, width, height, fallback);
            return;
        }
        if (!AllFinite(x, y, width, height))
        {
            ReportNonFinite("SPRITE");
            return;
        }
        writer.Write("SPRITE|");
        WriteBox(x, y, width, height);
        WriteColor(fallback);
        writer.Write('|');
        writer.Write(path);
        writer.Write('\n');
    }

    internal void Camera(float x, float y)
    {
        if (!AllFinite(x, y, 0, 0))
        {
            ReportNonFinite("CAMERA");
            return;
        }
        writer.Write("CAMERA|");
        WriteFloat(x);
        writer.Write('|');
        WriteFloat(y);
        writer.Write('\n');
    }

    internal void Collider(int id, float x, float y, float width, float height)
    {
        if (!AllFinite(x, y, width, height))
        {
            ReportNonFinite("COLLIDER");
            return;
        }
        writer.Write("COLLIDER|");
        WriteInt(id);
        writer.Write('|');
        WriteBox(x, y, width, height);
        writer.Write('\n');
    }

    // level is one of Info, Warn, Error. The message may hold "|" (the runtime takes
    // the rest of the line), never a line break.
    internal void Log(string level, string? message)
    {
        writer.Write("LOG|");
        writer.Write(level);
        writer.Write('|');
        WriteSingleLine(message);
        writer.Write('\n');
    }

    internal void Error(string? message)
    {
        writer.Write("ERROR|");
        WriteSingleLine(message);
        writer.Write('\n');
    }

    private void Box(string keyword, float x, float y, float width, float height, Color color)
    {
        if (!AllFinite(x, y, width, height))
        {
            ReportNonFinite(keyword.TrimEnd('|'));
            return;
        }
        writer.Write(keyword);
        WriteBox(x, y, width, height);
        WriteColor(color);
        writer.Write('\n');
    }

    // Writes "x|y|w|h" without a trailing separator.
    private void WriteBox(float x, float y, float width, float height)
    {
        WriteFloat(x);
        writer.Write('|');
        WriteFloat(y);
        writer.Write('|');
        WriteFloat(width);
        writer.Write('|');
        WriteFloat(height);
    }

    // Writes "|r|g|b".
    private void WriteColor(Color color)
    {
        writer.Write('|');
        WriteInt(color.R);
        writer.Write('|');
        WriteInt(color.G);
        writer.Write('|');
        WriteInt(color.B);
    }

    private void WriteFloat(float value)
    {
        // strtof reports a subnormal result as a range error and the runtime then drops
        // the whole command; at pixel scale such a value is 0 anyway.
        if (float.IsSubnormal(value))
        {
            value = 0;
        }
        Span<char> text = stackalloc char[32];
        // The default format is the shortest text that parses back to the same float.
        value.TryFormat(text, out int length, default, CultureInfo.InvariantCulture);
        writer.Write(text[..length]);
    }

    private void WriteInt(int value)
    {
        Span<char> text = stackalloc char[12];
        value.TryFormat(text, out int length, default, CultureInfo.InvariantCulture);
        writer.Write(text[..length]);
    }

    private void WriteSingleLine(string? text)
    {
        if (string.IsNullOrEmpty(text))
        {
            return;
        }
        if (text.AsSpan().IndexOfAny('\r', '\n') < 0)
        {
            writer.Write(text);
            return;
        }
        writer.Write(text.Replace('\r', ' ').Replace('\n', ' '));
    }

    private static bool AllFinite(float x, float y, float width, float height) =>
        float.IsFinite(x) && float.IsFinite(y) && float.IsFinite(width) && float.IsFinite(height);

    // NaN or infinity has no text the runtime reads safely, so such a command is left
    // out; the first one is reported so the fault does not go unnoticed.
    private void ReportNonFinite(string keyword)
    {
        if (reportedNonFinite)
        {
            return;
        }
        reportedNonFinite = true;
        Log("Warn", $"Left out a {keyword} command with a NaN or infinite number (further ones are left out silently).");
    }
}
