namespace Orvane.Hosting;

// The shortest decimal text that reads back as the same float, for the values game
// coordinates mostly are (magnitudes from 0.001 to ten million), written several times faster than float.TryFormat. It gives the
// very text TryFormat gives; anything else (other magnitudes, ties, non-finite
// values) returns false and the caller formats the general way.
//
// Why it is exact: 10^k is 2^k * 5^k, a float has 24 significant bits and 5^k (k <= 12)
// at most 28, so value * 10^k is exact in a double, as are the float's rounding
// bounds (25 bits) times 10^k. In this range nine significant digits always suffice,
// so some k <= 12 always works.
// The candidate with k digits after the point that lies nearest to the value is the
// one to try: if any k-digit decimal reads back as the value, the nearest one does.
// The first k that works gives the fewest digits, and the nearest of those digits is
// what TryFormat picks among equally short texts.
internal static class ShortestFloatText
{
    private const int MaxFractionDigits = 12;
    private const float SmallestMagnitude = 1e-3f;
    private const float LargestMagnitude = 1e7f;

    private static readonly double[] PowersOfTen = { 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12 };

    // Room the longest text needs: a sign, "0." and twelve digits.
    internal const int MaxLength = 16;

    internal static bool TryFormat(float value, Span<byte> destination, out int written)
    {
        written = 0;
        if (destination.Length < MaxLength)
        {
            return false;
        }
        if (value == 0)
        {
            if (float.IsNegative(value))
            {
                destination[written++] = (byte)'-';
            }
            destination[written++] = (byte)'0';
            return true;
        }
        float magnitude = Math.Abs(value);
        if (!(magnitude >= SmallestMagnitude && magnitude < LargestMagnitude))
        {
            return false;   // also NaN
        }

        // The interval of reals that round to this float, as exact doubles.
        double exact = magnitude;
        double below = (exact + float.BitDecrement(magnitude)) / 2;
        double above = (exact + float.BitIncrement(magnitude)) / 2;

        for (int digits = 0; digits <= MaxFractionDigits; digits++)
        {
            double scale = PowersOfTen[digits];
            double scaled = exact * scale;
            double nearest = Math.Round(scaled, MidpointRounding.ToEven);
            if (Math.Abs(scaled - nearest) == 0.5)
            {
                // Two candidates equally near: mostly neither reads back (1.5 at k = 0);
                // when one might, TryFormat decides.
                if (Math.Floor(scaled) >= below * scale || Math.Ceiling(scaled) <= above * scale)
                {
                    return false;
                }
                continue;
            }
            // A bound itself reads back as this float or its neighbour, depending on
            // the mantissa; the general way decides those.
            if (nearest == below * scale || nearest == above * scale)
            {
                return false;
            }
            if (nearest > below * scale && nearest < above * scale)
            {
                long candidate = (long)nearest;
                if (digits > 0 && candidate % 10 == 0)
                {
                    return false;   // an unusual binade edge; keep TryFormat's text
                }
                if (value < 0)
                {
                    destination[written++] = (byte)'-';
                }
                written += WriteFixed(candidate, digits, destination[written..]);
                return true;
            }
        }
        return false;
    }

    // candidate / 10^fractionDigits with exactly fractionDigits digits after the point.
    private static int WriteFixed(long candidate, int fractionDigits, Span<byte> destination)
    {
        Span<byte> reversed = stackalloc byte[24];
        int count = 0;
        for (int i = 0; i < fractionDigits; i++)
        {
            reversed[count++] = (byte)('0' + (int)(candidate % 10));
            candidate /= 10;
        }
        if (fractionDigits > 0)
        {
            reversed[count++] = (byte)'.';
        }
        do
        {
            reversed[count++] = (byte)('0' + (int)(candidate % 10));
            candidate /= 10;
        }
        while (candidate != 0);
        for (int i = 0; i < count; i++)
        {
            destination[i] = reversed[count - 1 - i];
        }
        return count;
    }
}
