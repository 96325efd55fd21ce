#include "platform/Window.h"

#include "core/Log.h"
#include "platform/KeyStates.h"

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

} // namespace

Window::~Window() {
    if (handle != nullptr) {
        DestroyWindow(handle);
        handle = nullptr;
    }
}

bool Window::Create(std::int32_t width, std::int32_t height, const std::string& title) {
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

    handle = CreateWindowExW(0, windowClassName, wideTitle.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                             CW_USEDEFAULT, CW_USEDEFAULT, outerWidth, outerHeight, nullptr, nullptr,
                             instance, this);
    if (handle == nullptr) {
        LogError("Failed to create Win32 window.");
        return false;
    }
    return true;
}

bool Window::HasFocus() const { return handle != nullptr && GetForegroundWindow() == handle; }

bool Window::IsMinimized() const { return handle != nullptr && IsIconic(handle) != FALSE; }

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
        return 0;
    case WM_KEYUP:
        SetKeyState(static_cast<std::uint32_t>(wParam), false);
        return 0;
    case WM_KILLFOCUS:
        // Key-ups now go to another window; a held key would otherwise stay down.
        ClearKeyStates();
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
