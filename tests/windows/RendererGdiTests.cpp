// GDI and GDI+ specifics of the renderer: the back buffer follows the client
// size, Present reaches the window, and GDI+ is started once per process.
#include "core/Paths.h"
#include "platform/Renderer.h"
#include "platform/Window.h"
#include "platform/win32/GdiplusInclude.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

namespace Orvane {
namespace {

namespace fs = std::filesystem;

constexpr Color clearColor{18, 20, 26};
constexpr Color red{255, 0, 0};

fs::path DataFile(const char* name) {
    return fs::absolute(Utf8ToPath(ORVANE_TEST_DATA_DIR) / name);
}

bool IsColour(COLORREF value, Color color) {
    return value == RGB(color.r, color.g, color.b);
}

// A 320 x 240 window with a renderer bound to it and a first frame begun.
struct WindowInFrame {
    Window window;
    Renderer renderer;

    testing::AssertionResult Open(const char* title) {
        if (!window.Create(320, 240, title)) {
            return testing::AssertionFailure() << "window not created";
        }
        window.PumpMessages();
        if (!renderer.Initialize(window)) {
            return testing::AssertionFailure() << "renderer not initialised";
        }
        renderer.BeginFrame(clearColor);
        return testing::AssertionSuccess();
    }
};

TEST(RendererGdi, ResizedClientAreaRebuildsTheBackBuffer) {
    WindowInFrame drawn;
    ASSERT_TRUE(drawn.Open("resize"));
    Window& window = drawn.window;
    Renderer& renderer = drawn.renderer;
    EXPECT_EQ(renderer.BackBufferWidth(), 320);
    EXPECT_EQ(renderer.BackBufferHeight(), 240);

    RECT outer{0, 0, 500, 400};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    ASSERT_TRUE(SetWindowPos(window.GetHandle(), nullptr, 0, 0, outer.right - outer.left,
                             outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER));
    window.PumpMessages();
    RECT client{};
    GetClientRect(window.GetHandle(), &client);
    ASSERT_EQ(client.right, 500);
    ASSERT_EQ(client.bottom, 400);

    renderer.BeginFrame(clearColor);
    EXPECT_EQ(renderer.BackBufferWidth(), 500);
    EXPECT_EQ(renderer.BackBufferHeight(), 400);
    // The new area is cleared and drawable to its far corner; nothing is scaled.
    renderer.DrawRect(490, 390, 10, 10, red);
    Color pixel;
    ASSERT_TRUE(renderer.ReadPixel(499, 399, pixel));
    EXPECT_EQ(pixel.r, 255);
    ASSERT_TRUE(renderer.ReadPixel(489, 389, pixel));
    EXPECT_EQ(pixel.r, clearColor.r);

    // Shrinking to nothing (as when minimised) still gives a consistent state.
    ASSERT_TRUE(SetWindowPos(window.GetHandle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER));
    GetClientRect(window.GetHandle(), &client);
    renderer.BeginFrame(clearColor);
    EXPECT_EQ(renderer.BackBufferWidth(), client.right);
    EXPECT_EQ(renderer.BackBufferHeight(), client.bottom);
    renderer.Present();
}

TEST(RendererGdi, PresentCopiesTheBackBufferToTheWindow) {
    WindowInFrame drawn;
    ASSERT_TRUE(drawn.Open("present"));
    drawn.renderer.DrawRect(100, 100, 20, 20, red);
    drawn.renderer.Present();

    const HWND handle = drawn.window.GetHandle();
    const HDC dc = GetDC(handle);
    const COLORREF inside = GetPixel(dc, 110, 110);
    const COLORREF outside = GetPixel(dc, 10, 10);
    ReleaseDC(handle, dc);
    EXPECT_TRUE(IsColour(inside, red)) << std::hex << inside;
    EXPECT_TRUE(IsColour(outside, clearColor)) << std::hex << outside;
    EXPECT_EQ(outside, 0x001A1412u);
}

TEST(RendererGdi, GdiplusIsStartedOncePerProcess) {
    ASSERT_EQ(Renderer::GdiplusUsers(), 0);
    Renderer::ReleaseGdiplus();   // unmatched: nothing to release
    EXPECT_EQ(Renderer::GdiplusUsers(), 0);

    Window window;
    ASSERT_TRUE(window.Create(320, 240, "gdiplus"));
    {
        Renderer first;
        first.Initialize(window);
        EXPECT_EQ(Renderer::GdiplusUsers(), 1);
        first.Initialize(window);   // rebinding takes no second use
        EXPECT_EQ(Renderer::GdiplusUsers(), 1);
        {
            Renderer second;
            second.Initialize(window);
            EXPECT_EQ(Renderer::GdiplusUsers(), 2);
        }
        EXPECT_EQ(Renderer::GdiplusUsers(), 1);
        {
            Renderer neverInitialised;   // must not give back a use it never took
        }
        EXPECT_EQ(Renderer::GdiplusUsers(), 1);

        // GDI+ still works for the remaining renderer.
        first.BeginFrame(clearColor);
        EXPECT_TRUE(first.GetTexture(DataFile("quad.png"))->IsLoaded());
    }
    EXPECT_EQ(Renderer::GdiplusUsers(), 0);

    // After a full shut-down a new renderer starts GDI+ again and decodes.
    Renderer again;
    again.Initialize(window);
    EXPECT_EQ(Renderer::GdiplusUsers(), 1);
    Texture* texture = again.GetTexture(DataFile("quad.png"));
    ASSERT_TRUE(texture->IsLoaded());
    ASSERT_NE(texture->GetBitmap(), nullptr);
}

TEST(RendererGdi, TextureDecodesImagesAndRejectsTheRest) {
    ASSERT_EQ(Renderer::GdiplusUsers(), 0);
    Renderer::AcquireGdiplus();
    {   // bitmaps must go before GDI+ does
        Texture decoded(DataFile("quad.png"));
        EXPECT_TRUE(decoded.Load());
        EXPECT_TRUE(decoded.Load());   // already loaded: no second decode
        ASSERT_NE(decoded.GetBitmap(), nullptr);
        EXPECT_EQ(decoded.GetBitmap()->GetWidth(), 2u);
        EXPECT_EQ(decoded.GetBitmap()->GetHeight(), 2u);

        Texture folder(DataFile("."));
        testing::internal::CaptureStdout();
        EXPECT_FALSE(folder.Load());
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "[Warn] Texture could not be loaded: " + PathToUtf8(DataFile(".")) + "\n");
        EXPECT_EQ(folder.GetBitmap(), nullptr);
    }
    Renderer::ReleaseGdiplus();
}

} // namespace
} // namespace Orvane
