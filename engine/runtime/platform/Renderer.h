#pragma once
#include "platform/Texture.h"
#include "scripting/FrameSnapshot.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
struct SDL_Surface;
struct SDL_Window;
namespace Orvane {
class DrawList;
class X11Presenter;
}
#endif

namespace Orvane {

class Window;
class TextRenderer;
struct RgbImage;
struct CoverageImage;

// Where a sprite lands in window pixels: the screen position of its top-left
// corner and the edge vectors to its top-right and bottom-left corners, turned
// and scaled already. An unturned sprite has axisU = (width, 0), axisV = (0, height).
struct ImagePlacement {
    double originX = 0;
    double originY = 0;
    double axisUx = 0;
    double axisUy = 0;
    double axisVx = 0;
    double axisVy = 0;
    bool Unturned() const { return axisUy == 0 && axisVx == 0; }
    // The corners in drawing order: top-left, top-right, bottom-right, bottom-left.
    void Corners(double (&xs)[4], double (&ys)[4]) const {
        xs[0] = originX;
        xs[1] = originX + axisUx;
        xs[2] = originX + axisUx + axisVx;
        xs[3] = originX + axisVx;
        ys[0] = originY;
        ys[1] = originY + axisUy;
        ys[2] = originY + axisUy + axisVy;
        ys[3] = originY + axisVy;
    }
};

// The texels a sprite shows and how: source rectangle, flips, tint and opacity.
struct ImageLook {
    float sourceX = 0;
    float sourceY = 0;
    float sourceWidth = 0;    // 0 or less: the whole image
    float sourceHeight = 0;
    std::uint8_t flip = 0;
    Color tint{255, 255, 255};
    std::uint8_t alpha = 255;
    // The source rectangle inside an image of the given size (the whole image when
    // none was asked for); false when nothing of it lies inside.
    bool SourceIn(double imageWidth, double imageHeight, double& x, double& y, double& width,
                  double& height) const {
        x = 0;
        y = 0;
        width = imageWidth;
        height = imageHeight;
        if (sourceWidth > 0 && sourceHeight > 0) {
            x = std::clamp(static_cast<double>(sourceX), 0.0, imageWidth);
            y = std::clamp(static_cast<double>(sourceY), 0.0, imageHeight);
            width = std::min(static_cast<double>(sourceWidth), imageWidth - x);
            height = std::min(static_cast<double>(sourceHeight), imageHeight - y);
        }
        return width > 0 && height > 0;
    }
    bool Plain() const {
        return sourceWidth <= 0 && sourceHeight <= 0 && flip == 0 && alpha == 255 && tint.r == 255 &&
               tint.g == 255 && tint.b == 255;
    }
};

// Draws one frame of script output into a back buffer the size of the client
// area and copies it to the window.
class Renderer {
public:
    Renderer();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    bool Initialize(Window& window);
    void SetAssetRoot(std::filesystem::path folder);

    // The whole frame: a version-1 frame clears, then draws its rectangles, sprites
    // and outlines in that order; a version-2 frame draws every command in arrival
    // order, then the outlines. BeginFrame and Present stay the caller's.
    void DrawSnapshot(const FrameSnapshot& snapshot);

    void BeginFrame(Color clearColor);
    void SetCamera(float x, float y);
    void DrawRects(const std::vector<RectCommand>& rects);
    void DrawSprites(const std::vector<SpriteCommand>& sprites);
    void DrawDebugRects(const std::vector<RectCommand>& rects);
    void Present();

    void DrawRect(float x, float y, float width, float height, Color color);
    void DrawDebugRect(float x, float y, float width, float height, Color color);
    void DrawSprite(const SpriteCommand& sprite);
    void ReleaseBackBuffer();

    // Version-2 drawing, each in world space (camera and zoom applied) or in
    // window pixels.
    void SetZoom(float zoom);
    void DrawFill(const FillCommand& fill, bool screenSpace);
    void DrawOutline(const OutlineCommand& outline, bool screenSpace);
    void DrawLine(const LineCommand& line, bool screenSpace);
    void DrawImage(const ImageCommand& image, bool screenSpace);
    void DrawText(const TextCommand& text, bool screenSpace);

    // Texture cache.
    std::filesystem::path ResolveTexturePath(const std::filesystem::path& texturePath) const;
    Texture* GetTexture(const std::filesystem::path& texturePath);
    // Drops the textures whose files changed (or appeared, or went) since they
    // were loaded, so their next use decodes them again; returns how many.
    std::size_t ForgetChangedTextures();

    // For tests and screenshots: size of the back buffer and one of its pixels.
    std::int32_t BackBufferWidth() const { return backBufferWidth; }
    std::int32_t BackBufferHeight() const { return backBufferHeight; }
    bool ReadPixel(std::int32_t x, std::int32_t y, Color& color) const;
    // The whole back buffer, as presented last; false when there is none.
    bool ReadBackBuffer(RgbImage& image) const;

#ifdef _WIN32
    static void AcquireGdiplus();
    static void ReleaseGdiplus();
    static std::int32_t GdiplusUsers();
#endif

private:
    // The cache lookup proper: resolve, key, find or load.
    Texture* LookUpTexture(const std::filesystem::path& texturePath);

    // World or window coordinates to window pixels (float, before edge truncation).
    float ScreenX(float x, bool screenSpace) const;
    float ScreenY(float y, bool screenSpace) const;
    float ScreenScale(bool screenSpace) const;
    // A rectangle of window coordinates with the edges of FillRect: truncated sums.
    void FillScreenRect(float sx, float sy, float width, float height, ColorAlpha color);
    // A convex polygon of window coordinates, pixels sampled at their centres.
    void FillScreenPolygon(const double (&xs)[4], const double (&ys)[4], ColorAlpha color);
    void DrawSpriteV2(const SpriteCommand& sprite, bool screenSpace);
    void DrawPlacedImage(const std::filesystem::path& texturePath, const ImagePlacement& placement,
                         const ImageLook& look, Color fallback);

    // ---- native: version-2 primitives in window pixels ----
    // Fills left <= x < right, top <= y < bottom (clipped; empty when inverted),
    // blended with the colour's opacity.
    void FillPixelBox(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
                      ColorAlpha color);
    // Blends the colour through a coverage mask (text).
    void BlendCoverage(CoverageImage image, ColorAlpha color);
    // A loaded texture drawn with nearest-neighbour sampling.
    void DrawTexturedQuad(Texture& texture, const ImagePlacement& placement, const ImageLook& look);

    float zoom = 1;
    std::unique_ptr<TextRenderer> textRenderer;

    Window* window = nullptr;
    std::filesystem::path assetRoot;
    float cameraX = 0;
    float cameraY = 0;
    std::unordered_map<std::string, std::unique_ptr<Texture>> textures;
    std::unordered_set<std::string> warnedMissingTextures;
    // The texture of the previous absolute sprite path: a frame's sprites mostly
    // repeat a path, and an absolute path resolves to itself, so they skip the
    // UTF-8 key and the hash lookup. Entries never change, so this stays valid.
    std::filesystem::path lastTexturePath;
    Texture* lastTexture = nullptr;

    // ---- native: a frame's drawing as one batch, between these two (the SDL
    // backend draws a batch on two threads; GDI draws each call at once) ----
    void BeginBatch();
    void FinishBatch();

    // ---- native: the backend's process-wide use, one per bound renderer ----
    static void AcquireBackend();
    static void ReleaseBackend();

    // ---- native: the back buffer ----
#ifdef _WIN32
    HDC windowDC = nullptr;
    HDC memoryDC = nullptr;
    HBITMAP backBuffer = nullptr;
    HGDIOBJ previousBitmap = nullptr;
#else
    SDL_Surface* backBuffer = nullptr;
    // The pixel work, drawn at once or batched (platform/sdl/DrawList.h); shared
    // only so that this header need not know the type.
    std::shared_ptr<DrawList> drawList;
    DrawList& Draws();
    // Frames shown without waiting for the X server (platform/sdl/X11Presenter.h),
    // opened once per window; null where SDL presents.
    std::shared_ptr<X11Presenter> presenter;
    SDL_Window* presenterWindow = nullptr;
    // The surface to draw into: the presenter's next image, else the window's own
    // surface when it has the back buffer's layout, else null.
    SDL_Surface* BorrowedBackBuffer(int width, int height);
    bool backBufferBorrowed = false;   // backBuffer is the presenter's or the window's
#endif
    std::int32_t backBufferWidth = 0;
    std::int32_t backBufferHeight = 0;
};

// Float screen coordinate to a pixel edge: truncation toward zero, clamped to the
// 32-bit range (the plain conversion is undefined outside it).
std::int32_t ToPixelEdge(float value);

} // namespace Orvane
