using System.Numerics;
using System.Text;

namespace Orvane.Tests;

// Which protocol the host speaks, and what a version-1 runtime gets instead of the
// version-2 drawing.
[Collection(nameof(HostCollection))]
public sealed class NegotiationTests
{
    // Draws something of every kind, twice, so each left-out feature shows up twice.
    private static void DrawEverything()
    {
        for (int i = 0; i < 2; i++)
        {
            Draw.Rect(0, 0, 1, 1, Color.Red);
            Draw.Rect(0, 0, 1, 1, Color.Red.WithAlpha(100));
            Draw.RectOutline(0, 0, 1, 1, Color.Red, 2);
            Draw.Line(0, 0, 1, 1, Color.Red);
            Draw.Text("hi", 0, 0, 16, Color.Red);
            Draw.Sprite("a.png", 0, 0, 1, 1, Color.Red);
            Draw.Sprite("a.png", 0, 0, 1, 1, SpriteOptions.Frame(1, 0, 8, 8));
            Draw.Sprite("a.png", 0, 0, 1, 1, new SpriteOptions { Rotation = 30 });
            Draw.Sprite("a.png", 0, 0, 1, 1, new SpriteOptions { FlipX = true });
            Draw.Sprite("a.png", 0, 0, 1, 1, new SpriteOptions { Tint = Color.Red });
            Draw.Sprite("a.png", 0, 0, 1, 1, new SpriteOptions { Opacity = 0.5f });
            Draw.Sprite("a|b.png", 0, 0, 1, 1, new SpriteOptions { Rotation = 30 });
            using (Draw.Screen())
            {
                Draw.Rect(5, 5, 1, 1, Color.Blue);
                Draw.Sprite("hud.png", 5, 5, 1, 1, Color.Blue);
                Draw.DebugRect(5, 5, 1, 1, Color.Blue);
                Physics.Collider(1, 5, 5, 1, 1);
            }
            Camera.Zoom = 2;
        }
    }

    [Fact]
    public void AVersion2RuntimeGetsTheOfferAndVersion2Lines()
    {
        bool? advanced = null;
        var game = new ScriptedGame { Start = _ => advanced = Draw.AdvancedDrawing, Update = _ => Draw.Line(0, 0, 1, 1, Color.Red) };

        HostRun run = Host.Run(game, "", "PROTOCOL|2", "START", "FRAME|0.01|");

        Assert.True(advanced);
        Assert.Equal(new[] { "PROTOCOL|2", "READY", "STARTED", "LINE|0|0|1|1|1|255|0|0|255", "END_FRAME" }, run.Lines);
    }

    public static TheoryData<string[]> Version1Openings => new()
    {
        new[] { "START", "FRAME|0.01|" },
        new[] { "FRAME|0.01|", "START", "FRAME|0.01|" },
        new[] { "START", "PROTOCOL|2", "FRAME|0.01|" },   // too late to count
        new[] { "PROTOCOL|3", "START", "FRAME|0.01|" },   // not what the host offered
    };

    [Theory]
    [MemberData(nameof(Version1Openings))]
    public void AVersion1RuntimeGetsOnlyVersion1LinesAndOneWarningPerFeature(string[] input)
    {
        bool? advanced = null;
        var game = new ScriptedGame { Start = _ => advanced = Draw.AdvancedDrawing, Update = _ => DrawEverything() };

        HostRun run = Host.Run(game, "", input.Append("FRAME|0.01|").ToArray());

        Assert.False(advanced);
        int first = input.TakeWhile(l => l != "START").Count(l => l.StartsWith("FRAME|"));
        string[] frame = run.Reply(first).SkipWhile(l => l != "STARTED").Skip(1).ToArray();
        string[] warnings = frame.Where(l => l.StartsWith("LOG|Warn|The runtime speaks protocol version 1")).ToArray();
        string[] expectedFeatures =
        {
            "translucent colours", "rectangle outlines", "lines", "text", "parts of images", "turned sprites",
            "mirrored sprites", "tinted sprites", "in screen space", "with a camera zoom",
        };
        Assert.Equal(expectedFeatures.Length, warnings.Length);
        foreach (string feature in expectedFeatures)
        {
            Assert.Single(warnings, w => w.Contains("cannot draw " + feature));
        }
        var drawing = frame.Where(l => !l.StartsWith("LOG|")).ToArray();
        Assert.Equal(
            Enumerable.Repeat(new[] { "RECT|0|0|1|1|255|0|0", "SPRITE|0|0|1|1|255|0|0|a.png", "DEBUG_RECT|5|5|1|1|0|0|255", "COLLIDER|1|5|5|1|1" }, 2).SelectMany(l => l),
            drawing);
        // The next frame repeats the drawing without a single warning.
        Assert.Equal(drawing, run.Reply(first + 1));
    }

    [Fact]
    public void AVersion1RuntimeNeverSeesAZoom()
    {
        var game = new ScriptedGame { Start = _ => Camera.Zoom = 3, Update = _ => Camera.SetPosition(1, 2) };

        HostRun run = Host.Run(game, "", "START", "FRAME|0.01|", "FRAME|0.01|");

        Assert.DoesNotContain(run.Lines, l => l.StartsWith("ZOOM|"));
        Assert.Single(run.Lines, l => l.Contains("camera zoom"));
        Assert.Contains("CAMERA|1|2", run.Lines);
    }

    [Fact]
    public void MeasuringTextWorksOnEitherRuntime()
    {
        TextSize v1 = default, v2 = default;
        Host.Run(new ScriptedGame { Update = _ => v1 = Draw.MeasureText("Hello", 16) }, "", "START", "FRAME|0.01|");
        Host.RunVersion2(new ScriptedGame { Update = _ => v2 = Draw.MeasureText("Hello", 16) }, "", "START", "FRAME|0.01|");

        Assert.True(v1.Width > 0);
        Assert.Equal(v1, v2);
    }

    // The runtime ends a line it had to cut short with CAN: such a line is not a command.
    [Fact]
    public void LinesEndingInCanAreDropped()
    {
        var game = new ScriptedGame();

        HostRun run = Host.RunVersion2(game, "", "START\u0018", "START", "COLLISION|1|2\u0018", "FRAME|0.01|65\u0018", "FRAME|0.01|", "SHUTDOWN\u0018", "FRAME|0.01|");

        Assert.Equal(new[] { "start:", "update", "update", "shutdown" }, game.Calls);
        Assert.Equal(2, run.Lines.Count(l => l == "END_FRAME"));
        Assert.Single(run.Lines, l => l == "STARTED");
    }

    // Whatever arrives, the loop neither throws nor stops answering frames.
    [Theory]
    [InlineData(1)]
    [InlineData(2)]
    [InlineData(3)]
    public void RandomInputNeverThrowsOutOfTheLoop(int seed)
    {
        var random = new Random(seed);
        string[] starts = { "FRAME|", "COLLISION|", "START", "PROTOCOL|", "PROTOCOL|2", "SHUTDOWN|", "", "TEXT|", "|" };
        string alphabet = "0123456789|,.-+eE abcFRAME\\\u0018\u0000\u00e9\ud83d\ude00\ud800\uffff\t";
        var lines = new List<string>();
        for (int i = 0; i < 3000; i++)
        {
            var line = new StringBuilder(starts[random.Next(starts.Length)]);
            int length = random.Next(0, random.Next(2) == 0 ? 8 : 80);
            for (int j = 0; j < length; j++) line.Append(alphabet[random.Next(alphabet.Length)]);
            if (line.ToString() != "SHUTDOWN") lines.Add(line.ToString());
        }
        var game = new ScriptedGame
        {
            Update = _ =>
            {
                DrawEverything();
                Draw.Text(lines[random.Next(lines.Count)], 0, 0, random.Next(-5, 600), Color.White);
                Draw.MeasureText(lines[random.Next(lines.Count)], 16);
            },
            Collision = (a, b) => Draw.Rect(a, b, 1, 1, Color.White),
        };

        HostRun run = Host.Run(game, "", lines.ToArray());

        Assert.Equal(0, run.ExitCode);
        int frames = lines.Count(l => l.StartsWith("FRAME|") && !l.EndsWith('\u0018'));
        Assert.Equal(frames, run.Lines.Count(l => l == "END_FRAME"));
        Assert.DoesNotContain(run.Lines, l => l.StartsWith("ERROR|"));
    }
}
