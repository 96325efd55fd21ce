using System.Buffers.Binary;
using System.Globalization;
using System.Text;
using Orvane.Hosting;

namespace Orvane.Tests;

// Draw.MeasureText against tests/data/text-metrics.txt (computed from the font by a
// separate reader, tests/csharp/text-metrics.py), which the runtime's layout is
// checked against too; and the font reader on made-up and broken fonts.
[Collection(nameof(HostCollection))]
public sealed class TextMeasureTests : IDisposable
{
    private readonly string folder = Directory.CreateTempSubdirectory("orvane-fonts-").FullName;

    public void Dispose() => Directory.Delete(folder, recursive: true);

    private static string DefaultFontFile => Path.Combine(RepositoryPaths.Root, "engine", "fonts", "DejaVuSans.ttf");

    public static TheoryData<float, float, float, string> Metrics()
    {
        var cases = new TheoryData<float, float, float, string>();
        foreach (string line in File.ReadAllLines(Path.Combine(RepositoryPaths.Root, "tests", "data", "text-metrics.txt"), Encoding.UTF8))
        {
            if (line.StartsWith('#'))
            {
                continue;
            }
            string[] fields = line.Split('|', 4);
            cases.Add(
                float.Parse(fields[0], CultureInfo.InvariantCulture),
                float.Parse(fields[1], CultureInfo.InvariantCulture),
                float.Parse(fields[2], CultureInfo.InvariantCulture),
                Unescape(fields[3]));
        }
        return cases;
    }

    // As the runtime reads TEXT: "\n" a line break, "\\" a backslash, other backslashes kept.
    private static string Unescape(string wire)
    {
        var text = new StringBuilder();
        for (int i = 0; i < wire.Length; i++)
        {
            if (wire[i] == '\\' && i + 1 < wire.Length && (wire[i + 1] == 'n' || wire[i + 1] == '\\'))
            {
                text.Append(wire[++i] == 'n' ? '\n' : '\\');
            }
            else
            {
                text.Append(wire[i]);
            }
        }
        return text.ToString();
    }

    [Theory]
    [MemberData(nameof(Metrics))]
    public void MeasuresTheDefaultFontAsTheTableSays(float size, float width, float height, string text)
    {
        Assert.Equal(new TextSize(width, height), Draw.MeasureText(text, size));
    }

    [Fact]
    public void TheTableCoversWhatTheLayoutRulesName()
    {
        var texts = Metrics().Select(row => (string)row[3]).ToArray();

        Assert.Contains("", texts);
        Assert.Contains(texts, t => t.Contains('\n'));
        Assert.Contains(texts, t => t.Contains('é'));
        Assert.Contains(texts, t => t.Any(char.IsSurrogate));
        Assert.Contains(texts, t => t.Contains('\t'));
        Assert.True(Metrics().Select(row => (float)row[0]).Distinct().Count() >= 4);
    }

    [Fact]
    public void AProjectFontIsMeasuredAndAnUnusableOneFallsBackWithOneWarning()
    {
        Directory.CreateDirectory(Path.Combine(folder, "fonts"));
        File.Copy(DefaultFontFile, Path.Combine(folder, "fonts", "Copy.ttf"));
        File.WriteAllText(Path.Combine(folder, "fonts", "Broken.ttf"), "not a font at all");
        var sizes = new List<TextSize>();
        var game = new ScriptedGame
        {
            Update = _ =>
            {
                foreach (string? font in new[] { null, "fonts/Copy.ttf", "fonts/Broken.ttf", "fonts/Missing.ttf", "fonts/Broken.ttf" })
                {
                    sizes.Add(Draw.MeasureText("Hello\nWorld", 16, font));
                }
            },
        };
        game.ProjectFolder = folder;

        HostRun run = Host.RunVersion2(game, "", "START", "FRAME|0.01|", "FRAME|0.01|");

        Assert.All(sizes, size => Assert.Equal(sizes[0], size));
        Assert.Equal(
            new[] { "LOG|Warn|Font could not be loaded: fonts/Broken.ttf", "LOG|Warn|Font could not be loaded: fonts/Missing.ttf" },
            run.Lines.Where(l => l.StartsWith("LOG|")));
    }

    [Fact]
    public void MeasureFollowsWhatIsSent()
    {
        TextSize full = Draw.MeasureText(new string('i', 4096), 10);
        TextSize longer = Draw.MeasureText(new string('i', 5000), 10);
        TextSize withReturns = Draw.MeasureText("a\r\nb", 10);

        Assert.Equal(full, longer); // cut like the text that is drawn
        Assert.Equal(Draw.MeasureText("a\nb", 10), withReturns);
        Assert.Equal(Draw.MeasureText("a", 1), Draw.MeasureText("a", -4));    // sizes clamped to 1..512
        Assert.Equal(Draw.MeasureText("a", 512), Draw.MeasureText("a", 1e6f));
        Assert.Equal(default, Draw.MeasureText("a", float.NaN));
    }

    // A made-up font: unitsPerEm 1000, ascent 800, descent -200, line gap 100, glyph
    // advances 500 (missing), 100, then 300 for glyph 2 and every later glyph (the last
    // metric repeats). A-C map by delta, 'x' through the glyph index array, and U+1F600 only
    // in the format 12 subtable.
    private static byte[] MadeUpFont(bool withFormat12)
    {
        var format4 = new Writer();
        ushort[] ends = { 'C', 'x', 0xFFFF };
        ushort[] starts = { 'A', 'x', 0xFFFF };
        short[] deltas = { 1 - 'A', 0, 1 };
        format4.U16(4).U16(0).U16(0).U16(6).U16(4).U16(1).U16(2);
        foreach (ushort end in ends) format4.U16(end);
        format4.U16(0);
        foreach (ushort start in starts) format4.U16(start);
        foreach (short delta in deltas) format4.U16((ushort)delta);
        format4.U16(0).U16(4).U16(0); // segment 1 reads glyphIdArray[0], two entries on
        format4.U16(4);               // glyphIdArray: 'x' is glyph 4
        format4.PatchU16(2, format4.Length);

        var format12 = new Writer();
        format12.U16(12).U16(0).U32(16 + 2 * 12).U32(0).U32(2);
        format12.U32('A').U32('C').U32(1);
        format12.U32(0x1F600).U32(0x1F600).U32(5);

        var cmap = new Writer();
        int subtables = withFormat12 ? 2 : 1;
        cmap.U16(0).U16((ushort)subtables);
        cmap.U16(3).U16(1).U32((uint)(4 + subtables * 8));
        if (withFormat12) cmap.U16(3).U16(10).U32((uint)(4 + subtables * 8 + format4.Length));
        cmap.Bytes(format4.ToArray());
        if (withFormat12) cmap.Bytes(format12.ToArray());

        var head = new Writer().Zeros(18).U16(1000).Zeros(34);
        var hhea = new Writer().U32(0x00010000).U16(800).U16(unchecked((ushort)-200)).U16(100).Zeros(24).U16(3);
        var maxp = new Writer().U32(0x00005000).U16(6);
        var hmtx = new Writer().U16(500).U16(0).U16(100).U16(0).U16(300).U16(0);

        var tables = new (string Tag, byte[] Data)[]
        {
            ("cmap", cmap.ToArray()), ("head", head.ToArray()), ("hhea", hhea.ToArray()), ("hmtx", hmtx.ToArray()), ("maxp", maxp.ToArray()),
        };
        var file = new Writer().U32(0x00010000).U16((ushort)tables.Length).U16(0).U16(0).U16(0);
        int offset = 12 + tables.Length * 16;
        foreach (var (tag, data) in tables)
        {
            file.Bytes(Encoding.ASCII.GetBytes(tag)).U32(0).U32((uint)offset).U32((uint)data.Length);
            offset += data.Length;
        }
        foreach (var (_, data) in tables) file.Bytes(data);
        return file.ToArray();
    }

    public static TheoryData<bool, string, float, float, float> MadeUpCases => new()
    {
        // scale 0.01 at size 10; line height round(1100 * 0.01) = 11.
        { false, "A", 10, 1, 11 },
        { false, "ABC", 10, 7, 11 },          // 100 + 300 + 300: C (glyph 3) is past the last metric
        { false, "x", 10, 3, 11 },            // through the glyph index array: glyph 4
        { false, "?", 10, 5, 11 },            // missing: glyph 0
        { false, "\U0001F600", 10, 5, 11 },  // format 4 stops at the BMP
        { true, "\U0001F600", 10, 3, 11 },   // format 12 has it (glyph 5)
        { true, "AB\nABC", 15, 11, 34 },      // ceil(700 * 0.015) = 11; 2 * round(16.5) = 34
        { true, "B\u0001\u001f", 25, 8, 28 }, // control characters take no room
    };

    [Theory]
    [MemberData(nameof(MadeUpCases))]
    public void ReadsFormat4And12AndTheMetricsTables(bool withFormat12, string text, float size, float width, float height)
    {
        Assert.True(TrueTypeFont.TryLoad(MadeUpFont(withFormat12), out TrueTypeFont? font, out string problem), problem);

        Assert.Equal(new TextSize(width, height), TextLayout.Measure(font, text, size));
    }

    // Cut or scrambled files are refused or read, never a crash, and so are lookups in
    // whatever was read.
    [Fact]
    public void BrokenFontsNeverThrow()
    {
        var random = new Random(7);
        byte[][] originals = { File.ReadAllBytes(DefaultFontFile), MadeUpFont(true) };
        int loaded = 0;
        foreach (byte[] original in originals)
        {
            for (int round = 0; round < 300; round++)
            {
                byte[] data = round % 2 == 0 ? original[..random.Next(original.Length)] : (byte[])original.Clone();
                if (round % 2 == 1)
                {
                    // Scramble a few bytes of the directory and the small tables, where the offsets are.
                    for (int i = 0; i < 8; i++) data[random.Next(Math.Min(data.Length, 2048))] = (byte)random.Next(256);
                }
                if (TrueTypeFont.TryLoad(data, out TrueTypeFont? font, out _))
                {
                    loaded++;
                    TextLayout.Measure(font, "Hello é 中 \U0001F600 \uFFFF", 16);
                    for (int c = 0; c < 0x11000; c += 97) font.Advance(c);
                }
            }
        }
        Assert.InRange(loaded, 1, 599); // some survive, some are refused
    }

    private sealed class Writer
    {
        private readonly List<byte> bytes = new();

        public int Length => bytes.Count;

        public Writer U16(ushort value)
        {
            bytes.Add((byte)(value >> 8));
            bytes.Add((byte)value);
            return this;
        }

        public Writer U32(uint value) => U16((ushort)(value >> 16)).U16((ushort)value);

        public Writer Zeros(int count)
        {
            bytes.AddRange(new byte[count]);
            return this;
        }

        public Writer Bytes(byte[] data)
        {
            bytes.AddRange(data);
            return this;
        }

        public void PatchU16(int at, int value)
        {
            bytes[at] = (byte)(value >> 8);
            bytes[at + 1] = (byte)value;
        }

        public byte[] ToArray() => bytes.ToArray();
    }
}
