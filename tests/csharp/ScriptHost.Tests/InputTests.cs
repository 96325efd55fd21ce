namespace Orvane.Tests;

[Collection(nameof(HostCollection))]
public sealed class InputTests
{
    // Each case: the key lists of successive frames, and per frame the expected
    // (down, pressed, released) state of Key.A (65).
    public static TheoryData<string[], string> Sequences => new()
    {
        { new[] { "65", "65", "" , "" }, "DP. D.. ..R ..." },
        { new[] { "", "65", "", "65" }, "... DP. ..R DP." },
        { new[] { "37,65", "65,37", "37" }, "DP. D.. ..R" },
        { new[] { "65,65", "" }, "DP. ..R" },
        // Codes outside 0..255 and garbage are ignored, the rest of the list still counts.
        { new[] { "321,x,,-65,65" }, "DP." },
        { new[] { "256" }, "..." },
    };

    [Theory]
    [MemberData(nameof(Sequences))]
    public void EdgesFollowTheHeldSetAcrossFrames(string[] frames, string expected)
    {
        var seen = new List<string>();
        var game = new ScriptedGame
        {
            Update = _ => seen.Add(
                (Input.IsKeyDown(Key.A) ? "D" : ".") +
                (Input.WasKeyPressed(Key.A) ? "P" : ".") +
                (Input.WasKeyReleased(Key.A) ? "R" : ".")),
        };
        var input = new List<string> { "START" };
        input.AddRange(frames.Select(keys => "FRAME|0.01|" + keys));

        Host.Run(game, "", input.ToArray());

        Assert.Equal(expected, string.Join(" ", seen));
    }

    [Fact]
    public void KeyValuesAreVirtualKeyCodes()
    {
        var down = new List<Key>();
        var game = new ScriptedGame
        {
            Update = _ => down.AddRange(Enum.GetValues<Key>().Where(Input.IsKeyDown)),
        };

        Host.Run(game, "", "START", "FRAME|0.01|9,13,27,32,37,38,39,40,48,57,65,90,112,123");

        Assert.Equal(
            new[] { Key.Tab, Key.Enter, Key.Escape, Key.Space, Key.Left, Key.Up, Key.Right, Key.Down,
                    Key.D0, Key.D9, Key.A, Key.Z, Key.F1, Key.F12 },
            down);
    }

    // Win32 reports every virtual key; the SDL backend only those in its table, which
    // is read here: a Key the SDL backend never reports would never be down on Linux.
    [Fact]
    public void EveryKeyIsOneTheSdlBackendReports()
    {
        string table = File.ReadAllText(Path.Combine(RepositoryPaths.Root, "engine", "runtime", "platform", "sdl", "VirtualKeys.cpp"));
        var reported = new HashSet<int>(
            System.Text.RegularExpressions.Regex.Matches(table, @"\{SDL_SCANCODE_\w+, (\d+)\}").Select(m => int.Parse(m.Groups[1].Value)));
        Assert.Contains(16, reported); // the table was found and read
        // The runs the backend fills in code: letters, both digit rows, F1..F12.
        reported.UnionWith(Enumerable.Range('A', 26).Concat(Enumerable.Range('0', 10)).Concat(Enumerable.Range(96, 10)).Concat(Enumerable.Range(112, 12)));

        Assert.DoesNotContain(Enum.GetValues<Key>(), key => !reported.Contains((int)key));
    }

    [Fact]
    public void ANewHostStartsWithNoKeysHeld()
    {
        Host.Run(new ScriptedGame(), "", "START", "FRAME|0.01|65");
        bool pressed = false;
        var game = new ScriptedGame { Update = _ => pressed = Input.WasKeyReleased(Key.A) || Input.IsKeyDown(Key.A) };

        Host.Run(game, "", "START", "FRAME|0.01|");

        Assert.False(pressed);
    }
}
