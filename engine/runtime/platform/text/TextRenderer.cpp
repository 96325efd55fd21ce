#include "platform/text/TextRenderer.h"

#include <algorithm>

namespace Orvane {

CoverageImage TextRenderer::Render(const std::filesystem::path& fontPath, float size, std::string_view text,
                                   float x, float y, int clipWidth, int clipHeight) {
    const Font& font = fonts.Get(fontPath);
    const TextLayout layout = LayOutText(font, std::clamp(size, 1.0f, maxPixelSize), text);
    return RasterizeText(font, layout, x, y, clipWidth, clipHeight, glyphs);
}

} // namespace Orvane
