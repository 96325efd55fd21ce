// Headless SDL windows: the offscreen driver, chosen even when SDL_VIDEODRIVER
// names another; without a display a visible window fails instead of falling
// back to drawing unseen, and a headless one still works.
#include "support/TestSupport.h"

#include "platform/Window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

namespace Orvane {
namespace {

using OrvaneTest::CaptureLog;
using OrvaneTest::EnvironmentScope;

std::string CurrentDriver() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver ? driver : "";
}

TEST(HeadlessWindow, UsesTheOffscreenDriverAndStaysHidden) {
    ASSERT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "needs SDL video down to pick a driver";
    EnvironmentScope driver("SDL_VIDEODRIVER", "x11");
    {
        Window window;
        ASSERT_TRUE(window.Create(200, 120, "headless", true));
        EXPECT_EQ(CurrentDriver(), "offscreen");
        EXPECT_NE(SDL_GetWindowFlags(window.GetHandle()) & SDL_WINDOW_HIDDEN, 0u);
        int width = 0;
        int height = 0;
        SDL_GetWindowSize(window.GetHandle(), &width, &height);
        EXPECT_EQ(width, 200);
        EXPECT_EQ(height, 120);
        EXPECT_NE(SDL_GetWindowSurface(window.GetHandle()), nullptr) << SDL_GetError();
    }
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

TEST(HeadlessWindow, WithoutADisplayOnlyAHeadlessWindowOpens) {
    ASSERT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "needs SDL video down to pick a driver";
    EnvironmentScope display("DISPLAY", std::nullopt);
    EnvironmentScope wayland("WAYLAND_DISPLAY", std::nullopt);
    EnvironmentScope driver("SDL_VIDEODRIVER", std::nullopt);
    {
        Window window;
        bool created = true;
        const auto log = CaptureLog([&] { created = window.Create(200, 120, "visible"); });
        EXPECT_FALSE(created);
        EXPECT_EQ(window.GetHandle(), nullptr);
        // SDL's Wayland probe may print a line of its own first.
        const std::string wanted =
            "[Error] Failed to create window: no display is available (DISPLAY is not set or cannot be opened)\n";
        EXPECT_NE(log.err.find(wanted), std::string::npos) << log.err;
        EXPECT_EQ(log.err.find("[Error]"), log.err.rfind("[Error]")) << log.err;
        EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "the failed start left SDL video up";
    }
    {
        Window window;
        EXPECT_TRUE(window.Create(200, 120, "headless", true));
        EXPECT_EQ(CurrentDriver(), "offscreen");
    }
}

TEST(HeadlessWindow, AVisibleWindowAfterAHeadlessOneUsesTheDisplayAgain) {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "needs an X display";
    }
    {
        Window headless;
        ASSERT_TRUE(headless.Create(100, 80, "headless", true));
    }
    Window visible;
    ASSERT_TRUE(visible.Create(100, 80, "visible"));
    EXPECT_EQ(CurrentDriver(), "x11");
}

} // namespace
} // namespace Orvane
