#pragma once
#include "platform/text/FontLibrary.h"
#include "platform/text/TextRaster.h"

#include <filesystem>
#include <string_view>

namespace Orvane {

// Text to coverage, the same on every backend: fonts loaded once, glyphs
// rasterised once per size, laid out by the shared rules of TextLayout.
class TextRenderer {
public:
    // Sizes above this (after zoom) are drawn at it, so one text cannot cost
    // more than a screenful of glyph pixels.
    static constexpr float maxPixelSize = 1024;

    CoverageImage Render(const std::filesystem::path& fontPath, float size, std::string_view text, float x,
                         float y, int clipWidth, int clipHeight);

    FontLibrary& Fonts() { return fonts; }

private:
    FontLibrary fonts;
    GlyphCache glyphs;
};

} // namespace Orvane
