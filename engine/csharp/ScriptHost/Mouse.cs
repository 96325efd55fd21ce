using System.Numerics;
using Orvane.Hosting;

namespace Orvane;

/// <summary>
/// The mouse in the current frame: where the pointer is, its buttons, the wheel.
/// Buttons report pressed and released like keys; a click between two frames reports
/// both in the next frame.
/// </summary>
/// <remarks>
/// Only a newer runtime (protocol version 2, <see cref="Draw.AdvancedDrawing"/>) reports
/// the mouse; on an older one the pointer stays at 0, 0, outside, and no button is down.
/// </remarks>
public static class Mouse
{
    /// <summary>The pointer's position in window pixels (from the window's top-left corner).</summary>
    public static Vector2 Position => new(HostContext.Input.PointerX, HostContext.Input.PointerY);

    /// <summary>The pointer's horizontal position in window pixels.</summary>
    public static float X => HostContext.Input.PointerX;

    /// <summary>The pointer's vertical position in window pixels.</summary>
    public static float Y => HostContext.Input.PointerY;

    /// <summary>
    /// The world point under the pointer, by the camera as it stands now:
    /// position / <see cref="Camera.Zoom"/> + camera position.
    /// </summary>
    public static Vector2 WorldPosition => new(
        HostContext.Input.PointerX / Camera.Zoom + Camera.X,
        HostContext.Input.PointerY / Camera.Zoom + Camera.Y);

    /// <summary>True while the pointer is over the window.</summary>
    public static bool IsInsideWindow => HostContext.Input.PointerInside;

    /// <summary>True while the button is held down.</summary>
    public static bool IsButtonDown(MouseButton button) => HostContext.Input.IsButtonDown((int)button);

    /// <summary>True in the frame after the button went down.</summary>
    public static bool WasButtonPressed(MouseButton button) => HostContext.Input.WasButtonPressed((int)button);

    /// <summary>True in the frame after the button came up.</summary>
    public static bool WasButtonReleased(MouseButton button) => HostContext.Input.WasButtonReleased((int)button);

    /// <summary>Wheel steps since the last frame: above 0 turned away from the user.</summary>
    public static float WheelY => HostContext.Input.WheelY;

    /// <summary>Sideways wheel steps since the last frame, above 0 to the right, where the platform reports them.</summary>
    public static float WheelX => HostContext.Input.WheelX;
}
