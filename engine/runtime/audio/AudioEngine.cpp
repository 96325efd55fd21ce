#include "audio/AudioEngine.h"

#include "core/Log.h"
#include "core/Paths.h"

namespace Orvane {

AudioEngine::~AudioEngine() { device.Close(); }

bool AudioEngine::Start() {
    std::string error;
    if (!device.Open(mixer, error)) {
        LogWarn("No audio output (" + error + "); the game runs without sound.");
        return false;
    }
    return true;
}

void AudioEngine::Apply(const std::vector<AudioCommand>& commands) {
    LogLoaderWarnings();
    mixer.ReleaseRetiredTracks();
    if (!device.IsOpen()) {
        return;   // silent run: nothing would ever render the commands
    }
    for (const AudioCommand& command : commands) {
        MixerCommand& entry = batch.emplace_back();
        entry.command = command;
        if (command.kind == AudioCommandKind::Sound) {
            entry.sound = cache.Get(command.path);
        } else if (command.kind == AudioCommandKind::Music) {
            auto track = std::make_shared<MusicTrack>(command.path);
            entry.music = track;
            AudioLoader& worker = loader;
            loader.Post([track, &worker] {
                std::string error;
                if (!track->Open(error)) {
                    worker.Warn("Music could not be played: " + PathToUtf8(track->Path()) + " (" + error + ")");
                }
            });
        } else if (command.kind == AudioCommandKind::Settings) {
            pauseUnfocused = command.pauseUnfocused;
            mixer.SetSuspended(pauseUnfocused && windowAway);
        }
    }
    if (!batch.empty()) {
        mixer.Submit(batch);
    }
}

void AudioEngine::SetWindowState(bool focused, bool minimized) {
    windowAway = !focused || minimized;
    mixer.SetSuspended(pauseUnfocused && windowAway);
}

void AudioEngine::LogLoaderWarnings() {
    for (std::string& warning : loader.TakeWarnings()) {
        if (reported.insert(warning).second) {
            LogWarn(warning);
        }
    }
}

} // namespace Orvane
