namespace Orvane.Hosting;

// Writes protocol lines to the runtime. Numbers use the invariant culture; floats are
// written in their shortest round-trip form, which the runtime's strtof reads back
// exactly. Lines collect in one UTF-8 buffer that goes out on Flush: the host flushes
// once per reply. This file holds the version-1 commands and what both versions
// share; ProtocolWriter.Version2.cs holds the rest.
internal sealed partial class ProtocolWriter
{
    private readonly Utf8LineBuffer buffer;
    private readonly HashSet<string> reportedSpritePaths = new(StringComparer.Ordinal);
    private bool reportedNonFinite;
    private AudioWriter? audio;

    internal ProtocolWriter(Stream stream)
    {
        buffer = new Utf8LineBuffer(stream);
    }

    // The protocol version agreed with the runtime: 1 until the runtime answers the
    // host's offer with PROTOCOL|2.
    internal int Version { get; set; } = 1;

    internal AudioWriter Audio => audio ??= new AudioWriter(this);

    internal void Line(string keyword)
    {
        buffer.Append(keyword);
        buffer.EndLine();
    }

    internal void Flush() => buffer.Flush();

    // A colour with opacity is a version-2 FILL.
    internal void Rect(float x, float y, float width, float height, Color color)
    {
        if (!color.IsOpaque)
        {
            Fill(x, y, width, height, color);
            return;
        }
        if (LeftOutOfScreenSpace())
        {
            return;
        }
        Box("RECT|"u8, "RECT", x, y, width, height, color);
    }

    // Debug outlines are always drawn in world space, over everything.
    internal void DebugRect(float x, float y, float width, float height, Color color) =>
        Box("DEBUG_RECT|"u8, "DEBUG_RECT", x, y, width, height, color);

    // A path the protocol cannot carry (empty, or holding "|" or a line break) would
    // make the runtime drop the line, or misread it; draw the fallback rectangle instead.
    // SPRITE| has no opacity: the fallback is opaque.
    internal void Sprite(string path, float x, float y, float width, float height, Color fallback)
    {
        if (!IsSendablePath(path))
        {
            ReportUnsendablePath(path);
            Rect(x, y, width, height, fallback.WithAlpha(255));
            return;
        }
        if (LeftOutOfScreenSpace())
        {
            return;
        }
        if (!AllFinite(x, y, width, height))
        {
            ReportNonFinite("SPRITE");
            return;
        }
        buffer.Append("SPRITE|"u8);
        WriteBox(x, y, width, height);
        WriteColor(fallback);
        buffer.Append((byte)'|');
        buffer.Append(path);
        buffer.EndLine();
    }

    internal void Camera(float x, float y)
    {
        if (!AllFinite(x, y, 0, 0))
        {
            ReportNonFinite("CAMERA");
            return;
        }
        buffer.Append("CAMERA|"u8);
        buffer.AppendFloat(x);
        buffer.Append((byte)'|');
        buffer.AppendFloat(y);
        buffer.EndLine();
    }

    internal void Collider(int id, float x, float y, float width, float height)
    {
        if (!AllFinite(x, y, width, height))
        {
            ReportNonFinite("COLLIDER");
            return;
        }
        buffer.Append("COLLIDER|"u8);
        buffer.AppendInt(id);
        buffer.Append((byte)'|');
        WriteBox(x, y, width, height);
        buffer.EndLine();
    }

    // The message may hold "|" (the runtime takes the rest of the line), never a line break.
    internal void Log(LogLevel level, string? message)
    {
        buffer.Append(level switch
        {
            LogLevel.Warn => "LOG|Warn|"u8,
            LogLevel.Error => "LOG|Error|"u8,
            _ => "LOG|Info|"u8,
        });
        WriteSingleLine(message);
        buffer.EndLine();
    }

    internal void Error(string? message)
    {
        buffer.Append("ERROR|"u8);
        WriteSingleLine(message);
        buffer.EndLine();
    }

    private void Box(ReadOnlySpan<byte> keyword, string name, float x, float y, float width, float height, Color color)
    {
        if (!AllFinite(x, y, width, height))
        {
            ReportNonFinite(name);
            return;
        }
        buffer.Append(keyword);
        WriteBox(x, y, width, height);
        WriteColor(color);
        buffer.EndLine();
    }

    // Writes "x|y|w|h" without a trailing separator.
    private void WriteBox(float x, float y, float width, float height)
    {
        WriteFloat(x);
        buffer.Append((byte)'|');
        WriteFloat(y);
        buffer.Append((byte)'|');
        WriteFloat(width);
        buffer.Append((byte)'|');
        WriteFloat(height);
    }

    // Writes "|r|g|b".
    private void WriteColor(Color color)
    {
        buffer.Append((byte)'|');
        buffer.AppendInt(color.R);
        buffer.Append((byte)'|');
        buffer.AppendInt(color.G);
        buffer.Append((byte)'|');
        buffer.AppendInt(color.B);
    }

    private void WriteFloat(float value)
    {
        // strtof reports a subnormal result as a range error and the runtime then drops
        // the whole command; at pixel scale such a value is 0 anyway.
        buffer.AppendFloat(float.IsSubnormal(value) ? 0 : value);
    }

    private void WriteSingleLine(string? text)
    {
        if (string.IsNullOrEmpty(text))
        {
            return;
        }
        ReadOnlySpan<char> rest = text;
        int lineBreak;
        while ((lineBreak = rest.IndexOfAny('\r', '\n')) >= 0)
        {
            buffer.Append(rest[..lineBreak]);
            buffer.Append((byte)' ');
            rest = rest[(lineBreak + 1)..];
        }
        buffer.Append(rest);
    }

    private static bool IsSendablePath(string? path) =>
        !string.IsNullOrEmpty(path) && path.AsSpan().IndexOfAny('|', '\r', '\n') < 0;

    private void ReportUnsendablePath(string? path)
    {
        if (reportedSpritePaths.Add(path ?? ""))
        {
            Log(LogLevel.Warn, $"Sprite path cannot be sent, drawing its fallback colour instead: \"{path}\"");
        }
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
        Log(LogLevel.Warn, $"Left out a {keyword} command with a NaN or infinite number (further ones are left out silently).");
    }
}
