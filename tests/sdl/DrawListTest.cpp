// The SDL backend's batched drawing: a frame drawn by two threads, with shared
// texel tables and presampled rows, gives exactly the pixels of drawing each
// operation at once the plain way.
#include "platform/sdl/DrawList.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace Orvane {
namespace {

struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

Surface MakeSurface(int width, int height, Uint32 format) {
    Surface surface(SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, format));
    EXPECT_NE(surface, nullptr);
    return surface;
}

Uint32& At(SDL_Surface* surface, int x, int y) {
    return reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) + std::ptrdiff_t{y} * surface->pitch)[x];
}

// An image with transparent, opaque and translucent texels in irregular runs.
Surface MakeImage(int width, int height, std::mt19937& random) {
    Surface image = MakeSurface(width, height, SDL_PIXELFORMAT_ARGB8888);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Uint32 pick = random() % 5;
            const Uint32 alpha = pick < 2 ? 0 : pick < 4 ? 255 : 1 + random() % 254;
            At(image.get(), x, y) = (alpha << 24) | (random() & 0xFFFFFF);
        }
    }
    return image;
}

void FillWithNoise(SDL_Surface* surface, std::mt19937& random) {
    for (int y = 0; y < surface->h; ++y) {
        for (int x = 0; x < surface->w; ++x) {
            At(surface, x, y) = random() & 0xFFFFFF;
        }
    }
}

bool SamePixels(SDL_Surface* a, SDL_Surface* b, int& firstX, int& firstY) {
    for (int y = 0; y < a->h; ++y) {
        for (int x = 0; x < a->w; ++x) {
            if (At(a, x, y) != At(b, x, y)) {
                firstX = x;
                firstY = y;
                return false;
            }
        }
    }
    return true;
}

// The scaler as its rule reads: destination pixel p samples texel
// floor((p + 0.5 - x) * sourceWidth / width), clamped; source-over per channel.
void ReferenceStretch(SDL_Surface* target, SDL_Surface* image, float x, float y, float width, float height) {
    if (width == 0 || height == 0) {
        return;
    }
    const auto covered = [](double start, double extent, int limit, int& first, int& last) {
        const double low = std::min(start, start + extent);
        const double high = std::max(start, start + extent);
        first = static_cast<int>(std::clamp(std::ceil(low - 0.5), 0.0, double(limit)));
        last = static_cast<int>(std::clamp(std::ceil(high - 0.5), 0.0, double(limit)));
    };
    const auto texel = [](int p, double start, double extent, int size) {
        const double t = std::floor((p + 0.5 - start) * (size / extent));
        return static_cast<int>(std::clamp(t, 0.0, double(size - 1)));
    };
    int firstColumn = 0, lastColumn = 0, firstRow = 0, lastRow = 0;
    covered(x, width, target->w, firstColumn, lastColumn);
    covered(y, height, target->h, firstRow, lastRow);
    for (int row = firstRow; row < lastRow; ++row) {
        for (int column = firstColumn; column < lastColumn; ++column) {
            const Uint32 source = At(image, texel(column, x, width, image->w), texel(row, y, height, image->h));
            const Uint32 alpha = source >> 24;
            Uint32& under = At(target, column, row);
            Uint32 out = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                const Uint32 s = (source >> shift) & 0xFF;
                const Uint32 d = (under >> shift) & 0xFF;
                out |= ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
            }
            under = out;
        }
    }
}

TEST(DrawList, StretchesMatchTheSamplingRuleWhetherSharedOrNot) {
    std::mt19937 random(7);
    Surface image = MakeImage(16, 12, random);
    Surface expected = MakeSurface(97, 61, SDL_PIXELFORMAT_RGB888);
    Surface drawn = MakeSurface(97, 61, SDL_PIXELFORMAT_RGB888);
    FillWithNoise(expected.get(), random);
    std::memcpy(drawn->pixels, expected->pixels, static_cast<std::size_t>(drawn->pitch) * drawn->h);

    DrawList draws(1);
    draws.Begin(drawn.get());
    // Runs of sprites that share a size and a place within a pixel (the shared
    // tables and presampled rows), between ones that do not, clipped on every
    // side, mirrored, shrunk and enlarged.
    const float sizes[][2] = {{32, 24}, {32, 24}, {-20, 15}, {7.5f, 40}, {0.4f, 0.4f}, {200, 3}};
    for (int i = 0; i < 600; ++i) {
        const float* size = sizes[(i / 7) % 6];
        const bool whole = (i / 3) % 2 == 0;
        const float x = whole ? static_cast<float>(static_cast<int>(random() % 140) - 30)
                              : static_cast<float>(random() % 14000) / 100.0f - 30;
        const float y = whole ? static_cast<float>(static_cast<int>(random() % 100) - 30)
                              : static_cast<float>(random() % 10000) / 100.0f - 30;
        ReferenceStretch(expected.get(), image.get(), x, y, size[0], size[1]);
        draws.Stretch(drawn.get(), image.get(), x, y, size[0], size[1]);
    }
    draws.Finish();

    int x = 0, y = 0;
    EXPECT_TRUE(SamePixels(expected.get(), drawn.get(), x, y)) << "first difference at " << x << ',' << y;
}

// One frame of every kind of operation, drawn three ways.
void DrawMixedFrame(DrawList& draws, SDL_Surface* target, SDL_Surface* image, bool batch) {
    std::mt19937 random(11);
    // A clear waits for what follows: the batch, or the first immediate operation.
    draws.Clear(target, Color{40, 50, 60});
    if (batch) {
        draws.Begin(target);
    }
    for (int i = 0; i < 2000; ++i) {
        const auto left = static_cast<std::int64_t>(random() % 340) - 20;
        const auto top = static_cast<std::int64_t>(random() % 260) - 20;
        const ColorAlpha color{static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                               static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random())};
        switch (i % 7) {
        case 6: {
            // A filled polygon as lines are drawn: one-row fills down consecutive
            // rows, across the bands' border, from above the buffer to below it,
            // the colour changing partway now and then, and a gap in some.
            const std::int64_t rows = 1 + random() % 60;
            const std::int64_t change = random() % 3 == 0 ? random() % rows : rows;
            const std::int64_t gap = random() % 4 == 0 ? random() % rows : -1;
            const ColorAlpha other{color.g, color.b, color.r, static_cast<std::uint8_t>(color.a / 2 + 1)};
            for (std::int64_t row = 0; row < rows; ++row) {
                if (row == gap) {
                    continue;
                }
                const std::int64_t at = left + row / 2;
                draws.FillBlended(target, at, top + row, at + 1 + (row * 7) % 9, top + row + 1,
                                  row < change ? color : other);
            }
            break;
        }
        case 0:
            draws.FillOpaque(target, left, top, left + 1 + random() % 40, top + 1 + random() % 40,
                             Color{color.r, color.g, color.b});
            break;
        case 1:
            draws.FillBlended(target, left, top, left + random() % 40, top + random() % 40, color);
            break;
        case 2: {
            CoverageImage coverage;
            coverage.left = static_cast<int>(left);
            coverage.top = static_cast<int>(top);
            coverage.width = 13;
            coverage.height = 9;
            coverage.coverage.resize(13 * 9);
            for (std::uint8_t& value : coverage.coverage) {
                value = static_cast<std::uint8_t>(random());
            }
            draws.BlendCoverage(target, std::move(coverage), color);
            break;
        }
        case 3:
        case 4:
            draws.Stretch(target, image, static_cast<float>(left), static_cast<float>(top) + (i % 2) * 0.25f, 32, 32);
            break;
        default: {
            ImagePlacement placement;
            const double angle = (random() % 360) * 0.0174533;
            placement.originX = static_cast<double>(left);
            placement.originY = static_cast<double>(top);
            placement.axisUx = 30 * std::cos(angle);
            placement.axisUy = 30 * std::sin(angle);
            placement.axisVx = -20 * std::sin(angle);
            placement.axisVy = 20 * std::cos(angle);
            ImageLook look;
            look.flip = static_cast<std::uint8_t>(random() % 4);
            look.tint = Color{color.r, 255, color.b};
            look.alpha = static_cast<std::uint8_t>(128 + random() % 128);
            draws.Quad(target, image, placement, look);
            break;
        }
        }
    }
    if (batch) {
        draws.Finish();
    }
}

TEST(DrawList, ABatchOnTwoThreadsDrawsWhatImmediateDrawingDraws) {
    std::mt19937 random(3);
    Surface image = MakeImage(16, 16, random);
    // An odd height, so the bands differ in size.
    Surface immediate = MakeSurface(301, 223, SDL_PIXELFORMAT_RGB888);
    FillWithNoise(immediate.get(), random);
    Surface oneThread = MakeSurface(301, 223, SDL_PIXELFORMAT_RGB888);
    Surface twoThreads = MakeSurface(301, 223, SDL_PIXELFORMAT_RGB888);
    std::memcpy(oneThread->pixels, immediate->pixels, static_cast<std::size_t>(immediate->pitch) * immediate->h);
    std::memcpy(twoThreads->pixels, immediate->pixels, static_cast<std::size_t>(immediate->pitch) * immediate->h);

    DrawList single(1);
    DrawList banded(2);
    DrawMixedFrame(single, immediate.get(), image.get(), false);
    DrawMixedFrame(single, oneThread.get(), image.get(), true);
    // Twice: the second frame reuses the worker thread and the kept storage.
    Surface scratch = MakeSurface(301, 223, SDL_PIXELFORMAT_RGB888);
    DrawMixedFrame(banded, scratch.get(), image.get(), true);
    DrawMixedFrame(banded, twoThreads.get(), image.get(), true);

    int x = 0, y = 0;
    EXPECT_TRUE(SamePixels(immediate.get(), oneThread.get(), x, y)) << "one thread: " << x << ',' << y;
    EXPECT_TRUE(SamePixels(immediate.get(), twoThreads.get(), x, y)) << "two threads: " << x << ',' << y;
}

} // namespace
} // namespace Orvane
