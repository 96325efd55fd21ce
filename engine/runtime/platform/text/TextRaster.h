#pragma once
#include "platform/text/Font.h"
#include "platform/text/TextLayout.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace Orvane {

// Coverage (0..255) of a whole text, placed in window pixels.
struct CoverageImage {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> coverage;   // width * height, row by row
};

// Shrinks the image to the rows and columns that hold coverage (an image with
// none becomes empty); what it blends is unchanged.
void CropToCoverage(CoverageImage& image);

// Rasterised glyphs by font, glyph and scale; a text drawn every frame is
// rasterised once. Bounded: it starts afresh when it grows past its limit.
class GlyphCache {
public:
    const Font::GlyphBitmap& Get(const Font& font, int glyph, double scale);
    std::size_t Size() const { return glyphs.size(); }

private:
    struct Key {
        const Font* font;
        int glyph;
        double scale;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };
    std::unordered_map<Key, Font::GlyphBitmap, KeyHash> glyphs;
};

// The text's coverage with its first line's top-left at x, y (window pixels),
// clipped to 0 <= x < clipWidth, 0 <= y < clipHeight, and cropped to what it
// covers. Overlapping glyphs keep the larger coverage.
CoverageImage RasterizeText(const Font& font, const TextLayout& layout, float x, float y, int clipWidth,
                            int clipHeight, GlyphCache& cache);

} // namespace Orvane
