using System.Globalization;
using System.Text;
using Orvane.Hosting;

namespace Orvane.Tests;

// The fast float text must be exactly what float.TryFormat writes, wherever it
// answers, and answer for the values games send most.
public sealed class ShortestFloatTextTests
{
    private static string? Fast(float value)
    {
        Span<byte> text = stackalloc byte[ShortestFloatText.MaxLength];
        return ShortestFloatText.TryFormat(value, text, out int written) ? Encoding.ASCII.GetString(text[..written]) : null;
    }

    private static string General(float value) => value.ToString(CultureInfo.InvariantCulture);

    [Theory]
    [InlineData(0f, "0")]
    [InlineData(-0f, "-0")]
    [InlineData(1.5f, "1.5")]
    [InlineData(-2f, "-2")]
    [InlineData(640.5f, "640.5")]
    [InlineData(0.1f, "0.1")]
    [InlineData(1.37f, "1.37")]
    [InlineData(0.016666668f, "0.016666668")]
    [InlineData(9999999f, "9999999")]
    [InlineData(1234.5677f, "1234.5677")]
    [InlineData(0.001f, "0.001")]
    public void CommonValuesTakeTheFastPath(float value, string expected)
    {
        Assert.Equal(expected, Fast(value));
        Assert.Equal(General(value), expected);
    }

    [Theory]
    [InlineData(float.NaN)]
    [InlineData(float.PositiveInfinity)]
    [InlineData(float.NegativeInfinity)]
    [InlineData(1e7f)]
    [InlineData(3e38f)]
    [InlineData(1e-4f)]
    [InlineData(1e-40f)]
    public void OtherMagnitudesGoTheGeneralWay(float value)
    {
        Assert.Null(Fast(value));
    }

    [Fact]
    public void AgreesWithTryFormatOnRandomAndEdgeFloats()
    {
        var random = new Random(20261209);
        int fast = 0;
        var mismatches = new List<string>();
        void Check(float value)
        {
            string? text = Fast(value);
            if (text == null)
            {
                return;
            }
            fast++;
            if (text != General(value) && mismatches.Count < 10)
            {
                mismatches.Add($"{BitConverter.SingleToInt32Bits(value):X8}: {text} vs {General(value)}");
            }
        }

        for (int i = 0; i < 300_000; i++)
        {
            // Any bit pattern, then the coordinates games produce: sums of small steps.
            Check(BitConverter.Int32BitsToSingle(random.Next() ^ (random.Next(2) << 31)));
            Check((float)(random.NextDouble() * 4000 - 2000));
            Check(random.Next(-5000, 5000) * 0.1f + random.Next(100) * 0.016666668f);
        }
        // Powers of two and their neighbours, where the rounding interval is lopsided.
        for (int exponent = -10; exponent < 24; exponent++)
        {
            float power = MathF.Pow(2, exponent);
            Check(power);
            Check(float.BitDecrement(power));
            Check(float.BitIncrement(power));
        }

        Assert.Empty(mismatches);
        Assert.True(fast > 500_000, $"only {fast} values took the fast path");
    }
}

// The line buffer keeps the texts of recent floats: whatever it keeps or evicts,
// every value comes out as float.TryFormat writes it.
public sealed class RecentFloatTextTests
{
    [Fact]
    public void RepeatedAndCollidingValuesKeepTheirOwnText()
    {
        var random = new Random(99);
        float[] pool = Enumerable.Range(0, 3000).Select(i => (float)(random.NextDouble() * 3000 - 1500)).ToArray();
        var values = new List<float>();
        for (int i = 0; i < 50_000; i++)
        {
            // Mostly a few hundred values again and again (more than the 1024 slots), some new ones,
            // and the odd value of another magnitude that goes the general way.
            values.Add(i % 10 == 0 ? BitConverter.Int32BitsToSingle(random.Next()) : pool[random.Next(pool.Length)]);
        }
        values.AddRange(new[] { -0f, 0f, float.NaN, 1e30f, -1e-30f, float.NegativeInfinity });

        var stream = new MemoryStream();
        var buffer = new Utf8LineBuffer(stream);
        foreach (float value in values)
        {
            buffer.AppendFloat(value);
            buffer.EndLine();
        }
        buffer.Flush();

        string[] lines = Encoding.UTF8.GetString(stream.ToArray()).TrimEnd('\n').Split('\n');
        Assert.Equal(values.Count, lines.Length);
        for (int i = 0; i < values.Count; i++)
        {
            Assert.Equal(values[i].ToString(CultureInfo.InvariantCulture), lines[i]);
        }
    }
}

// Integers come from a table below 1000 and the general way above: either way the
// text is int.ToString's, and what follows a number is not disturbed by the
// table's four-byte store.
public sealed class IntTextTests
{
    [Fact]
    public void EveryRangeWritesTheInvariantText()
    {
        var values = Enumerable.Range(-1100, 3200).ToList();
        values.AddRange(new[] { int.MinValue, int.MaxValue, 999_999, 1_000_000 });
        var stream = new MemoryStream();
        var buffer = new Utf8LineBuffer(stream);
        foreach (int value in values)
        {
            buffer.AppendInt(value);
            buffer.Append((byte)'|');
            buffer.AppendInt(value & 0xFF);
            buffer.EndLine();
        }
        buffer.Flush();

        string[] lines = Encoding.UTF8.GetString(stream.ToArray()).TrimEnd('\n').Split('\n');
        Assert.Equal(values.Count, lines.Length);
        for (int i = 0; i < values.Count; i++)
        {
            string expected = values[i].ToString(CultureInfo.InvariantCulture) + "|" +
                              (values[i] & 0xFF).ToString(CultureInfo.InvariantCulture);
            Assert.Equal(expected, lines[i]);
        }
    }
}
