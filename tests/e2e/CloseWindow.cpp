// Test helper for the end-to-end runs on Windows: waits until the runtime's
// window exists, optionally holds keys down for a while or posts messages, then
// asks it to close (unless --no-close).
//
//   CloseWindow [--timeout-ms N] [--title TEXT] [--hold VK MS]... [--post MSG WPARAM LPARAM]...
//               [--resize W H]... [--sleep MS]... [--no-close]
// Steps run in the order given; numbers may be written in hex (0x...). --title
// picks one runtime's window by its title when several run at once.
//
// Exit codes: 0 WM_CLOSE was posted, 2 no window appeared in time, 3 bad usage.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <thread>
#include <vector>

namespace {

// One step: hold a key for a while, post a message, or pause.
struct Step {
    enum Kind { Hold, Post, Resize, Sleep } kind;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    int milliseconds = 0;
};

HWND WaitForWindow(int timeoutMilliseconds, const wchar_t* title) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    for (;;) {
        HWND window = FindWindowW(L"OrvaneWindow", title);
        if (window != nullptr || std::chrono::steady_clock::now() >= deadline) {
            return window;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool ParseInt(const wchar_t* text, int& value) {
    wchar_t* end = nullptr;
    const long parsed = std::wcstol(text, &end, 10);
    if (end == text || *end != L'\0' || parsed < 0) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

// Message parameters may be negative or hex (a wheel delta, packed coordinates).
bool ParseParameter(const wchar_t* text, long long& value) {
    wchar_t* end = nullptr;
    value = std::wcstoll(text, &end, 0);
    return end != text && *end == L'\0';
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    int timeoutMilliseconds = 30000;
    bool close = true;
    const wchar_t* title = nullptr;
    std::vector<Step> steps;
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--timeout-ms") == 0 && i + 1 < argc &&
            ParseInt(argv[i + 1], timeoutMilliseconds)) {
            ++i;
            continue;
        }
        if (std::wcscmp(argv[i], L"--title") == 0 && i + 1 < argc) {
            title = argv[++i];
            continue;
        }
        int virtualKey = 0;
        int milliseconds = 0;
        if (std::wcscmp(argv[i], L"--hold") == 0 && i + 2 < argc && ParseInt(argv[i + 1], virtualKey) &&
            virtualKey < 256 && ParseInt(argv[i + 2], milliseconds)) {
            steps.push_back({Step::Hold, 0, static_cast<WPARAM>(virtualKey), 0, milliseconds});
            i += 2;
            continue;
        }
        long long message = 0;
        long long wParam = 0;
        long long lParam = 0;
        if (std::wcscmp(argv[i], L"--post") == 0 && i + 3 < argc && ParseParameter(argv[i + 1], message) &&
            ParseParameter(argv[i + 2], wParam) && ParseParameter(argv[i + 3], lParam)) {
            steps.push_back({Step::Post, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                             static_cast<LPARAM>(lParam), 0});
            i += 3;
            continue;
        }
        int width = 0;
        int height = 0;
        if (std::wcscmp(argv[i], L"--resize") == 0 && i + 2 < argc && ParseInt(argv[i + 1], width) &&
            ParseInt(argv[i + 2], height)) {
            steps.push_back({Step::Resize, 0, static_cast<WPARAM>(width), static_cast<LPARAM>(height), 0});
            i += 2;
            continue;
        }
        if (std::wcscmp(argv[i], L"--sleep") == 0 && i + 1 < argc && ParseInt(argv[i + 1], milliseconds)) {
            steps.push_back({Step::Sleep, 0, 0, 0, milliseconds});
            ++i;
            continue;
        }
        if (std::wcscmp(argv[i], L"--no-close") == 0) {
            close = false;
            continue;
        }
        std::fwprintf(stderr, L"usage: CloseWindow [--timeout-ms N] [--title TEXT] [--hold VK MS]... "
                              L"[--post MSG WPARAM LPARAM]... [--resize W H]... [--sleep MS]... [--no-close]\n");
        return 3;
    }

    HWND window = WaitForWindow(timeoutMilliseconds, title);
    if (window == nullptr) {
        std::fwprintf(stderr, L"CloseWindow: no OrvaneWindow within %d ms\n", timeoutMilliseconds);
        return 2;
    }
    for (const Step& step : steps) {
        switch (step.kind) {
        case Step::Hold:
            PostMessageW(window, WM_KEYDOWN, step.wParam, 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(step.milliseconds));
            PostMessageW(window, WM_KEYUP, step.wParam, (1u << 30) | (1u << 31) | 1);
            break;
        case Step::Post:
            PostMessageW(window, step.message, step.wParam, step.lParam);
            break;
        case Step::Resize: {
            // A real resize of the client area, so WM_SIZE comes from the system.
            RECT outer{0, 0, static_cast<LONG>(step.wParam), static_cast<LONG>(step.lParam)};
            AdjustWindowRect(&outer, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE);
            SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        }
        case Step::Sleep:
            std::this_thread::sleep_for(std::chrono::milliseconds(step.milliseconds));
            break;
        }
    }
    if (close) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return 0;
}
