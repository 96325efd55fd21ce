using System.Text;

namespace Orvane.Hosting;

// Text as the runtime receives and lays it out. Both sides follow the same rules so a
// game can measure what is drawn: scale = size / unitsPerEm; a line is
// round((ascent - descent + lineGap) * scale) high; the pen moves by each glyph's
// advance * scale, without kerning; a missing character takes glyph 0's advance;
// characters below U+0020 other than the line break take no room; a line is as wide
// as the ceiling of its summed advances; a text is its widest line by its line count
// times the line height.
internal static class TextLayout
{
    // The most UTF-8 bytes of text one TEXT command carries.
    internal const int MaxBytes = 4096;
    internal const float MinSize = 1;
    internal const float MaxSize = 512;

    // Clamped to what the runtime draws; NaN stays NaN (the command is left out).
    internal static float ClampSize(float size) => float.IsNaN(size) ? size : Math.Clamp(size, MinSize, MaxSize);

    internal static TextSize Measure(TrueTypeFont font, ReadOnlySpan<char> text, float size)
    {
        size = ClampSize(size);
        if (!float.IsFinite(size))
        {
            return default;
        }
        double scale = (double)size / font.UnitsPerEm;
        double lineHeight = RoundHalfAway((font.Ascent - font.Descent + font.LineGap) * scale);
        long lineUnits = 0;
        double widest = 0;
        int lines = 1;
        var runes = new WireRunes(text);
        while (runes.MoveNext(out Rune rune))
        {
            if (rune.Value == '\n')
            {
                widest = Math.Max(widest, Math.Ceiling(lineUnits * scale));
                lineUnits = 0;
                lines++;
            }
            else if (rune.Value >= 0x20)
            {
                lineUnits += font.Advance(rune.Value);
            }
        }
        widest = Math.Max(widest, Math.Ceiling(lineUnits * scale));
        return new TextSize((float)widest, (float)(lines * lineHeight));
    }

    // As C's round(): halves go away from zero.
    private static double RoundHalfAway(double value) => Math.Round(value, MidpointRounding.AwayFromZero);
}

// Walks a text as it goes on the wire: '\r' dropped, a lone surrogate read as U+FFFD
// (what the UTF-8 encoder sends for it), and cut before the character that would take
// it past TextLayout.MaxBytes bytes of UTF-8.
internal ref struct WireRunes
{
    private ReadOnlySpan<char> rest;
    private int bytes;

    internal WireRunes(ReadOnlySpan<char> text)
    {
        rest = text;
        bytes = 0;
        WasCut = false;
    }

    // True once the walk stopped at the byte limit with text left over.
    internal bool WasCut { get; private set; }

    internal bool MoveNext(out Rune rune)
    {
        while (!rest.IsEmpty)
        {
            Rune.DecodeFromUtf16(rest, out rune, out int consumed);
            if (rune.Value == '\r')
            {
                rest = rest[consumed..];
                continue;
            }
            if (bytes + rune.Utf8SequenceLength > TextLayout.MaxBytes)
            {
                WasCut = true;
                rest = default;
                return false;
            }
            bytes += rune.Utf8SequenceLength;
            rest = rest[consumed..];
            return true;
        }
        rune = default;
        return false;
    }
}
