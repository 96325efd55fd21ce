#include "platform/Renderer.h"

#include "core/Log.h"
#include "platform/Screenshot.h"
#include "platform/Window.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace Orvane {

namespace {

// The back buffer is 0x00RRGGBB per pixel, what X11 window surfaces use, so
// Present is a plain copy; textures are 0xAARRGGBB (Texture::Decode).
constexpr Uint32 backBufferFormat = SDL_PIXELFORMAT_RGB888;

// SDL_image keeps its decoders loaded process-wide; counted like the window's
// use of SDL video.
int imageUsers = 0;

Uint32 PackColor(Color color) {
    return (Uint32{color.r} << 16) | (Uint32{color.g} << 8) | Uint32{color.b};
}

Uint32* PixelRow(SDL_Surface* surface, int y) {
    return reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) + std::ptrdiff_t{y} * surface->pitch);
}

// Fills the pixels left <= x < right, top <= y < bottom, clipped to the surface.
// Empty and inverted rectangles fill nothing.
void FillPixels(SDL_Surface* surface, std::int64_t left, std::int64_t top, std::int64_t right,
                std::int64_t bottom, Color color) {
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, surface->w);
    bottom = std::min<std::int64_t>(bottom, surface->h);
    if (right <= left || bottom <= top) {
        return;
    }
    // A plain loop rather than SDL_FillRect: SDL's SSE fill uses non-temporal
    // stores, which made a thousand small rectangles some thirty times slower.
    const Uint32 value = PackColor(color);
    const std::size_t count = static_cast<std::size_t>(right - left);
    for (std::int64_t y = top; y < bottom; ++y) {
        std::fill_n(PixelRow(surface, static_cast<int>(y)) + left, count, value);
    }
}

// The run of destination pixels first <= p < last.
struct SampleSpan {
    int first = 0;
    int last = 0;
};

// Pixels whose centres lie in [start, start + extent), or in the mirrored
// interval for a negative extent, clipped to [0, limit).
SampleSpan CoveredPixels(double start, double extent, int limit) {
    const double low = std::min(start, start + extent);
    const double high = std::max(start, start + extent);
    const double first = std::clamp(std::ceil(low - 0.5), 0.0, static_cast<double>(limit));
    const double last = std::clamp(std::ceil(high - 0.5), 0.0, static_cast<double>(limit));
    return {static_cast<int>(first), static_cast<int>(last)};
}

// The source texel that each pixel of the span samples; a negative extent
// walks the source backwards, which mirrors the image.
void SampleTexels(const SampleSpan& span, double start, double extent, int sourceSize, std::vector<int>& texels) {
    texels.resize(static_cast<std::size_t>(span.last - span.first));
    const double scale = sourceSize / extent;
    for (int p = span.first; p < span.last; ++p) {
        const double texel = std::floor((p + 0.5 - start) * scale);
        texels[static_cast<std::size_t>(p - span.first)] =
            static_cast<int>(std::clamp(texel, 0.0, static_cast<double>(sourceSize - 1)));
    }
}

Uint32 BlendChannel(Uint32 source, Uint32 target, Uint32 alpha) {
    return (source * alpha + target * (255 - alpha) + 127) / 255;
}

// Nearest-neighbour stretch with the half-pixel offset, blended source-over:
// destination pixel p samples texel floor((p + 0.5 - x) * sourceWidth / width).
void StretchBlend(SDL_Surface* target, SDL_Surface* image, float x, float y, float width, float height) {
    if (width == 0.0f || height == 0.0f || !std::isfinite(x) || !std::isfinite(y) ||
        !std::isfinite(width) || !std::isfinite(height) || image->w <= 0 || image->h <= 0) {
        return;
    }
    const SampleSpan columns = CoveredPixels(x, width, target->w);
    const SampleSpan rows = CoveredPixels(y, height, target->h);
    if (columns.last <= columns.first || rows.last <= rows.first) {
        return;
    }
    static std::vector<int> sourceColumns;
    static std::vector<int> sourceRows;
    SampleTexels(columns, x, width, image->w, sourceColumns);
    SampleTexels(rows, y, height, image->h, sourceRows);

    // Both surfaces are plain (never RLE-encoded), so their pixels need no lock.
    for (int row = rows.first; row < rows.last; ++row) {
        const Uint32* source = PixelRow(image, sourceRows[static_cast<std::size_t>(row - rows.first)]);
        Uint32* destination = PixelRow(target, row);
        for (int column = columns.first; column < columns.last; ++column) {
            const Uint32 texel = source[sourceColumns[static_cast<std::size_t>(column - columns.first)]];
            const Uint32 alpha = texel >> 24;
            if (alpha == 255) {
                destination[column] = texel & 0x00FFFFFFu;
            } else if (alpha != 0) {
                const Uint32 under = destination[column];
                destination[column] = (BlendChannel((texel >> 16) & 0xFF, (under >> 16) & 0xFF, alpha) << 16) |
                                      (BlendChannel((texel >> 8) & 0xFF, (under >> 8) & 0xFF, alpha) << 8) |
                                      BlendChannel(texel & 0xFF, under & 0xFF, alpha);
            }
        }
    }
}

} // namespace

void Renderer::AcquireBackend() {
    if (imageUsers++ == 0) {
        IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG);
    }
    // Otherwise SDL presents a window surface on X11 through an OpenGL texture,
    // which without a GPU (Mesa's software rasteriser) cost 12-19 ms per frame
    // against 0.3 ms for the plain shared-memory copy. The hint is read when a
    // window's surface is first made, after this. An environment setting still
    // wins over it.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
}

void Renderer::ReleaseBackend() {
    if (imageUsers <= 0) {
        return;
    }
    if (--imageUsers == 0) {
        IMG_Quit();
    }
}

void Renderer::BeginFrame(Color clearColor) {
    if (window == nullptr || window->GetHandle() == nullptr) {
        return;
    }
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window->GetHandle(), &width, &height);
    if (backBuffer == nullptr || width != backBufferWidth || height != backBufferHeight) {
        ReleaseBackBuffer();
        backBuffer = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, backBufferFormat);
        if (backBuffer == nullptr) {
            // Tried again next frame; one line per size, not one per frame.
            static int failedWidth = -1;
            static int failedHeight = -1;
            if (width != failedWidth || height != failedHeight) {
                failedWidth = width;
                failedHeight = height;
                LogError(std::string("Failed to create back buffer: ") + SDL_GetError());
            }
            return;
        }
        SDL_SetSurfaceBlendMode(backBuffer, SDL_BLENDMODE_NONE);
        backBufferWidth = width;
        backBufferHeight = height;
    }
    FillPixels(backBuffer, 0, 0, backBufferWidth, backBufferHeight, clearColor);
}

void Renderer::DrawRect(float x, float y, float width, float height, Color color) {
    if (backBuffer == nullptr) {
        return;
    }
    const float sx = x - cameraX;
    const float sy = y - cameraY;
    // Like FillRect: right and bottom are exclusive, an inverted rectangle is empty.
    FillPixels(backBuffer, ToPixelEdge(sx), ToPixelEdge(sy), ToPixelEdge(sx + width), ToPixelEdge(sy + height),
               color);
}

void Renderer::DrawDebugRect(float x, float y, float width, float height, Color color) {
    if (backBuffer == nullptr) {
        return;
    }
    const float sx = x - cameraX;
    const float sy = y - cameraY;
    std::int64_t left = ToPixelEdge(sx);
    std::int64_t top = ToPixelEdge(sy);
    std::int64_t right = ToPixelEdge(sx + width);
    std::int64_t bottom = ToPixelEdge(sy + height);
    // Rectangle() orders its corners and draws nothing for a flat rectangle.
    if (right < left) {
        std::swap(left, right);
    }
    if (bottom < top) {
        std::swap(top, bottom);
    }
    if (right == left || bottom == top) {
        return;
    }
    // A 2-pixel pen centred on the outline through the corner pixels (left, top)
    // and (right - 1, bottom - 1): each side covers the pixel before its line too.
    const std::int64_t outerLeft = left - 1;
    const std::int64_t outerTop = top - 1;
    const std::int64_t outerRight = right;
    const std::int64_t outerBottom = bottom;
    FillPixels(backBuffer, outerLeft, outerTop, outerRight, top + 1, color);
    FillPixels(backBuffer, outerLeft, bottom - 2, outerRight, outerBottom, color);
    FillPixels(backBuffer, outerLeft, outerTop, left + 1, outerBottom, color);
    FillPixels(backBuffer, right - 2, outerTop, outerRight, outerBottom, color);
}

void Renderer::DrawSprite(const SpriteCommand& sprite) {
    // The cache is consulted (and warns) even with nothing to draw into yet.
    Texture* texture = GetTexture(sprite.texturePath);
    if (backBuffer == nullptr) {
        return;
    }
    if (texture != nullptr && texture->IsLoaded()) {
        StretchBlend(backBuffer, texture->GetBitmap(), sprite.x - cameraX, sprite.y - cameraY, sprite.width,
                     sprite.height);
        return;
    }
    DrawRect(sprite.x, sprite.y, sprite.width, sprite.height, sprite.color);
}

void Renderer::Present() {
    if (backBuffer == nullptr || window == nullptr || window->GetHandle() == nullptr) {
        return;
    }
    SDL_Surface* windowSurface = SDL_GetWindowSurface(window->GetHandle());
    if (windowSurface == nullptr) {
        return;
    }
    SDL_BlitSurface(backBuffer, nullptr, windowSurface, nullptr);
    SDL_UpdateWindowSurface(window->GetHandle());
}

void Renderer::ReleaseBackBuffer() {
    if (backBuffer != nullptr) {
        SDL_FreeSurface(backBuffer);
        backBuffer = nullptr;
    }
    backBufferWidth = 0;
    backBufferHeight = 0;
}

bool Renderer::ReadPixel(std::int32_t x, std::int32_t y, Color& color) const {
    if (backBuffer == nullptr || x < 0 || y < 0 || x >= backBufferWidth || y >= backBufferHeight) {
        return false;
    }
    const Uint32 pixel = PixelRow(backBuffer, y)[x];
    color.r = static_cast<std::uint8_t>(pixel >> 16);
    color.g = static_cast<std::uint8_t>(pixel >> 8);
    color.b = static_cast<std::uint8_t>(pixel);
    return true;
}

bool Renderer::ReadBackBuffer(RgbImage& image) const {
    if (backBuffer == nullptr || backBufferWidth <= 0 || backBufferHeight <= 0) {
        return false;
    }
    image.width = backBufferWidth;
    image.height = backBufferHeight;
    image.pixels.resize(static_cast<std::size_t>(backBufferWidth) * static_cast<std::size_t>(backBufferHeight) * 3);
    std::uint8_t* out = image.pixels.data();
    for (int y = 0; y < backBufferHeight; ++y) {
        const Uint32* row = PixelRow(backBuffer, y);
        for (int x = 0; x < backBufferWidth; ++x) {
            const Uint32 pixel = row[x];
            *out++ = static_cast<std::uint8_t>(pixel >> 16);
            *out++ = static_cast<std::uint8_t>(pixel >> 8);
            *out++ = static_cast<std::uint8_t>(pixel);
        }
    }
    return true;
}

} // namespace Orvane
