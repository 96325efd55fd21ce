namespace Orvane;

/// <summary>
/// The view onto the world: the world position shown at the window's top-left corner,
/// and the zoom. Both stay as they were set until they are changed again. A world point
/// p appears at (p - position) * zoom in the window.
/// </summary>
public static class Camera
{
    /// <summary>The smallest zoom the runtime shows.</summary>
    public const float MinZoom = 0.01f;

    /// <summary>The largest zoom the runtime shows.</summary>
    public const float MaxZoom = 100;

    private static float zoom = 1;

    /// <summary>Left edge of the view in world units.</summary>
    public static float X { get; set; }

    /// <summary>Top edge of the view in world units.</summary>
    public static float Y { get; set; }

    /// <summary>
    /// Window pixels per world unit: 1 by default, 2 shows everything twice as large.
    /// Kept in <see cref="MinZoom"/> .. <see cref="MaxZoom"/>.
    /// </summary>
    /// <exception cref="ArgumentOutOfRangeException">The value is 0, negative, NaN or infinite.</exception>
    public static float Zoom
    {
        get => zoom;
        set
        {
            if (!float.IsFinite(value) || value <= 0)
            {
                throw new ArgumentOutOfRangeException(nameof(value), value, "The zoom must be a finite number greater than 0.");
            }
            zoom = Math.Clamp(value, MinZoom, MaxZoom);
        }
    }

    /// <summary>Moves the view's top-left corner to x, y.</summary>
    public static void SetPosition(float x, float y)
    {
        X = x;
        Y = y;
    }

    /// <summary>
    /// Moves the view so that x, y lies at the centre of a window of the given size
    /// (in window pixels), at the current zoom.
    /// </summary>
    public static void CenterOn(float x, float y, float viewWidth, float viewHeight) =>
        SetPosition(x - viewWidth / (2 * zoom), y - viewHeight / (2 * zoom));

    internal static void Reset()
    {
        SetPosition(0, 0);
        zoom = 1;
    }
}
