#pragma once
#include "audio/AudioDevice.h"
#include "audio/AudioLoader.h"
#include "audio/Mixer.h"
#include "audio/SoundCache.h"
#include "scripting/AudioCommand.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace Orvane {

// The game's sound: takes each frame's audio commands, looks up and decodes the
// files off the game thread, and feeds the mixer that the device plays. Without
// a device every command is still accepted and the game runs silently.
class AudioEngine {
public:
    AudioEngine() = default;
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // Opens the output; false (after one warning) when there is none.
    bool Start();
    void Apply(const std::vector<AudioCommand>& commands);
    // Pauses everything while the window is away, if the game asked for it.
    void SetWindowState(bool focused, bool minimized);
    bool HasDevice() const { return device.IsOpen(); }

    // For tests: wait until every file asked for so far is decoded or opened.
    void WaitForLoads() { loader.WaitIdle(); }
    int OutputRate() const { return mixer.OutputRate(); }
    int BlockFrames() const { return device.BlockFrames(); }
    std::uint64_t RenderedFrames() const { return mixer.RenderedFrames(); }

private:
    void LogLoaderWarnings();

    AudioLoader loader;
    SoundCache cache{loader};
    Mixer mixer;
    AudioDevice device;   // declared last: it stops calling the mixer before the rest goes
    std::vector<MixerCommand> batch;
    std::unordered_set<std::string> reported;   // a track that fails again is not reported again
    bool pauseUnfocused = false;
    bool windowAway = false;
};

} // namespace Orvane
