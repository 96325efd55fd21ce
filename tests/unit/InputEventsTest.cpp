// The events a version-2 host hears before each frame line: edges in order and
// never merged, pointer, wheel and size merged, text escaped, floods bounded.
#include "support/TestSupport.h"

#include "input/InputEvents.h"
#include "input/KeyStates.h"

#include <string>

namespace {

using namespace Orvane;

class InputEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearKeyStates();
        SetInputEventsWanted(true);
        RecordFocus(true);
        TakeInputEventLines();
    }
    void TearDown() override {
        SetInputEventsWanted(false);
        ClearKeyStates();
    }
};

TEST_F(InputEventsTest, EdgesKeepTheirOrderAndMergedValuesComeLast) {
    RecordPointer(10, 20, true);
    RecordKey(65, true, false);
    RecordKey(65, true, true);     // auto-repeat
    RecordKey(65, false, false);   // a tap inside one frame: both edges
    RecordButton(MouseButton::Left, true, 10.5f, -3);
    RecordPointer(30, 40, true);
    RecordWheel(0, 1);
    RecordWheel(0.5f, 2);
    RecordButton(MouseButton::Left, false, 31, 41);
    EXPECT_EQ(TakeInputEventLines(),
              "KEY|65|1\nKEY|65|2\nKEY|65|0\nBUTTON|1|1|10.5|-3\nBUTTON|1|0|31|41\n"
              "POINTER|30|40|1\nWHEEL|0.5|3\n");
    EXPECT_EQ(TakeInputEventLines(), "");   // taken once
}

TEST_F(InputEventsTest, TenTapsBetweenTwoFramesAreTwentyEdges) {
    for (int tap = 0; tap < 10; ++tap) {
        RecordKey(32, true, false);
        RecordKey(32, false, false);
    }
    std::string expected;
    for (int tap = 0; tap < 10; ++tap) {
        expected += "KEY|32|1\nKEY|32|0\n";
    }
    EXPECT_EQ(TakeInputEventLines(), expected);
}

TEST_F(InputEventsTest, PointerIsSentOnlyWhenItChanged) {
    RecordPointer(5, 6, true);
    EXPECT_EQ(TakeInputEventLines(), "POINTER|5|6|1\n");
    RecordPointer(5, 6, true);
    EXPECT_EQ(TakeInputEventLines(), "");
    RecordPointerLeft();
    EXPECT_EQ(TakeInputEventLines(), "POINTER|5|6|0\n");
    RecordPointer(-12, 300, false);   // outside while a button is held: as it is
    EXPECT_EQ(TakeInputEventLines(), "POINTER|-12|300|0\n");
}

TEST_F(InputEventsTest, TypedTextIsJoinedAndEscaped) {
    RecordText("\xC3\xA9");            // é
    RecordText("\xF0\x9F\x98\x80");    // outside the BMP
    RecordText("a\\b\nc\r");
    RecordKey(13, true, false);
    RecordText("z");
    EXPECT_EQ(TakeInputEventLines(),
              "TEXT_INPUT|\xC3\xA9\xF0\x9F\x98\x80" "a\\\\b\\nc\nKEY|13|1\nTEXT_INPUT|z\n");
}

TEST_F(InputEventsTest, LosingTheFocusReleasesHeldKeysFirstAndIsToldOnce) {
    SetKeyState(37, true);
    SetKeyState(65, true);
    RecordFocus(false);
    RecordFocus(false);   // a second message for the same loss
    EXPECT_FALSE(keyStates[37]);
    EXPECT_FALSE(keyStates[65]);
    EXPECT_EQ(TakeInputEventLines(), "KEY|37|0\nKEY|65|0\nFOCUS|0\n");
    RecordFocus(true);
    EXPECT_EQ(TakeInputEventLines(), "FOCUS|1\n");
}

TEST_F(InputEventsTest, SizeIsSentWhenItChanged) {
    RecordClientSize(640, 480);
    EXPECT_EQ(TakeClientSizeLine(), "SIZE|640|480");
    EXPECT_EQ(TakeInputEventLines(), "");   // counted as sent
    RecordClientSize(800, 600);
    RecordClientSize(1024, 768);
    EXPECT_EQ(TakeInputEventLines(), "SIZE|1024|768\n");
    RecordClientSize(1024, 768);
    EXPECT_EQ(TakeInputEventLines(), "");
}

TEST_F(InputEventsTest, BadCodesAndFloodsAreBoundedWithOneWarning) {
    RecordKey(256, true, false);
    RecordKey(0xFFFFFFFFu, false, false);
    RecordWheel(std::numeric_limits<float>::quiet_NaN(), 1);
    EXPECT_EQ(TakeInputEventLines(), "");

    const auto log = OrvaneTest::CaptureLog([] {
        for (std::size_t i = 0; i < maxInputEventLinesPerFrame + 50; ++i) {
            RecordKey(70, i % 2 == 0, false);
        }
        RecordText(std::string(maxTypedBytesPerFrame + 1, 'x'));
    });
    EXPECT_EQ(log.out, "[Warn] More than 10000 input events between two frames; the rest of such floods are dropped.\n");
    const std::string lines = TakeInputEventLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), static_cast<long>(maxInputEventLinesPerFrame));
    // The next frame starts afresh.
    RecordKey(70, true, false);
    EXPECT_EQ(TakeInputEventLines(), "KEY|70|1\n");
}

TEST(InputEventsUnwanted, AVersionOneHostIsToldNothing) {
    SetInputEventsWanted(false);
    RecordKey(65, true, false);
    RecordText("a");
    RecordPointer(1, 2, true);
    RecordWheel(0, 1);
    RecordButton(MouseButton::Right, true, 1, 2);
    SetKeyState(65, true);
    RecordFocus(false);
    EXPECT_FALSE(keyStates[65]);   // the key table is still released
    SetInputEventsWanted(true);
    EXPECT_EQ(TakeInputEventLines(), "");
    SetInputEventsWanted(false);
}

} // namespace
