namespace Orvane.Tests;

[Collection(nameof(HostCollection))]
public sealed class HostLoopTests
{
    [Fact]
    public void AnnouncesReadyThenAnswersStartAndFramesInOrder()
    {
        var game = new ScriptedGame { Update = _ => Draw.Rect(1, 2, 3, 4, Color.Red) };

        HostRun run = Host.Run(game, "Level1", "START", "FRAME|0.016|", "FRAME|0.016|", "SHUTDOWN");

        Assert.Equal(0, run.ExitCode);
        Assert.Equal(
            new[] { "PROTOCOL|2", "READY", "STARTED", "RECT|1|2|3|4|255|0|0", "END_FRAME", "RECT|1|2|3|4|255|0|0", "END_FRAME" },
            run.Lines);
        Assert.Equal(new[] { "start:Level1", "update", "update", "shutdown" }, game.Calls);
    }

    [Fact]
    public void FlushesOncePerReply()
    {
        var game = new ScriptedGame
        {
            Update = _ =>
            {
                for (int i = 0; i < 1000; i++) Draw.Rect(i, 0, 1, 1, Color.White);
            },
        };

        HostRun run = Host.Run(game, "", "START", "FRAME|0.01|", "FRAME|0.01|", "FRAME|0.01|", "SHUTDOWN");

        // READY, STARTED, three frames, and the final flush after the shutdown hook.
        Assert.Equal(6, run.Flushes);
        Assert.Equal(3 + 3 * 1001, run.Lines.Length); // PROTOCOL|2, READY, STARTED, three frames
    }

    [Fact]
    public void PassesTheTimeStepToTheUpdate()
    {
        var steps = new List<float>();
        var game = new ScriptedGame { Update = dt => steps.Add(dt) };

        Host.Run(game, "", "START", "FRAME|0.0166667|", "FRAME|1e-05|37", "FRAME|0|", "FRAME|nan|", "FRAME|-1|", "FRAME|junk|");

        Assert.Equal(new[] { 0.0166667f, 1e-05f, 0f, 0f, 0f, 0f }, steps);
    }

    [Theory]
    [InlineData("SHUTDOWN")]
    [InlineData(null)] // end of input
    public void ShutdownRunsTheHookAndEndsWithZero(string? last)
    {
        var game = new ScriptedGame();
        var input = new List<string> { "START", "FRAME|0.01|" };
        if (last != null) input.Add(last);

        HostRun run = Host.Run(game, "", input.ToArray());

        Assert.Equal(0, run.ExitCode);
        Assert.Equal("shutdown", game.Calls[^1]);
    }

    [Fact]
    public void ShutdownBeforeStartRunsNoHooks()
    {
        var game = new ScriptedGame();

        HostRun run = Host.Run(game, "", "SHUTDOWN");

        Assert.Equal(0, run.ExitCode);
        Assert.Empty(game.Calls);
    }

    [Fact]
    public void StopsReadingAtShutdown()
    {
        var game = new ScriptedGame();

        HostRun run = Host.Run(game, "", "START", "SHUTDOWN", "FRAME|0.01|");

        Assert.DoesNotContain("END_FRAME", run.Lines);
        Assert.Equal(new[] { "start:", "shutdown" }, game.Calls);
    }

    [Fact]
    public void IgnoresUnknownLinesAndWhatOnlyLooksLikeAKeyword()
    {
        var game = new ScriptedGame();

        HostRun run = Host.Run(game, "", "HELLO", "", "start", "START ", "FRAME", "SHUTDOWN ", "START", "FRAME|0.01|");

        Assert.Equal(new[] { "PROTOCOL|2", "READY", "STARTED", "END_FRAME" }, run.Lines);
        Assert.Equal(new[] { "start:", "update", "shutdown" }, game.Calls);
    }

    [Fact]
    public void FrameBeforeStartIsAnsweredWithoutRunningTheGame()
    {
        var game = new ScriptedGame();

        HostRun run = Host.Run(game, "", "FRAME|0.01|", "START");

        Assert.Equal(new[] { "PROTOCOL|2", "READY", "END_FRAME", "STARTED" }, run.Lines);
        Assert.DoesNotContain("update", game.Calls);
    }

    [Fact]
    public void UpdateExceptionIsReportedAndTheFrameStillEnds()
    {
        int frame = 0;
        var game = new ScriptedGame
        {
            Update = _ =>
            {
                frame++;
                Draw.Rect(0, 0, 1, 1, Color.Blue);
                if (frame == 1) throw new InvalidOperationException("boom|twice\nsecond line");
            },
        };

        HostRun run = Host.Run(game, "", "START", "FRAME|0.01|", "FRAME|0.01|");

        string[] first = run.Reply(0);
        Assert.Contains("RECT|0|0|1|1|0|0|255", first); // output from before the throw is kept
        string error = Assert.Single(first, l => l.StartsWith("ERROR|"));
        Assert.Equal("ERROR|Game update failed: InvalidOperationException: boom|twice second line", error);
        Assert.Contains(first, l => l.StartsWith("LOG|Error|") && l.Contains(nameof(UpdateExceptionIsReportedAndTheFrameStillEnds)));
        Assert.Equal(2, run.Lines.Count(l => l == "END_FRAME"));
        // The game goes on with the next frame.
        Assert.Equal(new[] { "RECT|0|0|1|1|0|0|255" }, run.Reply(1));
    }

    [Fact]
    public void StartExceptionIsReportedAndStillAnswersStarted()
    {
        var game = new ScriptedGame { Start = _ => throw new ArgumentException("bad start") };

        HostRun run = Host.Run(game, "", "START", "FRAME|0.01|");

        string[] lines = run.Lines;
        int error = Array.FindIndex(lines, l => l.StartsWith("ERROR|Game start failed: ArgumentException: bad start"));
        int started = Array.IndexOf(lines, "STARTED");
        Assert.True(error > 0 && started > error, string.Join("\n", lines));
        Assert.Contains("update", game.Calls);
    }

    [Fact]
    public void ShutdownExceptionIsReportedAndExitIsStillZero()
    {
        var game = new ScriptedGame { Shutdown = () => throw new IOException("disk") };

        HostRun run = Host.Run(game, "", "START", "SHUTDOWN");

        Assert.Equal(0, run.ExitCode);
        Assert.Contains("ERROR|Game shutdown failed: IOException: disk", run.Lines);
    }

    [Fact]
    public void CollisionsAreDeliveredBeforeTheNextUpdateInArrivalOrder()
    {
        var game = new ScriptedGame();

        Host.Run(game, "", "START", "FRAME|0.01|", "COLLISION|1|100", "COLLISION|100|1", "COLLISION|-5|7", "FRAME|0.01|");

        Assert.Equal(
            new[] { "start:", "update", "collision:1:100", "collision:100:1", "collision:-5:7", "update", "shutdown" },
            game.Calls);
    }

    [Fact]
    public void CollisionHandlersSeeTheNewFramesInput()
    {
        bool? downDuringCollision = null;
        var game = new ScriptedGame { Collision = (_, _) => downDuringCollision = Input.IsKeyDown(Key.Space) };

        Host.Run(game, "", "START", "FRAME|0.01|", "COLLISION|1|2", "FRAME|0.01|32");

        Assert.True(downDuringCollision);
    }

    [Theory]
    [InlineData("COLLISION|1")]
    [InlineData("COLLISION|a|2")]
    [InlineData("COLLISION|1|2|3")]
    [InlineData("COLLISION||")]
    [InlineData("COLLISION|99999999999|1")]
    public void MalformedCollisionLinesAreIgnored(string line)
    {
        var game = new ScriptedGame();

        Host.Run(game, "", "START", line, "FRAME|0.01|");

        Assert.DoesNotContain(game.Calls, c => c.StartsWith("collision"));
    }

    [Fact]
    public void CollisionHandlerExceptionDoesNotSkipTheUpdate()
    {
        var game = new ScriptedGame { Collision = (_, _) => throw new InvalidOperationException("hit") };

        HostRun run = Host.Run(game, "", "START", "COLLISION|1|2", "FRAME|0.01|");

        Assert.Contains("ERROR|Game collision handler failed: InvalidOperationException: hit", run.Lines);
        Assert.Contains("update", game.Calls);
        Assert.Equal("END_FRAME", run.Lines[^1]);
    }
}
