namespace Orvane;

/// <summary>An opaque colour of three 8-bit channels.</summary>
/// <param name="R">Red, 0 to 255.</param>
/// <param name="G">Green, 0 to 255.</param>
/// <param name="B">Blue, 0 to 255.</param>
public readonly record struct Color(byte R, byte G, byte B)
{
    /// <summary>Makes a colour from integer channels, clamping each to 0..255.</summary>
    public static Color FromRgb(int r, int g, int b) =>
        new((byte)Math.Clamp(r, 0, 255), (byte)Math.Clamp(g, 0, 255), (byte)Math.Clamp(b, 0, 255));

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
