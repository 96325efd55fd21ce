#include "platform/Window.h"

#include "core/Log.h"
#include "input/InputEvents.h"
#include "input/KeyStates.h"
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
    int clientWidth = 0;
    int clientHeight = 0;
    SDL_GetWindowSize(handle, &clientWidth, &clientHeight);
    RecordClientSize(clientWidth, clientHeight);
    SDL_StartTextInput();
    return true;
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
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            closed = true;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            // Key-ups now go to another window; without this a key released
            // there would stay held here for ever.
            RecordFocus(false);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            RecordFocus(true);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            RecordClientSize(event.window.data1, event.window.data2);
            break;
        case SDL_WINDOWEVENT_LEAVE:
            RecordPointerLeft();
            break;
        default:
            break;
        }
        break;
    case SDL_KEYDOWN:
        if (!IsSystemKey(event.key.keysym.scancode, event.key.keysym.mod)) {
            const std::uint32_t code =
                VirtualKeyFromSdl(event.key.keysym.sym, event.key.keysym.scancode, event.key.keysym.mod);
            if (code != 0) {
                SetKeyState(code, true);
                RecordKey(code, true, event.key.repeat != 0);
            }
        }
        break;
    case SDL_KEYUP: {
        // Releases count even while alt is held, so no key stays stuck down.
        const std::uint32_t code =
            VirtualKeyFromSdl(event.key.keysym.sym, event.key.keysym.scancode, event.key.keysym.mod);
        if (code != 0) {
            SetKeyState(code, false);
            RecordKey(code, false, false);
        }
        break;
    }
    case SDL_TEXTINPUT:
        RecordText(event.text.text);
        break;
    case SDL_MOUSEMOTION: {
        int clientWidth = 0;
        int clientHeight = 0;
        SDL_GetWindowSize(handle, &clientWidth, &clientHeight);
        const bool inside = event.motion.x >= 0 && event.motion.y >= 0 && event.motion.x < clientWidth &&
                            event.motion.y < clientHeight;
        RecordPointer(static_cast<float>(event.motion.x), static_cast<float>(event.motion.y), inside);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        // SDL numbers left, middle, right, x1, x2; the protocol left, right, middle, x1, x2.
        static constexpr MouseButton buttons[] = {MouseButton::Left, MouseButton::Middle, MouseButton::Right,
                                                  MouseButton::Extra1, MouseButton::Extra2};
        if (event.button.button >= 1 && event.button.button <= 5) {
            RecordButton(buttons[event.button.button - 1], event.type == SDL_MOUSEBUTTONDOWN,
                         static_cast<float>(event.button.x), static_cast<float>(event.button.y));
        }
        break;
    }
    case SDL_MOUSEWHEEL: {
        const float sign = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1.0f : 1.0f;
        RecordWheel(sign * event.wheel.preciseX, sign * event.wheel.preciseY);
        break;
    }
    default:
        break;
    }
}

} // namespace Orvane
