namespace Orvane.Tests;

// The state an old host hands to its successor on a reload: SAVE_STATE answered with
// STATE|, and RESTORE_STATE before START handed to the new game after its start.
[Collection(nameof(HostCollection))]
public sealed class StateTests
{
    private const string Awkward = "line 1\nline 2\r\n\\n is not a break | pipes | é 😀 \\\\ end\\";

    private static string StateLine(HostRun run) => Assert.Single(run.Lines, l => l.StartsWith("STATE|"));

    [Fact]
    public void StateSurvivesTheRoundTripOverTheLineLoop()
    {
        var old = new ScriptedGame { Save = () => Awkward };
        HostRun saved = Host.RunUtf8(old, "", "PROTOCOL|2", "SIZE|960|540", "START", "FRAME|0.01|", "SAVE_STATE");
        string payload = StateLine(saved)["STATE|".Length..];
        Assert.DoesNotContain('\n', payload);
        Assert.DoesNotContain('\r', payload);

        string? restored = null;
        var next = new ScriptedGame { Restore = state => restored = state };
        Host.RunUtf8(next, "", "PROTOCOL|2", "SIZE|960|540", "RESTORE_STATE|" + payload, "START", "FRAME|0.01|");

        Assert.Equal(Awkward, restored);
        Assert.Equal(new[] { "start:", "restore", "update", "shutdown" }, next.Calls);
    }

    [Fact]
    public void RestoreRunsAfterTheScenesEnterAndCanSwitchScenesAtOnce()
    {
        var calls = new List<string>();
        ScriptedGame? game = null;
        game = new ScriptedGame
        {
            Start = _ =>
            {
                game!.AddScene("one", new RecordingScene(calls));
                game.AddScene("two", new RecordingScene(calls));
            },
            Restore = state =>
            {
                calls.Add("restore:" + state);
                game!.LoadScene(state);
                calls.Add("now:" + game.CurrentScene?.Name);
            },
        };

        Host.RunVersion2(game, "one", "RESTORE_STATE|two", "START", "FRAME|0.01|");

        Assert.Equal(new[] { "one.enter", "restore:two", "one.exit", "two.enter", "now:two", "two.update", "two.exit" }, calls);
    }

    public static TheoryData<string?, string> Saved => new()
    {
        { null, "STATE|" },
        { "", "STATE|" },
        { "plain", "STATE|plain" },
        { "a\\b\nc\rd", "STATE|a\\\\b\\nc\\rd" },
    };

    [Theory]
    [MemberData(nameof(Saved))]
    public void StateIsAnsweredAtOnceAndAlone(string? state, string expected)
    {
        var game = new ScriptedGame { Save = () => state };

        HostRun run = Host.RunVersion2(game, "", "START", "FRAME|0.01|", "SAVE_STATE");

        Assert.Equal(new[] { "PROTOCOL|2", "READY", "STARTED", "END_FRAME", expected }, run.Lines);
        Assert.Equal(4, run.Flushes - 1); // READY, STARTED, the frame, the state; then the final flush
    }

    [Fact]
    public void AGameThatHasNotStartedHandsOverNothing()
    {
        var game = new ScriptedGame { Save = () => "never" };

        HostRun run = Host.RunVersion2(game, "", "SAVE_STATE");

        Assert.Equal("STATE|", StateLine(run));
        Assert.DoesNotContain("save", game.Calls);
    }

    [Fact]
    public void AFailingSaveIsReportedAndStillAnswered()
    {
        var game = new ScriptedGame { Save = () => throw new InvalidOperationException("cannot save") };

        HostRun run = Host.RunVersion2(game, "", "START", "SAVE_STATE", "FRAME|0.01|");

        int error = Array.IndexOf(run.Lines, "ERROR|Game state save failed: InvalidOperationException: cannot save");
        Assert.True(error >= 0, run.Text);
        Assert.StartsWith("LOG|Error|", run.Lines[error + 1]);
        Assert.True(Array.IndexOf(run.Lines, "STATE|") > error);
        Assert.Equal("END_FRAME", run.Lines[^1]);
    }

    [Fact]
    public void AFailingRestoreIsReportedAndTheGameGoesOn()
    {
        var game = new ScriptedGame { Restore = _ => throw new FormatException("bad state") };

        HostRun run = Host.RunVersion2(game, "", "RESTORE_STATE|x", "START", "FRAME|0.01|");

        Assert.Contains("ERROR|Game state restore failed: FormatException: bad state", run.Lines);
        Assert.Contains("STARTED", run.Lines);
        Assert.Equal(new[] { "start:", "restore", "update", "shutdown" }, game.Calls);
    }

    public static TheoryData<string[]> NotRestored => new()
    {
        // Cut short by the runtime.
        { new[] { "RESTORE_STATE|half\u0018", "START", "FRAME|0.01|" } },
        // After the start there is nothing to restore into.
        { new[] { "START", "RESTORE_STATE|late", "FRAME|0.01|" } },
        // Not a state line at all.
        { new[] { "RESTORE_STATE", "START", "FRAME|0.01|" } },
    };

    [Theory]
    [MemberData(nameof(NotRestored))]
    public void OnlyAWholeStateBeforeTheStartIsRestored(string[] input)
    {
        var game = new ScriptedGame();

        Host.RunVersion2(game, "", input);

        Assert.DoesNotContain("restore", game.Calls);
        Assert.Contains("update", game.Calls);
    }

    [Fact]
    public void ATooLargeStateIsNotSentAndSaysSo()
    {
        var game = new ScriptedGame { Save = () => new string('\\', 600_000) };

        HostRun run = Host.RunVersion2(game, "", "START", "SAVE_STATE");

        Assert.Equal("STATE|", StateLine(run));
        Assert.Single(run.Lines, l => l.StartsWith("LOG|Warn|") && l.Contains("not carried over"));
    }

    // The runtime keeps the old host's view across a reload: the restored game's camera
    // goes out in its first frame even where it is the initial one.
    [Fact]
    public void ARestoredGameSendsItsCameraAndZoom()
    {
        var game = new ScriptedGame();

        HostRun run = Host.RunVersion2(game, "", "RESTORE_STATE|s", "START", "FRAME|0.01|", "FRAME|0.01|");

        Assert.Equal(new[] { "ZOOM|1", "CAMERA|0|0" }, run.Reply(0).Where(l => l.StartsWith("ZOOM|") || l.StartsWith("CAMERA|")));
        Assert.Empty(run.Reply(1));
    }
}
