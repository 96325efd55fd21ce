using System.Globalization;

namespace Orvane.Hosting;

// Writes the sound lines of protocol version 2 through the session's ProtocolWriter.
// On a version-1 runtime nothing is sent and the first call warns once. The settings
// (master volume, mute, pause when unfocused) are kept here, so a game may set them
// before the version is known; they are sent once it is.
internal sealed class AudioWriter
{
    private readonly ProtocolWriter output;
    private readonly HashSet<string> reportedPaths = new(StringComparer.Ordinal);
    private long lastHandle;
    private bool warnedVersion1;
    private bool reportedNonFinite;
    private bool settingsChanged;

    internal AudioWriter(ProtocolWriter output)
    {
        this.output = output;
    }

    internal float MasterVolume { get; private set; } = 1;
    internal bool Muted { get; private set; }
    internal bool PauseWhenUnfocused { get; private set; }
    internal float MusicVolume { get; private set; } = 1;

    internal SoundHandle Play(string path, float volume, float pan, float pitch)
    {
        var handle = new SoundHandle(++lastHandle);
        if (CanSend() && SendablePath(path) && AllFinite("SOUND", volume, pan, pitch))
        {
            output.Line($"SOUND|{handle.Value.ToString(CultureInfo.InvariantCulture)}|{path}|{Number(volume)}|{Number(pan)}|{Number(pitch)}");
        }
        return handle;
    }

    internal void Stop(SoundHandle handle)
    {
        if (handle.IsValid && CanSend())
        {
            output.Line("SOUND_STOP|" + handle.Value.ToString(CultureInfo.InvariantCulture));
        }
    }

    internal void PlayMusic(string path, bool loop, float volume, float fadeIn)
    {
        if (CanSend() && SendablePath(path) && AllFinite("MUSIC", volume, fadeIn, 0))
        {
            MusicVolume = Math.Clamp(volume, 0, 1);
            output.Line($"MUSIC|{path}|{(loop ? 1 : 0)}|{Number(volume)}|{Number(fadeIn)}");
        }
    }

    internal void StopMusic(float fadeOut)
    {
        if (CanSend() && AllFinite("MUSIC_STOP", fadeOut, 0, 0))
        {
            output.Line("MUSIC_STOP|" + Number(fadeOut));
        }
    }

    internal void SetMusicVolume(float volume, float seconds)
    {
        if (CanSend() && AllFinite("MUSIC_VOLUME", volume, seconds, 0))
        {
            MusicVolume = Math.Clamp(volume, 0, 1);
            output.Line($"MUSIC_VOLUME|{Number(volume)}|{Number(seconds)}");
        }
    }

    internal void Simple(string keyword)
    {
        if (CanSend())
        {
            output.Line(keyword);
        }
    }

    internal void SetSettings(float master, bool muted, bool pauseWhenUnfocused)
    {
        if (!float.IsFinite(master))
        {
            ReportNonFinite("AUDIO");
            return;
        }
        MasterVolume = Math.Clamp(master, 0, 1);
        Muted = muted;
        PauseWhenUnfocused = pauseWhenUnfocused;
        settingsChanged = true;
        if (output.Version >= 2)
        {
            SendSettings();
        }
    }

    // The runtime confirmed version 2: settings made before that are sent now.
    internal void VersionKnown()
    {
        if (settingsChanged)
        {
            SendSettings();
        }
    }

    private void SendSettings() =>
        output.Line($"AUDIO|{Number(MasterVolume)}|{(Muted ? 1 : 0)}|{(PauseWhenUnfocused ? 1 : 0)}");

    private bool CanSend()
    {
        if (output.Version >= 2)
        {
            return true;
        }
        if (!warnedVersion1)
        {
            warnedVersion1 = true;
            output.Log(LogLevel.Warn, "The runtime has no sound (protocol version 1): Audio calls are ignored.");
        }
        return false;
    }

    // The path is one field in the middle of the line: "|" or a line break would break it.
    private bool SendablePath(string path)
    {
        if (!string.IsNullOrEmpty(path) && path.AsSpan().IndexOfAny('|', '\r', '\n') < 0)
        {
            return true;
        }
        if (reportedPaths.Add(path ?? ""))
        {
            output.Log(LogLevel.Warn, $"Sound path cannot be sent, the sound is left out: \"{path}\"");
        }
        return false;
    }

    private bool AllFinite(string keyword, float a, float b, float c)
    {
        if (float.IsFinite(a) && float.IsFinite(b) && float.IsFinite(c))
        {
            return true;
        }
        ReportNonFinite(keyword);
        return false;
    }

    private void ReportNonFinite(string keyword)
    {
        if (!reportedNonFinite)
        {
            reportedNonFinite = true;
            output.Log(LogLevel.Warn, $"Left out a {keyword} command with a NaN or infinite number (further ones are left out silently).");
        }
    }

    // Shortest round-trip text; a subnormal is 0 to the runtime's strtof anyway.
    private static string Number(float value) =>
        (float.IsSubnormal(value) ? 0 : value).ToString(CultureInfo.InvariantCulture);
}
