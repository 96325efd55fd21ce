#include "platform/text/TextLayout.h"

#include <algorithm>
#include <cmath>

namespace Orvane {

namespace {

constexpr std::uint32_t replacementCharacter = 0xFFFD;

// Length of the UTF-8 sequence that lead starts, or 0 for a byte that cannot start one.
int SequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

} // namespace

std::vector<std::uint32_t> DecodeUtf8(std::string_view text) {
    std::vector<std::uint32_t> codepoints;
    codepoints.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const int length = SequenceLength(lead);
        if (length == 1) {
            codepoints.push_back(lead);
            ++at;
            continue;
        }
        bool valid = length > 0 && at + static_cast<std::size_t>(length) <= text.size();
        std::uint32_t value = valid ? lead & (0xFF >> (length + 1)) : 0;
        for (int i = 1; valid && i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + static_cast<std::size_t>(i)]);
            valid = (next & 0xC0) == 0x80;
            value = (value << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not characters.
        const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (value < smallest[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)) {
            valid = false;
        }
        if (valid) {
            codepoints.push_back(value);
            at += static_cast<std::size_t>(length);
        } else {
            codepoints.push_back(replacementCharacter);
            ++at;
        }
    }
    return codepoints;
}

TextLayout LayOutText(const Font& font, float size, std::string_view text) {
    TextLayout layout;
    if (font.UnitsPerEm() <= 0) {
        return layout;
    }
    layout.scale = static_cast<double>(size) / font.UnitsPerEm();
    layout.lineHeight = std::max(
        1, static_cast<int>(std::lround((font.Ascent() - font.Descent() + font.LineGap()) * layout.scale)));
    layout.ascentPixels = static_cast<int>(std::lround(font.Ascent() * layout.scale));
    layout.lineCount = 1;

    const double missingAdvance = font.AdvanceWidth(0) * layout.scale;
    double penX = 0;
    double widest = 0;
    for (const std::uint32_t codepoint : DecodeUtf8(text)) {
        if (codepoint == '\n') {
            widest = std::max(widest, penX);
            penX = 0;
            ++layout.lineCount;
            continue;
        }
        if (codepoint < 0x20) {
            continue;
        }
        PlacedGlyph placed;
        placed.glyph = font.GlyphIndex(codepoint);
        placed.missing = placed.glyph == 0;
        placed.advance = placed.missing ? missingAdvance : font.AdvanceWidth(placed.glyph) * layout.scale;
        placed.penX = penX;
        placed.line = layout.lineCount - 1;
        layout.glyphs.push_back(placed);
        penX += placed.advance;
    }
    widest = std::max(widest, penX);
    layout.width = static_cast<int>(std::ceil(widest));
    layout.height = layout.lineCount * layout.lineHeight;
    return layout;
}

} // namespace Orvane
