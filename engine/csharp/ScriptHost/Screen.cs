using Orvane.Hosting;

namespace Orvane;

/// <summary>
/// The game's window: its client size in pixels and whether it has the keyboard focus.
/// The size is known from the start hook on and follows every resize.
/// </summary>
/// <remarks>
/// An older runtime (protocol version 1) does not tell the size: there it is the width
/// and height of project.json (1280 x 720 where they are missing), or 0 when the file
/// cannot be read; the window counts as focused.
/// </remarks>
public static class Screen
{
    /// <summary>The window's client width in pixels.</summary>
    public static int Width => HostContext.Input.Width;

    /// <summary>The window's client height in pixels.</summary>
    public static int Height => HostContext.Input.Height;

    /// <summary>True while the window has the keyboard focus.</summary>
    public static bool HasFocus => HostContext.Input.Focused;
}
