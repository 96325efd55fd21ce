using System.Globalization;

namespace Orvane.Hosting;

// Held keys of this frame and the previous one, by virtual-key code.
internal sealed class InputState
{
    internal const int KeyCount = 256;

    private bool[] held = new bool[KeyCount];
    private bool[] previous = new bool[KeyCount];

    // Takes the frame's key list ("37,65", possibly empty). Codes that are not numbers
    // in 0..255 are ignored.
    internal void NextFrame(ReadOnlySpan<char> keyList)
    {
        (previous, held) = (held, previous);
        Array.Clear(held);
        while (!keyList.IsEmpty)
        {
            int comma = keyList.IndexOf(',');
            ReadOnlySpan<char> piece = comma < 0 ? keyList : keyList[..comma];
            keyList = comma < 0 ? ReadOnlySpan<char>.Empty : keyList[(comma + 1)..];
            if (int.TryParse(piece, NumberStyles.None, CultureInfo.InvariantCulture, out int code) && code < KeyCount)
            {
                held[code] = true;
            }
        }
    }

    internal bool IsDown(int code) => InRange(code) && held[code];

    internal bool WasPressed(int code) => InRange(code) && held[code] && !previous[code];

    internal bool WasReleased(int code) => InRange(code) && !held[code] && previous[code];

    private static bool InRange(int code) => code >= 0 && code < KeyCount;
}
