#pragma once
#include "audio/SoundBuffer.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

struct stb_vorbis;

namespace Orvane {

// True when bytes start like an Ogg stream.
bool LooksLikeOgg(std::span<const std::uint8_t> bytes);

// Decodes a whole Ogg Vorbis file (an effect). A stream that breaks off keeps the
// part before the break and sets truncated; false with the reason in error when
// nothing could be decoded. More than two channels keep the first two.
bool DecodeVorbis(std::span<const std::uint8_t> bytes, SoundBuffer& buffer, bool& truncated, std::string& error);

// An Ogg Vorbis file decoded piece by piece from disk, for music: only the
// decoder's state and one page are in memory at a time.
class VorbisStream {
public:
    VorbisStream() = default;
    ~VorbisStream();
    VorbisStream(const VorbisStream&) = delete;
    VorbisStream& operator=(const VorbisStream&) = delete;

    bool Open(const std::filesystem::path& path, std::string& error);
    // Decodes up to frames stereo frames into out (mono is doubled); 0 at the end.
    std::size_t Read(float* out, std::size_t frames);
    bool Rewind();
    int SampleRate() const { return sampleRate; }

private:
    stb_vorbis* decoder = nullptr;
    int sampleRate = 0;
    int channels = 0;
};

} // namespace Orvane
