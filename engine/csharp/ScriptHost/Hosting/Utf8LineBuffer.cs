using System.Buffers.Binary;
using System.Globalization;
using System.Runtime.CompilerServices;
using System.Text;

namespace Orvane.Hosting;

// The reply being written, as UTF-8 in one reusable buffer that goes to the stream in
// one write per reply. A reply larger than WriteLimit goes out in pieces of about that
// size: the runtime reads a piece while the game writes the next, and a writer that
// is never flushed (the one used before a host is attached) does not grow without
// bound. Nothing here allocates once the buffer has grown to the size of the largest
// reply.
internal sealed class Utf8LineBuffer
{
    private const int InitialSize = 64 * 1024;
    // What a pipe holds at once on Linux and Windows.
    private const int WriteLimit = 64 * 1024;
    // Room for the longest number: a float's shortest round-trip text is at most 15
    // bytes ("-1.1754944E-38"), an int's 11.
    private const int NumberRoom = 32;

    // 1024 recent float texts of up to 16 bytes each (16 KB, within the first-level
    // cache); a length of 0 marks an empty slot.
    private const int RecentFloatBits = 10;
    private const int RecentFloatRoom = 16;

    private readonly Stream stream;
    private readonly int[] recentFloatKeys = new int[1 << RecentFloatBits];
    private readonly byte[] recentFloatLengths = new byte[1 << RecentFloatBits];
    private readonly byte[] recentFloatTexts = new byte[(1 << RecentFloatBits) * RecentFloatRoom];
    private byte[] bytes = new byte[InitialSize];
    private int length;

    internal Utf8LineBuffer(Stream stream)
    {
        this.stream = stream;
    }

    internal void Append(byte value)
    {
        Reserve(1);
        bytes[length++] = value;
    }

    internal void Append(ReadOnlySpan<byte> utf8)
    {
        Reserve(utf8.Length);
        utf8.CopyTo(bytes.AsSpan(length));
        length += utf8.Length;
    }

    // Lone surrogates become U+FFFD, as the UTF-8 encoder replaces them.
    internal void Append(ReadOnlySpan<char> text)
    {
        Reserve(Encoding.UTF8.GetMaxByteCount(text.Length));
        length += Encoding.UTF8.GetBytes(text, bytes.AsSpan(length));
    }

    internal void Append(Rune rune)
    {
        Reserve(4);
        length += rune.EncodeToUtf8(bytes.AsSpan(length));
    }

    internal void AppendFloat(float value)
    {
        Reserve(NumberRoom);
        // Sizes, grid positions and scales repeat from command to command and frame to
        // frame: the texts of recent values are kept by their bits.
        int bits = BitConverter.SingleToInt32Bits(value);
        int slot = (int)((uint)(bits * -1640531535) >> (32 - RecentFloatBits));
        int known = recentFloatLengths[slot];
        if (known != 0 && recentFloatKeys[slot] == bits)
        {
            // The whole slot in one fixed-size move (NumberRoom leaves space for it);
            // the bytes past the text are written over by what follows.
            Unsafe.CopyBlockUnaligned(ref bytes[length], ref recentFloatTexts[slot * RecentFloatRoom], RecentFloatRoom);
            length += known;
            return;
        }
        // The default format is the shortest text that parses back to the same float;
        // the fast path gives the same text for the usual coordinates.
        Span<byte> text = bytes.AsSpan(length);
        if (!ShortestFloatText.TryFormat(value, text, out int written))
        {
            value.TryFormat(text, out written, default, CultureInfo.InvariantCulture);
        }
        if (written <= RecentFloatRoom)
        {
            recentFloatKeys[slot] = bits;
            recentFloatLengths[slot] = (byte)written;
            text[..written].CopyTo(recentFloatTexts.AsSpan(slot * RecentFloatRoom));
        }
        length += written;
    }

    internal void AppendInt(int value)
    {
        Reserve(NumberRoom);
        if ((uint)value < SmallIntCount)
        {
            // Colour channels and small counts: digits from a table, written as one
            // four-byte store whose last byte holds the length.
            uint packed = SmallIntTexts[value];
            Unsafe.WriteUnaligned(ref bytes[length], BitConverter.IsLittleEndian ? packed : BinaryPrimitives.ReverseEndianness(packed));
            length += (int)(packed >> 24);
            return;
        }
        value.TryFormat(bytes.AsSpan(length), out int written, default, CultureInfo.InvariantCulture);
        length += written;
    }

    private const int SmallIntCount = 1000;

    // The text of 0..999: up to three digit bytes, low byte first, and the length in
    // the top byte.
    private static readonly uint[] SmallIntTexts = MakeSmallIntTexts();

    private static uint[] MakeSmallIntTexts()
    {
        var texts = new uint[SmallIntCount];
        for (int value = 0; value < SmallIntCount; value++)
        {
            string text = value.ToString(CultureInfo.InvariantCulture);
            uint packed = (uint)text.Length << 24;
            for (int i = 0; i < text.Length; i++)
            {
                packed |= (uint)text[i] << (8 * i);
            }
            texts[value] = packed;
        }
        return texts;
    }

    internal void EndLine()
    {
        Append((byte)'\n');
        if (length >= WriteLimit)
        {
            WriteOut();
        }
    }

    internal void Flush()
    {
        WriteOut();
        stream.Flush();
    }

    private void WriteOut()
    {
        if (length > 0)
        {
            // Emptied first: a failed write must not send the same bytes twice.
            int count = length;
            length = 0;
            stream.Write(bytes, 0, count);
        }
    }

    private void Reserve(int count)
    {
        if (bytes.Length - length >= count)
        {
            return;
        }
        int size = bytes.Length;
        while (size - length < count)
        {
            size *= 2;
        }
        Array.Resize(ref bytes, size);
    }
}
