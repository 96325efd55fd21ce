// The version-2 commands as the dispatcher reads them: each record's fields, the
// painter's-order list, clamping and dropping, and that a version-1 host gets none
// of it.
#include "support/TestSupport.h"

#include "core/Paths.h"
#include "scripting/ScriptHostBridgeImpl.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

using Orvane::DrawKind;
using Orvane::ScriptHostBridge;
using OrvaneTest::CaptureLog;

class Version2CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        impl.projectPath = Orvane::Utf8ToPath("/project");
        impl.protocolVersion = 2;
        impl.snapshot.protocolVersion = 2;
    }
    OrvaneTest::CapturedLog Handle(const std::string& line) {
        return CaptureLog([&] { impl.HandleLine(line); });
    }
    const std::vector<Orvane::DrawItem>& Order() const { return impl.snapshot.drawOrder; }

    ScriptHostBridge::Impl impl;
};

TEST_F(Version2CommandsTest, EveryDrawCommandJoinsThePaintersOrder) {
    const char* const lines[] = {
        "SPRITE|1|2|3|4|5|6|7|a.png",
        "FILL|1|2|3|4|10|20|30|40",
        "RECT|1|2|3|4|5|6|7",
        "SPACE|screen",
        "OUTLINE|1|2|3|4|2|10|20|30|40",
        "LINE|1|2|3|4|2|10|20|30|40",
        "SPACE|world",
        "IMAGE|1|2|3|4|0|0|0|0|45|1.5|2|1|255|128|0|200|9|8|7|b.png",
        "TEXT|5|6|16|1|2|3|4||Hello",
        "DEBUG_RECT|1|2|3|4|5|6|7",
    };
    for (const char* line : lines) {
        const auto log = Handle(line);
        EXPECT_EQ(log.out + log.err, "") << line;
    }
    const DrawKind kinds[] = {DrawKind::Sprite, DrawKind::Fill, DrawKind::Rect, DrawKind::Outline,
                              DrawKind::Line, DrawKind::Image, DrawKind::Text};
    const bool screen[] = {false, false, false, true, true, false, false};
    ASSERT_EQ(Order().size(), std::size(kinds));
    for (std::size_t i = 0; i < Order().size(); ++i) {
        EXPECT_EQ(Order()[i].kind, kinds[i]) << i;
        EXPECT_EQ(Order()[i].screenSpace, screen[i]) << i;
        EXPECT_EQ(Order()[i].index, 0u) << i;
    }
    EXPECT_EQ(impl.snapshot.debugRects.size(), 1u);   // outlines stay outside the order

    const auto& image = impl.snapshot.images.at(0);
    EXPECT_EQ(image.rotation, 45);
    EXPECT_EQ(image.originX, 1.5f);
    EXPECT_EQ(image.flip, Orvane::flipHorizontal);
    EXPECT_EQ(image.tint.g, 128);
    EXPECT_EQ(image.alpha, 200);
    EXPECT_EQ(image.fallback.b, 7);
    EXPECT_EQ(image.texturePath, Orvane::ResolvePath(impl.projectPath, "b.png"));
    const auto& text = impl.snapshot.texts.at(0);
    EXPECT_EQ(text.text, "Hello");
    EXPECT_TRUE(text.fontPath.empty());
    EXPECT_EQ(text.color.a, 4);
}

TEST_F(Version2CommandsTest, MalformedLinesAreDroppedSilently) {
    const char* const lines[] = {
        "FILL|1|2|3|4|10|20|30",                       // a piece short
        "FILL|1|2|3|4|10|20|30|40|50",                 // a piece over
        "FILL|nan|2|3|4|10|20|30|40",                  // not finite
        "FILL|1|inf|3|4|10|20|30|40",
        "FILL|1|2|3|4|x|20|30|40",
        "OUTLINE|1|2|3|4|0|10|20|30|40",               // no thickness
        "OUTLINE|1|2|3|4|-1|10|20|30|40",
        "LINE|1|2|3|4|nan|10|20|30|40",
        "IMAGE|1|2|3|4|0|0|0|0|0|0|0|4|255|255|255|255|0|0|0|a.png",   // flip 4
        "IMAGE|1|2|3|4|0|0|0|0|0|0|0|0|255|255|255|255|0|0|0|",        // no path
        "IMAGE|1|2|3|4|0|0|0|0|1e39|0|0|0|255|255|255|255|0|0|0|a.png",
        "TEXT|1|2|16|1|2|3|4",                          // no font and text fields
        "TEXT|1|2|size|1|2|3|4||Hello",
        "ZOOM|0",
        "ZOOM|-2",
        "ZOOM|nan",
        "ZOOM|1|2",
        "SPACE|sideways",
    };
    for (const char* line : lines) {
        const auto log = Handle(line);
        EXPECT_EQ(log.out + log.err, "") << line;
    }
    EXPECT_TRUE(Order().empty());
    EXPECT_EQ(impl.snapshot.zoom, 1);
    EXPECT_FALSE(impl.screenSpace);
}

TEST_F(Version2CommandsTest, ValuesAreClampedToTheirRanges) {
    Handle("FILL|1|2|3|4|300|-5|128|999");
    Handle("OUTLINE|1|2|3|4|5000|0|0|0|255");
    Handle("TEXT|0|0|0.1|0|0|0|255||tiny");
    Handle("TEXT|0|0|9000|0|0|0|255||huge");
    Handle("ZOOM|1000");
    const auto& fill = impl.snapshot.fills.at(0);
    EXPECT_EQ(fill.color.r, 255);
    EXPECT_EQ(fill.color.g, 0);
    EXPECT_EQ(fill.color.b, 128);
    EXPECT_EQ(fill.color.a, 255);
    EXPECT_EQ(impl.snapshot.outlines.at(0).thickness, 1024);
    EXPECT_EQ(impl.snapshot.texts.at(0).size, 1);
    EXPECT_EQ(impl.snapshot.texts.at(1).size, 512);
    EXPECT_EQ(impl.snapshot.zoom, 100);
    Handle("ZOOM|0.0001");
    EXPECT_EQ(impl.snapshot.zoom, 0.01f);
}

TEST_F(Version2CommandsTest, TextKeepsSeparatorsUnescapesAndIsCutOnce) {
    Handle("TEXT|0|0|16|0|0|0|255|fonts/my.ttf|a|b\\nc\\\\d\\te");
    const auto& text = impl.snapshot.texts.at(0);
    EXPECT_EQ(text.text, "a|b\nc\\d\\te");
    EXPECT_EQ(text.fontPath, Orvane::ResolvePath(impl.projectPath, "fonts/my.ttf"));

    // 4095 bytes of 'x' and then a two-byte character: the cut may not split it.
    const std::string longText = std::string(4095, 'x') + "\xC3\xA9" + "tail";
    auto log = Handle("TEXT|0|0|16|0|0|0|255||" + longText);
    EXPECT_EQ(impl.snapshot.texts.at(1).text, std::string(4095, 'x'));
    EXPECT_EQ(log.out, "[Warn] Cut a TEXT command to 4096 bytes (further long texts are cut without a warning).\n");
    log = Handle("TEXT|0|0|16|0|0|0|255||" + longText);
    EXPECT_EQ(log.out, "");
    EXPECT_EQ(impl.snapshot.texts.size(), 3u);
}

TEST_F(Version2CommandsTest, DrawCommandsPastTheFrameCapAreDroppedWithOneWarning) {
    impl.snapshot.drawOrder.resize(Orvane::maxDrawCommandsPerFrame);
    auto log = Handle("RECT|1|2|3|4|5|6|7");
    EXPECT_EQ(log.out, "[Warn] A frame sent more than 200000 draw commands; the rest of each such frame's "
                       "draw commands are dropped.\n");
    log = Handle("FILL|1|2|3|4|5|6|7|8");
    EXPECT_EQ(log.out, "");
    EXPECT_TRUE(impl.snapshot.rects.empty());
    EXPECT_TRUE(impl.snapshot.fills.empty());
    EXPECT_EQ(Order().size(), Orvane::maxDrawCommandsPerFrame);
}

TEST_F(Version2CommandsTest, CollidersPastTheFrameCapAreDroppedWithOneWarning) {
    impl.colliders.resize(Orvane::maxCollidersPerFrame);
    auto log = Handle("COLLIDER|1|0|0|1|1");
    EXPECT_NE(log.out.find("[Warn] A frame sent more than 100000 colliders"), std::string::npos);
    EXPECT_EQ(Handle("COLLIDER|1|0|0|1|1").out, "");
    EXPECT_EQ(impl.colliders.size(), Orvane::maxCollidersPerFrame);
}

// A version-1 host never sees any of this: its lines are logged as before, and
// its frames have no order list, however the lines look.
TEST(Version2CommandsVersionOne, NewKeywordsAreTextForAVersionOneHost) {
    ScriptHostBridge::Impl impl;
    for (const std::string line : {"FILL|1|2|3|4|10|20|30|40", "ZOOM|2", "SPACE|screen", "TEXT|0|0|16|0|0|0|255||x"}) {
        const auto log = CaptureLog([&] { impl.HandleLine(line); });
        EXPECT_EQ(log.out, "[Info] [ScriptHost] " + line + "\n");
    }
    impl.HandleLine("RECT|1|2|3|4|5|6|7");
    EXPECT_TRUE(impl.snapshot.drawOrder.empty());
    EXPECT_EQ(impl.snapshot.rects.size(), 1u);
    EXPECT_EQ(impl.snapshot.zoom, 1);
}

TEST(Version2CommandsVersionOne, OnlyAnOfferBeforeReadyCounts) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        bool offered;
    };
    const Case cases[] = {
        {"offer before READY", {"PROTOCOL|2", "READY"}, true},
        {"a higher version is an offer of 2", {"PROTOCOL|7", "READY"}, true},
        {"version 1 is no offer", {"PROTOCOL|1", "READY"}, false},
        {"garbage is no offer", {"PROTOCOL|two", "READY"}, false},
        {"too late", {"READY", "PROTOCOL|2"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptHostBridge::Impl impl;
        const auto log = CaptureLog([&] {
            for (const std::string& line : c.lines) {
                impl.HandleLine(line);
            }
        });
        EXPECT_EQ(impl.hostOffersVersion2, c.offered);
        EXPECT_EQ(log.out + log.err, "");
    }
}

} // namespace
