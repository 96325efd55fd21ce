namespace Orvane;

/// <summary>
/// The world position shown at the window's top-left corner. It stays where it was
/// put until it is moved again.
/// </summary>
public static class Camera
{
    /// <summary>Left edge of the view in world units.</summary>
    public static float X { get; set; }

    /// <summary>Top edge of the view in world units.</summary>
    public static float Y { get; set; }

    /// <summary>Moves the view's top-left corner to x, y.</summary>
    public static void SetPosition(float x, float y)
    {
        X = x;
        Y = y;
    }

    /// <summary>Moves the view so that x, y lies at the centre of a view of the given size.</summary>
    public static void CenterOn(float x, float y, float viewWidth, float viewHeight) =>
        SetPosition(x - viewWidth / 2, y - viewHeight / 2);

    internal static void Reset() => SetPosition(0, 0);
}
