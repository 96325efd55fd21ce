#include "audio/VorbisDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

namespace Orvane {

namespace {

constexpr std::size_t decodeChunkFrames = 4096;

std::FILE* OpenForReading(const std::filesystem::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"rb");   // wide: the name may lie outside the ANSI code page
#else
    return std::fopen(path.c_str(), "rb");
#endif
}

std::string DescribeError(int code) {
    switch (code) {
    case VORBIS_outofmem:
        return "out of memory";
    case VORBIS_missing_capture_pattern:
    case VORBIS_invalid_first_page:
        return "not an Ogg Vorbis stream";
    case VORBIS_unexpected_eof:
    case VORBIS_invalid_setup:
    case VORBIS_invalid_stream:
        return "broken or cut-off Ogg Vorbis stream";
    default:
        return "broken Ogg Vorbis stream (error " + std::to_string(code) + ")";
    }
}

// stb_vorbis reports no error when a stream in memory just stops, so the pages are
// walked: a complete stream ends with a whole page that carries the end-of-stream flag.
bool EndsWithLastPage(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t headerSize = 27;
    constexpr std::uint8_t endOfStream = 0x04;
    std::size_t at = 0;
    bool last = false;
    while (at < bytes.size()) {
        if (bytes.size() - at < headerSize || std::memcmp(bytes.data() + at, "OggS", 4) != 0) {
            return false;
        }
        const std::size_t segments = bytes[at + 26];
        if (bytes.size() - at < headerSize + segments) {
            return false;
        }
        std::size_t body = 0;
        for (std::size_t segment = 0; segment < segments; ++segment) {
            body += bytes[at + headerSize + segment];
        }
        last = (bytes[at + 5] & endOfStream) != 0;
        at += headerSize + segments + body;
    }
    return at == bytes.size() && last;
}

} // namespace

bool LooksLikeOgg(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 4 && std::memcmp(bytes.data(), "OggS", 4) == 0;
}

bool DecodeVorbis(std::span<const std::uint8_t> bytes, SoundBuffer& buffer, bool& truncated, std::string& error) {
    truncated = false;
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        error = "file too large";
        return false;
    }
    int code = 0;
    stb_vorbis* decoder = stb_vorbis_open_memory(bytes.data(), static_cast<int>(bytes.size()), &code, nullptr);
    if (decoder == nullptr) {
        error = DescribeError(code);
        return false;
    }
    const stb_vorbis_info info = stb_vorbis_get_info(decoder);
    const int channels = std::min(info.channels, 2);
    buffer.sampleRate = static_cast<int>(info.sample_rate);
    buffer.channels = channels;
    buffer.samples.clear();
    std::vector<float> chunk(decodeChunkFrames * static_cast<std::size_t>(channels));
    for (;;) {
        const int frames = stb_vorbis_get_samples_float_interleaved(decoder, channels, chunk.data(),
                                                                    static_cast<int>(chunk.size()));
        if (frames <= 0) {
            break;
        }
        buffer.samples.insert(buffer.samples.end(), chunk.begin(), chunk.begin() + frames * channels);
    }
    // A clean end leaves no error; a stream cut off mid-page reports one.
    const int endError = stb_vorbis_get_error(decoder);
    stb_vorbis_close(decoder);
    if (buffer.samples.empty()) {
        error = endError != VORBIS__no_error ? DescribeError(endError) : "no audio data";
        return false;
    }
    truncated = endError != VORBIS__no_error || !EndsWithLastPage(bytes);
    return true;
}

VorbisStream::~VorbisStream() {
    if (decoder != nullptr) {
        stb_vorbis_close(decoder);
    }
}

bool VorbisStream::Open(const std::filesystem::path& path, std::string& error) {
    std::FILE* file = OpenForReading(path);
    if (file == nullptr) {
        error = "cannot be opened";
        return false;
    }
    int code = 0;
    // The decoder owns the file from here on and closes it, also on failure.
    decoder = stb_vorbis_open_file(file, 1, &code, nullptr);
    if (decoder == nullptr) {
        error = DescribeError(code);
        return false;
    }
    const stb_vorbis_info info = stb_vorbis_get_info(decoder);
    sampleRate = static_cast<int>(info.sample_rate);
    channels = std::min(info.channels, 2);
    return true;
}

std::size_t VorbisStream::Read(float* out, std::size_t frames) {
    if (decoder == nullptr) {
        return 0;
    }
    const int wanted = static_cast<int>(std::min<std::size_t>(frames, decodeChunkFrames));
    const int got = stb_vorbis_get_samples_float_interleaved(decoder, channels, out, wanted * channels);
    if (got <= 0) {
        return 0;
    }
    if (channels == 1) {
        // Spread mono to both sides, back to front so nothing is overwritten early.
        for (int frame = got - 1; frame >= 0; --frame) {
            out[2 * frame] = out[frame];
            out[2 * frame + 1] = out[frame];
        }
    }
    return static_cast<std::size_t>(got);
}

bool VorbisStream::Rewind() { return decoder != nullptr && stb_vorbis_seek_start(decoder) != 0; }

} // namespace Orvane
