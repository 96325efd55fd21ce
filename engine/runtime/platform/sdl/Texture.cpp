#include "platform/Texture.h"

#include "core/Paths.h"

#include <SDL.h>
#include <SDL_image.h>

namespace Orvane {

bool Texture::Decode() {
    // SDL_image picks the decoder from the file's contents.
    SDL_Surface* decoded = IMG_Load(PathToUtf8(path).c_str());
    if (decoded == nullptr) {
        return false;
    }
    // One layout for the renderer: 0xAARRGGBB, also for images without alpha.
    bitmap = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(decoded);
    return bitmap != nullptr;
}

void Texture::ReleaseBitmap() {
    if (bitmap != nullptr) {
        SDL_FreeSurface(bitmap);
        bitmap = nullptr;
    }
}

} // namespace Orvane
