#pragma once
// The SDL backend's pixel work on a 0x00RRGGBB back buffer. Every primitive is
// limited to a band of rows, so two threads can draw one frame side by side:
// each pixel still sees the frame's operations in the frame's order, so the
// picture is the same however the rows are shared out.
#include "platform/Renderer.h"

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace Orvane {

struct CoverageImage;

// The back buffer and the rows first <= y < last that one thread may touch.
struct PixelBand {
    SDL_Surface* surface = nullptr;
    int first = 0;
    int last = 0;
    static PixelBand Whole(SDL_Surface* surface) { return {surface, 0, surface != nullptr ? surface->h : 0}; }
};

// Pixels left <= x < right, top <= y < bottom, clipped; empty when inverted.
void FillOpaque(const PixelBand& band, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
                Color color);
void FillBlended(const PixelBand& band, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
                 ColorAlpha color);
void BlendCoverageImage(const PixelBand& band, const CoverageImage& image, ColorAlpha color);

// A run of destination pixels first <= p < last along one axis.
struct SampleSpan {
    int first = 0;
    int last = 0;
    int Count() const { return last - first; }
};

// The pixels whose centres lie between the least and the greatest of a quad's four
// corner coordinates, clamped to low <= p < high; empty when a corner is not finite.
SampleSpan CoveredBy(const double (&corners)[4], int low, int high);

// A turned, flipped, tinted or translucent sprite: each pixel centre inside the
// quad samples the nearest texel of the source rectangle.
void DrawQuad(const PixelBand& band, SDL_Surface* image, const ImagePlacement& placement, const ImageLook& look);

// A source image laid out at a sprite's destination width, row by row, as runs
// of opaque pixels (already 0x00RRGGBB, copied) and translucent ones (blended);
// transparent pixels are left out.
struct PresampledImage {
    struct Run {
        int start = 0;
        int count = 0;
        bool opaque = false;
    };
    SDL_Surface* image = nullptr;
    int columnTable = -1; // which column table it was laid out with
    int width = 0;
    std::vector<Uint32> pixels; // width * image->h
    std::vector<Run> runs;
    std::vector<int> rowRuns; // runs of source row y: rowRuns[y] <= i < rowRuns[y + 1]
};

// A sprite stretched onto whole pixels with nearest-neighbour sampling: the
// destination columns and rows it covers and the texel each one samples.
struct StretchPlan {
    SDL_Surface* image = nullptr;
    SampleSpan columns;
    SampleSpan rows;
    const int* columnTexels = nullptr; // columns.Count() entries
    const int* rowTexels = nullptr;    // rows.Count() entries
    const PresampledImage* presampled = nullptr;
    int presampledColumn = 0; // where columns.first lies in the presampled rows
};
void DrawStretch(const PixelBand& band, const StretchPlan& plan);

// Plans stretches and keeps what consecutive sprites share: a frame's sprites
// mostly have one size and one place within a pixel, so their texel tables and
// presampled rows are made once. What a plan points to stays valid until Reset.
class StretchPlanner {
public:
    // Destination pixel p samples texel floor((p + 0.5 - x) * sourceWidth /
    // width), rows alike; a negative extent mirrors. False when nothing would be
    // drawn.
    bool Plan(SDL_Surface* target, SDL_Surface* image, float x, float y, float width, float height, StretchPlan& plan);
    void Reset();
    // Bytes held by the tables made since the last Reset.
    std::size_t Footprint() const { return footprint; }

private:
    // The last table made for one axis, and what it was made for.
    struct AxisMemo {
        double phase = 0;
        double extent = 0;
        int sourceSize = 0;
        std::int64_t count = -1;
        int table = -1;
    };
    // The texels of the covered span; offset is where span.first lies in the
    // table.
    const int* Table(AxisMemo& memo, double start, double extent, int sourceSize, int limit, SampleSpan& span,
                     int& offset, int& tableIndex, bool& reused);
    std::vector<int>& NewTable(int& index);
    const PresampledImage* Presampled(SDL_Surface* image, int columnTable);

    std::vector<std::vector<int>> tables; // kept across resets for their storage
    int tablesUsed = 0;
    std::vector<std::unique_ptr<PresampledImage>> presampled;
    int presampledUsed = 0;
    std::size_t footprint = 0;
    AxisMemo columnMemo;
    AxisMemo rowMemo;
};

} // namespace Orvane
