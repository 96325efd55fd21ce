using Orvane.Hosting;

namespace Orvane;

/// <summary>
/// Drawing for the current frame, in world units (pixels, y grows downwards).
/// Nothing persists: draw everything again in every update. Within a frame all
/// rectangles are drawn first, then all sprites, then all debug outlines.
/// </summary>
public static class Draw
{
    /// <summary>A filled rectangle.</summary>
    public static void Rect(float x, float y, float width, float height, Color color) =>
        HostContext.Output.Rect(x, y, width, height, color);

    /// <summary>
    /// An image file stretched over the rectangle. The path is relative to the project
    /// folder; when the image cannot be used a rectangle of <paramref name="fallback"/> is drawn.
    /// </summary>
    public static void Sprite(string path, float x, float y, float width, float height, Color fallback) =>
        HostContext.Output.Sprite(path, x, y, width, height, fallback);

    /// <summary>A one-pixel outline drawn above everything else, for debugging.</summary>
    public static void DebugRect(float x, float y, float width, float height, Color color) =>
        HostContext.Output.DebugRect(x, y, width, height, color);
}
