// Handshakes and frame exchanges with a real child over real pipes: what the
// child answers lands in the snapshot, lines are cut correctly whatever the
// reads look like, and a child that goes away does not stop the runtime.
#include "BridgeTestSupport.h"

#include <ctime>

namespace Orvane::BridgeTest {
namespace {

TEST_F(BridgeTest, HandshakesAndFrameContentsReachTheSnapshot) {
    Scenario(RecordCommand() +
             "send READY\n"
             "frame RECT|10|20|30|40|255|0|0\n"
             "frame SPRITE|1|2|3|4|5|6|7|assets/hero.png\n"
             "frame DEBUG_RECT|5|6|7|8|0|255|0\n"
             "frame CAMERA|100|-50\n"
             "frame COLLIDER|7|0|0|10|10\n"
             "frame LOG|Info|frame answered\n"
             "serve\n");

    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    EXPECT_TRUE(impl.ready);

    impl.SendStart();
    EXPECT_TRUE(impl.started);

    for (int frame = 0; frame < 3; ++frame) {
        impl.Frame(0.05f);
        ASSERT_TRUE(impl.frameEnded) << "frame " << frame;
        // Each frame holds its own answer only, not the earlier ones too.
        ASSERT_EQ(impl.snapshot.rects.size(), 1u);
        ASSERT_EQ(impl.snapshot.sprites.size(), 1u);
        ASSERT_EQ(impl.snapshot.debugRects.size(), 1u);
        ASSERT_EQ(impl.colliders.size(), 1u);
    }
    const RectCommand& rect = impl.snapshot.rects[0];
    EXPECT_EQ(rect.x, 10.0f);
    EXPECT_EQ(rect.y, 20.0f);
    EXPECT_EQ(rect.width, 30.0f);
    EXPECT_EQ(rect.height, 40.0f);
    EXPECT_EQ(rect.color.r, 255);
    EXPECT_EQ(rect.color.g, 0);
    EXPECT_EQ(rect.color.b, 0);
    EXPECT_EQ(impl.snapshot.sprites[0].texturePath,
              fs::weakly_canonical(projectFolder / "assets" / "hero.png"));
    EXPECT_EQ(impl.snapshot.debugRects[0].color.g, 255);
    EXPECT_EQ(impl.snapshot.cameraX, 100.0f);
    EXPECT_EQ(impl.snapshot.cameraY, -50.0f);
    EXPECT_EQ(impl.colliders[0].id, 7);
    EXPECT_EQ(CountOccurrences(capture.Out(), "[Info] frame answered\n"), 3u);

    impl.Shutdown();
    EXPECT_EQ(RecordedLines(), (std::vector<std::string>{"START", "FRAME|0.05|", "FRAME|0.05|",
                                                         "FRAME|0.05|", "SHUTDOWN"}));
}

TEST_F(BridgeTest, LinesAreCutAcrossReadsAndLongBursts) {
    // A burst far over one 512-byte read, written in one go.
    std::string burst;
    for (int i = 0; i < 200; ++i) {
        burst += "LOG|Info|burst line " + std::to_string(i) + "\\n";
    }
    Scenario("send READY\n"
             "sendraw LOG|Info|al\n"
             "sleep 100\n"
             "sendraw pha\\r\n"
             "sleep 100\n"
             "sendraw \\nLOG|Info|beta\\nA\\r\\r\\n\\n\n"
             "sendraw " + burst + "\n"
             "sendraw END_FRAME\\nLOG|Info|after end\\ntail\n"
             "hang\n");

    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    impl.WaitFor("END_FRAME", 5000);
    ASSERT_TRUE(impl.frameEnded);

    std::vector<std::string> lines = SplitLines(capture.Out());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "[Info] C# script host started.");
    lines.erase(lines.begin());

    std::vector<std::string> wanted = {"[Info] alpha", "[Info] beta", "[Info] [ScriptHost] A\r"};
    for (int i = 0; i < 200; ++i) {
        wanted.push_back("[Info] burst line " + std::to_string(i));
    }
    // Lines after END_FRAME in the same read are handled in the same call.
    wanted.push_back("[Info] after end");
    EXPECT_EQ(lines, wanted);
    EXPECT_EQ(impl.readBuffer, "tail");
}

TEST_F(BridgeTest, HugeLineIsDroppedWithOneWarningAndTheNextLineIsRead) {
    Scenario("send READY\n"
             "flood " + std::to_string(maxLineLength + 4096) + "\n"
             "send LOG|Info|next line\n"
             "send END_FRAME\n"
             "hang\n");

    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    impl.WaitFor("END_FRAME", 10000);
    ASSERT_TRUE(impl.frameEnded);

    const std::string out = capture.Out();
    EXPECT_EQ(CountOccurrences(out, "[Warn] "), 1u) << out.substr(0, 2000);
    EXPECT_NE(out.find("[Info] next line\n"), std::string::npos);
    EXPECT_EQ(out.find("xxxxxxxx"), std::string::npos) << "the long line must not be logged";
    EXPECT_LE(impl.readBuffer.size(), maxLineLength);
}

TEST_F(BridgeTest, HostThatNeverStopsWritingCannotHoldTheWaits) {
    // Without a bound on one read call the first wait never returns: the host
    // refills the pipe faster than its lines are handled.
    Scenario("send READY\nflood-forever\n");

    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    for (int frame = 0; frame < 3; ++frame) {
        const auto start = std::chrono::steady_clock::now();
        impl.Frame(0.016f);
        EXPECT_LT(SecondsSince(start), 5.0) << "frame " << frame;
        EXPECT_FALSE(impl.frameEnded);
    }
    impl.Shutdown();
    EXPECT_FALSE(HoldsAnything(impl));
    EXPECT_EQ(capture.Out(), "[Info] C# script host started.\n");
    EXPECT_EQ(capture.Err(), "");
}

TEST_F(BridgeTest, HostThatExitsMidRunLeavesTheRuntimeRunning) {
    Scenario("send READY\n"
             "await FRAME|\n"
             "send RECT|1|2|3|4|5|6|7\n"
             "send END_FRAME\n"
             "exit 0\n");

    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    impl.Frame(0.016f);
    ASSERT_TRUE(impl.frameEnded);
    EXPECT_EQ(impl.snapshot.rects.size(), 1u);

    // The child is gone: writes fail quietly, each frame waits out its limit.
#ifndef _WIN32
    const std::clock_t cpuStart = std::clock();
#endif
    for (int frame = 0; frame < 3; ++frame) {
        const auto start = std::chrono::steady_clock::now();
        impl.Frame(0.016f);
        const double elapsed = SecondsSince(start);
        EXPECT_FALSE(impl.frameEnded);
        EXPECT_TRUE(impl.snapshot.rects.empty());
        EXPECT_GE(elapsed, 0.45);
        EXPECT_LT(elapsed, 5.0);
    }
#ifndef _WIN32
    // Waiting, not spinning, on the closed pipe.
    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    EXPECT_LT(cpuSeconds, 0.5);
#endif
    impl.Shutdown();
    EXPECT_FALSE(HoldsAnything(impl));
    EXPECT_EQ(capture.Err(), "");
}

TEST_F(BridgeTest, CollisionsAreSentOnlyAfterACompleteFrame) {
    Scenario(RecordCommand() +
             "send READY\n"
             // Frame 1 ends properly: its overlapping pair is reported.
             "await FRAME|\n"
             "send COLLIDER|1|0|0|10|10\n"
             "send COLLIDER|2|5|5|10|10\n"
             "send END_FRAME\n"
             // Frame 2 is cut off (no END_FRAME): nothing is reported for it.
             "await FRAME|\n"
             "send COLLIDER|3|0|0|10|10\n"
             "send COLLIDER|4|5|5|10|10\n"
             // Frame 3 ends, with no colliders at all.
             "await FRAME|\n"
             "send END_FRAME\n"
             "serve\n");

    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    impl.Frame(0.016f);
    EXPECT_TRUE(impl.frameEnded);
    impl.Frame(0.016f);
    EXPECT_FALSE(impl.frameEnded);
    EXPECT_EQ(impl.colliders.size(), 2u);
    impl.Frame(0.016f);
    EXPECT_TRUE(impl.frameEnded);
    impl.Shutdown();

    EXPECT_EQ(RecordedLines(),
              (std::vector<std::string>{"FRAME|0.016|", "COLLISION|1|2", "COLLISION|2|1",
                                        "FRAME|0.016|", "FRAME|0.016|", "SHUTDOWN"}));
}

} // namespace
} // namespace Orvane::BridgeTest
