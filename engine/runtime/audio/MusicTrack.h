#pragma once
#include "audio/SoundBuffer.h"
#include "audio/VorbisDecoder.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

namespace Orvane {

// A music file: Ogg Vorbis streamed from disk in small pieces on the audio
// thread, or a WAV file held whole. Opened on the loader thread (Open), then
// read only by the audio thread once the state is Ready.
class MusicTrack {
public:
    enum class State : std::uint8_t { Opening, Ready, Failed };

    explicit MusicTrack(std::filesystem::path path) : path(std::move(path)) {}

    // Loader thread. False with the reason in error; sets the state either way.
    bool Open(std::string& error);
    State GetState() const { return state.load(std::memory_order_acquire); }
    const std::filesystem::path& Path() const { return path; }
    int SampleRate() const;

    // Audio thread: the next stereo frame at the track's own rate; at the end it
    // starts again when loop is set. False once the track has ended.
    bool NextFrame(float& left, float& right, bool loop);

private:
    bool Refill(bool loop);

    std::filesystem::path path;
    std::atomic<State> state{State::Opening};
    bool streamed = false;
    VorbisStream stream;
    SoundBuffer whole;
    std::size_t wholeAt = 0;
    static constexpr std::size_t chunkFrames = 1024;
    std::array<float, chunkFrames * 2> chunk{};
    std::size_t chunkAt = 0;
    std::size_t chunkEnd = 0;
};

} // namespace Orvane
