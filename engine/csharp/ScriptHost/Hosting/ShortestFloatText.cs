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

        // The interval of reals that round to this float, as exact doubles; the
        // neighbours of a positive finite float are its bit pattern plus and minus one.
        double exact = magnitude;
        int bits = BitConverter.SingleToInt32Bits(magnitude);
        double below = (exact + BitConverter.Int32BitsToSingle(bits - 1)) * 0.5;
        double above = (exact + BitConverter.Int32BitsToSingle(bits + 1)) * 0.5;

        double scale = 1;   // 10^digits, exact
        for (int digits = 0; digits <= MaxFractionDigits; digits++, scale *= 10)
        {
            double scaled = exact * scale;
            double nearest = Math.Round(scaled);   // to even
            double low = below * scale;
            double high = above * scale;
            bool tie = Math.Abs(scaled - nearest) == 0.5;
            if (nearest > low && nearest < high)
            {
                uint candidate = (uint)nearest;   // below 10^9: nine significant digits at most
                // Two candidates equally near, or a trailing zero (an unusual binade
                // edge): TryFormat decides.
                if (tie || (digits > 0 && candidate % 10 == 0))
                {
                    return false;
                }
                if (value < 0)
                {
                    destination[written++] = (byte)'-';
                }
                written += WriteFixed(candidate, digits, destination[written..]);
                return true;
            }
            // A bound itself reads back as this float or its neighbour, depending on
            // the mantissa; and of two equally near candidates the other may read
            // back. The general way decides those.
            if (nearest == low || nearest == high)
            {
                return false;
            }
            if (tie)
            {
                double other = 2 * scaled - nearest;
                if (other >= low && other <= high)
                {
                    return false;
                }
            }
        }
        return false;
    }

    private static readonly uint[] DigitLimits = { 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000 };

    // candidate / 10^fractionDigits with exactly fractionDigits digits after the
    // point. The candidate has at most nine significant digits, so it is a uint,
    // whose division by ten the JIT turns into a multiplication.
    private static int WriteFixed(uint value, int fractionDigits, Span<byte> destination)
    {
        int digits = 1;
        while (digits < DigitLimits.Length && value >= DigitLimits[digits - 1])
        {
            digits++;
        }
        // "0.05": the integer part is a lone zero and the fraction is padded.
        int integerDigits = Math.Max(digits - fractionDigits, 1);
        int length = fractionDigits > 0 ? integerDigits + 1 + fractionDigits : integerDigits;
        int at = length - 1;
        for (int i = 0; i < fractionDigits; i++)
        {
            uint next = value / 10;
            destination[at--] = (byte)('0' + (value - next * 10));
            value = next;
        }
        if (fractionDigits > 0)
        {
            destination[at--] = (byte)'.';
        }
        do
        {
            uint next = value / 10;
            destination[at--] = (byte)('0' + (value - next * 10));
            value = next;
        }
        while (at >= 0);
        return length;
    }
}
