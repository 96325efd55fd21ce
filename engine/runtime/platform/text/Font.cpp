#include "platform/text/Font.h"

#include "platform/text/StbTrueType.h"

namespace Orvane {

namespace {

// Larger files are not fonts a 2D game ships; the limit also keeps a broken file
// from costing much.
constexpr std::size_t maxFontBytes = 64 * 1024 * 1024;

std::uint16_t ReadU16(const unsigned char* data) {
    return static_cast<std::uint16_t>((data[0] << 8) | data[1]);
}

} // namespace

struct Font::Info {
    stbtt_fontinfo stb{};
};

Font::Font() = default;
Font::~Font() = default;

bool Font::Load(std::vector<unsigned char> fileBytes) {
    info.reset();
    bytes = std::move(fileBytes);
    if (bytes.size() < 12 || bytes.size() > maxFontBytes) {
        return false;
    }
    const int offset = stbtt_GetFontOffsetForIndex(bytes.data(), 0);
    if (offset < 0) {
        return false;
    }
    auto loaded = std::make_unique<Info>();
    if (stbtt_InitFont(&loaded->stb, bytes.data(), offset) == 0) {
        return false;
    }
    // stb_truetype trusts the tables it found; check that the ones read below lie
    // inside the file.
    const stbtt_fontinfo& stb = loaded->stb;
    const auto inside = [&](int table, std::size_t length) {
        return table > 0 && static_cast<std::size_t>(table) + length <= bytes.size();
    };
    if (!inside(stb.head, 54) || !inside(stb.hhea, 36) || !inside(stb.hmtx, 4) ||
        stb.numGlyphs <= 0) {
        return false;
    }
    const int numberOfHMetrics = ReadU16(bytes.data() + stb.hhea + 34);
    if (numberOfHMetrics <= 0 || !inside(stb.hmtx, static_cast<std::size_t>(numberOfHMetrics) * 4)) {
        return false;
    }
    unitsPerEm = ReadU16(bytes.data() + stb.head + 18);
    if (unitsPerEm < 16) {
        return false;
    }
    stbtt_GetFontVMetrics(&stb, &ascent, &descent, &lineGap);
    info = std::move(loaded);
    return true;
}

int Font::GlyphIndex(std::uint32_t codepoint) const {
    if (!info || codepoint > 0x10FFFF) {
        return 0;
    }
    const int glyph = stbtt_FindGlyphIndex(&info->stb, static_cast<int>(codepoint));
    return glyph < info->stb.numGlyphs ? glyph : 0;
}

int Font::AdvanceWidth(int glyph) const {
    if (!info) {
        return 0;
    }
    int advance = 0;
    int bearing = 0;
    stbtt_GetGlyphHMetrics(&info->stb, glyph, &advance, &bearing);
    return advance;
}

Font::GlyphBitmap Font::Rasterize(int glyph, float scale) const {
    GlyphBitmap bitmap;
    if (!info || glyph <= 0 || glyph >= info->stb.numGlyphs) {
        return bitmap;
    }
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    stbtt_GetGlyphBitmapBox(&info->stb, glyph, scale, scale, &x0, &y0, &x1, &y1);
    if (x1 <= x0 || y1 <= y0 || x1 - x0 > 4096 || y1 - y0 > 4096) {
        return bitmap;
    }
    bitmap.width = x1 - x0;
    bitmap.height = y1 - y0;
    bitmap.left = x0;
    bitmap.top = y0;
    bitmap.coverage.assign(static_cast<std::size_t>(bitmap.width) * bitmap.height, 0);
    stbtt_MakeGlyphBitmap(&info->stb, bitmap.coverage.data(), bitmap.width, bitmap.height, bitmap.width,
                          scale, scale, glyph);
    return bitmap;
}

} // namespace Orvane
