#include "platform/Renderer.h"

#include "core/Log.h"
#include "platform/Screenshot.h"
#include "platform/Window.h"
#include "platform/text/TextRaster.h"

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

// Source-over of r, g, b with opacity alpha onto a 0x00RRGGBB pixel.
Uint32 BlendPixel(Uint32 under, Uint32 r, Uint32 g, Uint32 b, Uint32 alpha) {
    return (BlendChannel(r, (under >> 16) & 0xFF, alpha) << 16) | (BlendChannel(g, (under >> 8) & 0xFF, alpha) << 8) |
           BlendChannel(b, under & 0xFF, alpha);
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
                destination[column] =
                    BlendPixel(destination[column], (texel >> 16) & 0xFF, (texel >> 8) & 0xFF, texel & 0xFF, alpha);
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

void Renderer::FillPixelBox(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
                            ColorAlpha color) {
    if (backBuffer == nullptr || color.a == 0) {
        return;
    }
    if (color.a == 255) {
        FillPixels(backBuffer, left, top, right, bottom, Color{color.r, color.g, color.b});
        return;
    }
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, backBuffer->w);
    bottom = std::min<std::int64_t>(bottom, backBuffer->h);
    for (std::int64_t y = top; y < bottom; ++y) {
        Uint32* row = PixelRow(backBuffer, static_cast<int>(y));
        for (std::int64_t x = left; x < right; ++x) {
            row[x] = BlendPixel(row[x], color.r, color.g, color.b, color.a);
        }
    }
}

void Renderer::BlendCoverage(const CoverageImage& image, ColorAlpha color) {
    if (backBuffer == nullptr) {
        return;
    }
    const int right = std::min(image.left + image.width, backBuffer->w);
    const int bottom = std::min(image.top + image.height, backBuffer->h);
    for (int y = std::max(image.top, 0); y < bottom; ++y) {
        Uint32* row = PixelRow(backBuffer, y);
        const std::uint8_t* coverage = image.coverage.data() + static_cast<std::size_t>(y - image.top) * image.width;
        for (int x = std::max(image.left, 0); x < right; ++x) {
            const Uint32 alpha = (Uint32{coverage[x - image.left]} * color.a + 127) / 255;
            if (alpha != 0) {
                row[x] = BlendPixel(row[x], color.r, color.g, color.b, alpha);
            }
        }
    }
}

// Inverse mapping: each pixel centre inside the quad finds its place s, t in the
// unturned sprite (0..1 each way), then the nearest texel of the source rectangle.
void Renderer::DrawTexturedQuad(Texture& texture, const ImagePlacement& placement, const ImageLook& look) {
    SDL_Surface* image = texture.GetBitmap();
    if (backBuffer == nullptr || image == nullptr || image->w <= 0 || image->h <= 0 || look.alpha == 0) {
        return;
    }
    if (placement.Unturned() && look.Plain()) {
        StretchBlend(backBuffer, image, static_cast<float>(placement.originX), static_cast<float>(placement.originY),
                     static_cast<float>(placement.axisUx), static_cast<float>(placement.axisVy));
        return;
    }
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
    const double minX = std::min({xs[0], xs[1], xs[2], xs[3]});
    const double maxX = std::max({xs[0], xs[1], xs[2], xs[3]});
    const double minY = std::min({ys[0], ys[1], ys[2], ys[3]});
    const double maxY = std::max({ys[0], ys[1], ys[2], ys[3]});
    const int firstColumn = static_cast<int>(std::clamp(std::ceil(minX - 0.5), 0.0, double(backBuffer->w)));
    const int lastColumn = static_cast<int>(std::clamp(std::ceil(maxX - 0.5), 0.0, double(backBuffer->w)));
    const int firstRow = static_cast<int>(std::clamp(std::ceil(minY - 0.5), 0.0, double(backBuffer->h)));
    const int lastRow = static_cast<int>(std::clamp(std::ceil(maxY - 0.5), 0.0, double(backBuffer->h)));

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
        Uint32* destination = PixelRow(backBuffer, row);
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
            destination[column] = alpha == 255 ? (r << 16) | (g << 8) | b : BlendPixel(destination[column], r, g, b, alpha);
        }
    }
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
