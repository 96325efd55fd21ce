// What only the SDL backend does: its own nearest-neighbour scaler and blending,
// the back buffer following the window size, and Present reaching the window.
#include "support/TestSupport.h"

#include "platform/Renderer.h"
#include "platform/Window.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace Orvane {

// Found by argument lookup, so they live beside Color; internal to this file.
static bool operator==(Color a, Color b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

static void PrintTo(Color c, std::ostream* out) {
    *out << '(' << int(c.r) << ',' << int(c.g) << ',' << int(c.b) << ')';
}

namespace {

namespace fs = std::filesystem;

constexpr Color clearColor{18, 20, 26};

Color Pixel(const Renderer& renderer, int x, int y) {
    Color color{1, 2, 3};
    EXPECT_TRUE(renderer.ReadPixel(x, y, color)) << x << ',' << y;
    return color;
}

// Writes a PNG of width x 1 texels, given as 0xAARRGGBB.
fs::path WriteRowImage(const fs::path& folder, const char* name, std::initializer_list<Uint32> texels) {
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormat(0, static_cast<int>(texels.size()), 1, 32, SDL_PIXELFORMAT_ARGB8888);
    EXPECT_NE(surface, nullptr);
    int i = 0;
    for (Uint32 texel : texels) {
        static_cast<Uint32*>(surface->pixels)[i++] = texel;
    }
    const fs::path file = folder / name;
    EXPECT_EQ(IMG_SavePNG(surface, file.string().c_str()), 0) << IMG_GetError();
    SDL_FreeSurface(surface);
    return file;
}

class SdlRendererTest : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("orvane-sdl-renderer-" + std::to_string(SDL_GetTicks64()));
        fs::create_directories(folder);
        ASSERT_TRUE(window.Create(160, 120, "Orvane SDL renderer"));
        window.PumpMessages();
        ASSERT_TRUE(renderer.Initialize(window));
        renderer.BeginFrame(clearColor);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    SpriteCommand Sprite(float x, float y, float width, float height, const fs::path& file) {
        SpriteCommand sprite;
        sprite.x = x;
        sprite.y = y;
        sprite.width = width;
        sprite.height = height;
        sprite.color = {255, 0, 255};
        sprite.texturePath = file;
        return sprite;
    }

    fs::path folder;
    Window window;
    Renderer renderer;
};

// Destination pixel p (centre p + 0.5) takes texel floor((p + 0.5 - x) * textureWidth / width);
// pixels whose centre lies outside [x, x + width) are not touched.
TEST_F(SdlRendererTest, StretchSamplesAtPixelCentres) {
    const fs::path rgb = WriteRowImage(folder, "rgb.png", {0xFFFF0000, 0xFF00FF00, 0xFF0000FF});
    const Color r{255, 0, 0}, g{0, 255, 0}, b{0, 0, 255}, c = clearColor;
    struct Case {
        const char* name;
        float x, width;
        int firstPixel;
        std::vector<Color> expected;   // from firstPixel on, then one more clear pixel
    };
    const Case cases[] = {
        {"one to one", 10, 3, 9, {c, r, g, b, c}},
        {"shrunk to two", 10, 2, 9, {c, r, b, c}},              // centres map to 0.75 and 2.25
        {"stretched to five", 10, 5, 10, {r, r, g, b, b, c}},   // 0.3 0.9 1.5 2.1 2.7
        {"half-pixel start", 10.5f, 3, 9, {c, r, g, b, c}},     // centre 10.5 is inside
        {"start past the centre", 10.6f, 3, 10, {c, r, g, b, c}},
        {"left of the client area", -1.5f, 3, 0, {b, c}},
        {"negative width mirrors", 13, -3, 9, {c, b, g, r, c}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        renderer.BeginFrame(clearColor);
        renderer.DrawSprite(Sprite(test.x, 5, test.width, 1, rgb));
        for (std::size_t i = 0; i < test.expected.size(); ++i) {
            EXPECT_EQ(Pixel(renderer, test.firstPixel + static_cast<int>(i), 5), test.expected[i]) << "pixel " << i;
        }
    }
}

TEST_F(SdlRendererTest, PartlyTransparentTexelsBlendOverWhatIsBelow) {
    const fs::path image = WriteRowImage(folder, "half.png", {0x80FFFFFF, 0x40FF0000, 0x00000000});
    renderer.DrawRect(0, 0, 160, 120, {0, 0, 100});
    renderer.DrawSprite(Sprite(10, 10, 3, 1, image));
    // 128/255 of white over (0,0,100); 64/255 of red; nothing.
    EXPECT_EQ(Pixel(renderer, 10, 10), (Color{128, 128, 178}));
    EXPECT_EQ(Pixel(renderer, 11, 10), (Color{64, 0, 75}));
    EXPECT_EQ(Pixel(renderer, 12, 10), (Color{0, 0, 100}));
}

TEST_F(SdlRendererTest, ImageWithoutAlphaIsOpaque) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 1, 1, 24, SDL_PIXELFORMAT_RGB24);
    ASSERT_NE(surface, nullptr);
    static_cast<Uint8*>(surface->pixels)[0] = 10;
    static_cast<Uint8*>(surface->pixels)[1] = 200;
    static_cast<Uint8*>(surface->pixels)[2] = 30;
    const fs::path file = folder / "opaque.png";
    ASSERT_EQ(IMG_SavePNG(surface, file.string().c_str()), 0);
    SDL_FreeSurface(surface);
    renderer.DrawSprite(Sprite(0, 0, 4, 4, file));
    EXPECT_EQ(Pixel(renderer, 3, 3), (Color{10, 200, 30}));
}

TEST_F(SdlRendererTest, BackBufferFollowsTheWindowSize) {
    EXPECT_EQ(renderer.BackBufferWidth(), 160);
    EXPECT_EQ(renderer.BackBufferHeight(), 120);
    SDL_SetWindowSize(window.GetHandle(), 200, 90);
    window.PumpMessages();
    renderer.BeginFrame({1, 2, 3});
    EXPECT_EQ(renderer.BackBufferWidth(), 200);
    EXPECT_EQ(renderer.BackBufferHeight(), 90);
    EXPECT_EQ(Pixel(renderer, 199, 89), (Color{1, 2, 3}));
    // The picture is not scaled: the same rectangle covers the same pixels.
    renderer.DrawRect(190, 80, 10, 10, {9, 9, 9});
    EXPECT_EQ(Pixel(renderer, 199, 89), (Color{9, 9, 9}));
    renderer.Present();
    SDL_Surface* shown = SDL_GetWindowSurface(window.GetHandle());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->w, 200);
    EXPECT_EQ(shown->h, 90);
}

// SDL's own present, which frames take where the X11 presenter cannot be used
// (another video driver, no shared memory).
class SdlSurfacePresentTest : public SdlRendererTest {
protected:
    OrvaneTest::EnvironmentScope sdlPresent{"ORVANE_PRESENT", "sdl"};
};

TEST_F(SdlSurfacePresentTest, PresentCopiesTheBackBufferToTheWindow) {
    renderer.DrawRect(20, 30, 10, 10, {250, 120, 5});
    renderer.Present();
    SDL_Surface* shown = SDL_GetWindowSurface(window.GetHandle());
    ASSERT_NE(shown, nullptr);
    ASSERT_EQ(SDL_LockSurface(shown), 0);
    auto shownPixel = [&](int x, int y) {
        const Uint8* row = static_cast<const Uint8*>(shown->pixels) + y * shown->pitch;
        Uint32 value = 0;
        SDL_memcpy(&value, row + x * shown->format->BytesPerPixel, shown->format->BytesPerPixel);
        Color color;
        SDL_GetRGB(value, shown->format, &color.r, &color.g, &color.b);
        return color;
    };
    EXPECT_EQ(shownPixel(25, 35), (Color{250, 120, 5}));
    EXPECT_EQ(shownPixel(5, 5), clearColor);
    SDL_UnlockSurface(shown);
}

bool DecodersLoaded() { return (IMG_Init(0) & IMG_INIT_PNG) != 0; }

// SDL_image's decoders stay loaded while any bound renderer exists: one use per
// renderer however often it is bound, and none given back by one never bound.
TEST(SdlRendererLifecycle, DecodersStayLoadedWhileABoundRendererExists) {
    ASSERT_FALSE(DecodersLoaded());
    Window window;
    ASSERT_TRUE(window.Create(160, 120, "Orvane SDL renderer"));
    {
        Renderer second;
        {
            Renderer first;
            ASSERT_TRUE(first.Initialize(window));
            EXPECT_TRUE(DecodersLoaded());
            ASSERT_TRUE(first.Initialize(window));
            ASSERT_TRUE(second.Initialize(window));
        }
        EXPECT_TRUE(DecodersLoaded());
        {
            Renderer neverBound;
        }
        EXPECT_TRUE(DecodersLoaded());
    }
    EXPECT_FALSE(DecodersLoaded());
}

} // namespace
} // namespace Orvane
