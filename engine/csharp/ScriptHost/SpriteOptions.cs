using System.Numerics;

namespace Orvane;

/// <summary>
/// How <see cref="Draw.Sprite(string, float, float, float, float, in SpriteOptions)"/>
/// draws an image: a part of it, turned, mirrored, tinted or translucent. The default
/// value draws the whole image as it is, exactly like the plain sprite call.
/// </summary>
/// <example><code>
/// // Frame 3 of a sheet of 16 x 16 frames, mirrored, at half opacity:
/// Draw.Sprite("assets/hero.png", x, y, 32, 32,
///     SpriteOptions.Frame(3, 0, 16, 16) with { FlipX = true, Opacity = 0.5f });
/// </code></example>
public readonly record struct SpriteOptions
{
    private readonly Color? tint;
    private readonly float? opacity;
    private readonly Color? fallback;

    /// <summary>Left edge of the part of the image to draw, in texels.</summary>
    public float SourceX { get; init; }

    /// <summary>Top edge of the part of the image to draw, in texels.</summary>
    public float SourceY { get; init; }

    /// <summary>Width of the part to draw in texels; 0 (the default) draws the whole image.</summary>
    public float SourceWidth { get; init; }

    /// <summary>Height of the part to draw in texels; 0 (the default) draws the whole image.</summary>
    public float SourceHeight { get; init; }

    /// <summary>Turn in degrees, clockwise on screen, about <see cref="Origin"/>.</summary>
    public float Rotation { get; init; }

    /// <summary>
    /// The point the sprite turns about, in world units from its top-left corner;
    /// null (the default) is the centre.
    /// </summary>
    public Vector2? Origin { get; init; }

    /// <summary>Mirrors the image left to right (within the sprite, before turning).</summary>
    public bool FlipX { get; init; }

    /// <summary>Mirrors the image top to bottom (within the sprite, before turning).</summary>
    public bool FlipY { get; init; }

    /// <summary>
    /// Multiplies every texel; white (the default) leaves the image as it is. The tint's
    /// alpha multiplies <see cref="Opacity"/>.
    /// </summary>
    public Color Tint
    {
        get => tint ?? Color.White;
        init => tint = value;
    }

    /// <summary>0 (invisible) to 1 (opaque, the default); values outside are clamped.</summary>
    public float Opacity
    {
        get => opacity ?? 1;
        init => opacity = value;
    }

    /// <summary>
    /// Drawn as a rectangle (turned and translucent like the sprite) when the image
    /// cannot be used. Magenta by default, so a missing image stands out.
    /// </summary>
    public Color Fallback
    {
        get => fallback ?? Color.Magenta;
        init => fallback = value;
    }

    /// <summary>
    /// Options that draw one frame of a sprite sheet laid out in a grid of equal
    /// frames, counted from 0 at the top-left.
    /// </summary>
    public static SpriteOptions Frame(int column, int row, float frameWidth, float frameHeight) => new()
    {
        SourceX = column * frameWidth,
        SourceY = row * frameHeight,
        SourceWidth = frameWidth,
        SourceHeight = frameHeight,
    };

    internal bool HasSource => SourceWidth > 0 && SourceHeight > 0;

    internal bool IsTurned => Rotation % 360 != 0;

    // 0 none, 1 horizontal, 2 vertical, 3 both, as the runtime reads it.
    internal int FlipCode => (FlipX ? 1 : 0) | (FlipY ? 2 : 0);

    internal byte Alpha => Color.UnitToByte(Opacity * Tint.A / 255f);
}
