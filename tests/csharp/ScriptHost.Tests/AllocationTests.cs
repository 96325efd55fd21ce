using System.Numerics;

namespace Orvane.Tests;

// Steady-state drawing allocates nothing on the host thread, in either protocol
// version, and a reply leaves in one write. Speed is measured in bench/csharp/HostBench.
[Collection(nameof(HostCollection))]
public sealed class AllocationTests
{
    private static readonly SpriteOptions Turned = SpriteOptions.Frame(1, 0, 16, 16) with
    {
        Rotation = 33.3f, FlipX = true, Tint = new Color(200, 180, 160), Opacity = 0.75f, Origin = new Vector2(1, 2),
    };

    private static void DrawEveryKind(int i)
    {
        float x = i * 1.37f - 0.5f;
        Draw.Rect(x, 2.25f, 16, 9, new Color((byte)i, 20, 30));
        Draw.Rect(x, 2.25f, 16, 9, new Color((byte)i, 20, 30, 100));
        Draw.RectOutline(x, 1, 10, 10, Color.Red, 2.5f);
        Draw.Line(x, 1, x + 5, 7, Color.Blue, 3);
        Draw.Sprite("assets/wall.png", x, 3, 32, 32, Color.Gray);
        Draw.Sprite("assets/hero.png", x, 3, 32, 32, Turned with { Rotation = i });
        Draw.Sprite("bad|path.png", x, 3, 32, 32, Turned);
        using (Draw.Screen())
        {
            Draw.Text("Gems: 3/7 \\ café\n😀", 8, 8, 20, Color.White);
            Draw.Text("font", 8, 8, 20, Color.White, "fonts/none.ttf");
        }
        Draw.MeasureText("Gems: 3/7 \\ café\n😀", 20);
        Draw.MeasureText("font", 20, "fonts/none.ttf");
        Draw.DebugRect(x, 1, 2, 3, Color.Lime);
        Physics.Collider(i, x, 1, 2, 3);
        Log.Info("steady");
        Camera.SetPosition(x, 0);
    }

    [Theory]
    [InlineData(1)]
    [InlineData(2)]
    public void DrawingAllocatesNothingOnceWarmedUp(int version)
    {
        var allocated = new List<long>();
        var game = new ScriptedGame
        {
            Update = _ =>
            {
                long before = GC.GetAllocatedBytesForCurrentThread();
                for (int i = 0; i < 500; i++) DrawEveryKind(i);
                allocated.Add(GC.GetAllocatedBytesForCurrentThread() - before);
            },
        };
        var input = new List<string> { "START" };
        input.AddRange(Enumerable.Repeat("FRAME|0.01|", 30));

        HostRun run = version == 2 ? Host.RunVersion2(game, "", input.ToArray()) : Host.Run(game, "", input.ToArray());

        Assert.True(allocated[0] > 0, "the first frame grows the buffer and reads the fonts");
        // 28 frames of 500 rounds of 15 commands: one allocation per command would be
        // megabytes. The counter may still jump once by part of an 8 KiB allocation
        // context when a collection retires it, so a little slack is left for that.
        long steady = allocated.Skip(2).Sum();
        Assert.True(steady <= 16 * 1024, $"allocated {steady} bytes in steady frames: {string.Join(", ", allocated)}");
        Assert.True(allocated.Skip(2).Count(bytes => bytes == 0) >= 26, string.Join(", ", allocated));
        Assert.True(run.Lines.Length > 30 * 500 * 5, "the commands really went out");
    }

    [Fact]
    public void EachReplyUpToTheLimitLeavesInOneWrite()
    {
        var game = new ScriptedGame { Update = _ => { for (int i = 0; i < 100; i++) DrawEveryKind(i); } };

        HostRun run = Host.RunVersion2(game, "", "START", "FRAME|0.01|", "FRAME|0.01|", "FRAME|0.01|");

        // READY, STARTED and three frames of some 40 KB; the final flush after the
        // shutdown hook has nothing to send.
        Assert.Equal(5, run.Writes);
        Assert.InRange(run.Text.Length, 3 * 100 * 100, 3 * 64 * 1024);
    }

    [Fact]
    public void ALargeReplyLeavesInPiecesThatThePipeHolds()
    {
        var game = new ScriptedGame { Update = _ => { for (int i = 0; i < 3000; i++) DrawEveryKind(i); } };

        HostRun run = Host.RunVersion2(game, "", "START", "FRAME|0.01|");

        // About 300 KB in pieces of 64 KiB and a line: the runtime reads one while the next is written.
        int frameBytes = run.Text.Length;
        Assert.True(frameBytes > 250_000, $"{frameBytes} bytes");
        Assert.InRange(run.Writes, 2 + frameBytes / (64 * 1024 + 1024), 3 + frameBytes / (64 * 1024));
    }
}
