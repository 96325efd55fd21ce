#pragma once
#include "audio/AudioLoader.h"
#include "audio/SoundBuffer.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>

namespace Orvane {

// One sound file, decoded on the loader thread. The buffer is written before the
// state turns Ready and never changes afterwards, so the audio thread reads it
// without a lock once it has seen Ready.
struct SoundEntry {
    enum class State : std::uint8_t { Loading, Ready, Failed };
    std::atomic<State> state{State::Loading};
    SoundBuffer buffer;
};

// Reads a whole file; false when it cannot be opened or read.
bool ReadFileBytes(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes);

// Decodes WAV or Ogg Vorbis by content, whatever the file name says. truncated is
// set when an Ogg stream broke off and only its front was decoded.
bool DecodeSoundFile(const std::vector<std::uint8_t>& bytes, SoundBuffer& buffer, bool& truncated,
                     std::string& error);

// Each sound path decoded once, failures included (one warning per path).
class SoundCache {
public:
    explicit SoundCache(AudioLoader& loader) : loader(loader) {}

    // The entry of path, its decode started on first use.
    std::shared_ptr<const SoundEntry> Get(const std::filesystem::path& path);

private:
    AudioLoader& loader;
    std::unordered_map<std::string, std::shared_ptr<SoundEntry>> entries;
};

} // namespace Orvane
