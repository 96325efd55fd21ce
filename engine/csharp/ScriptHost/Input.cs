using Orvane.Hosting;

namespace Orvane;

/// <summary>
/// The keyboard as it stood at the start of the current frame.
/// "Pressed" and "released" compare this frame with the previous one.
/// </summary>
public static class Input
{
    /// <summary>True while the key is held down.</summary>
    public static bool IsKeyDown(Key key) => HostContext.Input.IsDown((int)key);

    /// <summary>True in the first frame in which the key is held down.</summary>
    public static bool WasKeyPressed(Key key) => HostContext.Input.WasPressed((int)key);

    /// <summary>True in the first frame in which the key is no longer held down.</summary>
    public static bool WasKeyReleased(Key key) => HostContext.Input.WasReleased((int)key);
}
