#pragma once
#include "platform/Texture.h"
#include "scripting/FrameSnapshot.h"

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
#endif

namespace Orvane {

class Window;
struct RgbImage;

// Draws one frame of script output into a back buffer the size of the client
// area and copies it to the window.
class Renderer {
public:
    Renderer() = default;
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    bool Initialize(Window& window);
    void SetAssetRoot(std::filesystem::path folder);

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

    // Texture cache.
    std::filesystem::path ResolveTexturePath(const std::filesystem::path& texturePath) const;
    Texture* GetTexture(const std::filesystem::path& texturePath);

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
#endif
    std::int32_t backBufferWidth = 0;
    std::int32_t backBufferHeight = 0;
};

// Float screen coordinate to a pixel edge: truncation toward zero, clamped to the
// 32-bit range (the plain conversion is undefined outside it).
std::int32_t ToPixelEdge(float value);

} // namespace Orvane
