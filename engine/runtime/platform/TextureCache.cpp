// The texture cache rules shared by every backend: path resolution, one decode
// per key, failures cached, warnings written once.
#include "platform/Renderer.h"

#include "core/Log.h"
#include "core/Paths.h"

#include <cmath>
#include <limits>

namespace Orvane {

namespace fs = std::filesystem;

Texture::Texture(fs::path path) : path(std::move(path)) {}

Texture::~Texture() { ReleaseBitmap(); }

bool Texture::Load() {
    if (loaded) {
        return true;
    }
    if (!FileExistsOrWarn(path)) {
        LogWarn("Texture not found: " + PathToUtf8(path));
        return false;
    }
    // Only a regular file is opened: a FIFO without a writer would block the
    // frame loop for ever, and a device or folder is no image either.
    std::error_code error;
    if (!fs::is_regular_file(path, error) || !Decode()) {
        LogWarn("Texture could not be loaded: " + PathToUtf8(path));
        ReleaseBitmap();
        return false;
    }
    loaded = true;
    return true;
}

fs::path Renderer::ResolveTexturePath(const fs::path& texturePath) const {
    if (texturePath.is_absolute()) {
        return texturePath;
    }
    if (assetRoot.empty()) {
        return fs::current_path() / texturePath;
    }
    return assetRoot / texturePath;
}

Texture* Renderer::GetTexture(const fs::path& texturePath) {
    if (lastTexture != nullptr && texturePath.native() == lastTexturePath.native()) {
        return lastTexture;
    }
    Texture* result = LookUpTexture(texturePath);
    if (texturePath.is_absolute()) {
        lastTexturePath = texturePath;
        lastTexture = result;
    }
    return result;
}

Texture* Renderer::LookUpTexture(const fs::path& texturePath) {
    const fs::path resolvedPath = ResolveTexturePath(texturePath);
    std::string key = PathToUtf8(resolvedPath);
    if (const auto found = textures.find(key); found != textures.end()) {
        return found->second.get();
    }
    auto texture = std::make_unique<Texture>(resolvedPath);
    if (!texture->Load() && warnedMissingTextures.insert(key).second) {
        LogWarn("Using fallback rectangle for missing texture: " + key);
    }
    Texture* result = texture.get();
    textures.emplace(std::move(key), std::move(texture));
    return result;
}

void Renderer::SetAssetRoot(fs::path folder) { assetRoot = std::move(folder); }

void Renderer::SetCamera(float x, float y) {
    cameraX = x;
    cameraY = y;
}

void Renderer::DrawRects(const std::vector<RectCommand>& rects) {
    for (const RectCommand& rect : rects) {
        DrawRect(rect.x, rect.y, rect.width, rect.height, rect.color);
    }
}

void Renderer::DrawSprites(const std::vector<SpriteCommand>& sprites) {
    for (const SpriteCommand& sprite : sprites) {
        DrawSprite(sprite);
    }
}

void Renderer::DrawDebugRects(const std::vector<RectCommand>& rects) {
    for (const RectCommand& rect : rects) {
        DrawDebugRect(rect.x, rect.y, rect.width, rect.height, rect.color);
    }
}

std::int32_t ToPixelEdge(float value) {
    // Compare as double: float cannot represent INT32_MAX exactly.
    constexpr double lowest = std::numeric_limits<std::int32_t>::min();
    constexpr double highest = std::numeric_limits<std::int32_t>::max();
    if (std::isnan(value)) {
        return 0;
    }
    const double truncated = std::trunc(static_cast<double>(value));
    if (truncated <= lowest) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (truncated >= highest) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(truncated);
}

} // namespace Orvane
