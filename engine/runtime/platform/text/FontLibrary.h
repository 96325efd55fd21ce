#pragma once
#include "platform/text/Font.h"

#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>

namespace Orvane {

// The fonts texts name, each file loaded once; a font that cannot be used costs
// one warning and is replaced by the default font from then on.
class FontLibrary {
public:
    FontLibrary();
    ~FontLibrary();
    FontLibrary(const FontLibrary&) = delete;
    FontLibrary& operator=(const FontLibrary&) = delete;

    // The font at path (already resolved), or the default font for an empty path
    // or an unusable file.
    const Font& Get(const std::filesystem::path& path);
    const Font& Default() const { return defaultFont; }

private:
    Font defaultFont;
    // Loaded fonts by UTF-8 path; null for a file that failed.
    std::unordered_map<std::string, std::unique_ptr<Font>> fonts;
};

} // namespace Orvane
