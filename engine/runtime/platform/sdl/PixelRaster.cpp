#include "platform/sdl/PixelRaster.h"

#include "platform/text/TextRaster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Orvane {

namespace {

// A table longer than this, or for a sprite this far out, is made for the
// covered pixels only and not shared.
constexpr std::int64_t maxSharedTable = 4096;
constexpr double maxSharedStart = 1 << 22;
// Presampled rows pay off from the second sprite that uses them; bounded per
// frame.
constexpr std::size_t maxPresampledTexels = 64 * 1024;
constexpr int maxPresampledImages = 64;

Uint32 PackColor(Color color) { return (Uint32{color.r} << 16) | (Uint32{color.g} << 8) | Uint32{color.b}; }

Uint32* PixelRow(SDL_Surface* surface, int y) {
    return reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) + std::ptrdiff_t{y} * surface->pitch);
}

Uint32 BlendChannel(Uint32 source, Uint32 target, Uint32 alpha) {
    return (source * alpha + target * (255 - alpha) + 127) / 255;
}

// Source-over of r, g, b with opacity alpha onto a 0x00RRGGBB pixel.
Uint32 BlendPixel(Uint32 under, Uint32 r, Uint32 g, Uint32 b, Uint32 alpha) {
    return (BlendChannel(r, (under >> 16) & 0xFF, alpha) << 16) | (BlendChannel(g, (under >> 8) & 0xFF, alpha) << 8) |
           BlendChannel(b, under & 0xFF, alpha);
}

// An 0xAARRGGBB texel over a 0x00RRGGBB pixel.
Uint32 BlendTexel(Uint32 under, Uint32 texel) {
    return BlendPixel(under, (texel >> 16) & 0xFF, (texel >> 8) & 0xFF, texel & 0xFF, texel >> 24);
}

// A plain loop rather than SDL_FillRect: SDL's SSE fill uses non-temporal
// stores, which made a thousand small rectangles some thirty times slower.
void FillRow(Uint32* pixels, std::size_t count, Uint32 value) {
#if defined(__SSE2__)
    const __m128i four = _mm_set1_epi32(static_cast<int>(value));
    std::size_t at = 0;
    for (; at + 4 <= count; at += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + at), four);
    }
    for (; at < count; ++at) {
        pixels[at] = value;
    }
#else
    std::fill_n(pixels, count, value);
#endif
}

// The box clipped to the surface's width and the band's rows; false when empty.
bool ClipBox(const PixelBand& band, std::int64_t& left, std::int64_t& top, std::int64_t& right, std::int64_t& bottom) {
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, band.first);
    right = std::min<std::int64_t>(right, band.surface->w);
    bottom = std::min<std::int64_t>(bottom, band.last);
    return left < right && top < bottom;
}

// Pixels whose centres lie in [start, start + extent), or in the mirrored
// interval for a negative extent: first and last before clipping.
void CoveredRange(double start, double extent, double& first, double& last) {
    const double low = std::min(start, start + extent);
    const double high = std::max(start, start + extent);
    first = std::ceil(low - 0.5);
    last = std::ceil(high - 0.5);
}

int SampleTexel(double offset, double scale, int sourceSize) {
    const double texel = std::floor(offset * scale);
    return static_cast<int>(std::clamp(texel, 0.0, static_cast<double>(sourceSize - 1)));
}

} // namespace

void FillOpaque(const PixelBand& band, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
                Color color) {
    if (!ClipBox(band, left, top, right, bottom)) {
        return;
    }
    const Uint32 value = PackColor(color);
    const auto count = static_cast<std::size_t>(right - left);
    for (std::int64_t y = top; y < bottom; ++y) {
        FillRow(PixelRow(band.surface, static_cast<int>(y)) + left, count, value);
    }
}

void FillBlended(const PixelBand& band, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
                 ColorAlpha color) {
    if (color.a == 0) {
        return;
    }
    if (color.a == 255) {
        FillOpaque(band, left, top, right, bottom, Color{color.r, color.g, color.b});
        return;
    }
    if (!ClipBox(band, left, top, right, bottom)) {
        return;
    }
    for (std::int64_t y = top; y < bottom; ++y) {
        Uint32* row = PixelRow(band.surface, static_cast<int>(y));
        for (std::int64_t x = left; x < right; ++x) {
            row[x] = BlendPixel(row[x], color.r, color.g, color.b, color.a);
        }
    }
}

void BlendCoverageImage(const PixelBand& band, const CoverageImage& image, ColorAlpha color) {
    const int right = std::min(image.left + image.width, band.surface->w);
    const int bottom = std::min(image.top + image.height, band.last);
    for (int y = std::max(image.top, band.first); y < bottom; ++y) {
        Uint32* row = PixelRow(band.surface, y);
        const std::uint8_t* coverage = image.coverage.data() + static_cast<std::size_t>(y - image.top) * image.width;
        for (int x = std::max(image.left, 0); x < right; ++x) {
            const Uint32 alpha = (Uint32{coverage[x - image.left]} * color.a + 127) / 255;
            if (alpha != 0) {
                row[x] = BlendPixel(row[x], color.r, color.g, color.b, alpha);
            }
        }
    }
}

void DrawStretch(const PixelBand& band, const StretchPlan& plan) {
    const int firstRow = std::max(plan.rows.first, band.first);
    const int lastRow = std::min(plan.rows.last, band.last);
    const int columns = plan.columns.Count();
    if (const PresampledImage* laidOut = plan.presampled) {
        // Whole runs at a time: copied when opaque, blended otherwise.
        const int windowStart = plan.presampledColumn;
        const int windowEnd = windowStart + columns;
        const int shift = plan.columns.first - windowStart;
        for (int row = firstRow; row < lastRow; ++row) {
            const int sourceRow = plan.rowTexels[row - plan.rows.first];
            const Uint32* source = laidOut->pixels.data() + static_cast<std::size_t>(sourceRow) * laidOut->width;
            Uint32* destination = PixelRow(band.surface, row) + shift;
            const int runsEnd = laidOut->rowRuns[static_cast<std::size_t>(sourceRow) + 1];
            for (int i = laidOut->rowRuns[static_cast<std::size_t>(sourceRow)]; i < runsEnd; ++i) {
                const PresampledImage::Run& run = laidOut->runs[static_cast<std::size_t>(i)];
                const int start = std::max(run.start, windowStart);
                const int end = std::min(run.start + run.count, windowEnd);
                if (start >= end) {
                    continue;
                }
                if (run.opaque) {
                    std::memcpy(destination + start, source + start, static_cast<std::size_t>(end - start) * 4);
                } else {
                    for (int at = start; at < end; ++at) {
                        destination[at] = BlendTexel(destination[at], source[at]);
                    }
                }
            }
        }
        return;
    }
    // Both surfaces are plain (never RLE-encoded), so their pixels need no lock.
    for (int row = firstRow; row < lastRow; ++row) {
        const Uint32* source = PixelRow(plan.image, plan.rowTexels[row - plan.rows.first]);
        Uint32* destination = PixelRow(band.surface, row) + plan.columns.first;
        for (int column = 0; column < columns; ++column) {
            const Uint32 texel = source[plan.columnTexels[column]];
            const Uint32 alpha = texel >> 24;
            if (alpha == 255) {
                destination[column] = texel & 0x00FFFFFFu;
            } else if (alpha != 0) {
                destination[column] = BlendTexel(destination[column], texel);
            }
        }
    }
}

SampleSpan CoveredBy(const double (&corners)[4], int low, int high) {
    const double least = std::min({corners[0], corners[1], corners[2], corners[3]});
    const double greatest = std::max({corners[0], corners[1], corners[2], corners[3]});
    if (!std::isfinite(least) || !std::isfinite(greatest)) {
        return {low, low};
    }
    const auto clamped = [&](double edge) {
        return static_cast<int>(std::clamp(std::ceil(edge - 0.5), static_cast<double>(low), static_cast<double>(high)));
    };
    return {clamped(least), clamped(greatest)};
}

// Inverse mapping: each pixel centre inside the quad finds its place s, t in
// the unturned sprite (0..1 each way), then the nearest texel of the source
// rectangle.
void DrawQuad(const PixelBand& band, SDL_Surface* image, const ImagePlacement& placement, const ImageLook& look) {
    const double determinant = placement.axisUx * placement.axisVy - placement.axisUy * placement.axisVx;
    if (!std::isfinite(determinant) || determinant == 0 || !std::isfinite(placement.originX) ||
        !std::isfinite(placement.originY)) {
        return;
    }
    // The source rectangle, inside the image.
    double sourceX = 0;
    double sourceY = 0;
    double sourceWidth = 0;
    double sourceHeight = 0;
    if (!look.SourceIn(image->w, image->h, sourceX, sourceY, sourceWidth, sourceHeight)) {
        return;
    }
    double xs[4];
    double ys[4];
    placement.Corners(xs, ys);
    SDL_Surface* target = band.surface;
    const SampleSpan columns = CoveredBy(xs, 0, target->w);
    const SampleSpan rows = CoveredBy(ys, band.first, band.last);
    const int firstColumn = columns.first;
    const int lastColumn = columns.last;
    const int firstRow = rows.first;
    const int lastRow = rows.last;

    // s = (d x V) / det, t = (U x d) / det for d = pixel centre - origin.
    const double sPerX = placement.axisVy / determinant;
    const double sPerY = -placement.axisVx / determinant;
    const double tPerX = -placement.axisUy / determinant;
    const double tPerY = placement.axisUx / determinant;
    const bool flipX = (look.flip & flipHorizontal) != 0;
    const bool flipY = (look.flip & flipVertical) != 0;
    const Uint32 tintR = look.tint.r;
    const Uint32 tintG = look.tint.g;
    const Uint32 tintB = look.tint.b;
    const int lastTexelX = static_cast<int>(std::ceil(sourceX + sourceWidth)) - 1;
    const int lastTexelY = static_cast<int>(std::ceil(sourceY + sourceHeight)) - 1;
    for (int row = firstRow; row < lastRow; ++row) {
        Uint32* destination = PixelRow(target, row);
        const double dy = row + 0.5 - placement.originY;
        for (int column = firstColumn; column < lastColumn; ++column) {
            const double dx = column + 0.5 - placement.originX;
            const double s = dx * sPerX + dy * sPerY;
            const double t = dx * tPerX + dy * tPerY;
            if (s < 0 || s >= 1 || t < 0 || t >= 1) {
                continue;
            }
            const double u = flipX ? 1 - s : s;
            const double v = flipY ? 1 - t : t;
            const int texelX = std::min(static_cast<int>(std::floor(sourceX + u * sourceWidth)), lastTexelX);
            const int texelY = std::min(static_cast<int>(std::floor(sourceY + v * sourceHeight)), lastTexelY);
            const Uint32 texel = PixelRow(image, texelY)[texelX];
            const Uint32 alpha = ((texel >> 24) * look.alpha + 127) / 255;
            if (alpha == 0) {
                continue;
            }
            const Uint32 r = (((texel >> 16) & 0xFF) * tintR + 127) / 255;
            const Uint32 g = (((texel >> 8) & 0xFF) * tintG + 127) / 255;
            const Uint32 b = ((texel & 0xFF) * tintB + 127) / 255;
            destination[column] =
                alpha == 255 ? (r << 16) | (g << 8) | b : BlendPixel(destination[column], r, g, b, alpha);
        }
    }
}

std::vector<int>& StretchPlanner::NewTable(int& index) {
    if (tablesUsed == static_cast<int>(tables.size())) {
        tables.emplace_back();
    }
    index = tablesUsed++;
    return tables[static_cast<std::size_t>(index)];
}

// Texel for destination pixel p = floor((p + 0.5 - start) * sourceSize /
// extent). A shared table starts at the first covered pixel before clipping,
// p0, and holds floor((j + phase) * scale) for phase = p0 + 0.5 - start: for
// moderate starts both sums are exact, so sprites with the same phase, extent
// and source size share one table.
const int* StretchPlanner::Table(AxisMemo& memo, double start, double extent, int sourceSize, int limit,
                                 SampleSpan& span, int& offset, int& tableIndex, bool& reused) {
    double first = 0;
    double last = 0;
    CoveredRange(start, extent, first, last);
    span.first = static_cast<int>(std::clamp(first, 0.0, static_cast<double>(limit)));
    span.last = static_cast<int>(std::clamp(last, 0.0, static_cast<double>(limit)));
    reused = false;
    if (span.last <= span.first) {
        return nullptr;
    }
    const double scale = sourceSize / extent;
    if (!(last - first <= static_cast<double>(maxSharedTable)) || !(std::abs(start) <= maxSharedStart)) {
        // The covered pixels only, each the direct way.
        std::vector<int>& table = NewTable(tableIndex);
        table.resize(static_cast<std::size_t>(span.Count()));
        for (int p = span.first; p < span.last; ++p) {
            table[static_cast<std::size_t>(p - span.first)] = SampleTexel(p + 0.5 - start, scale, sourceSize);
        }
        footprint += table.size() * sizeof(int);
        offset = 0;
        memo.count = -1;
        return table.data();
    }
    const auto count = static_cast<std::int64_t>(last - first);
    const double phase = first + 0.5 - start;
    offset = span.first - static_cast<int>(first);
    if (memo.count == count && memo.phase == phase && memo.extent == extent && memo.sourceSize == sourceSize) {
        reused = true;
        tableIndex = memo.table;
        return tables[static_cast<std::size_t>(memo.table)].data() + offset;
    }
    std::vector<int>& table = NewTable(tableIndex);
    table.resize(static_cast<std::size_t>(count));
    for (std::int64_t j = 0; j < count; ++j) {
        table[static_cast<std::size_t>(j)] = SampleTexel(static_cast<double>(j) + phase, scale, sourceSize);
    }
    footprint += table.size() * sizeof(int);
    memo = {phase, extent, sourceSize, count, tableIndex};
    return table.data() + offset;
}

const PresampledImage* StretchPlanner::Presampled(SDL_Surface* image, int columnTable) {
    for (int i = presampledUsed - 1; i >= 0; --i) {
        const PresampledImage& known = *presampled[static_cast<std::size_t>(i)];
        if (known.image == image && known.columnTable == columnTable) {
            return &known;
        }
    }
    const std::vector<int>& texels = tables[static_cast<std::size_t>(columnTable)];
    const std::size_t width = texels.size();
    if (presampledUsed >= maxPresampledImages || width * static_cast<std::size_t>(image->h) > maxPresampledTexels) {
        return nullptr;
    }
    if (presampledUsed == static_cast<int>(presampled.size())) {
        presampled.push_back(std::make_unique<PresampledImage>());
    }
    PresampledImage& laidOut = *presampled[static_cast<std::size_t>(presampledUsed++)];
    laidOut.image = image;
    laidOut.columnTable = columnTable;
    laidOut.width = static_cast<int>(width);
    laidOut.pixels.resize(width * static_cast<std::size_t>(image->h));
    laidOut.runs.clear();
    laidOut.rowRuns.assign(1, 0);
    for (int y = 0; y < image->h; ++y) {
        const Uint32* source = PixelRow(image, y);
        Uint32* row = laidOut.pixels.data() + static_cast<std::size_t>(y) * width;
        // 0: transparent, 1: opaque, 2: translucent.
        int kind = 0;
        for (std::size_t x = 0; x < width; ++x) {
            const Uint32 texel = source[texels[x]];
            const Uint32 alpha = texel >> 24;
            const int pixelKind = alpha == 0 ? 0 : alpha == 255 ? 1 : 2;
            row[x] = pixelKind == 1 ? texel & 0x00FFFFFFu : texel;
            if (pixelKind != 0) {
                if (pixelKind != kind) {
                    laidOut.runs.push_back({static_cast<int>(x), 0, pixelKind == 1});
                }
                ++laidOut.runs.back().count;
            }
            kind = pixelKind;
        }
        laidOut.rowRuns.push_back(static_cast<int>(laidOut.runs.size()));
    }
    footprint += laidOut.pixels.size() * sizeof(Uint32) + laidOut.runs.size() * sizeof(PresampledImage::Run);
    return &laidOut;
}

bool StretchPlanner::Plan(SDL_Surface* target, SDL_Surface* image, float x, float y, float width, float height,
                          StretchPlan& plan) {
    if (width == 0.0f || height == 0.0f || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(width) ||
        !std::isfinite(height) || image->w <= 0 || image->h <= 0) {
        return false;
    }
    plan = StretchPlan{};
    plan.image = image;
    int columnOffset = 0;
    int columnTable = -1;
    bool columnsReused = false;
    plan.columnTexels =
        Table(columnMemo, x, width, image->w, target->w, plan.columns, columnOffset, columnTable, columnsReused);
    if (plan.columnTexels == nullptr) {
        return false;
    }
    int rowOffset = 0;
    int rowTable = -1;
    bool rowsReused = false;
    plan.rowTexels = Table(rowMemo, y, height, image->h, target->h, plan.rows, rowOffset, rowTable, rowsReused);
    if (plan.rowTexels == nullptr) {
        return false;
    }
    // From the second sprite on, one set of laid-out rows serves them all.
    if (columnsReused) {
        plan.presampled = Presampled(image, columnTable);
        plan.presampledColumn = columnOffset;
    }
    return true;
}

void StretchPlanner::Reset() {
    tablesUsed = 0;
    presampledUsed = 0;
    footprint = 0;
    columnMemo = AxisMemo{};
    rowMemo = AxisMemo{};
}

} // namespace Orvane
