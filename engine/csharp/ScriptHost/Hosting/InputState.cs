using System.Globalization;
using System.Text;

namespace Orvane.Hosting;

// Keys, mouse, wheel, typed text, window size and focus as the game sees them in one
// frame. A version-2 runtime sends the events of a frame (KEY|, BUTTON|, POINTER|,
// WHEEL|, TEXT_INPUT|, FOCUS|, SIZE|) before its FRAME| line; they collect in the
// pending half and become the frame's state when the frame line arrives, so an edge
// is never lost to sampling. A version-1 runtime sends only the held keys, and edges
// come from comparing two frames. Malformed event lines are ignored: none of this
// throws on what the runtime sends.
internal sealed class InputState
{
    internal const int KeyCount = 256;
    internal const int ButtonCount = 6; // 1..5, index 0 unused

    // Typed text beyond this many UTF-16 units per frame is dropped; the runtime
    // already caps it at 4096 bytes, this only bounds a runtime gone wrong.
    internal const int MaxTypedChars = 8192;

    // The frame's state.
    private bool[] held = new bool[KeyCount];
    private bool[] previous = new bool[KeyCount];
    private readonly bool[] pressed = new bool[KeyCount];
    private readonly bool[] released = new bool[KeyCount];
    private readonly bool[] repeated = new bool[KeyCount];
    private readonly bool[] buttonsHeld = new bool[ButtonCount];
    private readonly bool[] buttonsPressed = new bool[ButtonCount];
    private readonly bool[] buttonsReleased = new bool[ButtonCount];

    // What arrived since the last frame line.
    private readonly bool[] pendingPressed = new bool[KeyCount];
    private readonly bool[] pendingReleased = new bool[KeyCount];
    private readonly bool[] pendingRepeated = new bool[KeyCount];
    private readonly bool[] pendingButtonsHeld = new bool[ButtonCount];
    private readonly bool[] pendingButtonsPressed = new bool[ButtonCount];
    private readonly bool[] pendingButtonsReleased = new bool[ButtonCount];
    private readonly StringBuilder pendingText = new();
    private readonly Queue<bool> pendingFocus = new();
    private float pendingWheelX;
    private float pendingWheelY;
    private bool anyPending;

    internal float PointerX { get; private set; }
    internal float PointerY { get; private set; }
    internal bool PointerInside { get; private set; }
    internal float WheelX { get; private set; }
    internal float WheelY { get; private set; }
    internal string TypedText { get; private set; } = "";
    internal int Width { get; private set; }
    internal int Height { get; private set; }
    internal bool SizeKnown { get; private set; }
    internal bool Focused { get; private set; } = true;

    // Takes the frame's key list ("37,65", possibly empty), which is the set held at the
    // end of the frame. Codes that are not numbers in 0..255 are ignored.
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
        // An edge is what the events told, and what the held sets show besides: a
        // version-1 runtime sends no events, and a flood may have lost some.
        for (int code = 0; code < KeyCount; code++)
        {
            pressed[code] = pendingPressed[code] || (held[code] && !previous[code]);
            released[code] = pendingReleased[code] || (!held[code] && previous[code]);
            repeated[code] = pendingRepeated[code];
        }
        if (!anyPending)
        {
            ClearFrameEvents();
            return;
        }
        Array.Copy(pendingButtonsHeld, buttonsHeld, ButtonCount);
        Array.Copy(pendingButtonsPressed, buttonsPressed, ButtonCount);
        Array.Copy(pendingButtonsReleased, buttonsReleased, ButtonCount);
        WheelX = pendingWheelX;
        WheelY = pendingWheelY;
        TypedText = pendingText.Length == 0 ? "" : pendingText.ToString();
        ClearPending();
    }

    // Focus changes in the order they arrived; the host hands them to the game at the
    // start of the frame.
    internal bool TryTakeFocusChange(out bool focused) => pendingFocus.TryDequeue(out focused);

    // Takes one line the runtime sent before a frame line. Returns false for a line that
    // is no input event; a malformed event is ignored.
    internal bool Event(string line)
    {
        ReadOnlySpan<char> text = line;
        int bar = text.IndexOf('|');
        if (bar < 0)
        {
            return false;
        }
        ReadOnlySpan<char> keyword = text[..bar];
        ReadOnlySpan<char> fields = text[(bar + 1)..];
        switch (keyword)
        {
            case "KEY":
                KeyEdge(fields);
                return true;
            case "BUTTON":
                ButtonEdge(fields);
                return true;
            case "POINTER":
                PointerMoved(fields);
                return true;
            case "WHEEL":
                WheelTurned(fields);
                return true;
            case "TEXT_INPUT":
                TextTyped(fields);
                return true;
            case "FOCUS":
                FocusChanged(fields);
                return true;
            case "SIZE":
                SizeChanged(fields);
                return true;
            default:
                return false;
        }
    }

    internal bool IsDown(int code) => InRange(code) && held[code];

    internal bool WasPressed(int code) => InRange(code) && pressed[code];

    internal bool WasReleased(int code) => InRange(code) && released[code];

    internal bool WasRepeated(int code) => InRange(code) && repeated[code];

    internal bool IsButtonDown(int button) => IsButton(button) && buttonsHeld[button];

    internal bool WasButtonPressed(int button) => IsButton(button) && buttonsPressed[button];

    internal bool WasButtonReleased(int button) => IsButton(button) && buttonsReleased[button];

    // A version-1 runtime gives the window size only through project.json.
    internal void AssumeSize(int width, int height)
    {
        if (!SizeKnown && width > 0 && height > 0)
        {
            Width = width;
            Height = height;
        }
    }

    // KEY|code|state: 1 pressed, 0 released, 2 repeated.
    private void KeyEdge(ReadOnlySpan<char> fields)
    {
        Span<Range> parts = stackalloc Range[3];
        if (fields.Split(parts, '|') != 2
            || !int.TryParse(fields[parts[0]], NumberStyles.None, CultureInfo.InvariantCulture, out int code)
            || code >= KeyCount)
        {
            return;
        }
        switch (fields[parts[1]])
        {
            case "1":
                pendingPressed[code] = true;
                break;
            case "0":
                pendingReleased[code] = true;
                break;
            case "2":
                pendingRepeated[code] = true;
                break;
            default:
                return;
        }
        anyPending = true;
    }

    // BUTTON|button|state|x|y: the pointer stood at x, y when the button changed.
    private void ButtonEdge(ReadOnlySpan<char> fields)
    {
        Span<Range> parts = stackalloc Range[5];
        if (fields.Split(parts, '|') != 4
            || !int.TryParse(fields[parts[0]], NumberStyles.None, CultureInfo.InvariantCulture, out int button)
            || !IsButton(button)
            || !TryParseFinite(fields[parts[2]], out float x)
            || !TryParseFinite(fields[parts[3]], out float y))
        {
            return;
        }
        switch (fields[parts[1]])
        {
            case "1":
                pendingButtonsPressed[button] = true;
                pendingButtonsHeld[button] = true;
                break;
            case "0":
                pendingButtonsReleased[button] = true;
                pendingButtonsHeld[button] = false;
                break;
            default:
                return;
        }
        PointerX = x;
        PointerY = y;
        anyPending = true;
    }

    // POINTER|x|y|inside
    private void PointerMoved(ReadOnlySpan<char> fields)
    {
        Span<Range> parts = stackalloc Range[4];
        if (fields.Split(parts, '|') != 3
            || !TryParseFinite(fields[parts[0]], out float x)
            || !TryParseFinite(fields[parts[1]], out float y))
        {
            return;
        }
        ReadOnlySpan<char> inside = fields[parts[2]];
        if (inside is not ("0" or "1"))
        {
            return;
        }
        PointerX = x;
        PointerY = y;
        PointerInside = inside[0] == '1';
    }

    // WHEEL|dx|dy, summed should more than one arrive.
    private void WheelTurned(ReadOnlySpan<char> fields)
    {
        Span<Range> parts = stackalloc Range[3];
        if (fields.Split(parts, '|') != 2
            || !TryParseFinite(fields[parts[0]], out float dx)
            || !TryParseFinite(fields[parts[1]], out float dy))
        {
            return;
        }
        pendingWheelX += dx;
        pendingWheelY += dy;
        if (!float.IsFinite(pendingWheelX) || !float.IsFinite(pendingWheelY))
        {
            pendingWheelX = 0;
            pendingWheelY = 0;
        }
        anyPending = true;
    }

    // TEXT_INPUT|text, escaped as TEXT| text: "\n" a line break, "\\" a backslash; a
    // backslash before anything else stands for itself.
    private void TextTyped(ReadOnlySpan<char> text)
    {
        for (int i = 0; i < text.Length && pendingText.Length < MaxTypedChars; i++)
        {
            char c = text[i];
            if (c == '\\' && i + 1 < text.Length && (text[i + 1] == 'n' || text[i + 1] == '\\'))
            {
                i++;
                c = text[i] == 'n' ? '\n' : '\\';
            }
            else if (char.IsHighSurrogate(c) && pendingText.Length + 1 >= MaxTypedChars)
            {
                break; // never keep half a character
            }
            pendingText.Append(c);
        }
        anyPending = true;
    }

    // FOCUS|state; a repeated state changes nothing.
    private void FocusChanged(ReadOnlySpan<char> fields)
    {
        if (fields is not ("0" or "1"))
        {
            return;
        }
        bool focused = fields[0] == '1';
        if (focused == Focused)
        {
            return;
        }
        Focused = focused;
        // The queue holds changes only, so it never grows beyond what alternating lines give;
        // a flood of them keeps the last few hundred.
        if (pendingFocus.Count >= 256)
        {
            pendingFocus.Dequeue();
        }
        pendingFocus.Enqueue(focused);
    }

    // SIZE|w|h: takes effect at once, so the start hook already knows it.
    private void SizeChanged(ReadOnlySpan<char> fields)
    {
        Span<Range> parts = stackalloc Range[3];
        if (fields.Split(parts, '|') != 2
            || !int.TryParse(fields[parts[0]], NumberStyles.None, CultureInfo.InvariantCulture, out int width)
            || !int.TryParse(fields[parts[1]], NumberStyles.None, CultureInfo.InvariantCulture, out int height))
        {
            return;
        }
        Width = width;
        Height = height;
        SizeKnown = true;
    }

    private void ClearFrameEvents()
    {
        Array.Clear(buttonsPressed);
        Array.Clear(buttonsReleased);
        WheelX = 0;
        WheelY = 0;
        TypedText = "";
    }

    private void ClearPending()
    {
        Array.Clear(pendingPressed);
        Array.Clear(pendingReleased);
        Array.Clear(pendingRepeated);
        Array.Clear(pendingButtonsPressed);
        Array.Clear(pendingButtonsReleased);
        pendingText.Clear();
        pendingWheelX = 0;
        pendingWheelY = 0;
        anyPending = false;
    }

    private static bool TryParseFinite(ReadOnlySpan<char> text, out float value) =>
        float.TryParse(text, NumberStyles.Float, CultureInfo.InvariantCulture, out value) && float.IsFinite(value);

    private static bool InRange(int code) => code >= 0 && code < KeyCount;

    private static bool IsButton(int button) => button >= 1 && button < ButtonCount;
}
