using Orvane.Hosting;

namespace Orvane;

/// <summary>One playing sound effect, to stop it early. The default value names no sound.</summary>
public readonly record struct SoundHandle(long Value)
{
    /// <summary>True for a handle that <see cref="Audio.Play"/> returned.</summary>
    public bool IsValid => Value > 0;
}

/// <summary>
/// Sound effects and music. Paths are relative to the project folder, like sprites;
/// WAV and Ogg Vorbis files are played. Volumes are 0 to 1, pan -1 (left) to 1
/// (right), pitch a speed factor from 0.25 to 4; values outside are clamped by the
/// runtime. Nothing waits: a sound starts within a few milliseconds of the frame that
/// asked for it. A runtime that has no sound (protocol version 1) ignores every call
/// after one warning.
/// </summary>
public static class Audio
{
    /// <summary>Plays an effect once. Up to 32 play at a time; the oldest gives way.</summary>
    public static SoundHandle Play(string path, float volume = 1, float pan = 0, float pitch = 1) =>
        HostContext.Output.Audio.Play(path, volume, pan, pitch);

    /// <summary>Stops an effect; nothing happens when it has already ended.</summary>
    public static void Stop(SoundHandle handle) => HostContext.Output.Audio.Stop(handle);

    /// <summary>Streams a music track in place of the current one, fading in over <paramref name="fadeIn"/> seconds
    /// (a fade also fades the previous track out).</summary>
    public static void PlayMusic(string path, bool loop = true, float volume = 1, float fadeIn = 0) =>
        HostContext.Output.Audio.PlayMusic(path, loop, volume, fadeIn);

    /// <summary>Pauses the music where it is.</summary>
    public static void PauseMusic() => HostContext.Output.Audio.Simple("MUSIC_PAUSE");

    /// <summary>Resumes paused music.</summary>
    public static void ResumeMusic() => HostContext.Output.Audio.Simple("MUSIC_RESUME");

    /// <summary>Stops the music, fading out over <paramref name="fadeOut"/> seconds.</summary>
    public static void StopMusic(float fadeOut = 0) => HostContext.Output.Audio.StopMusic(fadeOut);

    /// <summary>The music's volume; setting it changes the level at once.</summary>
    public static float MusicVolume
    {
        get => HostContext.Output.Audio.MusicVolume;
        set => HostContext.Output.Audio.SetMusicVolume(value, 0);
    }

    /// <summary>Moves the music's volume to <paramref name="volume"/> over <paramref name="seconds"/>.</summary>
    public static void FadeMusicVolume(float volume, float seconds) =>
        HostContext.Output.Audio.SetMusicVolume(volume, seconds);

    /// <summary>The level of everything, 0 to 1.</summary>
    public static float MasterVolume
    {
        get => HostContext.Output.Audio.MasterVolume;
        set => HostContext.Output.Audio.SetSettings(value, Muted, PauseWhenUnfocused);
    }

    /// <summary>Silences everything while set; sounds go on playing unheard.</summary>
    public static bool Muted
    {
        get => HostContext.Output.Audio.Muted;
        set => HostContext.Output.Audio.SetSettings(MasterVolume, value, PauseWhenUnfocused);
    }

    /// <summary>Pauses all sound while the window is minimised or has lost the focus (off by default).</summary>
    public static bool PauseWhenUnfocused
    {
        get => HostContext.Output.Audio.PauseWhenUnfocused;
        set => HostContext.Output.Audio.SetSettings(MasterVolume, Muted, value);
    }
}
