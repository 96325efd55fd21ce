using System.Numerics;

namespace Orvane.Tests;

// The exact lines of the version-2 drawing calls, on a runtime that took version 2.
[Collection(nameof(HostCollection))]
public sealed class Version2CommandTests
{
    internal static string[] FrameOf(Action update) =>
        Host.RunVersion2(new ScriptedGame { Update = _ => update() }, "", "START", "FRAME|0.01|").Reply(0)
            .SkipWhile(l => l != "STARTED").Skip(1).ToArray();

    public static TheoryData<string, Action, string[]> Commands => new()
    {
        { "opaque rect", () => Draw.Rect(1, 2, 3, 4, new Color(5, 6, 7)), new[] { "RECT|1|2|3|4|5|6|7" } },
        { "translucent rect", () => Draw.Rect(1.5f, -2, 3, 4, new Color(5, 6, 7, 128)), new[] { "FILL|1.5|-2|3|4|5|6|7|128" } },
        { "invisible rect", () => Draw.Rect(1, 2, 3, 4, Color.Transparent), new[] { "FILL|1|2|3|4|0|0|0|0" } },
        { "outline", () => Draw.RectOutline(1, 2, 30, 40, Color.Red, 2.5f), new[] { "OUTLINE|1|2|30|40|2.5|255|0|0|255" } },
        { "outline, default thickness", () => Draw.RectOutline(1, 2, 30, 40, Color.Red.WithAlpha(9)), new[] { "OUTLINE|1|2|30|40|1|255|0|0|9" } },
        { "outline, thickness clamped", () => Draw.RectOutline(0, 0, 1, 1, Color.Red, 5000), new[] { "OUTLINE|0|0|1|1|1024|255|0|0|255" } },
        { "outline, no thickness", () => { Draw.RectOutline(0, 0, 1, 1, Color.Red, 0); Draw.RectOutline(0, 0, 1, 1, Color.Red, -3); }, Array.Empty<string>() },
        { "line", () => Draw.Line(1, 2, -3, 4.25f, Color.Blue.WithAlpha(7), 3), new[] { "LINE|1|2|-3|4.25|3|0|0|255|7" } },
        { "line, thickness clamped", () => Draw.Line(0, 0, 1, 1, Color.Blue, 1e9f), new[] { "LINE|0|0|1|1|1024|0|0|255|255" } },
        { "line, no thickness", () => Draw.Line(0, 0, 1, 1, Color.Blue, 0), Array.Empty<string>() },
        {
            "sprite, every option",
            () => Draw.Sprite("assets/hero.png", 10, 20, 32, 16, SpriteOptions.Frame(2, 1, 16, 8) with
            {
                Rotation = 90, FlipX = true, Tint = new Color(200, 100, 50), Opacity = 0.5f, Fallback = Color.Gray,
            }),
            new[] { "IMAGE|10|20|32|16|32|8|16|8|90|16|8|1|200|100|50|128|128|128|128|assets/hero.png" }
        },
        {
            "sprite, origin and both flips",
            () => Draw.Sprite("a.png", 0, 0, 10, 10, new SpriteOptions { Rotation = -45.5f, Origin = new Vector2(0, 2), FlipX = true, FlipY = true }),
            new[] { "IMAGE|0|0|10|10|0|0|0|0|-45.5|0|2|3|255|255|255|255|255|0|255|a.png" }
        },
        {
            "sprite, tint alpha times opacity",
            () => Draw.Sprite("a.png", 0, 0, 10, 10, new SpriteOptions { FlipY = true, Tint = Color.White.WithAlpha(128), Opacity = 0.5f }),
            new[] { "IMAGE|0|0|10|10|0|0|0|0|0|5|5|2|255|255|255|64|255|0|255|a.png" }
        },
        {
            "sprite, opacity clamped",
            () => { Draw.Sprite("a.png", 0, 0, 1, 1, new SpriteOptions { Opacity = -2 }); Draw.Sprite("a.png", 0, 0, 1, 1, new SpriteOptions { Opacity = 7 }); },
            new[] { "IMAGE|0|0|1|1|0|0|0|0|0|0.5|0.5|0|255|255|255|0|255|0|255|a.png", "SPRITE|0|0|1|1|255|0|255|a.png" }
        },
        { "sprite, default options", () => Draw.Sprite("a.png", 1, 2, 3, 4, default(SpriteOptions)), new[] { "SPRITE|1|2|3|4|255|0|255|a.png" } },
        {
            "sprite, a full turn and a fallback",
            () => Draw.Sprite("a.png", 1, 2, 3, 4, new SpriteOptions { Rotation = 720, Fallback = new Color(1, 2, 3) }),
            new[] { "SPRITE|1|2|3|4|1|2|3|a.png" }
        },
        {
            "sprite, an empty source is the whole image",
            () => Draw.Sprite("a.png", 1, 2, 3, 4, new SpriteOptions { SourceX = 5, SourceWidth = 0, SourceHeight = 9 }),
            new[] { "SPRITE|1|2|3|4|255|0|255|a.png" }
        },
        { "text", () => Draw.Text("Gems: 3", 5, 6, 20, Color.White), new[] { "TEXT|5|6|20|255|255|255|255||Gems: 3" } },
        { "text, escapes", () => Draw.Text("a|b\\c\r\nd\\n", 0, 0, 16, Color.Black.WithAlpha(3)), new[] { "TEXT|0|0|16|0|0|0|3||a|b\\\\c\\nd\\\\n" } },
        { "text, font and non-ASCII", () => Draw.Text("café 😀", 1, 2, 16, Color.Red, "fonts/My Font.ttf"), new[] { "TEXT|1|2|16|255|0|0|255|fonts/My Font.ttf|café 😀" } },
        { "text, size clamped", () => { Draw.Text("a", 0, 0, 0, Color.Red); Draw.Text("b", 0, 0, 9000, Color.Red); }, new[] { "TEXT|0|0|1|255|0|0|255||a", "TEXT|0|0|512|255|0|0|255||b" } },
        { "text, empty", () => Draw.Text("", 0, 0, 16, Color.Red), new[] { "TEXT|0|0|16|255|0|0|255||" } },
        { "text, a lone surrogate", () => Draw.Text("a\ud800b", 0, 0, 16, Color.Red), new[] { "TEXT|0|0|16|255|0|0|255||a\ufffdb" } },
    };

    [Theory]
    [MemberData(nameof(Commands))]
    public void EachCallSendsItsExactLine(string what, Action draw, string[] expected)
    {
        Assert.True(expected != null, what);
        Assert.Equal(expected, FrameOf(draw));
    }

    [Fact]
    public void NonFiniteNumbersLeaveOutTheCommandWithOneWarning()
    {
        string[] lines = FrameOf(() =>
        {
            Draw.Rect(float.NaN, 0, 1, 1, Color.Red.WithAlpha(1));
            Draw.RectOutline(0, 0, 1, 1, Color.Red, float.NaN);
            Draw.Line(0, float.PositiveInfinity, 1, 1, Color.Red);
            Draw.Sprite("a.png", 0, 0, 1, 1, new SpriteOptions { Rotation = float.NaN });
            Draw.Sprite("a.png", 0, 0, 1, 1, new SpriteOptions { FlipX = true, Origin = new Vector2(float.NaN, 0) });
            Draw.Text("x", float.NegativeInfinity, 0, 16, Color.Red);
            Draw.Text("x", 0, 0, float.NaN, Color.Red);
            Draw.Line(0, 0, 1, 1, Color.Red, 2);
        });

        Assert.Equal(2, lines.Length);
        Assert.StartsWith("LOG|Warn|Left out a FILL command", lines[0]);
        Assert.Equal("LINE|0|0|1|1|2|255|0|0|255", lines[1]);
    }

    [Fact]
    public void LongTextIsCutAtACharacterBoundaryWithOneWarning()
    {
        string exact = new string('a', 4096);
        string[] lines = FrameOf(() =>
        {
            Draw.Text(exact, 0, 0, 16, Color.White);
            Draw.Text(new string('a', 4095) + "é", 0, 0, 16, Color.White);   // é would end at byte 4097
            Draw.Text(new string('a', 4093) + "😀b", 0, 0, 16, Color.White); // the emoji's 4 bytes do not fit
            Draw.Text(new string('\\', 4096) + "\r\r", 0, 0, 16, Color.White); // escapes and dropped \r do not count
        });

        Assert.Equal(5, lines.Length);
        Assert.Equal("TEXT|0|0|16|255|255|255|255||" + exact, lines[0]);
        Assert.Equal("TEXT|0|0|16|255|255|255|255||" + new string('a', 4095), lines[1]);
        Assert.StartsWith("LOG|Warn|Cut a text to 4096 bytes", lines[2]);
        Assert.Equal("TEXT|0|0|16|255|255|255|255||" + new string('a', 4093), lines[3]);
        Assert.Equal("TEXT|0|0|16|255|255|255|255||" + new string('\\', 8192), lines[4]);
    }

    [Theory]
    [InlineData("a|b.ttf")]
    [InlineData("a\nb.ttf")]
    public void AFontPathThatCannotBeSentUsesTheDefaultFontWithOneWarning(string font)
    {
        string[] lines = FrameOf(() =>
        {
            Draw.Text("x", 0, 0, 16, Color.White, font);
            Draw.Text("y", 0, 0, 16, Color.White, font);
        });

        Assert.Equal(3, lines.Length);
        Assert.StartsWith("LOG|Warn|Font path cannot be sent", lines[0]);
        Assert.DoesNotContain('\n', lines[0]);
        Assert.Equal(new[] { "TEXT|0|0|16|255|255|255|255||x", "TEXT|0|0|16|255|255|255|255||y" }, lines[1..]);
    }

    // The fallback of a sprite whose path cannot be sent keeps the turn: a line as thick
    // as the sprite along its middle, turned about the same origin.
    [Fact]
    public void UnsendablePathDrawsTheFallbackTurnedAndTranslucent()
    {
        string[] lines = FrameOf(() =>
        {
            var options = new SpriteOptions { Rotation = 90, Opacity = 0.5f, Fallback = new Color(1, 2, 3) };
            Draw.Sprite("a|b.png", 10, 20, 40, 10, options);
            Draw.Sprite("a|b.png", 10, 20, 40, 10, options with { Rotation = 0 });
            Draw.Sprite("a|b.png", 0, 0, 40, 10, options with { Origin = Vector2.Zero });
        });

        Assert.Equal(4, lines.Length);
        Assert.StartsWith("LOG|Warn|Sprite path cannot be sent", lines[0]);
        // Centre 30, 25: the middle line from 10..50 at y 25 turned a quarter clockwise.
        Assert.Equal("LINE|30|5|30|45|10|1|2|3|128", lines[1]);
        Assert.Equal("FILL|10|20|40|10|1|2|3|128", lines[2]);
        // About the top-left corner: from (0, 5) to (40, 5) turned to (-5, 0)..(-5, 40).
        Assert.Equal("LINE|-5|0|-5|40|10|1|2|3|128", lines[3]);
    }

    [Fact]
    public void ScreenScopesNestAndOnlyTheOutermostSwitches()
    {
        string[] lines = FrameOf(() =>
        {
            Draw.Rect(0, 0, 1, 1, Color.Red);
            using (Draw.Screen())
            {
                Draw.Rect(1, 0, 1, 1, Color.Red);
                using (Draw.Screen())
                {
                    Draw.Text("hud", 2, 0, 16, Color.Red);
                }
                Draw.Rect(3, 0, 1, 1, Color.Red);
            }
            Draw.Rect(4, 0, 1, 1, Color.Red);
        });

        Assert.Equal(
            new[]
            {
                "RECT|0|0|1|1|255|0|0", "SPACE|screen", "RECT|1|0|1|1|255|0|0", "TEXT|2|0|16|255|0|0|255||hud",
                "RECT|3|0|1|1|255|0|0", "SPACE|world", "RECT|4|0|1|1|255|0|0",
            },
            lines);
    }

    [Fact]
    public void EveryFrameStartsInWorldSpaceAndAStaleScopeChangesNothing()
    {
        ScreenSpaceScope leftOpen = default;
        int frame = 0;
        var game = new ScriptedGame
        {
            Update = _ =>
            {
                frame++;
                if (frame == 1)
                {
                    leftOpen = Draw.Screen(); // never closed in this frame
                    Draw.Rect(0, 0, 1, 1, Color.Red);
                }
                else
                {
                    leftOpen.Dispose();
                    using (Draw.Screen())
                    {
                        leftOpen.Dispose();
                        Draw.Rect(1, 0, 1, 1, Color.Red);
                    }
                    default(ScreenSpaceScope).Dispose();
                }
            },
        };

        HostRun run = Host.RunVersion2(game, "", "START", "FRAME|0.01|", "FRAME|0.01|");

        Assert.Equal(new[] { "SPACE|screen", "RECT|0|0|1|1|255|0|0" }, run.Reply(0).SkipWhile(l => l != "STARTED").Skip(1));
        Assert.Equal(new[] { "SPACE|screen", "RECT|1|0|1|1|255|0|0", "SPACE|world" }, run.Reply(1));
    }

    [Fact]
    public void CollidersAndDebugOutlinesIgnoreScreenSpace()
    {
        string[] lines = FrameOf(() =>
        {
            using (Draw.Screen())
            {
                Physics.Collider(3, 1, 2, 3, 4);
                Draw.DebugRect(1, 2, 3, 4, Color.Lime);
            }
        });

        Assert.Equal(new[] { "SPACE|screen", "COLLIDER|3|1|2|3|4", "DEBUG_RECT|1|2|3|4|0|255|0", "SPACE|world" }, lines);
    }

    [Fact]
    public void ZoomIsSentWhenItChangesAndKeptInRange()
    {
        int frame = 0;
        var game = new ScriptedGame
        {
            Start = _ => Camera.Zoom = 2,
            Update = _ =>
            {
                frame++;
                if (frame == 2) Camera.Zoom = 1000;
                if (frame == 3) Camera.Zoom = 1e-9f;
                if (frame == 4) Camera.Zoom = 0.01f; // unchanged after the clamp
                if (frame == 5)
                {
                    Camera.Zoom = 4;
                    Camera.CenterOn(100, 100, 800, 400);
                }
            },
        };

        HostRun run = Host.RunVersion2(game, "", "START", "FRAME|0.01|", "FRAME|0.01|", "FRAME|0.01|", "FRAME|0.01|", "FRAME|0.01|");

        Assert.Equal(
            new[]
            {
                "PROTOCOL|2", "READY", "ZOOM|2", "STARTED", "END_FRAME", "ZOOM|100", "END_FRAME", "ZOOM|0.01", "END_FRAME",
                "END_FRAME", "ZOOM|4", "CAMERA|0|50", "END_FRAME",
            },
            run.Lines);
    }

    [Theory]
    [InlineData(0f)]
    [InlineData(-1f)]
    [InlineData(float.NaN)]
    [InlineData(float.PositiveInfinity)]
    public void AZoomThatCannotBeShownIsRefused(float zoom)
    {
        float before = Camera.Zoom;

        Assert.Throws<ArgumentOutOfRangeException>(() => Camera.Zoom = zoom);
        Assert.Equal(before, Camera.Zoom);
    }
}
