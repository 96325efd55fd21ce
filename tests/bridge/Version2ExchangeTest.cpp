// Protocol version 2 over real pipes: the offer before READY, the answer before
// START, and frames kept apart however far ahead the host writes.
#include "BridgeTestSupport.h"

namespace Orvane::BridgeTest {
namespace {

TEST_F(BridgeTest, VersionTwoIsAnsweredBeforeStartAndItsCommandsArrive) {
    Scenario(RecordCommand() +
             "send PROTOCOL|2\n"
             "send READY\n"
             "frame FILL|1|2|3|4|10|20|30|40\n"
             "frame ZOOM|2\n"
             "serve\n");
    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    impl.SendStart();
    EXPECT_EQ(impl.protocolVersion, 2);
    EXPECT_EQ(impl.snapshot.protocolVersion, 2);
    impl.Frame(0.016f);
    ASSERT_TRUE(impl.frameEnded);
    ASSERT_EQ(impl.snapshot.fills.size(), 1u);
    EXPECT_EQ(impl.snapshot.fills[0].color.a, 40);
    EXPECT_EQ(impl.snapshot.zoom, 2);
    impl.Shutdown();
    EXPECT_EQ(RecordedLines(),
              (std::vector<std::string>{"PROTOCOL|2", "START", "FRAME|0.016|", "SHUTDOWN"}));
    EXPECT_EQ(capture.Out().find("PROTOCOL"), std::string::npos);
}

// The host writes two frames' answers in one burst: version 2 hands each frame
// its own lines.
TEST_F(BridgeTest, VersionTwoKeepsLinesAfterEndFrameForTheNextFrame) {
    Scenario("send PROTOCOL|2\n"
             "send READY\n"
             "expect START\n"
             "send STARTED\n"
             "await FRAME|\n"
             "sendraw RECT|1|1|1|1|1|1|1\\nEND_FRAME\\nRECT|2|2|2|2|2|2|2\\nCOLLIDER|9|0|0|1|1\\n"
             "RECT|3|3|3|3|3|3|3\\nEND_FRAME\\nLOG|Info|third frame's\\n\n"
             "await FRAME|\n"
             "await FRAME|\n"
             "send END_FRAME\n"
             "serve\n");
    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    impl.SendStart();
    ASSERT_EQ(impl.protocolVersion, 2);

    impl.Frame(0.016f);
    ASSERT_TRUE(impl.frameEnded);
    ASSERT_EQ(impl.snapshot.rects.size(), 1u);
    EXPECT_EQ(impl.snapshot.rects[0].x, 1);
    EXPECT_TRUE(impl.colliders.empty());
    EXPECT_EQ(capture.Out().find("third frame's"), std::string::npos);

    impl.Frame(0.016f);
    ASSERT_TRUE(impl.frameEnded);
    ASSERT_EQ(impl.snapshot.rects.size(), 2u);
    EXPECT_EQ(impl.snapshot.rects[0].x, 2);
    EXPECT_EQ(impl.snapshot.rects[1].x, 3);
    EXPECT_EQ(impl.colliders.size(), 1u);
    EXPECT_EQ(capture.Out().find("third frame's"), std::string::npos);

    impl.Frame(0.016f);
    ASSERT_TRUE(impl.frameEnded);
    EXPECT_TRUE(impl.snapshot.rects.empty());
    EXPECT_EQ(CountOccurrences(capture.Out(), "[Info] third frame's\n"), 1u);
    impl.Shutdown();
}

// The same burst from a version-1 host: everything that arrived in the read is
// handled at once, as version 1 has always done.
TEST_F(BridgeTest, VersionOneStillReadsPastEndFrame) {
    Scenario(RecordCommand() +
             "send READY\n"
             "expect START\n"
             "send STARTED\n"
             "await FRAME|\n"
             "sendraw RECT|1|1|1|1|1|1|1\\nEND_FRAME\\nRECT|2|2|2|2|2|2|2\\nEND_FRAME\\n\n"
             "serve\n");
    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    impl.SendStart();
    EXPECT_EQ(impl.protocolVersion, 1);
    impl.Frame(0.016f);
    ASSERT_TRUE(impl.frameEnded);
    EXPECT_EQ(impl.snapshot.rects.size(), 2u);
    EXPECT_TRUE(impl.snapshot.drawOrder.empty());
    impl.Shutdown();
    EXPECT_EQ(RecordedLines().front(), "START");
}

} // namespace
} // namespace Orvane::BridgeTest
