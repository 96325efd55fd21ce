#pragma once
#include <filesystem>

#ifdef _WIN32
namespace Gdiplus { class Bitmap; }
#else
struct SDL_Surface;
#endif

namespace Orvane {

// One image file, decoded at most once.
class Texture {
public:
#ifdef _WIN32
    using NativeImage = Gdiplus::Bitmap;
#else
    using NativeImage = SDL_Surface;
#endif

    explicit Texture(std::filesystem::path path);
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Decodes the file on first use; true when the texture is usable. Warns
    // "Texture not found: " or "Texture could not be loaded: " otherwise.
    bool Load();
    bool IsLoaded() const { return loaded; }
    NativeImage* GetBitmap() const { return bitmap; }
    const std::filesystem::path& Path() const { return path; }
    // The file's modification time when it was looked at for decoding.
    std::filesystem::file_time_type Modified() const { return modified; }

private:
    // Native: decode path into bitmap; false (bitmap null) when it is not an image.
    bool Decode();
    // Native: free bitmap, leave it null.
    void ReleaseBitmap();

    std::filesystem::path path;
    bool loaded = false;
    NativeImage* bitmap = nullptr;   // owned; present exactly when loaded
    std::filesystem::file_time_type modified{};
};

} // namespace Orvane
