#include "platform/Window.h"

#include "core/Log.h"
#include "platform/KeyStates.h"
#include "platform/sdl/VirtualKeys.h"

#include <SDL.h>

namespace Orvane {

namespace {

// SDL's video subsystem is process-wide; each created window holds one use and
// the last one to go shuts SDL down.
int videoUsers = 0;

bool AcquireVideo() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return false;
    }
    ++videoUsers;
    return true;
}

void ReleaseVideo() {
    if (videoUsers <= 0) {
        return;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (--videoUsers == 0) {
        SDL_Quit();
    }
}

} // namespace

Window::~Window() {
    if (handle != nullptr) {
        SDL_DestroyWindow(handle);
        handle = nullptr;
        ReleaseVideo();
    }
}

bool Window::Create(std::int32_t width, std::int32_t height, const std::string& title) {
    this->width = width;
    this->height = height;
    if (handle != nullptr) {
        SDL_DestroyWindow(handle);
        handle = nullptr;
        ReleaseVideo();
    }
    if (!AcquireVideo()) {
        LogError(std::string("Failed to create window: ") + SDL_GetError());
        return false;
    }
    // The title is UTF-8 text already, which is what SDL expects.
    handle = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                              width, height, SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
    if (handle == nullptr) {
        LogError(std::string("Failed to create window: ") + SDL_GetError());
        ReleaseVideo();
        return false;
    }
    return true;
}

bool Window::HasFocus() const {
    return handle != nullptr && (SDL_GetWindowFlags(handle) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

bool Window::IsMinimized() const {
    return handle != nullptr && (SDL_GetWindowFlags(handle) & SDL_WINDOW_MINIMIZED) != 0;
}

bool Window::PumpMessages() {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        HandleEvent(event);
    }
    return !closed;
}

void Window::HandleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        // Last window closed, or SIGINT/SIGTERM turned into a quit request by SDL.
        closed = true;
        break;
    case SDL_WINDOWEVENT:
        if (handle == nullptr || event.window.windowID != SDL_GetWindowID(handle)) {
            break;
        }
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            closed = true;
        } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            // Key-ups now go to another window; without this a key released
            // there would stay held here for ever.
            ClearKeyStates();
        }
        break;
    case SDL_KEYDOWN:
        if (!IsSystemKey(event.key.keysym.scancode, event.key.keysym.mod)) {
            const std::uint32_t code = VirtualKeyFromSdl(event.key.keysym.sym, event.key.keysym.scancode);
            if (code != 0) {
                SetKeyState(code, true);
            }
        }
        break;
    case SDL_KEYUP: {
        // Releases count even while alt is held, so no key stays stuck down.
        const std::uint32_t code = VirtualKeyFromSdl(event.key.keysym.sym, event.key.keysym.scancode);
        if (code != 0) {
            SetKeyState(code, false);
        }
        break;
    }
    default:
        break;
    }
}

} // namespace Orvane
