// A headless Win32 window is never shown, yet has its full client area, so the
// renderer draws into it as into a visible one.
#include "platform/Window.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace Orvane {
namespace {

TEST(HeadlessWindow, IsNeverShownButHasItsClientArea) {
    for (const bool headless : {true, false}) {
        SCOPED_TRACE(headless ? "headless" : "visible");
        Window window;
        ASSERT_TRUE(window.Create(320, 200, "Orvane headless test", headless));
        window.PumpMessages();
        EXPECT_EQ(IsWindowVisible(window.GetHandle()) != FALSE, !headless);
        RECT client{};
        ASSERT_TRUE(GetClientRect(window.GetHandle(), &client));
        EXPECT_EQ(client.right - client.left, 320);
        EXPECT_EQ(client.bottom - client.top, 200);
    }
}

} // namespace
} // namespace Orvane
