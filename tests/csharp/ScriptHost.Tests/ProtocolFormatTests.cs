using System.Globalization;

namespace Orvane.Tests;

[Collection(nameof(HostCollection))]
public sealed class ProtocolFormatTests
{
    private static string[] FrameOf(Action update) =>
        Host.Run(new ScriptedGame { Update = _ => update() }, "", "START", "FRAME|0.01|").Reply(0, "END_FRAME")
            .SkipWhile(l => l != "STARTED").Skip(1).ToArray();

    [Fact]
    public void EveryCommandHasItsFieldsInOrder()
    {
        string[] lines = FrameOf(() =>
        {
            Draw.Rect(1.5f, -2, 30, 40, new Color(1, 2, 3));
            Draw.Sprite("assets/hero.png", 5, 6, 7, 8, new Color(9, 10, 11));
            Draw.DebugRect(0, 0, 10, 10, Color.Lime);
            Physics.Collider(-7, 1, 2, 3, 4);
            Log.Info("hello");
            Log.Warn("careful");
            Log.Error("bad");
        });

        Assert.Equal(
            new[]
            {
                "RECT|1.5|-2|30|40|1|2|3",
                "SPRITE|5|6|7|8|9|10|11|assets/hero.png",
                "DEBUG_RECT|0|0|10|10|0|255|0",
                "COLLIDER|-7|1|2|3|4",
                "LOG|Info|hello",
                "LOG|Warn|careful",
                "LOG|Error|bad",
            },
            lines);
    }

    [Fact]
    public void NumbersUseThePointEvenUnderAGermanCulture()
    {
        CultureInfo saved = CultureInfo.CurrentCulture;
        CultureInfo.CurrentCulture = new CultureInfo("de-DE");
        try
        {
            Assert.Equal("1,5", 1.5f.ToString()); // the culture really is in effect
            string[] lines = FrameOf(() =>
            {
                Draw.Rect(1234567.5f, 0.25f, -0.125f, 1000, Color.White);
                Camera.SetPosition(12.75f, -3.5f);
            });
            Assert.Equal(new[] { "RECT|1234567.5|0.25|-0.125|1000|255|255|255", "CAMERA|12.75|-3.5" }, lines);
        }
        finally
        {
            CultureInfo.CurrentCulture = saved;
        }
    }

    public static TheoryData<float> Floats => new()
    {
        0.1f, 1f / 3, -0f, 16777217f, 1e-7f, 1.17549435e-38f, 3.4028235e38f, -123456.789f, 1e20f, 0.016666668f,
    };

    // The text must read back to the same float and contain nothing but what strtof takes
    // as one number: digits, sign, point, exponent.
    [Theory]
    [MemberData(nameof(Floats))]
    public void FloatsRoundTripInPlainNumberText(float value)
    {
        string line = FrameOf(() => Draw.Rect(value, 0, 0, 0, Color.Black)).Single();

        string text = line.Split('|')[1];
        Assert.Matches("^-?[0-9]+(\\.[0-9]+)?(E[-+][0-9]+)?$", text);
        float back = float.Parse(text, NumberStyles.Float, CultureInfo.InvariantCulture);
        Assert.Equal(BitConverter.SingleToInt32Bits(value), BitConverter.SingleToInt32Bits(back));
    }

    // strtof flags subnormal results as range errors, which would cost the command.
    [Theory]
    [InlineData(1e-40f)]
    [InlineData(-1.401298e-45f)]
    public void SubnormalFloatsAreSentAsZero(float value)
    {
        string line = FrameOf(() => Draw.Rect(value, 1, 1, 1, Color.Black)).Single();

        Assert.Equal("RECT|0|1|1|1|0|0|0", line);
    }

    [Fact]
    public void NonFiniteNumbersAreLeftOutWithOneWarning()
    {
        string[] lines = FrameOf(() =>
        {
            Draw.Rect(float.NaN, 0, 1, 1, Color.Red);
            Draw.Sprite("a.png", 0, float.PositiveInfinity, 1, 1, Color.Red);
            Physics.Collider(1, 0, 0, float.NegativeInfinity, 1);
            Draw.DebugRect(0, 0, 1, float.NaN, Color.Red);
            Draw.Rect(1, 1, 1, 1, Color.Red);
        });

        Assert.Equal(2, lines.Length);
        Assert.StartsWith("LOG|Warn|", lines[0]);
        Assert.Equal("RECT|1|1|1|1|255|0|0", lines[1]);
    }

    [Fact]
    public void LogTextStaysOnOneLineAndMayHoldSeparators()
    {
        string[] lines = FrameOf(() =>
        {
            Log.Info("a|b\r\nc\nd");
            Log.Warn("");
        });

        Assert.Equal(new[] { "LOG|Info|a|b  c d", "LOG|Warn|" }, lines);
    }

    [Theory]
    [InlineData("")]
    [InlineData("a|b.png")]
    [InlineData("a\nb.png")]
    public void UnsendableSpritePathDrawsTheFallbackRectangle(string path)
    {
        string[] lines = FrameOf(() =>
        {
            Draw.Sprite(path, 1, 2, 3, 4, new Color(5, 6, 7));
            Draw.Sprite(path, 1, 2, 3, 4, new Color(5, 6, 7));
        });

        Assert.Equal(3, lines.Length); // one warning for the path, two rectangles
        Assert.StartsWith("LOG|Warn|", lines[0]);
        Assert.DoesNotContain('\n', lines[0]);
        Assert.Equal("RECT|1|2|3|4|5|6|7", lines[1]);
        Assert.Equal("RECT|1|2|3|4|5|6|7", lines[2]);
    }

    [Fact]
    public void ShowCollidersAddsAnOutlinePerCollider()
    {
        string[] lines = FrameOf(() =>
        {
            Physics.Collider(1, 0, 0, 5, 5);
            Physics.ShowColliders = true;
            Physics.Collider(2, 1, 1, 5, 5);
        });

        Assert.Equal(new[] { "COLLIDER|1|0|0|5|5", "COLLIDER|2|1|1|5|5", "DEBUG_RECT|1|1|5|5|0|255|0" }, lines);
    }

    [Fact]
    public void CameraIsSentOnlyWhenItMoves()
    {
        int frame = 0;
        var game = new ScriptedGame
        {
            Update = _ =>
            {
                frame++;
                if (frame == 2) Camera.X = 10;
                if (frame == 4) Camera.SetPosition(10, 5);
                if (frame == 5) Camera.SetPosition(0, 0);
            },
        };

        HostRun run = Host.Run(game, "", "START", "FRAME|0.01|", "FRAME|0.01|", "FRAME|0.01|", "FRAME|0.01|", "FRAME|0.01|");

        Assert.Equal(
            new[] { "PROTOCOL|2", "READY", "STARTED", "END_FRAME", "CAMERA|10|0", "END_FRAME", "END_FRAME", "CAMERA|10|5", "END_FRAME", "CAMERA|0|0", "END_FRAME" },
            run.Lines);
    }

    [Fact]
    public void CameraSetDuringStartIsSentBeforeStarted()
    {
        var game = new ScriptedGame { Start = _ => Camera.CenterOn(300, 200, 200, 100) };

        HostRun run = Host.Run(game, "", "START");

        Assert.Equal(new[] { "PROTOCOL|2", "READY", "CAMERA|200|150", "STARTED" }, run.Lines);
    }
}
