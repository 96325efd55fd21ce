using System.Globalization;
using Orvane;

namespace BunnyMark;

// The start scene names the scene: "sprites-N" draws N 32x32 sprites of the 16x16
// assets/bunny.png, "rects-N" N 32x32 rectangles. Every item moves one pixel right
// and down per frame and wraps inside a 1280x720 view; bench/love and bench/pygame
// draw the same scene.
public sealed class BunnyMarkGame : Game
{
    private const int ViewWidth = 1280;
    private const int ViewHeight = 720;
    private const int Size = 32;
    private const string Image = "assets/bunny.png";

    private bool sprites;
    private int count;
    private int frame;

    protected override void OnStart(string scene)
    {
        int dash = scene.LastIndexOf('-');
        if (dash < 0 || !int.TryParse(scene.AsSpan(dash + 1), NumberStyles.None, CultureInfo.InvariantCulture, out count))
        {
            Log.Error($"Start scene \"{scene}\" is not sprites-N or rects-N.");
            return;
        }
        sprites = scene.StartsWith("sprites", StringComparison.Ordinal);
    }

    protected override void OnUpdate(float dt)
    {
        frame++;
        const int spanX = ViewWidth - Size;
        const int spanY = ViewHeight - Size;
        for (int i = 0; i < count; i++)
        {
            float x = (i * 37 + frame) % spanX;
            float y = (i * 53 + frame) % spanY;
            if (sprites)
            {
                Draw.Sprite(Image, x, y, Size, Size, new Color(255, 0, 255));
            }
            else
            {
                Draw.Rect(x, y, Size, Size, new Color((byte)(60 + i % 190), 90, 140));
            }
        }
    }
}
