#include "platform/Window.h"

#include "core/Log.h"
#include "input/InputEvents.h"
#include "input/KeyStates.h"

#include <windowsx.h>

#include <cstdint>
#include <string>

namespace Orvane {

namespace {

constexpr wchar_t windowClassName[] = L"OrvaneWindow";

// The title is UTF-8 text (it comes from project.json); widening byte by byte
// would show every non-ASCII character as two or three garbage units.
std::wstring Utf8ToWide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    if (wideLength <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), wideLength);
    return wide;
}

// One UTF-16 character as UTF-8.
std::string Utf8FromCodepoint(std::uint32_t codepoint) {
    std::string text;
    if (codepoint < 0x80) {
        text += static_cast<char>(codepoint);
    } else if (codepoint < 0x800) {
        text += static_cast<char>(0xC0 | (codepoint >> 6));
        text += static_cast<char>(0x80 | (codepoint & 0x3F));
    } else if (codepoint < 0x10000) {
        text += static_cast<char>(0xE0 | (codepoint >> 12));
        text += static_cast<char>(0x80 | ((codepoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codepoint & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (codepoint >> 18));
        text += static_cast<char>(0x80 | ((codepoint >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((codepoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codepoint & 0x3F));
    }
    return text;
}

constexpr std::uint32_t replacementCharacter = 0xFFFD;

// Buttons held right now, so that the pointer stays captured while any is.
bool AnyButtonHeld(WPARAM wParam) {
    return (wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_XBUTTON1 | MK_XBUTTON2)) != 0;
}

void RecordButtonMessage(HWND hwnd, MouseButton button, bool down, WPARAM wParam, LPARAM lParam) {
    RecordButton(button, down, static_cast<float>(GET_X_LPARAM(lParam)), static_cast<float>(GET_Y_LPARAM(lParam)));
    // Captured while a button is held: positions outside the window still arrive.
    if (down) {
        SetCapture(hwnd);
    } else if (!AnyButtonHeld(wParam)) {
        ReleaseCapture();
    }
}

} // namespace

Window::~Window() {
    if (handle != nullptr) {
        DestroyWindow(handle);
        handle = nullptr;
    }
}

bool Window::Create(std::int32_t width, std::int32_t height, const std::string& title, bool headless) {
    this->width = width;
    this->height = height;

    const HINSTANCE instance = GetModuleHandleW(nullptr);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(WNDCLASSEXW);
    windowClass.style = 0;
    windowClass.lpfnWndProc = &Window::WindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = nullptr;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = windowClassName;
    windowClass.hIconSm = nullptr;
    // Fails harmlessly when the class exists already; creation below finds it.
    RegisterClassExW(&windowClass);

    RECT outer{0, 0, width, height};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    const int outerWidth = outer.right - outer.left;
    const int outerHeight = outer.bottom - outer.top;

    const std::wstring wideTitle = Utf8ToWide(title);

    // Headless: never shown, but it has its client area and DCs, so drawing and
    // the back buffer are the same.
    const DWORD style = WS_OVERLAPPEDWINDOW | (headless ? 0 : WS_VISIBLE);
    handle = CreateWindowExW(0, windowClassName, wideTitle.c_str(), style,
                             CW_USEDEFAULT, CW_USEDEFAULT, outerWidth, outerHeight, nullptr, nullptr,
                             instance, this);
    if (handle == nullptr) {
        LogError("Failed to create Win32 window.");
        return false;
    }
    return true;
}

bool Window::HasFocus() const { return handle != nullptr && GetForegroundWindow() == handle; }

bool Window::Minimized() const { return handle != nullptr && IsIconic(handle) != FALSE; }

bool Window::PumpMessages() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return !closed;
}

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* owner = nullptr;
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        owner = static_cast<Window*>(create->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    } else {
        owner = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }

    switch (message) {
    case WM_CLOSE:
    case WM_DESTROY:
        // WM_CLOSE is not passed on: the window stays until the Window object goes.
        if (owner != nullptr) {
            owner->closed = true;
        }
        return 0;
    case WM_KEYDOWN:
        SetKeyState(static_cast<std::uint32_t>(wParam), true);
        // Bit 30: the key was down already, so this is the keyboard's auto-repeat.
        RecordKey(static_cast<std::uint32_t>(wParam), true, (lParam & (LPARAM{1} << 30)) != 0);
        return 0;
    case WM_KEYUP:
        SetKeyState(static_cast<std::uint32_t>(wParam), false);
        RecordKey(static_cast<std::uint32_t>(wParam), false, false);
        return 0;
    case WM_CHAR:
        if (owner != nullptr) {
            const auto unit = static_cast<std::uint32_t>(wParam & 0xFFFF);
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                if (owner->highSurrogate != 0) {
                    RecordText(Utf8FromCodepoint(replacementCharacter));
                }
                owner->highSurrogate = static_cast<std::uint16_t>(unit);
                return 0;
            }
            std::uint32_t codepoint = unit;
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                codepoint = owner->highSurrogate != 0
                                ? 0x10000 + ((std::uint32_t{owner->highSurrogate} - 0xD800) << 10) + (unit - 0xDC00)
                                : replacementCharacter;
            } else if (owner->highSurrogate != 0) {
                RecordText(Utf8FromCodepoint(replacementCharacter));   // a lone first half
            }
            owner->highSurrogate = 0;
            // Control characters (backspace, enter, escape...) are keys, not text.
            if (codepoint >= 0x20 && codepoint != 0x7F) {
                RecordText(Utf8FromCodepoint(codepoint));
            }
        }
        return 0;
    case WM_MOUSEMOVE:
        if (owner != nullptr && !owner->trackingPointer) {
            TRACKMOUSEEVENT track{};
            track.cbSize = sizeof(track);
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = hwnd;
            owner->trackingPointer = TrackMouseEvent(&track) != FALSE;
        }
        {
            RECT client{0, 0, 0, 0};
            GetClientRect(hwnd, &client);
            const int x = GET_X_LPARAM(lParam);
            const int y = GET_Y_LPARAM(lParam);
            RecordPointer(static_cast<float>(x), static_cast<float>(y),
                          x >= 0 && y >= 0 && x < client.right && y < client.bottom);
        }
        break;
    case WM_MOUSELEAVE:
        if (owner != nullptr) {
            owner->trackingPointer = false;
        }
        RecordPointerLeft();
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        RecordButtonMessage(hwnd, MouseButton::Left, message == WM_LBUTTONDOWN, wParam, lParam);
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        RecordButtonMessage(hwnd, MouseButton::Right, message == WM_RBUTTONDOWN, wParam, lParam);
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        RecordButtonMessage(hwnd, MouseButton::Middle, message == WM_MBUTTONDOWN, wParam, lParam);
        break;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        RecordButtonMessage(hwnd, GET_XBUTTON_WPARAM(wParam) == XBUTTON2 ? MouseButton::Extra2 : MouseButton::Extra1,
                            message == WM_XBUTTONDOWN, wParam, lParam);
        break;
    case WM_MOUSEWHEEL:
        RecordWheel(0, static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA);
        break;
    case WM_MOUSEHWHEEL:
        RecordWheel(static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA, 0);
        break;
    case WM_SIZE:
        RecordClientSize(LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_SETFOCUS:
        RecordFocus(true);
        break;
    case WM_KILLFOCUS:
        // Key-ups now go to another window; a held key would otherwise stay down.
        RecordFocus(false);
        break;
    case WM_ACTIVATEAPP:
        if (wParam == FALSE) {
            ClearKeyStates();
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace Orvane
