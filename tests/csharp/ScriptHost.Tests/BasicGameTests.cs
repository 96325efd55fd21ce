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

    private static HostRun PlayVersion2(params string[] input)
    {
        Assert.True(GameLoader.TryCreate(BuiltSample.BasicGameDll, "BasicGame.BasicGameMain", out Game? game, out string error), error);
        return Host.RunVersion2(game, "Level1", new[] { "START" }.Concat(input).ToArray());
    }

    private static string[] Fields(string line) => line.Split('|');

    private static float Number(string field) => float.Parse(field, CultureInfo.InvariantCulture);

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

    [Fact]
    public void TheAnimatedPlayerWalksThroughTheSheetAndFacesItsWay()
    {
        var input = Enumerable.Repeat("FRAME|0.05|39", 8).Concat(Enumerable.Repeat("FRAME|0.05|37", 4)).Append("FRAME|0.05|").ToArray();

        HostRun run = PlayVersion2(input);

        string PlayerImage(int frame) => Assert.Single(run.Reply(frame), l => l.EndsWith("|assets/player-sheet.png"));
        Assert.DoesNotContain(run.Lines, l => l.EndsWith("|assets/player.png"));
        // IMAGE|x|y|w|h|sx|sy|sw|sh|rotation|ox|oy|flip|...: the source steps 32 texels per frame.
        var sources = Enumerable.Range(0, 8).Select(f => Number(Fields(PlayerImage(f))[5])).ToArray();
        Assert.Equal(new float[] { 0, 32, 64, 96 }, sources.Distinct().Order());
        Assert.All(Enumerable.Range(0, 8), f => Assert.Equal("0", Fields(PlayerImage(f))[12]));
        Assert.All(Enumerable.Range(8, 4), f => Assert.Equal("1", Fields(PlayerImage(f))[12])); // walking left: mirrored
        // Standing still shows frame 0, still facing left.
        Assert.Equal(new[] { "0", "1" }, new[] { Fields(PlayerImage(12))[5], Fields(PlayerImage(12))[12] });
    }

    [Fact]
    public void TheHudShowsTheLevelAndTheGemCountInScreenSpace()
    {
        HostRun run = PlayVersion2("FRAME|0.016|", "COLLISION|1|100", "COLLISION|100|1", "FRAME|0.016|");

        string[] Hud(int frame)
        {
            string[] lines = run.Reply(frame);
            int start = Array.IndexOf(lines, "SPACE|screen");
            int end = Array.IndexOf(lines, "SPACE|world");
            Assert.True(start >= 0 && end > start, string.Join("\n", lines));
            return lines[(start + 1)..end];
        }
        string[] before = Hud(0);
        Assert.StartsWith("FILL|", before[0]); // the panel first, under the text
        Assert.Equal("8", Fields(before[0])[2]);
        string[] texts = before.Where(l => l.StartsWith("TEXT|")).Select(l => Fields(l)[^1]).ToArray();
        Assert.Equal(2, texts.Length);
        Assert.StartsWith("Level 1", texts[0]);
        Assert.Matches("^Gems: 0/[1-9][0-9]*$", texts[1]);
        Assert.Equal("Gems: 1/" + texts[1].Split('/')[1], Fields(Hud(1).Last(l => l.StartsWith("TEXT|")))[^1]);
        // The panel is as wide as the wider text plus its margins.
        float panelWidth = Number(Fields(before[0])[3]);
        Assert.Equal(Math.Max(Draw.MeasureText(texts[0], 20).Width, Draw.MeasureText(texts[1], 20).Width) + 16, panelWidth);
        // Top right, 8 pixels from the view's right edge, clear of the player's start.
        Assert.Equal(960 - 8, Number(Fields(before[0])[1]) + panelWidth);   // the sample's view is 960 wide
    }

    [Fact]
    public void GemsTurnAndAPickupFlashesThePlayer()
    {
        HostRun run = PlayVersion2("FRAME|0.1|", "FRAME|0.1|", "COLLISION|1|100", "FRAME|0.1|");

        float Turn(int frame) => Number(Fields(run.Reply(frame).First(l => l.EndsWith("|assets/pickup.png")))[9]);
        Assert.True(Turn(1) > Turn(0), $"{Turn(0)} then {Turn(1)}");
        string[] afterPickup = run.Reply(2);
        int player = Array.FindIndex(afterPickup, l => l.EndsWith("|assets/player-sheet.png"));
        int flash = Array.FindIndex(afterPickup, l => l.StartsWith("FILL|") && l.Contains("|255|255|255|"));
        Assert.True(player >= 0 && flash > player, "the flash is drawn over the player");
        Assert.DoesNotContain(run.Reply(1), l => l.StartsWith("FILL|") && l.Contains("|255|255|255|"));
    }

    [Fact]
    public void ZKeyZoomsTheCameraOnANewRuntimeOnly()
    {
        HostRun newer = PlayVersion2("FRAME|0.016|90", "FRAME|0.016|", "FRAME|0.016|90");
        HostRun older = Play("FRAME|0.016|90", "FRAME|0.016|");

        Assert.Equal(new[] { "ZOOM|1.5", "ZOOM|1" }, newer.Lines.Where(l => l.StartsWith("ZOOM|")));
        Assert.DoesNotContain(older.Lines, l => l.StartsWith("ZOOM|") || l.Contains("camera zoom"));
    }

    // On a version-1 runtime the sample still plays: only version-1 lines, and every
    // feature it cannot show is named once.
    [Fact]
    public void OnAVersion1RuntimeOnlyVersion1LinesGoOut()
    {
        var input = Enumerable.Repeat("FRAME|0.05|39", 20).Concat(new[] { "COLLISION|1|100", "FRAME|0.05|", "FRAME|0.05|112" }).ToArray();

        HostRun run = Play(input);

        string[] version1 = { "READY", "STARTED", "END_FRAME", "PROTOCOL|2", "RECT|", "SPRITE|", "DEBUG_RECT|", "CAMERA|", "COLLIDER|", "LOG|" };
        Assert.All(run.Lines, l => Assert.Contains(version1, k => l.StartsWith(k)));
        string[] warnings = run.Lines.Where(l => l.StartsWith("LOG|Warn|")).ToArray();
        Assert.Equal(warnings.Distinct(), warnings);
        Assert.Contains(warnings, w => w.Contains("cannot draw text"));
        Assert.Contains(warnings, w => w.Contains("cannot draw in screen space"));
    }

    // A version-2 session from the first line on (PROTOCOL|2 is added).
    private static HostRun Session(params string[] input)
    {
        Assert.True(GameLoader.TryCreate(BuiltSample.BasicGameDll, "BasicGame.BasicGameMain", out Game? game, out string error), error);
        return Host.RunVersion2(game, "Level1", input);
    }

    private static float SheetPlayerX(string[] frame) =>
        Number(Fields(Assert.Single(frame, l => l.EndsWith("|assets/player-sheet.png")))[1]);

    [Fact]
    public void EscapeQuitsOnce()
    {
        HostRun run = Session("START", "FRAME|0.016|", "KEY|27|1", "FRAME|0.016|27", "FRAME|0.016|27");

        Assert.DoesNotContain("QUIT", run.Reply(0));
        Assert.Contains("QUIT", run.Reply(1));
        Assert.Single(run.Lines, l => l == "QUIT");
    }

    // The first gem of level 1 lies at 488, 72 (16 wide); at the start the camera is at 0, 0.
    [Fact]
    public void TheMouseOutlinesTheGemUnderItAndAClickMarksIt()
    {
        HostRun run = Session("SIZE|960|540", "START", "FRAME|0.016|", "POINTER|496|80|1", "FRAME|0.016|",
            "BUTTON|1|1|496|80", "BUTTON|1|0|496|80", "FRAME|0.016|", "POINTER|20|500|1", "FRAME|0.016|",
            "BUTTON|1|1|20|500", "FRAME|0.016|");

        const string hover = "OUTLINE|484|68|24|24|1|255|255|255|140";
        const string mark = "OUTLINE|485|69|22|22|2|80|230|255|255";
        Assert.DoesNotContain(run.Reply(0), l => l == hover || l == mark);
        Assert.Contains(hover, run.Reply(1));
        Assert.DoesNotContain(mark, run.Reply(1));
        Assert.Contains(mark, run.Reply(2));
        Assert.DoesNotContain(hover, run.Reply(2)); // the marked gem needs no hover outline
        Assert.Contains(mark, run.Reply(3)); // moving away keeps the mark
        Assert.DoesNotContain(mark, run.Reply(4)); // a click on the floor clears it
    }

    [Fact]
    public void TheViewFollowsTheWindowsSize()
    {
        // Level 1 is 1280 x 640: a 1280 x 720 window shows all of it, the camera stays put.
        string[] walkDown = Enumerable.Repeat("FRAME|0.05|40", 60).ToArray();
        HostRun small = Session(new[] { "SIZE|960|540", "START" }.Concat(walkDown).ToArray());
        HostRun large = Session(new[] { "SIZE|1280|720", "START" }.Concat(walkDown).ToArray());

        Assert.Contains("CAMERA|0|100", small.Lines); // as far down as the level goes in a 540 high view
        Assert.DoesNotContain(large.Lines, l => l.StartsWith("CAMERA|"));
        // The HUD stands 8 pixels from the right edge of the window, whatever its size.
        string panel = large.Reply(0)[Array.IndexOf(large.Reply(0), "SPACE|screen") + 1];
        Assert.Equal(1280 - 8, Number(Fields(panel)[1]) + Number(Fields(panel)[3]));
    }

    [Fact]
    public void AReloadKeepsTheLevelThePlayersPlaceAndTheGemsCollected()
    {
        var walk = Enumerable.Repeat("FRAME|0.05|39", 10);
        HostRun old = Session(new[] { "SIZE|960|540", "START" }.Concat(walk)
            .Concat(new[] { "COLLISION|1|100", "FRAME|0.05|", "SAVE_STATE" }).ToArray());
        string state = Assert.Single(old.Lines, l => l.StartsWith("STATE|"))["STATE|".Length..];
        float oldX = SheetPlayerX(old.Reply(10));
        int oldGems = old.Reply(10).Count(l => l.EndsWith("|assets/pickup.png"));

        HostRun next = Session("SIZE|960|540", "RESTORE_STATE|" + state, "START", "FRAME|0.016|");
        HostRun fresh = Session("SIZE|960|540", "START", "FRAME|0.016|");

        Assert.Equal(oldX, SheetPlayerX(next.Reply(0)));
        Assert.NotEqual(oldX, SheetPlayerX(fresh.Reply(0)));
        Assert.Equal(oldGems, next.Reply(0).Count(l => l.EndsWith("|assets/pickup.png")));
        Assert.Contains(next.Reply(0), l => l.StartsWith("TEXT|") && l.EndsWith("|Gems: 1/" + (oldGems + 1)));
        Assert.DoesNotContain(next.Lines, l => l.StartsWith("ERROR|"));
        Assert.Single(next.Lines, l => l.StartsWith("LOG|Info|Level1: collect")); // entered once
    }

    [Fact]
    public void AReloadIntoTheSecondLevelEntersIt()
    {
        HostRun run = Session("SIZE|960|540", "RESTORE_STATE|Level2|100|200|", "START", "FRAME|0.016|");

        Assert.Contains(run.Reply(0), l => l.StartsWith("TEXT|") && l.EndsWith("|Level 2 · The Vault"));
        Assert.Equal(100, SheetPlayerX(run.Reply(0)));
    }

    [Theory]
    [InlineData("Level9|1|2|")]
    [InlineData("Level1|x|2|")]
    [InlineData("garbage")]
    [InlineData("Level1|1|2|100,abc,99999")]
    public void AStateItCannotUseLeavesAPlayableLevel(string state)
    {
        HostRun run = Session("SIZE|960|540", "RESTORE_STATE|" + state, "START", "FRAME|0.016|");

        Assert.DoesNotContain(run.Lines, l => l.StartsWith("ERROR|"));
        Assert.Single(run.Reply(0), l => l.EndsWith("|assets/player-sheet.png"));
    }
}
