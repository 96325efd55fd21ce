#include "platform/Renderer.h"

#include "core/Log.h"
#include "platform/Screenshot.h"
#include "platform/Window.h"
#include "platform/sdl/DrawList.h"
#include "platform/sdl/X11Presenter.h"
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

Uint32* PixelRow(SDL_Surface* surface, int y) {
    return reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) + std::ptrdiff_t{y} * surface->pitch);
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

SDL_Surface* Renderer::BorrowedBackBuffer(int width, int height) {
    SDL_Window* handle = window->GetHandle();
    if (presenterWindow != handle) {
        if (backBufferBorrowed) {
            ReleaseBackBuffer();   // it may be the old presenter's image
        }
        presenter = X11Presenter::Open(handle);
        presenterWindow = handle;
    }
    if (presenter) {
        if (SDL_Surface* image = presenter->NextBuffer(width, height)) {
            return image;
        }
        if (presenter->Failed()) {
            LogInfo("Presenting through SDL from now on: the X server reported an error on the shared-memory images.");
            if (backBufferBorrowed) {
                ReleaseBackBuffer();   // it may be one of the presenter's images
            }
            presenter.reset();
        }
    }
    // Where the window's own surface has the back buffer's layout, frames are
    // drawn straight into it and Present has nothing to copy.
    SDL_Surface* windowSurface = SDL_GetWindowSurface(handle);
    if (windowSurface != nullptr && windowSurface->format->format == backBufferFormat && windowSurface->w == width &&
        windowSurface->h == height && !SDL_MUSTLOCK(windowSurface)) {
        return windowSurface;
    }
    return nullptr;
}

void Renderer::BeginFrame(Color clearColor) {
    if (window == nullptr || window->GetHandle() == nullptr) {
        return;
    }
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window->GetHandle(), &width, &height);
    if (backBufferBorrowed && (width != backBufferWidth || height != backBufferHeight)) {
        ReleaseBackBuffer();   // its owner may free a surface of the old size now
    }
    if (SDL_Surface* borrowed = BorrowedBackBuffer(width, height)) {
        if (backBuffer != borrowed) {
            // The presenter's two images take turns; a surface of our own goes.
            if (!backBufferBorrowed) {
                ReleaseBackBuffer();
            } else if (drawList) {
                drawList->Forget(backBuffer);   // never cleared once the server may read it
            }
            backBuffer = borrowed;
            backBufferBorrowed = true;
            backBufferWidth = width;
            backBufferHeight = height;
        }
    } else if (backBuffer == nullptr || backBufferBorrowed || width != backBufferWidth || height != backBufferHeight) {
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
    Draws().Clear(backBuffer, clearColor);
}

DrawList& Renderer::Draws() {
    if (!drawList) {
        drawList = std::make_shared<DrawList>();
    }
    return *drawList;
}

void Renderer::BeginBatch() {
    if (backBuffer != nullptr) {
        Draws().Begin(backBuffer);
    }
}

void Renderer::FinishBatch() {
    if (drawList) {
        drawList->Finish();
    }
}

void Renderer::DrawRect(float x, float y, float width, float height, Color color) {
    if (backBuffer == nullptr) {
        return;
    }
    const float sx = x - cameraX;
    const float sy = y - cameraY;
    // Like FillRect: right and bottom are exclusive, an inverted rectangle is
    // empty.
    Draws().FillOpaque(backBuffer, ToPixelEdge(sx), ToPixelEdge(sy), ToPixelEdge(sx + width), ToPixelEdge(sy + height),
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
    // and (right - 1, bottom - 1): each side covers the pixel before its line
    // too.
    const std::int64_t outerLeft = left - 1;
    const std::int64_t outerTop = top - 1;
    const std::int64_t outerRight = right;
    const std::int64_t outerBottom = bottom;
    DrawList& draws = Draws();
    draws.FillOpaque(backBuffer, outerLeft, outerTop, outerRight, top + 1, color);
    draws.FillOpaque(backBuffer, outerLeft, bottom - 2, outerRight, outerBottom, color);
    draws.FillOpaque(backBuffer, outerLeft, outerTop, left + 1, outerBottom, color);
    draws.FillOpaque(backBuffer, right - 2, outerTop, outerRight, outerBottom, color);
}

void Renderer::DrawSprite(const SpriteCommand& sprite) {
    // The cache is consulted (and warns) even with nothing to draw into yet.
    Texture* texture = GetTexture(sprite.texturePath);
    if (backBuffer == nullptr) {
        return;
    }
    if (texture != nullptr && texture->IsLoaded()) {
        Draws().Stretch(backBuffer, texture->GetBitmap(), sprite.x - cameraX, sprite.y - cameraY, sprite.width,
                        sprite.height);
        return;
    }
    DrawRect(sprite.x, sprite.y, sprite.width, sprite.height, sprite.color);
}

void Renderer::Present() {
    if (backBuffer == nullptr || window == nullptr || window->GetHandle() == nullptr) {
        return;
    }
    Draws().Settle();
    if (presenter && presenter->Present()) {
        return;
    }
    SDL_Surface* windowSurface = SDL_GetWindowSurface(window->GetHandle());
    if (windowSurface == nullptr) {
        return;
    }
    if (windowSurface != backBuffer) {
        SDL_BlitSurface(backBuffer, nullptr, windowSurface, nullptr);
    }
    SDL_UpdateWindowSurface(window->GetHandle());
}

void Renderer::ReleaseBackBuffer() {
    if (backBuffer != nullptr) {
        if (drawList) {
            drawList->Forget(backBuffer);
        }
        // The window's own surface is SDL's to free, the presenter's images its own.
        if (!backBufferBorrowed) {
            SDL_FreeSurface(backBuffer);
        }
        backBuffer = nullptr;
    }
    backBufferBorrowed = false;
    backBufferWidth = 0;
    backBufferHeight = 0;
}

void Renderer::FillPixelBox(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
                            ColorAlpha color) {
    if (backBuffer != nullptr && color.a != 0) {
        Draws().FillBlended(backBuffer, left, top, right, bottom, color);
    }
}

void Renderer::BlendCoverage(CoverageImage image, ColorAlpha color) {
    if (backBuffer != nullptr) {
        Draws().BlendCoverage(backBuffer, std::move(image), color);
    }
}

void Renderer::DrawTexturedQuad(Texture& texture, const ImagePlacement& placement, const ImageLook& look) {
    SDL_Surface* image = texture.GetBitmap();
    if (backBuffer == nullptr || image == nullptr || image->w <= 0 || image->h <= 0 || look.alpha == 0) {
        return;
    }
    if (placement.Unturned() && look.Plain()) {
        Draws().Stretch(backBuffer, image, static_cast<float>(placement.originX), static_cast<float>(placement.originY),
                        static_cast<float>(placement.axisUx), static_cast<float>(placement.axisVy));
        return;
    }
    Draws().Quad(backBuffer, image, placement, look);
}

bool Renderer::ReadPixel(std::int32_t x, std::int32_t y, Color& color) const {
    if (drawList) {
        drawList->Settle();
    }
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
    if (drawList) {
        drawList->Settle();
    }
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
