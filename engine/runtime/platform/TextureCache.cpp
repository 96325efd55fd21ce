// The texture cache rules shared by every backend: path resolution, one decode
// per key, failures cached, warnings written once.
#include "platform/Renderer.h"

#include "core/Log.h"
#include "core/Paths.h"


namespace Orvane {

namespace fs = std::filesystem;

Texture::Texture(fs::path path) : path(std::move(path)) {}

Texture::~Texture() { ReleaseBitmap(); }

bool Texture::Load() {
    if (loaded) {
        return true;
    }
    std::error_code timeError;
    modified = fs::last_write_time(path, timeError);
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

std::size_t Renderer::ForgetChangedTextures() {
    lastTexture = nullptr;
    lastTexturePath.clear();
    std::size_t forgotten = 0;
    for (auto entry = textures.begin(); entry != textures.end();) {
        std::error_code error;
        const fs::file_time_type now = fs::last_write_time(entry->second->Path(), error);
        const fs::file_time_type then = entry->second->Modified();
        // A file that cannot be read reports the same "no time" both times.
        if (now != then) {
            warnedMissingTextures.erase(entry->first);
            entry = textures.erase(entry);
            ++forgotten;
        } else {
            ++entry;
        }
    }
    return forgotten;
}

} // namespace Orvane
