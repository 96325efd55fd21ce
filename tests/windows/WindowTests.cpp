// The Win32 window: its size, title, close handling and the key table, driven
// with real messages sent to a real window.
#include "input/KeyStates.h"
#include "platform/Window.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

namespace Orvane {
namespace {

class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        ClearKeyStates();
        ASSERT_TRUE(window.Create(640, 480, "Orvane window test"));
        handle = window.GetHandle();
        ASSERT_NE(handle, nullptr);
        window.PumpMessages();
    }
    void TearDown() override { ClearKeyStates(); }

    void Send(UINT message, WPARAM wParam, LPARAM lParam = 0) {
        SendMessageW(handle, message, wParam, lParam);
    }

    Window window;
    HWND handle = nullptr;
};

TEST_F(WindowTest, ClientAreaHasTheRequestedSize) {
    RECT client{};
    ASSERT_TRUE(GetClientRect(handle, &client));
    EXPECT_EQ(client.right - client.left, 640);
    EXPECT_EQ(client.bottom - client.top, 480);

    wchar_t className[64] = {};
    GetClassNameW(handle, className, 64);
    EXPECT_EQ(std::wstring(className), L"OrvaneWindow");
    const LONG_PTR style = GetWindowLongPtrW(handle, GWL_STYLE);
    EXPECT_EQ(style & (WS_OVERLAPPEDWINDOW | WS_VISIBLE), WS_OVERLAPPEDWINDOW | WS_VISIBLE);
}

TEST_F(WindowTest, Utf8TitleIsDecoded) {
    struct Case {
        const char* utf8;
        const wchar_t* shown;
    };
    const Case cases[] = {
        {"Plain ASCII", L"Plain ASCII"},
        {"Caf\xC3\xA9 \xE2\x82\xAC", L"Caf\u00E9 \u20AC"},
        {"broken \xFF byte", L"broken \uFFFD byte"},   // replaced, not dropped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        Window titled;
        ASSERT_TRUE(titled.Create(320, 240, c.utf8));
        wchar_t title[64] = {};
        GetWindowTextW(titled.GetHandle(), title, 64);
        EXPECT_EQ(std::wstring(title), std::wstring(c.shown));
    }
    EXPECT_TRUE(window.PumpMessages());   // further windows of the same class are fine
}

TEST_F(WindowTest, KeyMessagesSetAndClearTheirEntry) {
    const std::uint32_t codes[] = {0, 32, 65, 0x26, 255};
    for (const std::uint32_t code : codes) {
        SCOPED_TRACE(code);
        Send(WM_KEYDOWN, code);
        EXPECT_TRUE(keyStates[code]);
        Send(WM_KEYDOWN, code);   // auto-repeat keeps it down
        EXPECT_TRUE(keyStates[code]);
        Send(WM_KEYUP, code);
        EXPECT_FALSE(keyStates[code]);
    }

    // Held keys stay down independently of each other.
    Send(WM_KEYDOWN, 'A');
    Send(WM_KEYDOWN, VK_SPACE);
    Send(WM_KEYUP, 'A');
    EXPECT_FALSE(keyStates['A']);
    EXPECT_TRUE(keyStates[VK_SPACE]);
}

TEST_F(WindowTest, MessagesThatAreNotKeysOfTheTableChangeNothing) {
    Send(WM_KEYDOWN, 'Q');
    const std::array<bool, keyCount> before = keyStates;
    Send(WM_KEYDOWN, 256);
    Send(WM_KEYDOWN, 0x1234);
    Send(WM_KEYUP, 256 + 'Q');
    Send(WM_SYSKEYDOWN, 'W');
    Send(WM_SYSKEYUP, 'Q');
    Send(WM_SYSKEYDOWN, VK_MENU);
    Send(WM_SYSKEYUP, VK_MENU);
    Send(WM_CHAR, 'w');
    EXPECT_EQ(keyStates, before);
}

TEST_F(WindowTest, LosingTheFocusReleasesEveryKey) {
    Send(WM_KEYDOWN, 'A');
    Send(WM_KEYDOWN, VK_LEFT);
    Send(WM_ACTIVATEAPP, TRUE);   // activation keeps them
    EXPECT_TRUE(keyStates['A']);
    Send(WM_KILLFOCUS, 0);
    EXPECT_EQ(keyStates, (std::array<bool, keyCount>{}));

    Send(WM_KEYDOWN, VK_RIGHT);
    Send(WM_ACTIVATEAPP, FALSE);
    EXPECT_FALSE(keyStates[VK_RIGHT]);
}

TEST_F(WindowTest, CloseEndsThePumpButKeepsTheWindow) {
    EXPECT_TRUE(window.PumpMessages());
    // Posted, so the pump that dispatches it is the one that reports it.
    PostMessageW(handle, WM_CLOSE, 0, 0);
    EXPECT_FALSE(window.PumpMessages());
    EXPECT_TRUE(IsWindow(handle));
    EXPECT_FALSE(window.PumpMessages());   // closed stays closed
}

TEST_F(WindowTest, SystemCloseCommandCloses) {
    Send(WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_FALSE(window.PumpMessages());
    EXPECT_TRUE(IsWindow(handle));
}

TEST(WindowLifecycle, DestructionDestroysTheNativeWindow) {
    HWND handle = nullptr;
    {
        Window window;
        EXPECT_EQ(window.GetHandle(), nullptr);
        ASSERT_TRUE(window.Create(320, 240, "short-lived"));
        handle = window.GetHandle();
        EXPECT_TRUE(IsWindow(handle));
    }
    EXPECT_FALSE(IsWindow(handle));

    Window neverCreated;   // destroying it must not touch anything
    EXPECT_EQ(neverCreated.GetHandle(), nullptr);
}

} // namespace
} // namespace Orvane
