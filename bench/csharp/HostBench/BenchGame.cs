using System.Globalization;
using System.Numerics;
using Orvane;

namespace HostBench;

// The start scene says what to draw per frame: "<count>" rectangles with coordinates
// that need the full float formatting (fractions, negatives), or "<count>:mixed" for
// the same count of commands of every version-2 kind. Every 100 frames it logs the
// bytes the host thread allocated per frame since the last report (the whole
// exchange: reading the frame line, the game, writing the reply).
public sealed class BenchGame : Game
{
    private static readonly SpriteOptions Turned = SpriteOptions.Frame(1, 0, 16, 16) with { FlipX = true, Opacity = 0.8f };

    private int count;
    private bool mixed;
    private int frame;
    private long allocatedAtReport;

    protected override void OnStart(string scene)
    {
        string[] parts = scene.Split(':');
        count = int.Parse(parts[0], CultureInfo.InvariantCulture);
        mixed = parts.Length > 1 && parts[1] == "mixed";
        allocatedAtReport = GC.GetAllocatedBytesForCurrentThread();
    }

    protected override void OnUpdate(float dt)
    {
        frame++;
        for (int i = 0; i < count; i++)
        {
            float x = i * 1.37f - frame;
            float y = (i % 97) * 3.1f;
            var color = new Color((byte)i, (byte)(i >> 8), 200);
            switch (mixed ? i % 6 : 0)
            {
                case 0: Draw.Rect(x, y, 16.5f, 9.25f, color); break;
                case 1: Draw.Rect(x, y, 16.5f, 9.25f, color.WithAlpha(128)); break;
                case 2: Draw.Line(x, y, x + 10.5f, y + 3, color, 2); break;
                case 3: Draw.RectOutline(x, y, 16.5f, 9.25f, color, 1.5f); break;
                case 4: Draw.Sprite("assets/hero.png", x, y, 32, 32, Turned with { Rotation = i * 0.5f }); break;
                default: Draw.Text("Score: 12345", x, y, 18, color); break;
            }
        }
        Camera.SetPosition(frame * 0.5f, 0);
        if (frame % 100 == 0)
        {
            long now = GC.GetAllocatedBytesForCurrentThread();
            Log.Info("allocated per frame: " + ((now - allocatedAtReport) / 100).ToString(CultureInfo.InvariantCulture));
            allocatedAtReport = GC.GetAllocatedBytesForCurrentThread();
        }
    }
}
