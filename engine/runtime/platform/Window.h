#pragma once
#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
struct SDL_Window;
union SDL_Event;
#endif

namespace Orvane {

// The one top-level window of the process. It keeps keyStates up to date and
// remembers when it was asked to close; it must not move while it exists.
class Window {
public:
#ifdef _WIN32
    using NativeHandle = HWND;
#else
    using NativeHandle = SDL_Window*;
#endif

    Window() = default;
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Opens a visible, resizable window whose client area is width x height;
    // headless, one that is never shown and needs no display, drawn the same.
    // False after one logged error line.
    bool Create(std::int32_t width, std::int32_t height, const std::string& title, bool headless = false);

    // Handles every waiting message without blocking; false once closed.
    bool PumpMessages();

    NativeHandle GetHandle() const { return handle; }

    // Whether the window has the keyboard focus, and whether it is minimised.
    bool HasFocus() const;
    bool Minimized() const;

#ifdef _WIN32
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
#else
    // Acts on one event meant for this window (PumpMessages feeds it; tests too).
    void HandleEvent(const SDL_Event& event);
#endif

private:
    // ---- native ----
    NativeHandle handle = nullptr;
#ifdef _WIN32
    std::uint16_t highSurrogate = 0;   // first half of a character typed as two WM_CHARs
    bool trackingPointer = false;      // TrackMouseEvent asked for WM_MOUSELEAVE
#endif
    // ---- portable ----
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool closed = false;
};

} // namespace Orvane
