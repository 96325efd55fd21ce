namespace Orvane;

/// <summary>
/// Keyboard keys. The values are the Windows virtual-key codes, which the runtime
/// reports on every platform. Only keys that every platform reports are listed: the
/// left and right Shift, Control and Alt keys both report <see cref="Shift"/>,
/// <see cref="Control"/> and <see cref="Alt"/>; the keypad's Enter reports <see cref="Enter"/>.
/// The names of the punctuation keys are those of a US layout.
/// </summary>
public enum Key
{
#pragma warning disable CS1591 // the names say it all
    Backspace = 8,
    Tab = 9,
    Enter = 13,
    Shift = 16,
    Control = 17,
    Alt = 18,
    Pause = 19,
    CapsLock = 20,
    Escape = 27,
    Space = 32,
    PageUp = 33,
    PageDown = 34,
    End = 35,
    Home = 36,
    Left = 37,
    Up = 38,
    Right = 39,
    Down = 40,
    Insert = 45,
    Delete = 46,
    D0 = 48, D1, D2, D3, D4, D5, D6, D7, D8, D9,
    A = 65, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z,
    NumPad0 = 96, NumPad1, NumPad2, NumPad3, NumPad4, NumPad5, NumPad6, NumPad7, NumPad8, NumPad9,
    Multiply = 106,
    Add = 107,
    Subtract = 109,
    Decimal = 110,
    Divide = 111,
    F1 = 112, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
    NumLock = 144,
    ScrollLock = 145,
    Semicolon = 186,
    Plus = 187, // the "=" / "+" key
    Comma = 188,
    Minus = 189,
    Period = 190,
    Slash = 191,
    Backquote = 192,
    LeftBracket = 219,
    Backslash = 220,
    RightBracket = 221,
    Quote = 222,
    IntlBackslash = 226, // the extra key beside the left Shift on ISO keyboards
#pragma warning restore CS1591
}
