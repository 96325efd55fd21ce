using System.Globalization;
using Orvane;

namespace HostBench;

// Draws as many rectangles per frame as the start scene names, with coordinates that
// need the full float formatting (fractions, negatives).
public sealed class BenchGame : Game
{
    private int count;
    private int frame;

    protected override void OnStart(string scene)
    {
        count = int.Parse(scene, CultureInfo.InvariantCulture);
    }

    protected override void OnUpdate(float dt)
    {
        frame++;
        for (int i = 0; i < count; i++)
        {
            Draw.Rect(i * 1.37f - frame, (i % 97) * 3.1f, 16.5f, 9.25f, new Color((byte)i, (byte)(i >> 8), 200));
        }
        Camera.SetPosition(frame * 0.5f, 0);
    }
}
