using System.Buffers.Binary;
using System.Diagnostics.CodeAnalysis;

namespace Orvane.Hosting;

// The metrics of a TrueType (or OpenType) font that text layout needs: the em size
// (head), the vertical metrics (hhea), every glyph's advance (hmtx, maxp) and the
// character to glyph map (cmap formats 4 and 12). Outlines are the runtime's business.
// Every offset is checked against the data, so a broken file is refused, never a crash.
internal sealed class TrueTypeFont
{
    private const int AsciiCount = 128;

    private readonly ushort[] advances;
    private readonly byte[] characterMap;   // the chosen cmap subtable
    private readonly bool segmentedCoverage; // format 12, else format 4
    private readonly int[] asciiAdvances = new int[AsciiCount];

    private TrueTypeFont(int unitsPerEm, int ascent, int descent, int lineGap, ushort[] advances, byte[] characterMap, bool segmentedCoverage)
    {
        UnitsPerEm = unitsPerEm;
        Ascent = ascent;
        Descent = descent;
        LineGap = lineGap;
        this.advances = advances;
        this.characterMap = characterMap;
        this.segmentedCoverage = segmentedCoverage;
        for (int c = 0; c < AsciiCount; c++)
        {
            asciiAdvances[c] = advances[LookUpGlyph(c)];
        }
    }

    internal int UnitsPerEm { get; }

    // hhea values in font units; Descent is negative below the baseline.
    internal int Ascent { get; }
    internal int Descent { get; }
    internal int LineGap { get; }

    internal int GlyphCount => advances.Length;

    // 0, the missing glyph, for a character the font lacks.
    internal int GlyphIndex(int codePoint) => LookUpGlyph(codePoint);

    // The advance in font units of the glyph for the character; a missing character
    // takes glyph 0's advance.
    internal int Advance(int codePoint) =>
        (uint)codePoint < AsciiCount ? asciiAdvances[codePoint] : advances[LookUpGlyph(codePoint)];

    internal static bool TryLoad(byte[] data, [NotNullWhen(true)] out TrueTypeFont? font, out string problem)
    {
        font = null;
        var file = new ReadOnlySpan<byte>(data);
        if (file.Length < 12)
        {
            problem = "too short for a font";
            return false;
        }
        uint version = BinaryPrimitives.ReadUInt32BigEndian(file);
        // 1.0 (TrueType outlines), 'true' (old Apple) and 'OTTO' (CFF outlines) share these tables.
        if (version != 0x00010000 && version != 0x74727565 && version != 0x4F54544F)
        {
            problem = "not a TrueType or OpenType font";
            return false;
        }
        if (!TryFindTable(file, "head", out ReadOnlySpan<byte> head, out problem)
            || !TryFindTable(file, "hhea", out ReadOnlySpan<byte> hhea, out problem)
            || !TryFindTable(file, "maxp", out ReadOnlySpan<byte> maxp, out problem)
            || !TryFindTable(file, "hmtx", out ReadOnlySpan<byte> hmtx, out problem)
            || !TryFindTable(file, "cmap", out ReadOnlySpan<byte> cmap, out problem))
        {
            return false;
        }
        if (head.Length < 54 || hhea.Length < 36 || maxp.Length < 6)
        {
            problem = "a head, hhea or maxp table is too short";
            return false;
        }
        int unitsPerEm = BinaryPrimitives.ReadUInt16BigEndian(head[18..]);
        if (unitsPerEm < 16 || unitsPerEm > 16384)
        {
            problem = $"unitsPerEm {unitsPerEm} is outside 16..16384";
            return false;
        }
        int ascent = BinaryPrimitives.ReadInt16BigEndian(hhea[4..]);
        int descent = BinaryPrimitives.ReadInt16BigEndian(hhea[6..]);
        int lineGap = BinaryPrimitives.ReadInt16BigEndian(hhea[8..]);
        int metricCount = BinaryPrimitives.ReadUInt16BigEndian(hhea[34..]);
        int glyphCount = BinaryPrimitives.ReadUInt16BigEndian(maxp[4..]);
        if (glyphCount == 0 || metricCount == 0 || metricCount > glyphCount || hmtx.Length < metricCount * 4)
        {
            problem = "the glyph count or the hmtx table does not fit";
            return false;
        }
        var advances = new ushort[glyphCount];
        for (int glyph = 0; glyph < glyphCount; glyph++)
        {
            // Glyphs past the last metric share its advance (monospaced runs).
            advances[glyph] = BinaryPrimitives.ReadUInt16BigEndian(hmtx[(Math.Min(glyph, metricCount - 1) * 4)..]);
        }
        if (!TryChooseCharacterMap(cmap, out byte[]? subtable, out bool segmented, out problem))
        {
            return false;
        }
        font = new TrueTypeFont(unitsPerEm, ascent, descent, lineGap, advances, subtable, segmented);
        problem = "";
        return true;
    }

    private static bool TryFindTable(ReadOnlySpan<byte> file, string tag, out ReadOnlySpan<byte> table, out string problem)
    {
        table = default;
        int count = BinaryPrimitives.ReadUInt16BigEndian(file[4..]);
        uint wanted = (uint)(tag[0] << 24 | tag[1] << 16 | tag[2] << 8 | tag[3]);
        for (int i = 0; i < count; i++)
        {
            int record = 12 + i * 16;
            if (record + 16 > file.Length)
            {
                break;
            }
            if (BinaryPrimitives.ReadUInt32BigEndian(file[record..]) != wanted)
            {
                continue;
            }
            long offset = BinaryPrimitives.ReadUInt32BigEndian(file[(record + 8)..]);
            long length = BinaryPrimitives.ReadUInt32BigEndian(file[(record + 12)..]);
            if (offset + length > file.Length)
            {
                problem = $"the {tag} table lies outside the file";
                return false;
            }
            table = file.Slice((int)offset, (int)length);
            problem = "";
            return true;
        }
        problem = $"no {tag} table";
        return false;
    }

    // Prefers a full-Unicode format 12 subtable, then a BMP format 4 one, each from a
    // Unicode encoding (platform 0, or Windows 3/10 and 3/1).
    private static bool TryChooseCharacterMap(ReadOnlySpan<byte> cmap, [NotNullWhen(true)] out byte[]? subtable, out bool segmented, out string problem)
    {
        subtable = null;
        segmented = false;
        if (cmap.Length < 4)
        {
            problem = "the cmap table is too short";
            return false;
        }
        int count = BinaryPrimitives.ReadUInt16BigEndian(cmap[2..]);
        int bestRank = 0;
        for (int i = 0; i < count && 4 + i * 8 + 8 <= cmap.Length; i++)
        {
            ReadOnlySpan<byte> record = cmap[(4 + i * 8)..];
            int platform = BinaryPrimitives.ReadUInt16BigEndian(record);
            int encoding = BinaryPrimitives.ReadUInt16BigEndian(record[2..]);
            long offset = BinaryPrimitives.ReadUInt32BigEndian(record[4..]);
            bool unicode = platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
            if (!unicode || offset + 8 > cmap.Length)
            {
                continue;
            }
            ReadOnlySpan<byte> candidate = cmap[(int)offset..];
            int format = BinaryPrimitives.ReadUInt16BigEndian(candidate);
            int rank = format == 12 ? 2 : format == 4 ? 1 : 0;
            if (rank <= bestRank)
            {
                continue;
            }
            long length = format == 12
                ? BinaryPrimitives.ReadUInt32BigEndian(candidate[4..])
                : BinaryPrimitives.ReadUInt16BigEndian(candidate[2..]);
            // Some fonts give a format 4 length past the table's end; the data that is
            // there is checked entry by entry.
            length = Math.Min(length, candidate.Length);
            if (!IsWellFormed(candidate[..(int)length], format == 12))
            {
                continue;
            }
            bestRank = rank;
            subtable = candidate[..(int)length].ToArray();
            segmented = format == 12;
        }
        problem = subtable == null ? "no usable Unicode cmap subtable (format 4 or 12)" : "";
        return subtable != null;
    }

    private static bool IsWellFormed(ReadOnlySpan<byte> table, bool segmented)
    {
        if (segmented)
        {
            return table.Length >= 16 && 16 + (long)BinaryPrimitives.ReadUInt32BigEndian(table[12..]) * 12 <= table.Length;
        }
        if (table.Length < 14)
        {
            return false;
        }
        int segments = BinaryPrimitives.ReadUInt16BigEndian(table[6..]) / 2;
        return segments > 0 && 16 + segments * 8 <= table.Length;
    }

    private int LookUpGlyph(int codePoint)
    {
        int glyph = segmentedCoverage ? LookUpSegmentedCoverage(codePoint) : LookUpSegmentToDelta(codePoint);
        return glyph < advances.Length ? glyph : 0;
    }

    // Format 12: groups of consecutive characters mapped to consecutive glyphs, sorted.
    private int LookUpSegmentedCoverage(int codePoint)
    {
        ReadOnlySpan<byte> table = characterMap;
        uint c = (uint)codePoint;
        int low = 0;
        int high = (int)BinaryPrimitives.ReadUInt32BigEndian(table[12..]) - 1;
        while (low <= high)
        {
            int middle = (low + high) >>> 1;
            ReadOnlySpan<byte> group = table[(16 + middle * 12)..];
            uint start = BinaryPrimitives.ReadUInt32BigEndian(group);
            uint end = BinaryPrimitives.ReadUInt32BigEndian(group[4..]);
            if (c < start)
            {
                high = middle - 1;
            }
            else if (c > end)
            {
                low = middle + 1;
            }
            else
            {
                long glyph = BinaryPrimitives.ReadUInt32BigEndian(group[8..]) + (long)(c - start);
                return glyph < int.MaxValue ? (int)glyph : 0;
            }
        }
        return 0;
    }

    // Format 4: segments of the Basic Multilingual Plane, each mapped by a delta or
    // through the glyph index array.
    private int LookUpSegmentToDelta(int codePoint)
    {
        if ((uint)codePoint > 0xFFFF)
        {
            return 0;
        }
        ReadOnlySpan<byte> table = characterMap;
        int segments = BinaryPrimitives.ReadUInt16BigEndian(table[6..]) / 2;
        int endCodes = 14;
        int startCodes = endCodes + segments * 2 + 2;
        int deltas = startCodes + segments * 2;
        int rangeOffsets = deltas + segments * 2;
        // The first segment whose end is at or past the character.
        int low = 0;
        int high = segments - 1;
        while (low < high)
        {
            int middle = (low + high) >>> 1;
            if (BinaryPrimitives.ReadUInt16BigEndian(table[(endCodes + middle * 2)..]) < codePoint)
            {
                low = middle + 1;
            }
            else
            {
                high = middle;
            }
        }
        int segment = low;
        int end = BinaryPrimitives.ReadUInt16BigEndian(table[(endCodes + segment * 2)..]);
        int start = BinaryPrimitives.ReadUInt16BigEndian(table[(startCodes + segment * 2)..]);
        if (codePoint > end || codePoint < start)
        {
            return 0;
        }
        int delta = BinaryPrimitives.ReadInt16BigEndian(table[(deltas + segment * 2)..]);
        int rangeOffsetAt = rangeOffsets + segment * 2;
        int rangeOffset = BinaryPrimitives.ReadUInt16BigEndian(table[rangeOffsetAt..]);
        if (rangeOffset == 0)
        {
            return (codePoint + delta) & 0xFFFF;
        }
        // The offset counts from the rangeOffset entry itself.
        long at = rangeOffsetAt + rangeOffset + 2L * (codePoint - start);
        if (at + 2 > table.Length)
        {
            return 0;
        }
        int glyph = BinaryPrimitives.ReadUInt16BigEndian(table[(int)at..]);
        return glyph == 0 ? 0 : (glyph + delta) & 0xFFFF;
    }
}
