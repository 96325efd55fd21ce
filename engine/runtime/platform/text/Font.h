#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace Orvane {

// A TrueType font: its metrics, its character map and its glyph outlines, read
// with stb_truetype from bytes the font owns.
class Font {
public:
    Font();
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Takes the file's bytes; false when they are not a usable TrueType font.
    bool Load(std::vector<unsigned char> bytes);

    // Font units per em and the hhea metrics, in font units (descent is negative).
    int UnitsPerEm() const { return unitsPerEm; }
    int Ascent() const { return ascent; }
    int Descent() const { return descent; }
    int LineGap() const { return lineGap; }

    // The glyph of a character; 0 (the font's "missing" glyph) when it has none.
    int GlyphIndex(std::uint32_t codepoint) const;
    // Advance width of a glyph, in font units.
    int AdvanceWidth(int glyph) const;

    // A glyph's coverage (0..255 per pixel) at scale pixels per font unit; left
    // and top place it relative to the pen position on the baseline.
    struct GlyphBitmap {
        int width = 0;
        int height = 0;
        int left = 0;
        int top = 0;
        std::vector<std::uint8_t> coverage;   // width * height, row by row
    };
    GlyphBitmap Rasterize(int glyph, float scale) const;

private:
    struct Info;
    std::vector<unsigned char> bytes;
    std::unique_ptr<Info> info;
    int unitsPerEm = 0;
    int ascent = 0;
    int descent = 0;
    int lineGap = 0;
};

// DejaVu Sans, built into the runtime.
std::span<const unsigned char> DefaultFontBytes();

} // namespace Orvane
