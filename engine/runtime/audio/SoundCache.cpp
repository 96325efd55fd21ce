#include "audio/SoundCache.h"

#include "audio/VorbisDecoder.h"
#include "audio/WavDecoder.h"
#include "core/Paths.h"

#include <fstream>

namespace Orvane {

namespace fs = std::filesystem;

namespace {

// Effects are decoded whole; anything larger belongs to MUSIC, which streams.
constexpr std::uintmax_t maxSoundFileBytes = 256u * 1024 * 1024;

void Load(SoundEntry& entry, const fs::path& path, AudioLoader& loader) {
    const std::string name = PathToUtf8(path);
    std::error_code status;
    if (!fs::is_regular_file(path, status)) {
        loader.Warn("Sound not found: " + name);
        entry.state.store(SoundEntry::State::Failed, std::memory_order_release);
        return;
    }
    std::vector<std::uint8_t> bytes;
    std::string error;
    bool truncated = false;
    if (fs::file_size(path, status) > maxSoundFileBytes) {
        error = "larger than 256 MiB; play it as music";
    } else if (!ReadFileBytes(path, bytes)) {
        error = "cannot be read";
    } else if (DecodeSoundFile(bytes, entry.buffer, truncated, error)) {
        if (truncated) {
            loader.Warn("Sound file breaks off, playing the part before the break: " + name);
        }
        entry.state.store(SoundEntry::State::Ready, std::memory_order_release);
        return;
    }
    loader.Warn("Sound could not be loaded: " + name + " (" + error + ")");
    entry.state.store(SoundEntry::State::Failed, std::memory_order_release);
}

} // namespace

bool ReadFileBytes(const fs::path& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream stream(path, std::ios::in | std::ios::binary);
    if (!stream) {
        return false;
    }
    stream.seekg(0, std::ios::end);
    const std::streamoff size = stream.tellg();
    if (size < 0) {
        return false;
    }
    stream.seekg(0, std::ios::beg);
    bytes.resize(static_cast<std::size_t>(size));
    return size == 0 || static_cast<bool>(stream.read(reinterpret_cast<char*>(bytes.data()), size));
}

bool DecodeSoundFile(const std::vector<std::uint8_t>& bytes, SoundBuffer& buffer, bool& truncated,
                     std::string& error) {
    truncated = false;
    if (bytes.empty()) {
        error = "empty file";
        return false;
    }
    if (LooksLikeWav(bytes)) {
        return DecodeWav(bytes, buffer, error);
    }
    if (LooksLikeOgg(bytes)) {
        return DecodeVorbis(bytes, buffer, truncated, error);
    }
    error = "not a WAV or Ogg Vorbis file";
    return false;
}

std::shared_ptr<const SoundEntry> SoundCache::Get(const fs::path& path) {
    auto [found, inserted] = entries.try_emplace(PathToUtf8(path));
    if (inserted) {
        auto entry = std::make_shared<SoundEntry>();
        found->second = entry;
        AudioLoader& worker = loader;
        loader.Post([entry, path, &worker] { Load(*entry, path, worker); });
    }
    return found->second;
}

} // namespace Orvane
