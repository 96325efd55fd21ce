#pragma once
#include "audio/SoundBuffer.h"

#include <cstdint>
#include <span>
#include <string>

namespace Orvane {

// True when bytes start like a RIFF/WAVE file.
bool LooksLikeWav(std::span<const std::uint8_t> bytes);

// Decodes a RIFF/WAVE file: PCM with 8, 16, 24 or 32 bits per sample, or 32-bit
// float, mono or stereo, any rate; the extensible header counts as its sub-format.
// A data chunk cut short keeps its whole frames. False with the reason in error.
bool DecodeWav(std::span<const std::uint8_t> bytes, SoundBuffer& buffer, std::string& error);

} // namespace Orvane
