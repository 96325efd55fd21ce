using System.Globalization;
using Orvane.Hosting;

namespace Orvane.Tests;

// The sample, loaded as the host loads it and played through protocol lines.
[Collection(nameof(HostCollection))]
public sealed class BasicGameTests
{
    private static HostRun Play(params string[] input)
    {
        Assert.True(GameLoader.TryCreate(BuiltSample.BasicGameDll, "BasicGame.BasicGameMain", out Game? game, out string error), error);
        return Host.Run(game!, "Level1", new[] { "START" }.Concat(input).ToArray());
    }

    private static float PlayerX(string[] frame)
    {
        string sprite = Assert.Single(frame, l => l.StartsWith("SPRITE|") && l.EndsWith("|assets/player.png"));
        return float.Parse(sprite.Split('|')[1], CultureInfo.InvariantCulture);
    }

    [Fact]
    public void ArrowKeysMoveThePlayerUntilAWallStopsIt()
    {
        var input = Enumerable.Repeat("FRAME|0.05|39", 60).ToArray(); // right arrow held for 3 s

        HostRun run = Play(input);

        float start = PlayerX(run.Reply(0));
        float end = PlayerX(run.Reply(59));
        Assert.True(start > 34, $"moved from the start tile: {start}");
        // The first wall to the right of the start tile begins at x 224; the player is 28 wide.
        Assert.Equal(224 - 28, end);
    }

    [Fact]
    public void TouchingAGemCollectsItOnce()
    {
        HostRun run = Play("FRAME|0.016|", "COLLISION|1|100", "COLLISION|100|1", "FRAME|0.016|", "COLLISION|1|100", "FRAME|0.016|");

        int GemsIn(string[] frame) => frame.Count(l => l.EndsWith("|assets/pickup.png"));
        Assert.Equal(GemsIn(run.Reply(0)) - 1, GemsIn(run.Reply(1)));
        Assert.Equal(GemsIn(run.Reply(1)), GemsIn(run.Reply(2)));
        Assert.Single(run.Lines, l => l.StartsWith("LOG|Info|Picked up a gem (1/"));
    }

    [Fact]
    public void F1TogglesAnOutlineForEveryCollider()
    {
        HostRun run = Play("FRAME|0.016|", "FRAME|0.016|112", "FRAME|0.016|112", "FRAME|0.016|", "FRAME|0.016|112");

        int Count(int frame, string prefix) => run.Reply(frame).Count(l => l.StartsWith(prefix));
        Assert.Equal(0, Count(0, "DEBUG_RECT|"));
        Assert.Equal(Count(1, "COLLIDER|"), Count(1, "DEBUG_RECT|"));
        Assert.Equal(Count(2, "COLLIDER|"), Count(2, "DEBUG_RECT|")); // still held: no second toggle
        Assert.Equal(Count(3, "COLLIDER|"), Count(3, "DEBUG_RECT|"));
        Assert.Equal(0, Count(4, "DEBUG_RECT|"));
    }
}
