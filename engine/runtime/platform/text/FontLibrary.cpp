#include "platform/text/FontLibrary.h"

#include "core/Log.h"
#include "core/Paths.h"

#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace Orvane {

namespace {

constexpr std::uintmax_t maxFontFileBytes = 64 * 1024 * 1024;

// Only a regular file is read: a FIFO or a device could block or never end.
bool ReadFontFile(const std::filesystem::path& path, std::vector<unsigned char>& bytes) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || error) {
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > maxFontFileBytes) {
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

} // namespace

FontLibrary::FontLibrary() {
    const std::span<const unsigned char> builtIn = DefaultFontBytes();
    defaultFont.Load(std::vector<unsigned char>(builtIn.begin(), builtIn.end()));
}

FontLibrary::~FontLibrary() = default;

const Font& FontLibrary::Get(const std::filesystem::path& path) {
    if (path.empty()) {
        return defaultFont;
    }
    std::string key = PathToUtf8(path);
    auto found = fonts.find(key);
    if (found == fonts.end()) {
        auto font = std::make_unique<Font>();
        std::vector<unsigned char> bytes;
        if (!ReadFontFile(path, bytes) || !font->Load(std::move(bytes))) {
            LogWarn("Font could not be loaded: " + key + "; using the default font.");
            font.reset();
        }
        found = fonts.emplace(std::move(key), std::move(font)).first;
    }
    return found->second ? *found->second : defaultFont;
}

} // namespace Orvane
