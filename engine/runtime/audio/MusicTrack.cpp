#include "audio/MusicTrack.h"

#include "audio/SoundCache.h"
#include "audio/WavDecoder.h"

#include <algorithm>
#include <fstream>

namespace Orvane {

bool MusicTrack::Open(std::string& error) {
    std::array<std::uint8_t, 12> head{};
    std::size_t headSize = 0;
    {
        std::ifstream file(path, std::ios::in | std::ios::binary);
        if (!file) {
            error = "cannot be opened";
            state.store(State::Failed, std::memory_order_release);
            return false;
        }
        file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
        headSize = static_cast<std::size_t>(file.gcount());
    }
    const std::span<const std::uint8_t> start(head.data(), headSize);
    bool opened = false;
    if (LooksLikeOgg(start)) {
        streamed = true;
        opened = stream.Open(path, error);
    } else if (LooksLikeWav(start)) {
        std::vector<std::uint8_t> bytes;
        opened = ReadFileBytes(path, bytes) && DecodeWav(bytes, whole, error);
        if (!opened && error.empty()) {
            error = "cannot be read";
        }
    } else {
        error = headSize == 0 ? "empty file" : "not a WAV or Ogg Vorbis file";
    }
    state.store(opened ? State::Ready : State::Failed, std::memory_order_release);
    return opened;
}

int MusicTrack::SampleRate() const { return streamed ? stream.SampleRate() : whole.sampleRate; }

bool MusicTrack::Refill(bool loop) {
    chunkAt = 0;
    chunkEnd = 0;
    // Two tries: the end of the file, then (looping) the start again.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (streamed) {
            chunkEnd = stream.Read(chunk.data(), chunkFrames);
        } else {
            const std::size_t frames = whole.Frames();
            const std::size_t at = wholeAt;
            const std::size_t count = std::min(chunkFrames, frames - std::min(frames, at));
            for (std::size_t frame = 0; frame < count; ++frame) {
                const float* source = &whole.samples[(at + frame) * static_cast<std::size_t>(whole.channels)];
                chunk[2 * frame] = source[0];
                chunk[2 * frame + 1] = whole.channels == 2 ? source[1] : source[0];
            }
            wholeAt += count;
            chunkEnd = count;
        }
        if (chunkEnd > 0) {
            return true;
        }
        if (!loop) {
            return false;
        }
        if (streamed) {
            if (!stream.Rewind()) {
                return false;
            }
        } else {
            wholeAt = 0;
        }
    }
    return false;
}

bool MusicTrack::NextFrame(float& left, float& right, bool loop) {
    if (chunkAt >= chunkEnd && !Refill(loop)) {
        return false;
    }
    left = chunk[2 * chunkAt];
    right = chunk[2 * chunkAt + 1];
    ++chunkAt;
    return true;
}

} // namespace Orvane
