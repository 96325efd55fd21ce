namespace Orvane.Tests;

[Collection(nameof(HostCollection))]
public sealed class AudioTests
{
    // The runtime's answer to the host's offer comes right before START; the host's own
    // offer (PROTOCOL|2) and READY open every run and are left out of the comparisons.
    private static readonly string[] Version2Start = { "PROTOCOL|2", "START" };

    private static HostRun RunFrame(Action update, params string[] start)
    {
        var game = new ScriptedGame { Update = _ => update() };
        return Host.Run(game, "", start.Concat(new[] { "FRAME|0.016|", "SHUTDOWN" }).ToArray());
    }

    [Fact]
    public void Version2WritesEachCallAsOneLineWithFreshHandles()
    {
        SoundHandle first = default;
        SoundHandle second = default;
        HostRun run = RunFrame(() =>
        {
            first = Audio.Play("sfx/jump.wav", 0.5f, -0.25f, 1.5f);
            second = Audio.Play("sfx/coin.ogg");
            Audio.Stop(first);
            Audio.PlayMusic("music/theme.ogg", loop: false, volume: 0.4f, fadeIn: 2);
            Audio.PauseMusic();
            Audio.ResumeMusic();
            Audio.FadeMusicVolume(0.1f, 0.5f);
            Audio.MusicVolume = 0.3f;
            Audio.StopMusic(1.25f);
            Audio.MasterVolume = 0.75f;
            Audio.Muted = true;
            Audio.PauseWhenUnfocused = true;
        }, Version2Start);

        Assert.Equal(new[]
        {
            "SOUND|1|sfx/jump.wav|0.5|-0.25|1.5",
            "SOUND|2|sfx/coin.ogg|1|0|1",
            "SOUND_STOP|1",
            "MUSIC|music/theme.ogg|0|0.4|2",
            "MUSIC_PAUSE",
            "MUSIC_RESUME",
            "MUSIC_VOLUME|0.1|0.5",
            "MUSIC_VOLUME|0.3|0",
            "MUSIC_STOP|1.25",
            "AUDIO|0.75|0|0",
            "AUDIO|0.75|1|0",
            "AUDIO|0.75|1|1",
        }, run.Reply(0).Where(l => l != "PROTOCOL|2" && l != "READY" && l != "STARTED"));
        Assert.NotEqual(first, second);
        Assert.True(first.IsValid);
        Assert.False(default(SoundHandle).IsValid);
    }

    [Fact]
    public void Version1SendsNothingAndWarnsOncePerRun()
    {
        SoundHandle handle = default;
        HostRun run = RunFrame(() =>
        {
            handle = Audio.Play("a.wav");
            Audio.PlayMusic("m.ogg");
            Audio.MasterVolume = 0.5f;
            Audio.StopMusic();
        }, "START");

        string[] lines = run.Reply(0).Where(l => l != "PROTOCOL|2" && l != "READY" && l != "STARTED").ToArray();
        Assert.Equal(new[] { "LOG|Warn|The runtime has no sound (protocol version 1): Audio calls are ignored." }, lines);
        Assert.True(handle.IsValid);
    }

    [Fact]
    public void BadPathsAndNumbersAreLeftOutWithOneWarningEach()
    {
        HostRun run = RunFrame(() =>
        {
            Audio.Play("a|b.wav");
            Audio.Play("a|b.wav");
            Audio.Play("");
            Audio.Play("ok.wav", float.NaN);
            Audio.PlayMusic("m.ogg", fadeIn: float.PositiveInfinity);
            Audio.Play("ok.wav", 3, -7, 100);   // out of range: the runtime clamps
        }, Version2Start);

        Assert.Equal(new[]
        {
            "LOG|Warn|Sound path cannot be sent, the sound is left out: \"a|b.wav\"",
            "LOG|Warn|Sound path cannot be sent, the sound is left out: \"\"",
            "LOG|Warn|Left out a SOUND command with a NaN or infinite number (further ones are left out silently).",
            "SOUND|5|ok.wav|3|-7|100",
        }, run.Reply(0).Where(l => l != "PROTOCOL|2" && l != "READY" && l != "STARTED"));
    }

    [Fact]
    public void SettingsMadeBeforeTheVersionIsKnownAreSentWithIt()
    {
        var game = new ScriptedGame();
        // A constructor-time setting: the host has not heard from the runtime yet.
        var stream = new CountingStream();
        var output = new Orvane.Hosting.ProtocolWriter(stream);
        var loop = new Orvane.Hosting.HostLoop(game, "", output);
        Audio.Muted = true;
        loop.Run(new StringReader("PROTOCOL|2\nSTART\nSHUTDOWN\n"));

        var lines = stream.Text.TrimEnd('\n').Split('\n');
        // Settings are kept, not refused: no warning, and they go out once version 2 is known.
        Assert.Equal(new[] { "PROTOCOL|2", "READY", "AUDIO|1|1|0", "STARTED" }, lines);
    }
}
