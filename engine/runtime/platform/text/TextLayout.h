#pragma once
#include "platform/text/Font.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace Orvane {

// Where the glyphs of a text go, by the rules a script host also uses to measure
// text: scale = size / unitsPerEm; line height round((ascent - descent + lineGap) x
// scale); the pen moves by advance x scale, without kerning; characters the font
// lacks take glyph 0's advance and are drawn as a box; characters below U+0020
// other than the line break take no room.
struct PlacedGlyph {
    int glyph = 0;
    bool missing = false;   // drawn as a box outline
    double penX = 0;        // from the text's left edge, in pixels
    int line = 0;
    double advance = 0;     // in pixels
};

struct TextLayout {
    double scale = 0;        // pixels per font unit
    int lineHeight = 0;
    int ascentPixels = 0;    // the first baseline lies this far below the top
    int lineCount = 0;
    int width = 0;           // the widest line, rounded up
    int height = 0;          // lineCount x lineHeight
    std::vector<PlacedGlyph> glyphs;
};

// Decodes UTF-8; each byte of a malformed sequence reads as U+FFFD.
std::vector<std::uint32_t> DecodeUtf8(std::string_view text);

TextLayout LayOutText(const Font& font, float size, std::string_view text);

} // namespace Orvane
