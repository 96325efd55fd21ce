#pragma once
#include <cstdint>
#include <filesystem>

namespace Orvane {

// Version 2 sound commands, in arrival order; the Application hands them to the
// audio engine after each frame exchange.
enum class AudioCommandKind : std::uint8_t {
    Sound,         // SOUND|handle|path|volume|pan|pitch
    SoundStop,     // SOUND_STOP|handle
    Music,         // MUSIC|path|loop|volume|fade
    MusicPause,    // MUSIC_PAUSE
    MusicResume,   // MUSIC_RESUME
    MusicStop,     // MUSIC_STOP|fade
    MusicVolume,   // MUSIC_VOLUME|volume|fade
    Settings,      // AUDIO|master|muted|pauseUnfocused
};

struct AudioCommand {
    AudioCommandKind kind = AudioCommandKind::Sound;
    std::int64_t handle = 0;       // Sound, SoundStop: positive, chosen by the host
    float volume = 1;              // 0..1: effect, track or master volume
    float pan = 0;                 // -1 left .. 1 right
    float pitch = 1;               // speed factor 0.25..4
    float fade = 0;                // seconds, 0: at once
    bool loop = false;             // Music
    bool muted = false;            // Settings
    bool pauseUnfocused = false;   // Settings
    std::filesystem::path path;    // Sound, Music: already resolved against the project folder
};

} // namespace Orvane
