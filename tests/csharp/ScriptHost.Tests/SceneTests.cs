namespace Orvane.Tests;

[Collection(nameof(HostCollection))]
public sealed class SceneTests
{
    private static (List<string> Calls, HostRun Run) RunWithScenes(string startScene, string[] registered, params string[] input)
    {
        var calls = new List<string>();
        var game = new ScriptedGame();
        foreach (string name in registered)
        {
            game.AddScene(name, new RecordingScene(calls));
        }
        var all = new List<string> { "START" };
        all.AddRange(input);
        HostRun run = Host.Run(game, startScene, all.ToArray());
        return (calls, run);
    }

    public static TheoryData<string, string[], string, bool> StartCases => new()
    {
        { "Level2", new[] { "Level1", "Level2" }, "Level2", false },
        { "", new[] { "Level1", "Level2" }, "Level1", false },
        { "Missing", new[] { "Level1", "Level2" }, "Level1", true },
        { "level2", new[] { "Level1", "Level2" }, "Level1", true }, // names are case-sensitive
    };

    [Theory]
    [MemberData(nameof(StartCases))]
    public void StartsTheNamedSceneOrFallsBackToTheFirst(string startScene, string[] registered, string expected, bool warns)
    {
        var (calls, run) = RunWithScenes(startScene, registered, "FRAME|0.01|");

        Assert.Equal(new[] { $"{expected}.enter", $"{expected}.update", $"{expected}.exit" }, calls);
        Assert.Equal(warns, run.Lines.Any(l => l.StartsWith("LOG|Warn|") && l.Contains(startScene)));
    }

    [Fact]
    public void WithoutScenesTheGameRunsAlone()
    {
        var game = new ScriptedGame();

        HostRun run = Host.Run(game, "Level1", "START", "FRAME|0.01|");

        Assert.Null(game.CurrentScene);
        Assert.DoesNotContain(run.Lines, l => l.StartsWith("LOG|Warn"));
        Assert.Equal(new[] { "start:Level1", "update", "shutdown" }, game.Calls);
    }

    [Fact]
    public void SceneLoadedInOnStartWinsOverTheStartScene()
    {
        var calls = new List<string>();

        Host.Run(new StartLoadsGame(calls), "Level1", "START", "FRAME|0.01|");

        Assert.Equal(new[] { "Menu.enter", "Menu.update", "Menu.exit" }, calls);
    }

    private sealed class StartLoadsGame : Game
    {
        private readonly List<string> calls;

        public StartLoadsGame(List<string> calls)
        {
            this.calls = calls;
        }

        protected override void OnStart(string scene)
        {
            AddScene("Level1", new RecordingScene(calls));
            AddScene("Menu", new RecordingScene(calls));
            LoadScene("Menu");
        }
    }

    [Fact]
    public void LoadSceneDuringAnUpdateSwitchesAfterThatUpdate()
    {
        var calls = new List<string>();
        var game = new ScriptedGame();
        game.AddScene("A", new RecordingScene(calls) { Update = _ => Assert.True(Game().LoadScene("B")) });
        game.AddScene("B", new RecordingScene(calls));
        Game Game() => game;

        Host.Run(game, "A", "START", "FRAME|0.01|", "FRAME|0.01|");

        Assert.Equal(new[] { "A.enter", "A.update", "A.exit", "B.enter", "B.update", "B.exit" }, calls);
    }

    [Fact]
    public void LoadSceneFromACollisionSwitchesBeforeTheUpdate()
    {
        var calls = new List<string>();
        ScriptedGame? game = null;
        game = new ScriptedGame { Collision = (_, _) => game!.LoadScene("B") };
        game.AddScene("A", new RecordingScene(calls));
        game.AddScene("B", new RecordingScene(calls));

        Host.Run(game, "A", "START", "COLLISION|1|2", "FRAME|0.01|");

        Assert.Equal(new[] { "A.enter", "A.collision:1:2", "A.exit", "B.enter", "B.update", "B.exit" }, calls);
    }

    [Fact]
    public void UnknownSceneIsRefusedWithAWarning()
    {
        var calls = new List<string>();
        bool? loaded = null;
        ScriptedGame? game = null;
        game = new ScriptedGame { Update = _ => loaded = game!.LoadScene("Nope") };
        game.AddScene("A", new RecordingScene(calls));

        HostRun run = Host.Run(game, "A", "START", "FRAME|0.01|", "FRAME|0.01|");

        Assert.False(loaded);
        Assert.Contains(run.Lines, l => l.StartsWith("LOG|Warn|") && l.Contains("Nope"));
        Assert.Equal(new[] { "A.enter", "A.update", "A.update", "A.exit" }, calls);
    }
}
