using System.Numerics;

namespace Orvane.Tests;

// A version-2 runtime's input events before each frame line, as the game sees them.
[Collection(nameof(HostCollection))]
public sealed class InputEventTests
{
    private static string KeyA() =>
        (Input.IsKeyDown(Key.A) ? "D" : ".") + (Input.WasKeyPressed(Key.A) ? "P" : ".") +
        (Input.WasKeyReleased(Key.A) ? "R" : ".") + (Input.WasKeyRepeated(Key.A) ? "T" : ".");

    private static string LeftButton() =>
        (Mouse.IsButtonDown(MouseButton.Left) ? "D" : ".") + (Mouse.WasButtonPressed(MouseButton.Left) ? "P" : ".") +
        (Mouse.WasButtonReleased(MouseButton.Left) ? "R" : ".");

    // Runs the input on a version-2 host and returns what probe saw in each update.
    private static List<string> Seen(Func<string> probe, params string[] input)
    {
        var seen = new List<string>();
        var game = new ScriptedGame { Update = _ => seen.Add(probe()) };
        HostRun run = Host.RunVersion2(game, "", new[] { "SIZE|960|540", "START" }.Concat(input).ToArray());
        Assert.DoesNotContain(run.Lines, l => l.StartsWith("ERROR|"));
        return seen;
    }

    // Each case: the lines after START, and per frame Key.A as (down, pressed, released, repeated).
    public static TheoryData<string[], string> KeySequences => new()
    {
        // A tap inside one frame: both edges, not held.
        { new[] { "KEY|65|1", "KEY|65|0", "FRAME|0.01|", "FRAME|0.01|" }, ".PR. ...." },
        // Held across frames, as with sampled lists.
        { new[] { "KEY|65|1", "FRAME|0.01|65", "FRAME|0.01|65", "KEY|65|0", "FRAME|0.01|", "FRAME|0.01|" }, "DP.. D... ..R. ...." },
        // Auto-repeat is no new press.
        { new[] { "KEY|65|1", "FRAME|0.01|65", "KEY|65|2", "KEY|65|2", "FRAME|0.01|65", "FRAME|0.01|65" }, "DP.. D..T D..." },
        // Let go and pressed again within a frame: both edges, still held.
        { new[] { "KEY|65|1", "FRAME|0.01|65", "KEY|65|0", "KEY|65|1", "FRAME|0.01|65" }, "DP.. DPR." },
        // Edges the events lost (a flood) still show from the held lists.
        { new[] { "FRAME|0.01|65", "FRAME|0.01|" }, "DP.. ..R." },
        // Other keys and bad codes leave A alone; A's edge among them counts.
        { new[] { "KEY|66|1", "KEY|256|1", "KEY|-65|1", "KEY|65|1", "KEY|65|7", "KEY|65", "FRAME|0.01|65,66" }, "DP.." },
    };

    [Theory]
    [MemberData(nameof(KeySequences))]
    public void KeyEventsGiveEveryEdge(string[] input, string expected)
    {
        Assert.Equal(expected, string.Join(" ", Seen(KeyA, input)));
    }

    [Fact]
    public void TenTapsInTenFramesAreTenPresses()
    {
        var input = new List<string>();
        for (int i = 0; i < 10; i++)
        {
            input.AddRange(new[] { "KEY|32|1", "KEY|32|0", "FRAME|0.01|" });
        }
        input.Add("FRAME|0.01|");

        List<string> seen = Seen(() => (Input.WasKeyPressed(Key.Space) ? "P" : ".") + (Input.IsKeyDown(Key.Space) ? "D" : "."), input.ToArray());

        Assert.Equal(Enumerable.Repeat("P.", 10).Append(".."), seen);
    }

    public static TheoryData<string[], string> ButtonSequences => new()
    {
        { new[] { "BUTTON|1|1|10|20", "FRAME|0.01|", "FRAME|0.01|", "BUTTON|1|0|12|22", "FRAME|0.01|", "FRAME|0.01|" }, "DP. D.. ..R ..." },
        // A click inside one frame.
        { new[] { "BUTTON|1|1|5|5", "BUTTON|1|0|5|5", "FRAME|0.01|", "FRAME|0.01|" }, ".PR ..." },
        // Other buttons and malformed lines leave the left one alone.
        { new[] { "BUTTON|2|1|5|5", "BUTTON|0|1|5|5", "BUTTON|6|1|5|5", "BUTTON|1|1|x|5", "BUTTON|1|1|5", "BUTTON|1|3|5|5", "FRAME|0.01|" }, "..." },
    };

    [Theory]
    [MemberData(nameof(ButtonSequences))]
    public void ButtonsHaveEdgesLikeKeys(string[] input, string expected)
    {
        Assert.Equal(expected, string.Join(" ", Seen(LeftButton, input)));
    }

    [Fact]
    public void EveryButtonMapsToItsNumber()
    {
        List<string> seen = Seen(
            () => string.Join(",", Enum.GetValues<MouseButton>().Where(Mouse.IsButtonDown)),
            "BUTTON|2|1|0|0", "BUTTON|3|1|0|0", "BUTTON|4|1|0|0", "BUTTON|5|1|0|0", "FRAME|0.01|",
            "BUTTON|3|0|0|0", "FRAME|0.01|");

        Assert.Equal(new[] { "Right,Middle,Extra1,Extra2", "Right,Extra1,Extra2" }, seen);
    }

    [Fact]
    public void PointerInWindowAndWorld()
    {
        var seen = new List<(Vector2 Screen, Vector2 World, bool Inside)>();
        var game = new ScriptedGame
        {
            Update = _ =>
            {
                Camera.SetPosition(10, 20);
                Camera.Zoom = 2;
                seen.Add((Mouse.Position, Mouse.WorldPosition, Mouse.IsInsideWindow));
            },
        };

        Host.RunVersion2(game, "", "START", "FRAME|0.01|", "POINTER|100.5|50|1", "FRAME|0.01|", "FRAME|0.01|",
            "BUTTON|1|1|-4|600", "POINTER|300|-2|0", "FRAME|0.01|", "POINTER|nan|1|1", "POINTER|1|2|3", "FRAME|0.01|");

        Assert.Equal((Vector2.Zero, new Vector2(10, 20), false), seen[0]);
        Assert.Equal((new Vector2(100.5f, 50), new Vector2(60.25f, 45), true), seen[1]);
        Assert.Equal(seen[1], seen[2]); // no motion, no line: the last position holds
        Assert.Equal((new Vector2(300, -2), new Vector2(160, 19), false), seen[3]);
        Assert.Equal(seen[3], seen[4]); // malformed lines change nothing
    }

    [Fact]
    public void WheelStepsCountForOneFrame()
    {
        List<string> seen = Seen(() => $"{Mouse.WheelX},{Mouse.WheelY}",
            "WHEEL|0|1", "WHEEL|-0.5|2", "FRAME|0.01|", "FRAME|0.01|", "WHEEL|1|-3", "WHEEL|x|1", "WHEEL|1e39|1", "FRAME|0.01|");

        Assert.Equal(new[] { "-0.5,3", "0,0", "1,-3" }, seen);
    }

    [Fact]
    public void TypedTextInOrderWithEscapesAndCharactersBeyondTheBmp()
    {
        var seen = new List<string>();
        var game = new ScriptedGame { Update = _ => seen.Add(Input.TypedText) };

        Host.RunUtf8(game, "", "PROTOCOL|2", "START",
            "TEXT_INPUT|é😀", "KEY|65|1", "TEXT_INPUT|a\\nb\\\\c\\x", "FRAME|0.01|65", "FRAME|0.01|", "TEXT_INPUT|", "TEXT_INPUT||", "FRAME|0.01|");

        Assert.Equal(new[] { "é😀a\nb\\c\\x", "", "|" }, seen);
    }

    [Fact]
    public void TypedTextIsBoundedAndNeverSplitsACharacter()
    {
        string flood = string.Concat(Enumerable.Repeat("😀", 6000));
        var seen = new List<string>();
        var game = new ScriptedGame { Update = _ => seen.Add(Input.TypedText) };

        Host.RunUtf8(game, "", "PROTOCOL|2", "START", "TEXT_INPUT|x" + flood, "FRAME|0.01|");

        string typed = Assert.Single(seen);
        Assert.True(typed.Length <= 8192 && typed.Length > 8000, typed.Length.ToString());
        Assert.False(char.IsHighSurrogate(typed[^1]));
    }

    [Fact]
    public void SizeIsKnownInTheStartHookAndFollowsResizes()
    {
        var seen = new List<string>();
        var game = new ScriptedGame
        {
            Start = _ => seen.Add($"{Screen.Width}x{Screen.Height}"),
            Update = _ => seen.Add($"{Screen.Width}x{Screen.Height}"),
        };

        Host.RunVersion2(game, "", "SIZE|960|540", "START", "FRAME|0.01|", "SIZE|1024|700", "FRAME|0.01|",
            "SIZE|-1|5", "SIZE|5", "SIZE|a|b", "FRAME|0.01|", "SIZE|0|0", "FRAME|0.01|");

        Assert.Equal(new[] { "960x540", "960x540", "1024x700", "1024x700", "0x0" }, seen);
    }

    [Fact]
    public void FocusHookRunsOncePerChangeBeforeTheUpdate()
    {
        var game = new ScriptedGame { Focus = focused => Assert.Equal(focused, Screen.HasFocus) };

        Host.RunVersion2(game, "", "START", "FRAME|0.01|", "FOCUS|0", "FOCUS|0", "KEY|65|0", "FRAME|0.01|",
            "FOCUS|1", "FOCUS|x", "FRAME|0.01|", "FOCUS|1", "FRAME|0.01|", "FOCUS|0", "FOCUS|1", "FRAME|0.01|");

        Assert.Equal(
            new[] { "start:", "update", "focus:0", "update", "focus:1", "update", "update", "focus:0", "focus:1", "update", "shutdown" },
            game.Calls);
    }

    [Fact]
    public void AFailingFocusHookIsReportedAndTheFrameGoesOn()
    {
        var game = new ScriptedGame { Focus = _ => throw new InvalidOperationException("no focus") };

        HostRun run = Host.RunVersion2(game, "", "START", "FOCUS|0", "FRAME|0.01|");

        Assert.Contains("ERROR|Game focus handler failed: InvalidOperationException: no focus", run.Lines);
        Assert.Contains("update", game.Calls);
        Assert.Equal("END_FRAME", run.Lines[^1]);
    }

    [Fact]
    public void QuitGoesOutOnceInTheFrameItWasCalled()
    {
        ScriptedGame? game = null;
        game = new ScriptedGame { Update = _ => { game!.Quit(); game.Quit(); } };

        HostRun run = Host.RunVersion2(game, "", "START", "FRAME|0.01|", "FRAME|0.01|");

        Assert.Equal(new[] { "QUIT" }, run.Reply(0).Where(l => l == "QUIT"));
        Assert.Single(run.Lines, l => l == "QUIT");
    }

    [Fact]
    public void AVersion1RuntimeGetsNoQuitButOneWarning()
    {
        ScriptedGame? game = null;
        game = new ScriptedGame { Update = _ => game!.Quit() };

        HostRun run = Host.Run(game, "", "START", "FRAME|0.01|", "FRAME|0.01|");

        Assert.DoesNotContain("QUIT", run.Lines);
        Assert.Single(run.Lines, l => l.StartsWith("LOG|Warn|") && l.Contains("Game.Quit"));
    }

    // A version-1 runtime sends no events; were such lines to arrive they change nothing,
    // and the window size comes from project.json.
    [Fact]
    public void AVersion1RuntimeKeepsSampledKeysAndTheProjectsSize()
    {
        string folder = Directory.CreateTempSubdirectory("orvane-input-").FullName;
        try
        {
            File.WriteAllText(Path.Combine(folder, "project.json"), "{ \"mainClass\": \"X\", \"width\": 640, \"height\": 360 }");
            var seen = new List<string>();
            var game = new ScriptedGame
            {
                ProjectFolder = folder,
                Update = _ => seen.Add($"{KeyA()} {LeftButton()} {Screen.Width}x{Screen.Height} {Mouse.IsInsideWindow} [{Input.TypedText}]"),
            };

            HostRun run = Host.Run(game, "", "START", "KEY|65|1", "KEY|65|0", "BUTTON|1|1|1|1", "POINTER|1|1|1", "TEXT_INPUT|a",
                "SIZE|10|10", "FRAME|0.01|", "FRAME|0.01|65");

            Assert.Equal(new[] { ".... ... 640x360 False []", "DP.. ... 640x360 False []" }, seen);
            Assert.Equal(new[] { "PROTOCOL|2", "READY", "STARTED", "END_FRAME", "END_FRAME" }, run.Lines);
        }
        finally
        {
            Directory.Delete(folder, true);
        }
    }

    public static TheoryData<string, int, int> ProjectSizes => new()
    {
        { "{ \"mainClass\": \"X\" }", 1280, 720 },
        { "{ \"width\": 800 }", 800, 720 },
        { "{ \"width\": -5, \"height\": \"big\" }", 1280, 720 },
        { "not json", 0, 0 },
        { "[1, 2]", 1280, 720 },
    };

    [Theory]
    [MemberData(nameof(ProjectSizes))]
    public void Version1SizeFromProjectJson(string json, int width, int height)
    {
        string folder = Directory.CreateTempSubdirectory("orvane-size-").FullName;
        try
        {
            File.WriteAllText(Path.Combine(folder, "project.json"), json);
            string size = "";
            var game = new ScriptedGame { ProjectFolder = folder, Start = _ => size = $"{Screen.Width}x{Screen.Height}" };

            Host.Run(game, "", "START");

            Assert.Equal($"{width}x{height}", size);
        }
        finally
        {
            Directory.Delete(folder, true);
        }
    }

    // Random lines with event keywords and junk fields, mixed with real events: the host
    // never throws, answers every frame, and the real events still count.
    [Theory]
    [InlineData(1)]
    [InlineData(2)]
    [InlineData(3)]
    public void RandomEventLinesNeverThrowNorHideTheOthers(int seed)
    {
        var random = new Random(seed);
        string[] keywords = { "KEY", "BUTTON", "POINTER", "WHEEL", "TEXT_INPUT", "FOCUS", "SIZE", "SAVE_STATE", "RESTORE_STATE", "FRAME", "" };
        string[] fields = { "", "0", "1", "2", "-1", "255", "256", "65", "1e40", "NaN", "x", "é", "\\", "\\n", "|", " 1", "99999999999" };
        string RandomLine()
        {
            var line = new System.Text.StringBuilder(keywords[random.Next(keywords.Length)]);
            int count = random.Next(6);
            for (int i = 0; i < count; i++) line.Append('|').Append(fields[random.Next(fields.Length)]);
            if (random.Next(10) == 0) line.Append('\u0018');
            return line.ToString();
        }
        var seen = new List<string>();
        var game = new ScriptedGame
        {
            Update = _ => seen.Add((Input.WasKeyPressed(Key.Q) ? "P" : ".") + (Mouse.WasButtonPressed(MouseButton.Right) ? "B" : "."))
        };
        var input = new List<string> { "SIZE|960|540", "START" };
        for (int frame = 0; frame < 200; frame++)
        {
            for (int i = 0; i < 20; i++) input.Add(RandomLine().Replace("FRAME|", "FRAMES|"));
            input.Add("KEY|81|1");
            input.Add("BUTTON|2|1|3|4");
            for (int i = 0; i < 20; i++) input.Add(RandomLine().Replace("FRAME|", "FRAMES|"));
            input.Add("KEY|81|0");
            input.Add("BUTTON|2|0|3|4");
            input.Add("FRAME|0.01|");
        }

        HostRun run = Host.RunVersion2(game, "", input.ToArray());

        Assert.Equal(0, run.ExitCode);
        Assert.Equal(200, run.Lines.Count(l => l == "END_FRAME"));
        Assert.DoesNotContain(run.Lines, l => l.StartsWith("ERROR|"));
        Assert.Equal(Enumerable.Repeat("PB", 200), seen);
    }

    [Fact]
    public void AFloodOfEventsKeepsEveryKind()
    {
        var input = new List<string> { "START" };
        for (int i = 0; i < 50_000; i++) input.Add($"KEY|{i % 300}|{i % 3}");
        input.AddRange(new[] { "KEY|90|1", "BUTTON|1|1|2|3", "WHEEL|0|1", "TEXT_INPUT|z", "FRAME|0.01|" });
        string seen = "";
        var game = new ScriptedGame
        {
            Update = _ => seen = $"{Input.WasKeyPressed(Key.Z)} {Mouse.WasButtonPressed(MouseButton.Left)} {Mouse.WheelY} {Input.TypedText}",
        };

        HostRun run = Host.RunVersion2(game, "", input.ToArray());

        Assert.Equal("True True 1 z", seen);
        Assert.Equal("END_FRAME", run.Lines[^1]);
    }

    // Beyond the line read, taking the events of a frame allocates nothing (typed text
    // makes its one string).
    [Fact]
    public void EventsAllocateNothingOnceWarmedUp()
    {
        var input = new Orvane.Hosting.InputState();
        string[] lines = { "KEY|65|1", "KEY|65|0", "KEY|65|2", "BUTTON|1|1|10.5|20", "BUTTON|1|0|10.5|20", "POINTER|11|21.25|1",
                           "WHEEL|0|1", "FOCUS|0", "FOCUS|1", "SIZE|960|540", "KEY|999|1", "BUTTON|x", "POINTER|1|2" };
        void Round()
        {
            foreach (string line in lines) input.Event(line);
            input.NextFrame("65,66");
            while (input.TryTakeFocusChange(out _)) { }
        }
        for (int i = 0; i < 10; i++) Round();

        long before = GC.GetAllocatedBytesForCurrentThread();
        for (int i = 0; i < 1000; i++) Round();
        long allocated = GC.GetAllocatedBytesForCurrentThread() - before;

        Assert.True(allocated < 1024, $"{allocated} bytes for 1000 frames of events");
    }
}
