#include "platform/text/TextRaster.h"

#include <algorithm>
#include <cstring>
#include <cmath>
#include <functional>

namespace Orvane {

namespace {

constexpr std::size_t maxCachedGlyphs = 4096;

struct PixelBox {
    int left = 0;
    int top = 0;
    int right = 0;    // exclusive
    int bottom = 0;   // exclusive
    bool Empty() const { return right <= left || bottom <= top; }
};

// The outline drawn for a character the font lacks: inside the glyph's advance,
// from the baseline up to seven tenths of the ascent.
PixelBox MissingGlyphBox(int penX, int baseline, const TextLayout& layout, double advance) {
    const int width = std::max(3, static_cast<int>(std::lround(advance)) - 2);
    const int height = std::max(3, static_cast<int>(std::lround(layout.ascentPixels * 0.7)));
    return {penX + 1, baseline - height, penX + 1 + width, baseline};
}

int BoxThickness(const TextLayout& layout) {
    return std::max(1, static_cast<int>(std::lround(layout.lineHeight / 20.0)));
}

} // namespace

std::size_t GlyphCache::KeyHash::operator()(const Key& key) const {
    const std::size_t a = std::hash<const void*>{}(key.font);
    const std::size_t b = std::hash<int>{}(key.glyph);
    const std::size_t c = std::hash<double>{}(key.scale);
    return a ^ (b * 0x9E3779B97F4A7C15ull) ^ (c + 0x7F4A7C15ull + (a << 6));
}

const Font::GlyphBitmap& GlyphCache::Get(const Font& font, int glyph, double scale) {
    const Key key{&font, glyph, scale};
    if (const auto found = glyphs.find(key); found != glyphs.end()) {
        return found->second;
    }
    if (glyphs.size() >= maxCachedGlyphs) {
        glyphs.clear();
    }
    return glyphs.emplace(key, font.Rasterize(glyph, static_cast<float>(scale))).first->second;
}

// RasterizeText's box is generous (a glyph may reach two line heights from its
// pen), so most of it stays empty; cropped, the blend that follows walks about a
// quarter of the pixels.
namespace {

// The index of the first non-zero byte, or count; eight bytes at a time, as
// most of a text's box is empty.
int FirstCovered(const std::uint8_t* bytes, int count) {
    int at = 0;
    for (; at + 8 <= count; at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + at, 8);
        if (word != 0) {
            break;
        }
    }
    while (at < count && bytes[at] == 0) {
        ++at;
    }
    return at;
}

// One past the last non-zero byte of bytes[from, count), or from when there is none.
int EndOfCovered(const std::uint8_t* bytes, int from, int count) {
    int end = count;
    for (; end - 8 >= from; end -= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + end - 8, 8);
        if (word != 0) {
            break;
        }
    }
    while (end > from && bytes[end - 1] == 0) {
        --end;
    }
    return end;
}

} // namespace

void CropToCoverage(CoverageImage& image) {
    int top = image.height;
    int bottom = 0;
    int left = image.width;
    int right = 0;
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.coverage.data() + static_cast<std::size_t>(y) * image.width;
        const int first = FirstCovered(row, image.width);
        if (first == image.width) {
            continue;
        }
        top = std::min(top, y);
        bottom = y + 1;
        left = std::min(left, first);
        right = std::max(right, EndOfCovered(row, std::max(first, right), image.width));
    }
    if (bottom <= top) {
        image = CoverageImage{};
        return;
    }
    if (top == 0 && bottom == image.height && left == 0 && right == image.width) {
        return;
    }
    const int width = right - left;
    for (int y = top; y < bottom; ++y) {
        std::copy_n(image.coverage.data() + static_cast<std::size_t>(y) * image.width + left, width,
                    image.coverage.data() + static_cast<std::size_t>(y - top) * width);
    }
    image.coverage.resize(static_cast<std::size_t>(width) * (bottom - top));
    image.left += left;
    image.top += top;
    image.width = width;
    image.height = bottom - top;
}

CoverageImage RasterizeText(const Font& font, const TextLayout& layout, float x, float y, int clipWidth,
                            int clipHeight, GlyphCache& cache) {
    CoverageImage image;
    if (layout.glyphs.empty() || clipWidth <= 0 || clipHeight <= 0 || !std::isfinite(x) || !std::isfinite(y)) {
        return image;
    }
    const double firstBaseline = std::floor(static_cast<double>(y) + 0.5) + layout.ascentPixels;
    const auto penPixel = [&](const PlacedGlyph& placed) {
        return std::floor(static_cast<double>(x) + placed.penX + 0.5);
    };
    const auto baselineOf = [&](const PlacedGlyph& placed) {
        return firstBaseline + static_cast<double>(placed.line) * layout.lineHeight;
    };

    // The box of everything drawn, clipped to the window; glyphs wholly outside
    // it are never rasterised.
    const double clipRight = clipWidth;
    const double clipBottom = clipHeight;
    double left = clipRight;
    double top = clipBottom;
    double right = 0;
    double bottom = 0;
    const double reach = layout.lineHeight * 2.0 + 2;   // no glyph reaches further from its pen
    for (const PlacedGlyph& placed : layout.glyphs) {
        const double px = penPixel(placed);
        const double baseline = baselineOf(placed);
        if (px + placed.advance + reach < 0 || px - reach > clipRight || baseline + reach < 0 ||
            baseline - reach > clipBottom) {
            continue;
        }
        left = std::min(left, px - reach);
        right = std::max(right, px + placed.advance + reach);
        top = std::min(top, baseline - reach);
        bottom = std::max(bottom, baseline + reach);
    }
    const int boxLeft = static_cast<int>(std::clamp(left, 0.0, clipRight));
    const int boxTop = static_cast<int>(std::clamp(top, 0.0, clipBottom));
    const int boxRight = static_cast<int>(std::clamp(std::ceil(right), 0.0, clipRight));
    const int boxBottom = static_cast<int>(std::clamp(std::ceil(bottom), 0.0, clipBottom));
    if (boxRight <= boxLeft || boxBottom <= boxTop) {
        return image;
    }
    image.left = boxLeft;
    image.top = boxTop;
    image.width = boxRight - boxLeft;
    image.height = boxBottom - boxTop;
    image.coverage.assign(static_cast<std::size_t>(image.width) * image.height, 0);

    // Coverage at window pixel (px, py), if it lies inside the image.
    const auto at = [&](int px, int py) -> std::uint8_t* {
        if (px < boxLeft || px >= boxRight || py < boxTop || py >= boxBottom) {
            return nullptr;
        }
        return &image.coverage[static_cast<std::size_t>(py - boxTop) * image.width + (px - boxLeft)];
    };
    const auto fill = [&](PixelBox box) {
        box.left = std::max(box.left, boxLeft);
        box.top = std::max(box.top, boxTop);
        box.right = std::min(box.right, boxRight);
        box.bottom = std::min(box.bottom, boxBottom);
        for (int py = box.top; py < box.bottom; ++py) {
            for (int px = box.left; px < box.right; ++px) {
                *at(px, py) = 255;
            }
        }
    };

    for (const PlacedGlyph& placed : layout.glyphs) {
        const double pxDouble = penPixel(placed);
        const double baselineDouble = baselineOf(placed);
        if (pxDouble + placed.advance + reach < boxLeft || pxDouble - reach > boxRight ||
            baselineDouble + reach < boxTop || baselineDouble - reach > boxBottom) {
            continue;
        }
        const int px = static_cast<int>(pxDouble);
        const int baseline = static_cast<int>(baselineDouble);
        if (placed.missing) {
            const PixelBox box = MissingGlyphBox(px, baseline, layout, placed.advance);
            const int thickness = BoxThickness(layout);
            fill({box.left, box.top, box.right, box.top + thickness});
            fill({box.left, box.bottom - thickness, box.right, box.bottom});
            fill({box.left, box.top, box.left + thickness, box.bottom});
            fill({box.right - thickness, box.top, box.right, box.bottom});
            continue;
        }
        const Font::GlyphBitmap& bitmap = cache.Get(font, placed.glyph, layout.scale);
        for (int row = 0; row < bitmap.height; ++row) {
            const int py = baseline + bitmap.top + row;
            if (py < boxTop || py >= boxBottom) {
                continue;
            }
            for (int column = 0; column < bitmap.width; ++column) {
                std::uint8_t* target = at(px + bitmap.left + column, py);
                if (target != nullptr) {
                    *target = std::max(*target, bitmap.coverage[static_cast<std::size_t>(row) * bitmap.width + column]);
                }
            }
        }
    }
    CropToCoverage(image);
    return image;
}

} // namespace Orvane
