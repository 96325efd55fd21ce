// How a renderer holds its backend, the same on every platform: the backend's
// process-wide use (GDI+, SDL_image) is taken once per renderer, on its first
// bind, and given back once, by a renderer that took it.
#include "platform/Renderer.h"

#include "platform/text/TextRenderer.h"

namespace Orvane {

Renderer::Renderer() = default;

Renderer::~Renderer() {
    ReleaseBackBuffer();
    // Decoded textures belong to the backend: they must go before it shuts down.
    lastTexture = nullptr;
    textures.clear();
    textRenderer.reset();
    warnedMissingTextures.clear();
    // Only a renderer that took a use gives one back; otherwise a renderer that
    // never started would shut the backend down under another one still drawing.
    if (window != nullptr) {
        ReleaseBackend();
    }
}

bool Renderer::Initialize(Window& window) {
    // One use per renderer, however often it is bound to a window.
    if (this->window == nullptr) {
        AcquireBackend();
    }
    this->window = &window;
    return true;
}

} // namespace Orvane
