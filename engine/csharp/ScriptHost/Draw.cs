using Orvane.Hosting;

namespace Orvane;

/// <summary>
/// Drawing for the current frame, in world units (pixels at zoom 1, y grows downwards),
/// or in window pixels inside <see cref="Screen"/>. Nothing persists: draw everything
/// again in every update. Things are drawn in the order they are called, each over the
/// ones before; debug outlines come last, over everything.
/// </summary>
/// <remarks>
/// An older runtime (protocol version 1) draws only opaque rectangles, plain sprites
/// and debug outlines, all rectangles before all sprites. There everything else is
/// left out, with one warning per kind; <see cref="AdvancedDrawing"/> tells which
/// runtime the game is talking to.
/// </remarks>
public static class Draw
{
    /// <summary>
    /// True when the runtime draws everything offered here: opacity, sprite options,
    /// text, lines, outlines, the camera zoom and screen space, in call order. False on
    /// an older runtime; known from the start hook on.
    /// </summary>
    public static bool AdvancedDrawing => HostContext.Output.Version >= 2;

    /// <summary>A filled rectangle; a colour with an alpha below 255 is translucent.</summary>
    public static void Rect(float x, float y, float width, float height, Color color) =>
        HostContext.Output.Rect(x, y, width, height, color);

    /// <summary>
    /// The outline of a rectangle, <paramref name="thickness"/> pixels (at most 1024)
    /// measured inwards from its edges. A thickness of 0 or less draws nothing.
    /// </summary>
    public static void RectOutline(float x, float y, float width, float height, Color color, float thickness = 1) =>
        HostContext.Output.Outline(x, y, width, height, thickness, color);

    /// <summary>
    /// A line from x1, y1 to x2, y2, <paramref name="thickness"/> wide (at most 1024),
    /// with square ends flush with the end points. A thickness of 0 or less draws nothing.
    /// </summary>
    public static void Line(float x1, float y1, float x2, float y2, Color color, float thickness = 1) =>
        HostContext.Output.LineSegment(x1, y1, x2, y2, thickness, color);

    /// <summary>
    /// An image file stretched over the rectangle. The path is relative to the project
    /// folder; when the image cannot be used a rectangle of <paramref name="fallback"/>
    /// (without its opacity) is drawn.
    /// </summary>
    public static void Sprite(string path, float x, float y, float width, float height, Color fallback) =>
        HostContext.Output.Sprite(path, x, y, width, height, fallback);

    /// <summary>
    /// An image file, or a part of it, stretched over the rectangle and drawn as the
    /// options say: turned, mirrored, tinted, translucent. Nearest-neighbour sampling.
    /// </summary>
    public static void Sprite(string path, float x, float y, float width, float height, in SpriteOptions options) =>
        HostContext.Output.Image(path, x, y, width, height, options);

    /// <summary>
    /// Text whose first line's top-left corner is at x, y. <paramref name="size"/> is the
    /// em size in pixels (1 to 512). <paramref name="font"/> is a TrueType file relative
    /// to the project folder, or null for the default font (DejaVu Sans). "\n" starts a
    /// new line; at most 4096 bytes of UTF-8 are drawn.
    /// </summary>
    public static void Text(string text, float x, float y, float size, Color color, string? font = null) =>
        HostContext.Output.Text(text, x, y, size, color, font);

    /// <summary>
    /// The room <see cref="Text"/> takes with the same text, size and font: the widest
    /// line by the number of lines times the line height, in whole pixels. A font that
    /// cannot be loaded is measured (and drawn) as the default font, after one warning.
    /// </summary>
    public static TextSize MeasureText(string text, float size, string? font = null) =>
        TextLayout.Measure(HostContext.Fonts.Get(font), text, size);

    /// <summary>
    /// Switches to screen space (window pixels, no camera, no zoom) until the returned
    /// scope is disposed: <c>using (Draw.Screen()) { ... }</c>. Every frame starts in world space.
    /// </summary>
    public static ScreenSpaceScope Screen() => HostContext.Output.EnterScreenSpace();

    /// <summary>
    /// A 2-pixel outline drawn above everything else, always in world space, for debugging.
    /// </summary>
    public static void DebugRect(float x, float y, float width, float height, Color color) =>
        HostContext.Output.DebugRect(x, y, width, height, color);
}
