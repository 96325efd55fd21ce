#include "audio/WavDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Orvane {

namespace {

constexpr std::uint16_t formatPcm = 1;
constexpr std::uint16_t formatFloat = 3;
constexpr std::uint16_t formatExtensible = 0xFFFE;
constexpr std::uint32_t maxSampleRate = 768000;

std::uint16_t Read16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | (at[1] << 8)); }

std::uint32_t Read32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

struct WavFormat {
    std::uint16_t encoding = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
};

// One sample of the given encoding as a float in -1..1.
float DecodeSample(const std::uint8_t* at, const WavFormat& format) {
    switch (format.bitsPerSample) {
    case 8:
        return (static_cast<float>(at[0]) - 128.0f) / 128.0f;   // 8-bit WAV is unsigned
    case 16:
        return static_cast<float>(static_cast<std::int16_t>(Read16(at))) / 32768.0f;
    case 24: {
        // Sign-extend by placing the three bytes at the top of a 32-bit word.
        const std::uint32_t bits = (static_cast<std::uint32_t>(at[0]) << 8) |
                                   (static_cast<std::uint32_t>(at[1]) << 16) |
                                   (static_cast<std::uint32_t>(at[2]) << 24);
        return static_cast<float>(static_cast<std::int32_t>(bits) / 256) / 8388608.0f;
    }
    default:
        if (format.encoding == formatFloat) {
            float value = 0;
            const std::uint32_t bits = Read32(at);
            std::memcpy(&value, &bits, sizeof value);
            return std::isfinite(value) ? value : 0.0f;   // a NaN would poison the whole mix
        }
        return static_cast<float>(static_cast<double>(static_cast<std::int32_t>(Read32(at))) / 2147483648.0);
    }
}

} // namespace

bool LooksLikeWav(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
           std::memcmp(bytes.data() + 8, "WAVE", 4) == 0;
}

bool DecodeWav(std::span<const std::uint8_t> bytes, SoundBuffer& buffer, std::string& error) {
    if (!LooksLikeWav(bytes)) {
        error = "not a RIFF/WAVE file";
        return false;
    }
    WavFormat format;
    bool haveFormat = false;
    const std::uint8_t* data = nullptr;
    std::size_t dataSize = 0;
    std::size_t at = 12;
    while (at + 8 <= bytes.size() && data == nullptr) {
        const std::uint8_t* chunk = bytes.data() + at;
        const std::size_t available = bytes.size() - at - 8;
        const std::size_t size = Read32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || available < 16) {
                error = "broken format chunk";
                return false;
            }
            const std::uint8_t* fields = chunk + 8;
            format.encoding = Read16(fields);
            format.channels = Read16(fields + 2);
            format.sampleRate = Read32(fields + 4);
            format.blockAlign = Read16(fields + 12);
            format.bitsPerSample = Read16(fields + 14);
            if (format.encoding == formatExtensible) {
                // The sub-format GUID starts with the plain format code.
                if (size < 40 || available < 40) {
                    error = "broken extensible format chunk";
                    return false;
                }
                format.encoding = Read16(fields + 24);
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            data = chunk + 8;
            dataSize = std::min(size, available);   // a cut-short file keeps what it has
        }
        at += 8 + size + (size & 1);   // chunks are padded to an even size
    }
    if (!haveFormat) {
        error = "no format chunk";
        return false;
    }
    const bool pcm = format.encoding == formatPcm &&
                     (format.bitsPerSample == 8 || format.bitsPerSample == 16 || format.bitsPerSample == 24 ||
                      format.bitsPerSample == 32);
    const bool floating = format.encoding == formatFloat && format.bitsPerSample == 32;
    if (!pcm && !floating) {
        error = "unsupported encoding (format " + std::to_string(format.encoding) + ", " +
                std::to_string(format.bitsPerSample) + " bits)";
        return false;
    }
    if (format.channels < 1 || format.channels > 2) {
        error = "unsupported channel count " + std::to_string(format.channels);
        return false;
    }
    if (format.sampleRate == 0 || format.sampleRate > maxSampleRate) {
        error = "unsupported sample rate " + std::to_string(format.sampleRate);
        return false;
    }
    const std::size_t sampleBytes = format.bitsPerSample / 8u;
    const std::size_t frameBytes = sampleBytes * format.channels;
    if (format.blockAlign != frameBytes) {
        error = "inconsistent block size";
        return false;
    }
    const std::size_t frames = data == nullptr ? 0 : dataSize / frameBytes;
    if (frames == 0) {
        error = "no audio data";
        return false;
    }
    buffer.sampleRate = static_cast<int>(format.sampleRate);
    buffer.channels = format.channels;
    buffer.samples.resize(frames * format.channels);
    for (std::size_t index = 0; index < buffer.samples.size(); ++index) {
        buffer.samples[index] = DecodeSample(data + index * sampleBytes, format);
    }
    return true;
}

} // namespace Orvane
