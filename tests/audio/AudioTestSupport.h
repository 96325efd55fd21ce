#pragma once
#include "audio/SoundBuffer.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

namespace OrvaneTest {

// Encodings a test WAV can be written in.
enum class WavEncoding { Pcm8, Pcm16, Pcm24, Pcm32, Float32 };

inline int BitsOf(WavEncoding encoding) {
    switch (encoding) {
    case WavEncoding::Pcm8:
        return 8;
    case WavEncoding::Pcm16:
        return 16;
    case WavEncoding::Pcm24:
        return 24;
    default:
        return 32;
    }
}

inline void Put16(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

inline void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// A WAV file of interleaved samples in -1..1. formatCode 0 picks the natural one
// (1 PCM, 3 float); extensible writes the 40-byte WAVE_FORMAT_EXTENSIBLE header.
inline std::string MakeWav(const std::vector<float>& samples, int channels, int rate, WavEncoding encoding,
                           bool extensible = false, int formatCode = 0) {
    const int bits = BitsOf(encoding);
    const int code = formatCode != 0 ? formatCode : (encoding == WavEncoding::Float32 ? 3 : 1);
    std::string data;
    for (float sample : samples) {
        const double clamped = std::clamp(static_cast<double>(sample), -1.0, 1.0);
        switch (encoding) {
        case WavEncoding::Pcm8:
            data.push_back(static_cast<char>(static_cast<std::uint8_t>(std::lround(clamped * 127.0 + 128.0))));
            break;
        case WavEncoding::Pcm16:
            Put16(data, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(clamped * 32767.0))));
            break;
        case WavEncoding::Pcm24: {
            const auto value = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(clamped * 8388607.0)));
            data.push_back(static_cast<char>(value & 0xFF));
            data.push_back(static_cast<char>((value >> 8) & 0xFF));
            data.push_back(static_cast<char>((value >> 16) & 0xFF));
            break;
        }
        case WavEncoding::Pcm32:
            Put32(data, static_cast<std::uint32_t>(static_cast<std::int32_t>(std::llround(clamped * 2147483647.0))));
            break;
        case WavEncoding::Float32: {
            std::uint32_t bitsValue = 0;
            std::memcpy(&bitsValue, &sample, sizeof sample);
            Put32(data, bitsValue);
            break;
        }
        }
    }
    std::string format;
    Put16(format, extensible ? 0xFFFE : static_cast<std::uint32_t>(code));
    Put16(format, static_cast<std::uint32_t>(channels));
    Put32(format, static_cast<std::uint32_t>(rate));
    Put32(format, static_cast<std::uint32_t>(rate * channels * bits / 8));
    Put16(format, static_cast<std::uint32_t>(channels * bits / 8));
    Put16(format, static_cast<std::uint32_t>(bits));
    if (extensible) {
        Put16(format, 22);
        Put16(format, static_cast<std::uint32_t>(bits));
        Put32(format, channels == 2 ? 3u : 4u);
        Put16(format, static_cast<std::uint32_t>(code));   // the GUID's first two bytes
        format += std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    }
    std::string file = "RIFF";
    Put32(file, static_cast<std::uint32_t>(4 + 8 + format.size() + 8 + data.size()));
    file += "WAVEfmt ";
    Put32(file, static_cast<std::uint32_t>(format.size()));
    file += format;
    file += "data";
    Put32(file, static_cast<std::uint32_t>(data.size()));
    file += data;
    return file;
}

// frames of a sine at frequency, amplitude, mono.
inline std::vector<float> Sine(std::size_t frames, double frequency, int rate, float amplitude) {
    std::vector<float> samples(frames);
    for (std::size_t index = 0; index < frames; ++index) {
        samples[index] = amplitude * static_cast<float>(std::sin(2 * std::numbers::pi * frequency *
                                                                 static_cast<double>(index) / rate));
    }
    return samples;
}

inline std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

inline double Rms(const float* samples, std::size_t count, std::size_t stride = 1) {
    double sum = 0;
    std::size_t used = 0;
    for (std::size_t index = 0; index < count; index += stride, ++used) {
        sum += static_cast<double>(samples[index]) * samples[index];
    }
    return used > 0 ? std::sqrt(sum / static_cast<double>(used)) : 0;
}

// Zero crossings upwards per second of a channel: a frequency estimate.
inline double Frequency(const std::vector<float>& samples, std::size_t channels, std::size_t channel, int rate) {
    std::size_t crossings = 0;
    const std::size_t frames = samples.size() / channels;
    for (std::size_t frame = 1; frame < frames; ++frame) {
        if (samples[(frame - 1) * channels + channel] < 0 && samples[frame * channels + channel] >= 0) {
            ++crossings;
        }
    }
    return static_cast<double>(crossings) * rate / static_cast<double>(frames);
}

inline fs::path TestData(const std::string& name) { return fs::path(ORVANE_TEST_DATA_DIR) / name; }

} // namespace OrvaneTest
