#pragma once
#include <cstddef>
#include <vector>

namespace Orvane {

// Decoded audio: 32-bit float samples in -1..1, interleaved, one or two channels,
// at the file's own rate (the mixer resamples to the device's).
struct SoundBuffer {
    int sampleRate = 0;
    int channels = 0;
    std::vector<float> samples;

    std::size_t Frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

} // namespace Orvane
