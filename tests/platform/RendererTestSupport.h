#pragma once
// What the renderer tests of every backend share: a real window for the suite, a
// fresh renderer and frame per test, pixels read back and compared.
#include "core/Paths.h"
#include "platform/Renderer.h"
#include "platform/Window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>

namespace Orvane::RendererTestSupport {

namespace fs = std::filesystem;

inline constexpr std::int32_t clientWidth = 320;
inline constexpr std::int32_t clientHeight = 240;

inline constexpr Color clearColor{18, 20, 26};
inline constexpr Color red{255, 0, 0};
inline constexpr Color green{0, 255, 0};
inline constexpr Color blue{0, 0, 255};
inline constexpr Color white{255, 255, 255};
inline constexpr Color grey{128, 128, 128};
inline constexpr Color orange{200, 100, 50};

inline bool Same(Color a, Color b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

inline std::string Describe(Color c) {
    std::ostringstream text;
    text << '(' << int(c.r) << ',' << int(c.g) << ',' << int(c.b) << ')';
    return text.str();
}

inline fs::path DataFile(const char* name) {
    return fs::absolute(Utf8ToPath(ORVANE_TEST_DATA_DIR) / name);
}

using PixelRule = std::function<Color(std::int32_t x, std::int32_t y)>;

// Compares every pixel of the back buffer with the rule; names the first few
// mismatches so a failure shows where the picture went wrong.
inline testing::AssertionResult BufferMatches(const Renderer& renderer, const PixelRule& expected) {
    int mismatches = 0;
    std::ostringstream report;
    for (std::int32_t y = 0; y < renderer.BackBufferHeight(); ++y) {
        for (std::int32_t x = 0; x < renderer.BackBufferWidth(); ++x) {
            Color actual;
            if (!renderer.ReadPixel(x, y, actual)) {
                return testing::AssertionFailure() << "pixel " << x << ',' << y << " unreadable";
            }
            const Color wanted = expected(x, y);
            if (!Same(actual, wanted)) {
                if (++mismatches <= 5) {
                    report << " at " << x << ',' << y << ' ' << Describe(actual) << " instead of "
                           << Describe(wanted) << ';';
                }
            }
        }
    }
    if (mismatches == 0) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << mismatches << " pixels differ:" << report.str();
}

inline testing::AssertionResult PixelIs(const Renderer& renderer, std::int32_t x, std::int32_t y, Color wanted) {
    Color actual;
    if (!renderer.ReadPixel(x, y, actual)) {
        return testing::AssertionFailure() << "pixel " << x << ',' << y << " unreadable";
    }
    if (!Same(actual, wanted)) {
        return testing::AssertionFailure() << "pixel " << x << ',' << y << " is " << Describe(actual)
                                           << " instead of " << Describe(wanted);
    }
    return testing::AssertionSuccess();
}

struct Box {
    std::int32_t left, top, right, bottom;   // right and bottom exclusive
    bool Contains(std::int32_t x, std::int32_t y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
};

inline PixelRule BoxOn(Box box, Color inside, Color outside) {
    return [=](std::int32_t x, std::int32_t y) { return box.Contains(x, y) ? inside : outside; };
}

// One row of the placement tables: a shape at x, y of the given size seen
// through a camera at cameraX, cameraY, and the pixel box that it comes to.
struct PlacementCase {
    const char* name;
    float x, y, width, height, cameraX, cameraY;
    Box box;
};

class RendererTest : public testing::Test {
protected:
    // One window for the whole suite: creating windows is slow under some
    // backends, and every test starts from its own renderer and a fresh frame.
    static void SetUpTestSuite() {
        window = new Window();
        windowCreated = window->Create(clientWidth, clientHeight, "Orvane renderer test");
        window->PumpMessages();
    }
    static void TearDownTestSuite() {
        delete window;
        window = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(windowCreated);
        ASSERT_TRUE(renderer.Initialize(*window));
        renderer.BeginFrame(clearColor);
    }

    SpriteCommand Sprite(float x, float y, float width, float height, fs::path texture,
                         Color color = orange) {
        SpriteCommand sprite;
        sprite.x = x;
        sprite.y = y;
        sprite.width = width;
        sprite.height = height;
        sprite.color = color;
        sprite.texturePath = std::move(texture);
        return sprite;
    }

    static inline Window* window = nullptr;
    static inline bool windowCreated = false;
    Renderer renderer;
};

} // namespace Orvane::RendererTestSupport
