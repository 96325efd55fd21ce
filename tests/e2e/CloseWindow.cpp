// Test helper for the end-to-end runs on Windows: waits until the runtime's
// window exists, optionally holds keys down for a while, then asks it to close.
//
//   CloseWindow [--timeout-ms N] [--hold VK MS]...
//
// Exit codes: 0 WM_CLOSE was posted, 2 no window appeared in time, 3 bad usage.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <thread>
#include <vector>

namespace {

struct HeldKey {
    WPARAM virtualKey;
    int milliseconds;
};

HWND WaitForWindow(int timeoutMilliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    for (;;) {
        HWND window = FindWindowW(L"OrvaneWindow", nullptr);
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

} // namespace

int wmain(int argc, wchar_t** argv) {
    int timeoutMilliseconds = 30000;
    std::vector<HeldKey> keys;
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--timeout-ms") == 0 && i + 1 < argc &&
            ParseInt(argv[i + 1], timeoutMilliseconds)) {
            ++i;
            continue;
        }
        int virtualKey = 0;
        int milliseconds = 0;
        if (std::wcscmp(argv[i], L"--hold") == 0 && i + 2 < argc && ParseInt(argv[i + 1], virtualKey) &&
            virtualKey < 256 && ParseInt(argv[i + 2], milliseconds)) {
            keys.push_back({static_cast<WPARAM>(virtualKey), milliseconds});
            i += 2;
            continue;
        }
        std::fwprintf(stderr, L"usage: CloseWindow [--timeout-ms N] [--hold VK MS]...\n");
        return 3;
    }

    HWND window = WaitForWindow(timeoutMilliseconds);
    if (window == nullptr) {
        std::fwprintf(stderr, L"CloseWindow: no OrvaneWindow within %d ms\n", timeoutMilliseconds);
        return 2;
    }
    for (const HeldKey& key : keys) {
        PostMessageW(window, WM_KEYDOWN, key.virtualKey, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(key.milliseconds));
        PostMessageW(window, WM_KEYUP, key.virtualKey, (1u << 30) | (1u << 31) | 1);
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
}
