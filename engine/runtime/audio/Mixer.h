#pragma once
#include "audio/MusicTrack.h"
#include "audio/SoundCache.h"
#include "scripting/AudioCommand.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace Orvane {

// An AudioCommand with what the game thread looked up for it.
struct MixerCommand {
    AudioCommand command;
    std::shared_ptr<const SoundEntry> sound;   // Sound
    std::shared_ptr<MusicTrack> music;         // Music
};

// Mixes the effect voices and the music into 32-bit float stereo at the output
// rate. The game thread submits commands; the audio thread renders and applies
// them at the start of its next block, in order. Nothing here blocks the audio
// thread for longer than a vector swap.
class Mixer {
public:
    static constexpr std::size_t maxVoices = 32;

    Mixer();

    // Before the first Render (the device reports its rate when it opens).
    void SetOutputRate(int rate);
    int OutputRate() const { return outputRate; }

    // Game thread.
    void Submit(std::vector<MixerCommand>& commands);
    void SetSuspended(bool suspended) { this->suspended.store(suspended, std::memory_order_relaxed); }
    // Drops the music tracks the audio thread has let go, on the caller's thread.
    void ReleaseRetiredTracks();

    // Audio thread: writes frames stereo frames to out.
    void Render(float* out, std::size_t frames);

    // Frames rendered so far, from any thread.
    std::uint64_t RenderedFrames() const { return renderedFrames.load(std::memory_order_relaxed); }

    // For tests, between Render calls on the same thread.
    std::size_t VoiceCount() const { return voices.size(); }
    bool MusicPlaying() const { return music.track != nullptr; }

private:
    struct Voice {
        std::int64_t handle = 0;
        std::shared_ptr<const SoundEntry> sound;
        double position = 0;   // in source frames
        float volume = 1;
        float pan = 0;
        float pitch = 1;
    };

    struct MusicSlot {
        std::shared_ptr<MusicTrack> track;
        bool loop = false;
        bool paused = false;
        bool stopping = false;   // ends when the fade reaches silence
        bool started = false;    // the fade-in begins with the first audible frame
        bool exhausted = false;  // the track has no frame after current
        float gain = 0;
        float target = 0;
        float fade = 0;          // seconds of the pending fade (applied when started)
        float gainStep = 0;      // per output frame
        double phase = 2;        // resampling: how far past previous the output is (2: read two frames first)
        float previous[2] = {0, 0};
        float current[2] = {0, 0};
    };

    void Apply(MixerCommand& command);
    void StartVoice(MixerCommand& command);
    void MixVoice(Voice& voice, float* out, std::size_t frames, bool& ended);
    void MixMusic(MusicSlot& slot, float* out, std::size_t frames);
    void FadeTo(MusicSlot& slot, float target, float seconds);
    void Retire(MusicSlot& slot);

    int outputRate = 48000;
    std::mutex mutex;   // guards pending and retired
    std::vector<MixerCommand> pending;
    std::vector<std::shared_ptr<MusicTrack>> retired;
    std::atomic<bool> suspended{false};
    std::atomic<std::uint64_t> renderedFrames{0};

    // Audio thread only.
    std::vector<MixerCommand> incoming;
    std::vector<Voice> voices;   // oldest first
    MusicSlot music;
    MusicSlot outgoing;          // the previous track, fading out under the new one
    float masterVolume = 1;
    bool muted = false;
};

} // namespace Orvane
