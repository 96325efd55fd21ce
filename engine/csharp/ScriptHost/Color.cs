namespace Orvane;

/// <summary>
/// A colour of three 8-bit channels and an opacity. <c>new Color(r, g, b)</c> is opaque,
/// and so is <c>default(Color)</c> (black).
/// </summary>
public readonly record struct Color
{
    // Kept as 255 - A so that default(Color) is opaque black, as it was before colours
    // had an alpha channel.
    private readonly byte transparency;

    /// <summary>An opaque colour.</summary>
    public Color(byte r, byte g, byte b)
        : this(r, g, b, 255)
    {
    }

    /// <summary>A colour with opacity <paramref name="a"/> (0 invisible, 255 opaque).</summary>
    public Color(byte r, byte g, byte b, byte a)
    {
        R = r;
        G = g;
        B = b;
        transparency = (byte)(255 - a);
    }

    /// <summary>Red, 0 to 255.</summary>
    public byte R { get; init; }

    /// <summary>Green, 0 to 255.</summary>
    public byte G { get; init; }

    /// <summary>Blue, 0 to 255.</summary>
    public byte B { get; init; }

    /// <summary>Opacity, 0 (invisible) to 255 (opaque, the default).</summary>
    public byte A
    {
        get => (byte)(255 - transparency);
        init => transparency = (byte)(255 - value);
    }

    /// <summary>True when <see cref="A"/> is 255.</summary>
    public bool IsOpaque => transparency == 0;

    /// <summary>The same colour with opacity <paramref name="a"/>.</summary>
    public Color WithAlpha(byte a) => new(R, G, B, a);

    /// <summary>The same colour with an opacity of 0 (invisible) to 1 (opaque); values outside are clamped.</summary>
    public Color WithOpacity(float opacity) => new(R, G, B, UnitToByte(opacity));

    /// <summary>Makes an opaque colour from integer channels, clamping each to 0..255.</summary>
    public static Color FromRgb(int r, int g, int b) => FromRgba(r, g, b, 255);

    /// <summary>Makes a colour from integer channels and opacity, clamping each to 0..255.</summary>
    public static Color FromRgba(int r, int g, int b, int a) =>
        new((byte)Math.Clamp(r, 0, 255), (byte)Math.Clamp(g, 0, 255), (byte)Math.Clamp(b, 0, 255), (byte)Math.Clamp(a, 0, 255));

    /// <summary>Splits the colour into its red, green and blue channels.</summary>
    public void Deconstruct(out byte r, out byte g, out byte b)
    {
        r = R;
        g = G;
        b = B;
    }

    /// <summary>Splits the colour into its channels and opacity.</summary>
    public void Deconstruct(out byte r, out byte g, out byte b, out byte a)
    {
        Deconstruct(out r, out g, out b);
        a = A;
    }

    /// <summary>"Color(r, g, b, a)".</summary>
    public override string ToString() => $"Color({R}, {G}, {B}, {A})";

    // 0..1 to 0..255, rounded; NaN counts as 0.
    internal static byte UnitToByte(float value) =>
        value >= 1 ? (byte)255 : value > 0 ? (byte)MathF.Round(value * 255) : (byte)0;

    /// <summary>0, 0, 0 with opacity 0.</summary>
    public static readonly Color Transparent = new(0, 0, 0, 0);
    /// <summary>255, 255, 255.</summary>
    public static readonly Color White = new(255, 255, 255);
    /// <summary>0, 0, 0.</summary>
    public static readonly Color Black = new(0, 0, 0);
    /// <summary>128, 128, 128.</summary>
    public static readonly Color Gray = new(128, 128, 128);
    /// <summary>255, 0, 0.</summary>
    public static readonly Color Red = new(255, 0, 0);
    /// <summary>0, 255, 0.</summary>
    public static readonly Color Lime = new(0, 255, 0);
    /// <summary>0, 128, 0.</summary>
    public static readonly Color Green = new(0, 128, 0);
    /// <summary>0, 0, 255.</summary>
    public static readonly Color Blue = new(0, 0, 255);
    /// <summary>255, 255, 0.</summary>
    public static readonly Color Yellow = new(255, 255, 0);
    /// <summary>0, 255, 255.</summary>
    public static readonly Color Cyan = new(0, 255, 255);
    /// <summary>255, 0, 255.</summary>
    public static readonly Color Magenta = new(255, 0, 255);
    /// <summary>255, 165, 0.</summary>
    public static readonly Color Orange = new(255, 165, 0);
}
