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

void ReleaseVideo() {
    if (videoUsers <= 0) {
        return;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (--videoUsers == 0) {
        SDL_Quit();
    }
}

// The offscreen driver draws into memory and needs no display. The driver is
// chosen when video starts, so this counts only for the first window; the
// override beats SDL_VIDEODRIVER, and a later visible start drops it again.
void ChooseVideoDriver(bool headless) {
    static bool offscreenChosen = false;
    if (videoUsers > 0) {
        return;
    }
    if (headless) {
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
        offscreenChosen = true;
    } else if (offscreenChosen) {
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
        offscreenChosen = false;
    }
}

// Without a display SDL falls back to the offscreen driver by itself; a run that
// did not ask for that would go on with nobody seeing it and nothing to close.
bool FellBackToNoDisplay(bool headless) {
    const char* requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    const char* driver = SDL_GetCurrentVideoDriver();
    return !headless && (requested == nullptr || *requested == '\0') && driver != nullptr &&
           (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
}

bool DisplayNamed() {
    const char* x11 = SDL_getenv("DISPLAY");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

bool AcquireVideo(bool headless) {
    ChooseVideoDriver(headless);
    // In a process that started and stopped SDL video before, its X11 start now
    // and then fails for a moment (about 1 in 100) and SDL falls back to
    // offscreen: with a display named, that is worth another try or two.
    for (int attempt = 1;; ++attempt) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            return false;
        }
        ++videoUsers;
        if (!FellBackToNoDisplay(headless)) {
            return true;
        }
        ReleaseVideo();
        if (attempt == 3 || !DisplayNamed()) {
            break;
        }
        SDL_Delay(10);
    }
    SDL_SetError("no display is available (DISPLAY is not set or cannot be opened)");
    return false;
}

} // namespace

Window::~Window() {
    if (handle != nullptr) {
        SDL_DestroyWindow(handle);
        handle = nullptr;
        ReleaseVideo();
    }
}

bool Window::Create(std::int32_t width, std::int32_t height, const std::string& title, bool headless) {
    this->width = width;
    this->height = height;
    if (handle != nullptr) {
        SDL_DestroyWindow(handle);
        handle = nullptr;
        ReleaseVideo();
    }
    if (!AcquireVideo(headless)) {
        LogError(std::string("Failed to create window: ") + SDL_GetError());
        return false;
    }
    // The title is UTF-8 text already, which is what SDL expects.
    handle = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                              width, height, (headless ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN) | SDL_WINDOW_RESIZABLE);
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

bool Window::HasFocus() const {
    return handle != nullptr && (SDL_GetWindowFlags(handle) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

bool Window::Minimized() const {
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
