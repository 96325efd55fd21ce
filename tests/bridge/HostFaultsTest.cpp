// What the error screen and reloads rest on, over real pipes: a version-2 host's
// end is noticed at once, its errors come with their trace, and a reload starts
// the new host before the old one goes, handing the game's state across.
#include "BridgeTestSupport.h"

#include "scripting/ScriptHostBridge.h"

namespace Orvane::BridgeTest {
namespace {

TEST_F(BridgeTest, VersionTwoNoticesAHostThatEndedAtOnce) {
    Scenario("send PROTOCOL|2\nsend READY\nexpect START\nsend STARTED\n"
             "await FRAME|\nsend ERROR|Game update failed: Boom\nsend LOG|Error|   at Game.Update()\n"
             "send LOG|Error|   at Host.Frame()\nsend LOG|Info|not trace\nsend END_FRAME\n"
             "await FRAME|\nexit 3\n");
    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    impl.SendStart();
    impl.Frame(0.016f);
    EXPECT_TRUE(impl.errorPending);
    EXPECT_EQ(impl.errorMessage, "Game update failed: Boom");
    EXPECT_EQ(impl.errorTrace, (std::vector<std::string>{"   at Game.Update()", "   at Host.Frame()"}));

    // The host ends during the next frame: the wait ends with it, not 500 ms later.
    const auto start = std::chrono::steady_clock::now();
    impl.Frame(0.016f);
    impl.Frame(0.016f);
    EXPECT_LT(SecondsSince(start), 0.45);
    EXPECT_TRUE(impl.outputClosed);
    EXPECT_FALSE(impl.frameEnded);
    impl.Shutdown();
}

// A version-1 host that ends keeps the full waits it always had.
TEST_F(BridgeTest, VersionOneWaitsOutAnEndedHostAsBefore) {
    Scenario("send READY\nexpect START\nsend STARTED\nawait FRAME|\nexit 3\n");
    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    impl.SendStart();
    const auto start = std::chrono::steady_clock::now();
    impl.Frame(0.016f);
    EXPECT_GE(SecondsSince(start), 0.49);
    impl.Shutdown();
}

TEST_F(BridgeTest, ReloadHandsTheStateToTheNewHostBeforeItsStart) {
    const fs::path secondRecord = temp.path / "second.txt";
    // Both hosts play the same scenario file, so the first one rewrites it for
    // the second once it has started.
    const std::string second = "record " + Escaped(Utf8(secondRecord)) +
                               "\nsend PROTOCOL|2\nsend READY\nframe RECT|2|2|2|2|2|2|2\nserve\n";
    Scenario(RecordCommand() + "send PROTOCOL|2\nsend READY\nstate gems=3\\\\nx=12\nframe CAMERA|50|60\nserve\n");
    LogCapture capture;
    ScriptHostBridge bridge;
    ASSERT_TRUE(bridge.Start(config)) << capture.Err();
    bridge.SendStart();
    bridge.Frame(0.016f);
    ASSERT_EQ(bridge.Snapshot().cameraX, 50);
    Scenario(second);

    std::string failure;
    ASSERT_TRUE(bridge.Reload(failure)) << failure << capture.Err();
    bridge.Frame(0.016f);
    EXPECT_EQ(bridge.Snapshot().rects.size(), 1u);
    EXPECT_EQ(bridge.Snapshot().cameraX, 50);   // the camera stays
    bridge.Shutdown();

    const std::vector<std::string> first = RecordedLines();
    ASSERT_GE(first.size(), 3u);
    EXPECT_EQ(first[first.size() - 2], "SAVE_STATE");
    EXPECT_EQ(first.back(), "SHUTDOWN");
    const std::vector<std::string> next = SplitLines(ReadFileText(secondRecord));
    ASSERT_GE(next.size(), 3u);
    EXPECT_EQ(next[0], "PROTOCOL|2");
    EXPECT_EQ(next[1], "RESTORE_STATE|gems=3\\nx=12");
    EXPECT_EQ(next[2], "START");
}

TEST_F(BridgeTest, AReloadThatCannotStartKeepsTheOldHost) {
    Scenario(RecordCommand() + "send PROTOCOL|2\nsend READY\nframe RECT|1|1|1|1|1|1|1\nserve\n");
    LogCapture capture;
    ScriptHostBridge bridge;
    ASSERT_TRUE(bridge.Start(config)) << capture.Err();
    bridge.SendStart();
    bridge.Frame(0.016f);
    Scenario("send ERROR|Could not load game assembly: bad image\nexit 1\n");

    std::string failure;
    EXPECT_FALSE(bridge.Reload(failure));
    EXPECT_EQ(failure, "Could not load game assembly: bad image");
    bridge.Frame(0.016f);   // the old host still answers
    EXPECT_TRUE(bridge.FrameAnswered());
    EXPECT_EQ(bridge.Snapshot().rects.size(), 1u);
    bridge.Shutdown();
    EXPECT_EQ(RecordedLines().back(), "SHUTDOWN");
}

} // namespace
} // namespace Orvane::BridgeTest
