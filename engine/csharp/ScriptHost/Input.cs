using Orvane.Hosting;

namespace Orvane;

/// <summary>
/// The keyboard and typed text in the current frame. A key pressed and released
/// between two frames reports both <see cref="WasKeyPressed"/> and
/// <see cref="WasKeyReleased"/> in the next frame, with <see cref="IsKeyDown"/> false.
/// </summary>
/// <remarks>
/// An older runtime (protocol version 1) sends only the keys held at each frame: there
/// "pressed" and "released" compare this frame with the previous one, so a tap between
/// two frames goes unseen, and nothing is repeated or typed.
/// </remarks>
public static class Input
{
    /// <summary>True while the key is held down (at the start of this frame).</summary>
    public static bool IsKeyDown(Key key) => HostContext.Input.IsDown((int)key);

    /// <summary>True in the frame after the key went down (auto-repeat does not count).</summary>
    public static bool WasKeyPressed(Key key) => HostContext.Input.WasPressed((int)key);

    /// <summary>True in the frame after the key came up.</summary>
    public static bool WasKeyReleased(Key key) => HostContext.Input.WasReleased((int)key);

    /// <summary>
    /// True when the system repeated the held key since the last frame, as it does for
    /// text fields (keep moving a cursor, keep deleting).
    /// </summary>
    public static bool WasKeyRepeated(Key key) => HostContext.Input.WasRepeated((int)key);

    /// <summary>
    /// The characters typed since the last frame, in order, after the keyboard layout
    /// and dead keys; "\n" for Enter where the platform types one. Empty when nothing was typed.
    /// </summary>
    public static string TypedText => HostContext.Input.TypedText;
}
