// Version-2 drawing through the public API, one table of cases for every backend:
// painter's order, opacity, outlines, lines, sprite sheets, turns, flips, tint,
// zoom, screen space and text.
#include "platform/RendererTestSupport.h"
#include "platform/text/FontLibrary.h"
#include "platform/text/TextLayout.h"
#include "platform/text/TextRaster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace Orvane {
namespace {

using namespace RendererTestSupport;

constexpr Color black{0, 0, 0};

// Builds a version-2 frame command by command, in arrival order.
class FrameBuilder {
public:
    FrameBuilder() { snapshot.protocolVersion = 2; }

    FrameBuilder& Camera(float x, float y, float zoom = 1) {
        snapshot.cameraX = x;
        snapshot.cameraY = y;
        snapshot.zoom = zoom;
        return *this;
    }
    FrameBuilder& Screen(bool on) {
        screen = on;
        return *this;
    }
    FrameBuilder& Rect(float x, float y, float w, float h, Color color) {
        Add(DrawKind::Rect, snapshot.rects.size());
        snapshot.rects.push_back({x, y, w, h, color});
        return *this;
    }
    FrameBuilder& Sprite(float x, float y, float w, float h, const fs::path& texture, Color fallback = orange) {
        Add(DrawKind::Sprite, snapshot.sprites.size());
        snapshot.sprites.push_back({x, y, w, h, fallback, texture});
        return *this;
    }
    FrameBuilder& Fill(float x, float y, float w, float h, ColorAlpha color) {
        Add(DrawKind::Fill, snapshot.fills.size());
        snapshot.fills.push_back({x, y, w, h, color});
        return *this;
    }
    FrameBuilder& Outline(float x, float y, float w, float h, float thickness, ColorAlpha color) {
        Add(DrawKind::Outline, snapshot.outlines.size());
        snapshot.outlines.push_back({x, y, w, h, thickness, color});
        return *this;
    }
    FrameBuilder& Line(float x1, float y1, float x2, float y2, float thickness, ColorAlpha color) {
        Add(DrawKind::Line, snapshot.lines.size());
        snapshot.lines.push_back({x1, y1, x2, y2, thickness, color});
        return *this;
    }
    FrameBuilder& Image(const ImageCommand& image) {
        Add(DrawKind::Image, snapshot.images.size());
        snapshot.images.push_back(image);
        return *this;
    }
    FrameBuilder& Text(float x, float y, float size, ColorAlpha color, const std::string& text,
                       const fs::path& font = {}) {
        Add(DrawKind::Text, snapshot.texts.size());
        snapshot.texts.push_back({x, y, size, color, font, text});
        return *this;
    }
    FrameBuilder& DebugRect(float x, float y, float w, float h, Color color) {
        snapshot.debugRects.push_back({x, y, w, h, color});
        return *this;
    }

    FrameSnapshot snapshot;

private:
    void Add(DrawKind kind, std::size_t index) {
        snapshot.drawOrder.push_back({kind, screen, static_cast<std::uint32_t>(index)});
    }
    bool screen = false;
};

ColorAlpha Alpha(Color color, std::uint8_t a = 255) { return {color.r, color.g, color.b, a}; }

// Source-over of colour at opacity a on under, as both backends compute it (to
// within a level of rounding).
Color Blend(Color color, std::uint8_t a, Color under) {
    const auto mix = [a](int top, int bottom) {
        return static_cast<std::uint8_t>((top * a + bottom * (255 - a) + 127) / 255);
    };
    return {mix(color.r, under.r), mix(color.g, under.g), mix(color.b, under.b)};
}

testing::AssertionResult PixelNear(const Renderer& renderer, std::int32_t x, std::int32_t y, Color wanted,
                                   int tolerance = 2) {
    Color actual;
    if (!renderer.ReadPixel(x, y, actual)) {
        return testing::AssertionFailure() << "pixel " << x << ',' << y << " unreadable";
    }
    if (std::abs(actual.r - wanted.r) > tolerance || std::abs(actual.g - wanted.g) > tolerance ||
        std::abs(actual.b - wanted.b) > tolerance) {
        return testing::AssertionFailure() << "pixel " << x << ',' << y << " is " << Describe(actual)
                                           << " instead of about " << Describe(wanted);
    }
    return testing::AssertionSuccess();
}

ImageCommand QuadImage(float x, float y, float w, float h) {
    ImageCommand image;
    image.x = x;
    image.y = y;
    image.width = w;
    image.height = h;
    image.originX = w / 2;
    image.originY = h / 2;
    image.fallback = orange;
    image.texturePath = DataFile("quad.png");
    return image;
}

class RendererVersion2Test : public RendererTest {
protected:
    void Draw(const FrameBuilder& frame) {
        renderer.BeginFrame(clearColor);
        renderer.DrawSnapshot(frame.snapshot);
    }
};

// A version-1 frame keeps rectangles under sprites; version 2 draws in arrival order.
TEST_F(RendererVersion2Test, PainterOrderOnlyInVersionTwo) {
    FrameBuilder frame;
    frame.Sprite(10, 10, 40, 40, DataFile("quad.png")).Rect(30, 30, 20, 20, green);
    Draw(frame);
    EXPECT_TRUE(PixelIs(renderer, 35, 35, green));   // the rect arrived last, so it covers
    EXPECT_TRUE(PixelIs(renderer, 15, 15, red));

    frame.snapshot.protocolVersion = 1;
    Draw(frame);
    EXPECT_TRUE(PixelIs(renderer, 35, 35, white));   // sprites over rectangles
}

TEST_F(RendererVersion2Test, FillBlendsWithItsOpacityOnRectEdges) {
    struct Case {
        const char* name;
        std::uint8_t alpha;
    };
    for (const Case c : {Case{"opaque", 255}, Case{"half", 128}, Case{"faint", 20}, Case{"invisible", 0}}) {
        SCOPED_TRACE(c.name);
        FrameBuilder frame;
        frame.Rect(0, 0, 100, 100, grey).Fill(10.7f, 5.2f, 20.6f, 10.0f, Alpha(red, c.alpha));
        Draw(frame);
        const Color inside = Blend(red, c.alpha, grey);
        // Edges as for a rectangle: left 10, top 5, right 31, bottom 15 (exclusive).
        EXPECT_TRUE(PixelNear(renderer, 10, 5, inside));
        EXPECT_TRUE(PixelNear(renderer, 30, 14, inside));
        EXPECT_TRUE(PixelIs(renderer, 9, 5, grey));
        EXPECT_TRUE(PixelIs(renderer, 31, 10, grey));
        EXPECT_TRUE(PixelIs(renderer, 20, 15, grey));
        if (c.alpha == 255) {
            EXPECT_TRUE(PixelIs(renderer, 20, 10, red));
        }
    }
}

TEST_F(RendererVersion2Test, OutlineBandsLieInsideTheEdgesAndBlendOnce) {
    struct Case {
        const char* name;
        float thickness;
        std::uint8_t alpha;
        int band;   // pixels per side
    };
    const Case cases[] = {
        {"thin", 1, 255, 1},
        {"thick", 3, 255, 3},
        {"translucent", 2, 128, 2},
        {"thicker than half is solid", 30, 255, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameBuilder frame;
        frame.Rect(0, 0, 120, 120, grey).Outline(20, 30, 40, 30, c.thickness, Alpha(blue, c.alpha));
        Draw(frame);
        const Color pen = Blend(blue, c.alpha, grey);
        const Box outer{20, 30, 60, 60};
        const Box inner{20 + c.band, 30 + c.band, 60 - c.band, 60 - c.band};
        for (std::int32_t y = 25; y < 65; ++y) {
            for (std::int32_t x = 15; x < 65; ++x) {
                const bool onBand = outer.Contains(x, y) && !inner.Contains(x, y);
                ASSERT_TRUE(PixelNear(renderer, x, y, onBand ? pen : grey, onBand ? 2 : 0));
            }
        }
        // Corners are not blended twice: the same colour as the middle of a side.
        Color corner;
        Color side;
        ASSERT_TRUE(renderer.ReadPixel(20, 30, corner));
        ASSERT_TRUE(renderer.ReadPixel(40, 30, side));
        EXPECT_TRUE(Same(corner, side));
    }
}

TEST_F(RendererVersion2Test, LinesCoverThePixelsAlongThem) {
    FrameBuilder frame;
    frame.Line(20, 50, 100, 50, 4, Alpha(white))      // horizontal: rows 48..51
        .Line(150, 20, 150, 80, 2, Alpha(green))       // vertical: columns 149..150
        .Line(200, 100, 280, 180, 3, Alpha(red))       // diagonal
        .Line(10, 200, 10, 200, 5, Alpha(red));        // no length: nothing
    Draw(frame);
    for (std::int32_t x = 20; x < 100; x += 7) {
        for (std::int32_t y = 48; y < 52; ++y) {
            EXPECT_TRUE(PixelIs(renderer, x, y, white)) << x << ',' << y;
        }
        EXPECT_TRUE(PixelIs(renderer, x, 47, clearColor));
        EXPECT_TRUE(PixelIs(renderer, x, 52, clearColor));
    }
    EXPECT_TRUE(PixelIs(renderer, 19, 50, clearColor));   // square ends, flush with the end points
    EXPECT_TRUE(PixelIs(renderer, 100, 50, clearColor));
    EXPECT_TRUE(PixelIs(renderer, 149, 50, green));
    EXPECT_TRUE(PixelIs(renderer, 150, 50, green));
    EXPECT_TRUE(PixelIs(renderer, 148, 50, clearColor));
    EXPECT_TRUE(PixelIs(renderer, 151, 50, clearColor));
    EXPECT_TRUE(PixelIs(renderer, 240, 140, red));
    EXPECT_TRUE(PixelIs(renderer, 250, 140, clearColor));
    EXPECT_TRUE(PixelIs(renderer, 10, 200, clearColor));
}

// quad.png is 2 x 2 texels: red, green / blue, white. Each case names the colour
// expected in the middle of each quarter of the drawn sprite.
TEST_F(RendererVersion2Test, SpriteSheetsTurnsFlipsAndTint) {
    struct Case {
        const char* name;
        ImageCommand image;
        Color topLeft, topRight, bottomLeft, bottomRight;
    };
    const auto quad = [] { return QuadImage(40, 40, 80, 80); };
    std::vector<Case> cases;
    cases.push_back({"plain", quad(), red, green, blue, white});
    {
        ImageCommand image = quad();
        image.sourceX = 1;
        image.sourceY = 0;
        image.sourceWidth = 1;
        image.sourceHeight = 1;
        cases.push_back({"one texel of the sheet", image, green, green, green, green});
    }
    {
        ImageCommand image = quad();
        image.sourceX = 0;
        image.sourceY = 1;
        image.sourceWidth = 2;
        image.sourceHeight = 1;
        cases.push_back({"bottom row of the sheet", image, blue, white, blue, white});
    }
    {
        ImageCommand image = quad();
        image.flip = flipHorizontal;
        cases.push_back({"flipped left to right", image, green, red, white, blue});
    }
    {
        ImageCommand image = quad();
        image.flip = flipVertical;
        cases.push_back({"flipped upside down", image, blue, white, red, green});
    }
    {
        ImageCommand image = quad();
        image.rotation = 90;
        cases.push_back({"quarter turn clockwise", image, blue, red, white, green});
    }
    {
        ImageCommand image = quad();
        image.rotation = 180;
        cases.push_back({"half turn", image, white, blue, green, red});
    }
    {
        ImageCommand image = quad();
        image.rotation = 90;
        image.originX = 0;   // about the top-left corner: the sprite swings left of it
        image.originY = 0;
        image.x = 160;
        cases.push_back({"turned about its corner", image, blue, red, white, green});
    }
    {
        ImageCommand image = quad();
        image.tint = {255, 0, 0};
        cases.push_back({"tinted red", image, red, black, black, red});
    }
    {
        ImageCommand image = quad();
        image.alpha = 128;
        cases.push_back({"half transparent", image, Blend(red, 128, clearColor), Blend(green, 128, clearColor),
                         Blend(blue, 128, clearColor), Blend(white, 128, clearColor)});
    }
    {
        ImageCommand image = quad();
        image.texturePath = DataFile("no-such-image.png");
        image.alpha = 255;
        cases.push_back({"missing image: fallback colour", image, orange, orange, orange, orange});
    }
    testing::internal::CaptureStdout();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameBuilder frame;
        frame.Image(c.image);
        Draw(frame);
        // The turned-about-the-corner case lands at x 80..160 (left of its pivot at 160).
        const std::int32_t left = c.image.originX == 0 ? 80 : 40;
        EXPECT_TRUE(PixelNear(renderer, left + 20, 60, c.topLeft));
        EXPECT_TRUE(PixelNear(renderer, left + 60, 60, c.topRight));
        EXPECT_TRUE(PixelNear(renderer, left + 20, 100, c.bottomLeft));
        EXPECT_TRUE(PixelNear(renderer, left + 60, 100, c.bottomRight));
        EXPECT_TRUE(PixelIs(renderer, left + 40, 20, clearColor));    // nothing above
        EXPECT_TRUE(PixelIs(renderer, left + 40, 140, clearColor));   // nothing below
    }
    testing::internal::GetCapturedStdout();
}

TEST_F(RendererVersion2Test, TurnedSpriteCoversItsDiamond) {
    ImageCommand image = QuadImage(100, 60, 60, 60);
    image.rotation = 45;
    FrameBuilder frame;
    frame.Image(image);
    Draw(frame);
    // The centre stays; the corners of the bounding square are left free.
    Color centre;
    ASSERT_TRUE(renderer.ReadPixel(130, 90, centre));
    EXPECT_FALSE(Same(centre, clearColor));
    for (const auto& [x, y] : {std::pair{103, 63}, std::pair{156, 63}, std::pair{103, 116}, std::pair{156, 116}}) {
        EXPECT_TRUE(PixelIs(renderer, x, y, clearColor)) << x << ',' << y;
    }
    // The diamond's tips reach about 42 pixels from the centre.
    EXPECT_FALSE(renderer.ReadPixel(130, 90 - 38, centre) && Same(centre, clearColor));
    EXPECT_TRUE(PixelIs(renderer, 130, 90 - 46, clearColor));
}

// A world rectangle at 10, 10, 5 x 5 seen through various cameras and spaces.
TEST_F(RendererVersion2Test, ZoomScalesAboutTheViewCornerAndScreenSpaceIgnoresIt) {
    struct Case {
        const char* name;
        float cameraX, cameraY, zoom;
        bool screen;
        Box box;
    };
    const Case cases[] = {
        {"no zoom", 5, 5, 1, false, {5, 5, 10, 10}},
        {"zoom 2", 5, 5, 2, false, {10, 10, 20, 20}},
        {"zoom one half", 0, 0, 0.5f, false, {5, 5, 7, 7}},
        {"screen space ignores camera and zoom", 5, 5, 3, true, {10, 10, 15, 15}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameBuilder frame;
        frame.Camera(c.cameraX, c.cameraY, c.zoom).Screen(c.screen).Rect(10, 10, 5, 5, red);
        Draw(frame);
        EXPECT_TRUE(BufferMatches(renderer, BoxOn(c.box, red, clearColor)));
    }
}

TEST_F(RendererVersion2Test, DebugOutlinesStayOnTopAndFollowTheZoom) {
    FrameBuilder frame;
    frame.Camera(0, 0, 2).DebugRect(10, 10, 20, 20, white).Screen(true).Rect(0, 0, 100, 100, grey);
    Draw(frame);
    EXPECT_TRUE(PixelIs(renderer, 20, 30, white));    // left side of the outline at 20..60
    EXPECT_TRUE(PixelIs(renderer, 40, 40, grey));     // interior untouched
    EXPECT_TRUE(PixelIs(renderer, 59, 30, white));
}

struct InkBox {
    int left = 1 << 30;
    int top = 1 << 30;
    int right = -1;
    int bottom = -1;
    int count = 0;
    bool exact = false;   // some pixel has exactly the text colour
};

InkBox FindInk(const Renderer& renderer, Color background, Color ink) {
    InkBox box;
    for (std::int32_t y = 0; y < renderer.BackBufferHeight(); ++y) {
        for (std::int32_t x = 0; x < renderer.BackBufferWidth(); ++x) {
            Color pixel;
            renderer.ReadPixel(x, y, pixel);
            if (Same(pixel, background)) {
                continue;
            }
            box.left = std::min(box.left, x);
            box.top = std::min(box.top, y);
            box.right = std::max(box.right, x + 1);
            box.bottom = std::max(box.bottom, y + 1);
            ++box.count;
            box.exact = box.exact || Same(pixel, ink);
        }
    }
    return box;
}

// What is drawn lies inside the measured box (to a pixel), in every space.
TEST_F(RendererVersion2Test, TextIsDrawnWhereItsLayoutMeasures) {
    struct Case {
        const char* name;
        std::string text;
        float x, y, size, zoom;
        bool screen;
    };
    const Case cases[] = {
        {"one word", "Hello", 20, 20, 32, 1, true},
        {"two lines", "Ab\ncd", 40, 30, 24, 1, true},
        {"zoomed world text", "Zoom", 10, 10, 16, 2, false},
        {"accents and a character outside the BMP", "\xC3\xA9t\xC3\xA9 \xF0\x90\x90\x80", 30, 40, 28, 1, true},
    };
    FontLibrary fonts;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameBuilder frame;
        frame.Camera(0, 0, c.zoom).Screen(c.screen).Text(c.x, c.y, c.size, Alpha(white), c.text);
        Draw(frame);
        const float scale = c.screen ? 1 : c.zoom;
        const TextLayout layout = LayOutText(fonts.Default(), c.size * scale, c.text);
        const int left = static_cast<int>(c.x * scale);
        const int top = static_cast<int>(c.y * scale);
        const InkBox ink = FindInk(renderer, clearColor, white);
        ASSERT_GT(ink.count, 20);
        EXPECT_TRUE(ink.exact) << "no pixel fully covered";
        EXPECT_GE(ink.left, left - 1);
        EXPECT_GE(ink.top, top - 1);
        EXPECT_LE(ink.right, left + layout.width + 1);
        EXPECT_LE(ink.bottom, top + layout.height + 1);
        // And it fills the box, not a corner of it.
        EXPECT_GE(ink.right, left + layout.width - 3);
        EXPECT_GE(ink.bottom, top + layout.height - layout.lineHeight / 2);
    }
}

TEST_F(RendererVersion2Test, TextOpacityAndMissingGlyphsAndFonts) {
    // Half-transparent text never reaches the full colour.
    FrameBuilder faint;
    faint.Screen(true).Text(20, 20, 40, Alpha(white, 100), "H");
    Draw(faint);
    const InkBox faintInk = FindInk(renderer, clearColor, white);
    EXPECT_GT(faintInk.count, 20);
    EXPECT_FALSE(faintInk.exact);

    // A character the font lacks (U+4E00) is a visible box as wide as glyph 0's advance.
    FrameBuilder missing;
    missing.Screen(true).Text(50, 50, 40, Alpha(white), "\xE4\xB8\x80");
    Draw(missing);
    const InkBox box = FindInk(renderer, clearColor, white);
    EXPECT_GT(box.count, 40);
    EXPECT_TRUE(box.exact);
    EXPECT_GE(box.left, 51);
    EXPECT_LE(box.right, 50 + 24);   // 1229 / 2048 x 40 = 24 pixels of advance

    // A font file that is not a font: one warning, and the default font's pixels.
    FrameBuilder withDefault;
    withDefault.Screen(true).Text(20, 20, 30, Alpha(white), "Font");
    Draw(withDefault);
    std::vector<Color> expected;
    for (std::int32_t y = 0; y < 80; ++y) {
        for (std::int32_t x = 0; x < 120; ++x) {
            Color pixel;
            renderer.ReadPixel(x, y, pixel);
            expected.push_back(pixel);
        }
    }
    testing::internal::CaptureStdout();
    for (int frame = 0; frame < 3; ++frame) {
        FrameBuilder broken;
        broken.Screen(true).Text(20, 20, 30, Alpha(white), "Font", DataFile("not-an-image.png"));
        Draw(broken);
    }
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(log, "[Warn] Font could not be loaded: " + PathToUtf8(DataFile("not-an-image.png")) +
                       "; using the default font.\n");
    std::size_t at = 0;
    for (std::int32_t y = 0; y < 80; ++y) {
        for (std::int32_t x = 0; x < 120; ++x, ++at) {
            ASSERT_TRUE(PixelIs(renderer, x, y, expected[at]));
        }
    }
}

// The layout rules a script host measures with, on the default font (unitsPerEm
// 2048, ascent 1901, descent -483, no line gap; "A" advances 1401 units, glyph 0 1229).
TEST(TextLayoutTest, MeasuresByTheSharedRules) {
    struct Case {
        const char* name;
        std::string text;
        float size;
        int width, height, lineCount;
    };
    const Case cases[] = {
        {"empty", "", 32, 0, 37, 1},
        {"one letter", "A", 32, 22, 37, 1},                    // 1401 x 32 / 2048 = 21.9
        {"two letters", "AA", 32, 44, 37, 1},                  // 43.8
        {"line break", "A\nAA", 32, 44, 74, 2},
        {"trailing line break", "A\n", 32, 22, 74, 2},
        {"missing glyph", "\xE4\xB8\x80", 32, 20, 37, 1},      // 1229 x 32 / 2048 = 19.2
        {"control characters take no room", "A\tA\r", 32, 44, 37, 1},
        {"small", "A", 10, 7, 12, 1},                           // 6.84; (1901 + 483) x 10 / 2048 = 11.6
    };
    FontLibrary fonts;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TextLayout layout = LayOutText(fonts.Default(), c.size, c.text);
        EXPECT_EQ(layout.width, c.width);
        EXPECT_EQ(layout.height, c.height);
        EXPECT_EQ(layout.lineCount, c.lineCount);
    }
}

// The table the script host's own measure is tested against (tests/data/
// text-metrics.txt): the runtime's layout must give the very same sizes.
TEST(TextLayoutTest, AgreesWithTheScriptHostsMeasureTable) {
    std::ifstream file(DataFile("text-metrics.txt"), std::ios::binary);
    ASSERT_TRUE(file) << "tests/data/text-metrics.txt is missing";
    FontLibrary fonts;
    std::string line;
    int cases = 0;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string size;
        std::string width;
        std::string height;
        std::getline(fields, size, '|');
        std::getline(fields, width, '|');
        std::getline(fields, height, '|');
        std::string escaped;
        std::getline(fields, escaped, '\0');
        std::string text;
        for (std::size_t at = 0; at < escaped.size(); ++at) {
            if (escaped[at] == '\\' && at + 1 < escaped.size() && (escaped[at + 1] == 'n' || escaped[at + 1] == '\\')) {
                text += escaped[++at] == 'n' ? '\n' : '\\';
            } else {
                text += escaped[at];
            }
        }
        SCOPED_TRACE(line);
        const TextLayout layout = LayOutText(fonts.Default(), std::stof(size), text);
        EXPECT_EQ(layout.width, std::stoi(width));
        EXPECT_EQ(layout.height, std::stoi(height));
        ++cases;
    }
    EXPECT_GE(cases, 10);
}

TEST(TextLayoutTest, MalformedUtf8ReadsAsReplacementCharacters) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::uint32_t> codepoints;
    };
    const Case cases[] = {
        {"ascii", "Ab", {'A', 'b'}},
        {"two, three and four bytes", "\xC3\xA9\xE4\xB8\x80\xF0\x90\x90\x80", {0xE9, 0x4E00, 0x10400}},
        {"lone continuation byte", "\x80" "A", {0xFFFD, 'A'}},
        {"cut sequence at the end", "A\xE4\xB8", {'A', 0xFFFD, 0xFFFD}},
        {"overlong slash", "\xC0\xAF", {0xFFFD, 0xFFFD}},
        {"encoded surrogate", "\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
        {"past U+10FFFF", "\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeUtf8(c.text), c.codepoints);
    }
}

} // namespace
} // namespace Orvane

namespace {

// Cropping keeps every covered pixel where it was and drops only empty rows and
// columns at the edges.
TEST(CoverageCropTest, KeepsEveryCoveredPixelInPlace) {
    struct Case {
        const char* name;
        int width;
        int height;
        std::vector<std::pair<int, int>> covered;   // x, y within the image
    };
    const Case cases[] = {
        {"nothing covered", 6, 4, {}},
        {"one pixel inside", 6, 4, {{3, 2}}},
        {"corners", 5, 5, {{0, 0}, {4, 4}}},
        {"a column and a row", 9, 7, {{2, 1}, {2, 5}, {7, 3}}},
        {"the last row only", 4, 3, {{1, 2}, {2, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Orvane::CoverageImage image;
        image.left = 100;
        image.top = 50;
        image.width = c.width;
        image.height = c.height;
        image.coverage.assign(static_cast<std::size_t>(c.width) * c.height, 0);
        std::uint8_t value = 1;
        for (const auto& [x, y] : c.covered) {
            image.coverage[static_cast<std::size_t>(y) * c.width + x] = value++;
        }
        const Orvane::CoverageImage original = image;
        Orvane::CropToCoverage(image);
        if (c.covered.empty()) {
            EXPECT_EQ(image.width * image.height, 0);
            continue;
        }
        int coveredCount = 0;
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                const std::uint8_t cropped = image.coverage[static_cast<std::size_t>(y) * image.width + x];
                const int ox = image.left + x - original.left;
                const int oy = image.top + y - original.top;
                ASSERT_EQ(cropped, original.coverage[static_cast<std::size_t>(oy) * original.width + ox]);
                coveredCount += cropped != 0;
            }
        }
        EXPECT_EQ(coveredCount, static_cast<int>(c.covered.size()));
        // No empty edge is left.
        int minX = c.width, maxX = 0, minY = c.height, maxY = 0;
        for (const auto& [x, y] : c.covered) {
            minX = std::min(minX, x);
            maxX = std::max(maxX, x + 1);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y + 1);
        }
        EXPECT_EQ(image.left, original.left + minX);
        EXPECT_EQ(image.top, original.top + minY);
        EXPECT_EQ(image.width, maxX - minX);
        EXPECT_EQ(image.height, maxY - minY);
        EXPECT_EQ(image.coverage.size(), static_cast<std::size_t>(image.width) * image.height);
    }
}

} // namespace
