// Reading the whole back buffer (for screenshots) on every backend: the copy
// matches the pixels one by one, survives the PNG round trip, and a headless
// window draws exactly what a visible one does.
#include "support/TestSupport.h"

#include "platform/Renderer.h"
#include "platform/Screenshot.h"
#include "platform/Window.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

namespace Orvane {
namespace {

namespace fs = std::filesystem;
using OrvaneTest::TempFolder;

// Odd, so 3-byte rows are no multiple of 4: a copy that kept a bitmap's row
// padding would show. Wide enough for Win32's smallest window.
constexpr std::int32_t width = 161;
constexpr std::int32_t height = 67;

// Draws a small scene and copies the back buffer.
RgbImage DrawScene(bool headless) {
    Window window;
    Renderer renderer;
    RgbImage image;
    EXPECT_TRUE(window.Create(width, height, "Orvane back buffer test", headless));
    window.PumpMessages();
    EXPECT_TRUE(renderer.Initialize(window));
    renderer.SetAssetRoot(fs::absolute(Utf8ToPath(ORVANE_TEST_DATA_DIR)));
    renderer.BeginFrame(Color{18, 20, 26});
    renderer.DrawRect(5, 7, 31, 13, Color{250, 10, 20});
    renderer.DrawRect(60, 40, 50, 50, Color{10, 200, 30});
    SpriteCommand sprite;
    sprite.x = 40;
    sprite.y = 4;
    sprite.width = 16;
    sprite.height = 16;
    sprite.color = Color{1, 2, 3};
    sprite.texturePath = "quad.png";
    renderer.DrawSprite(sprite);
    renderer.DrawDebugRect(20, 30, 20, 20, Color{255, 255, 0});
    renderer.Present();

    EXPECT_TRUE(renderer.ReadBackBuffer(image));
    EXPECT_EQ(renderer.BackBufferWidth(), width);
    EXPECT_EQ(renderer.BackBufferHeight(), height);
    EXPECT_EQ(image.width, renderer.BackBufferWidth());
    EXPECT_EQ(image.height, renderer.BackBufferHeight());
    EXPECT_EQ(image.pixels.size(), std::size_t{width * height * 3});
    if (image.pixels.size() != std::size_t{width * height * 3}) {
        return image;
    }
    std::int32_t mismatches = 0;
    for (std::int32_t y = 0; y < image.height && mismatches < 5; ++y) {
        for (std::int32_t x = 0; x < image.width && mismatches < 5; ++x) {
            Color pixel;
            EXPECT_TRUE(renderer.ReadPixel(x, y, pixel)) << x << ',' << y;
            const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
            if (image.pixels[at] != pixel.r || image.pixels[at + 1] != pixel.g || image.pixels[at + 2] != pixel.b) {
                ADD_FAILURE() << "copy differs from the back buffer at " << x << ',' << y;
                ++mismatches;
            }
        }
    }
    return image;
}

TEST(BackBufferReadTest, NoFrameNoCopy) {
    Window window;
    Renderer renderer;
    ASSERT_TRUE(window.Create(width, height, "Orvane back buffer test", true));
    ASSERT_TRUE(renderer.Initialize(window));
    RgbImage image;
    EXPECT_FALSE(renderer.ReadBackBuffer(image));
}

TEST(BackBufferReadTest, CopyMatchesTheBufferAndThePngKeepsIt) {
    const RgbImage visible = DrawScene(false);
    const RgbImage headless = DrawScene(true);
    EXPECT_TRUE(visible.pixels == headless.pixels) << "the headless window drew other pixels";

    TempFolder temp;
    const fs::path file = temp.path / "shot \xC3\xA4.png";
    ASSERT_TRUE(WritePng(headless, file));
    ASSERT_TRUE(WritePng(headless, file)) << "an existing file is replaced";
    const std::string bytes = [&] {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    int w = 0, h = 0, channels = 0;
    stbi_uc* decoded = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                                             static_cast<int>(bytes.size()), &w, &h, &channels, 3);
    ASSERT_NE(decoded, nullptr) << "not a PNG";
    const std::vector<std::uint8_t> pixels(decoded, decoded + std::size_t(w) * std::size_t(h) * 3);
    stbi_image_free(decoded);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
    EXPECT_TRUE(pixels == headless.pixels) << "the PNG holds other pixels";

    RgbImage empty;
    EXPECT_FALSE(WritePng(empty, temp.path / "empty.png"));
    EXPECT_FALSE(WritePng(headless, temp.path / "no-such-folder" / "x.png"));
}

} // namespace
} // namespace Orvane
