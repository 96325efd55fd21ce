// Version 2 frames: what follows END_FRAME waits for the next frame, and a frame
// holds at most so many draw commands and colliders, with one warning per run.
// Version 1 keeps neither rule.
#include "support/TestSupport.h"

#include "scripting/ScriptHostBridgeImpl.h"

#include <algorithm>
#include <string>

namespace {

using Orvane::ScriptHostBridge;
using OrvaneTest::CaptureLog;

std::string Repeat(const std::string& line, std::size_t count) {
    std::string text;
    text.reserve((line.size() + 1) * count);
    for (std::size_t i = 0; i < count; ++i) {
        text += line;
        text += '\n';
    }
    return text;
}

void Receive(ScriptHostBridge::Impl& impl, const std::string& bytes) { impl.ReceiveBytes(bytes.data(), bytes.size()); }

// Starts the next frame as Frame does, without a child: clears the lists and
// reads (here: only the held bytes, since there is no pipe).
void NextFrame(ScriptHostBridge::Impl& impl) {
    impl.snapshot.rects.clear();
    impl.snapshot.fills.clear();
    impl.snapshot.drawOrder.clear();
    impl.colliders.clear();
    impl.frameEnded = false;
    impl.ReadAvailableLines();
}

TEST(Version2FrameTest, LinesAfterEndFrameBelongToTheNextFrame) {
    const std::string bytes = "RECT|1|1|1|1|0|0|0\nEND_FRAME\nRECT|2|2|2|2|0|0|0\nFILL|0|0|1|1|1|2|3|4\nEND_FRAME\nRECT|3|3|3|3|0|0|0\n";
    for (const int version : {1, 2}) {
        SCOPED_TRACE(version);
        ScriptHostBridge::Impl impl;
        impl.protocolVersion = version;
        Receive(impl, bytes);
        EXPECT_TRUE(impl.frameEnded);
        if (version == 1) {
            // Version 1 takes everything that has arrived into the current frame.
            EXPECT_EQ(impl.snapshot.rects.size(), 3u);
            EXPECT_TRUE(impl.heldBytes.empty());
            continue;
        }
        ASSERT_EQ(impl.snapshot.rects.size(), 1u);
        EXPECT_EQ(impl.snapshot.rects[0].x, 1.0f);
        EXPECT_EQ(impl.heldBytes, bytes.substr(bytes.find("END_FRAME\n") + 10));
        // Still ended: a further read takes nothing more.
        impl.ReadAvailableLines();
        EXPECT_EQ(impl.snapshot.rects.size(), 1u);

        NextFrame(impl);
        EXPECT_TRUE(impl.frameEnded);
        ASSERT_EQ(impl.snapshot.rects.size(), 1u);
        EXPECT_EQ(impl.snapshot.rects[0].x, 2.0f);
        EXPECT_EQ(impl.snapshot.fills.size(), 1u);
        EXPECT_EQ(impl.snapshot.drawOrder.size(), 2u);

        NextFrame(impl);
        EXPECT_FALSE(impl.frameEnded);   // its END_FRAME has not come yet
        ASSERT_EQ(impl.snapshot.rects.size(), 1u);
        EXPECT_EQ(impl.snapshot.rects[0].x, 3.0f);
        EXPECT_TRUE(impl.heldBytes.empty());
    }
}

TEST(Version2FrameTest, AHeldLineCutInTheMiddleIsCompletedByTheNextRead) {
    ScriptHostBridge::Impl impl;
    impl.protocolVersion = 2;
    Receive(impl, "END_FRAME\nRECT|5|5|");
    EXPECT_EQ(impl.heldBytes, "RECT|5|5|");
    NextFrame(impl);
    EXPECT_TRUE(impl.snapshot.rects.empty());
    Receive(impl, "5|5|0|0|0\nEND_FRAME\n");
    ASSERT_EQ(impl.snapshot.rects.size(), 1u);
    EXPECT_EQ(impl.snapshot.rects[0].width, 5.0f);
}

TEST(Version2FrameTest, PerFrameCapsDropTheRestWithOneWarningPerRun) {
    struct Case {
        const char* name;
        int version;
        std::string line;
        std::size_t sent;
        std::size_t kept;
        const char* warning;
    };
    const Case cases[] = {
        {"v2 draw commands", 2, "RECT|1|2|3|4|5|6|7", Orvane::maxDrawCommandsPerFrame + 5,
         Orvane::maxDrawCommandsPerFrame, "draw commands"},
        {"v2 colliders", 2, "COLLIDER|1|0|0|4|4", Orvane::maxCollidersPerFrame + 5, Orvane::maxCollidersPerFrame,
         "colliders"},
        {"v1 draw commands", 1, "RECT|1|2|3|4|5|6|7", Orvane::maxDrawCommandsPerFrame + 5,
         Orvane::maxDrawCommandsPerFrame + 5, nullptr},
        {"v1 colliders", 1, "COLLIDER|1|0|0|4|4", Orvane::maxCollidersPerFrame + 5, Orvane::maxCollidersPerFrame + 5,
         nullptr},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        ScriptHostBridge::Impl impl;
        impl.protocolVersion = test.version;
        const std::string bytes = Repeat(test.line, test.sent);
        for (int frame = 0; frame < 2; ++frame) {
            const auto log = CaptureLog([&] {
                NextFrame(impl);
                Receive(impl, bytes + "END_FRAME\n");
            });
            const bool colliders = test.line.rfind("COLLIDER|", 0) == 0;
            EXPECT_EQ(colliders ? impl.colliders.size() : impl.snapshot.rects.size(), test.kept);
            if (!colliders && test.version == 2) {
                EXPECT_EQ(impl.snapshot.drawOrder.size(), test.kept);
            }
            const bool warns = test.warning != nullptr && frame == 0;
            EXPECT_EQ(log.out.find("[Warn] A frame sent more than ") == 0, warns) << log.out;
            if (warns) {
                EXPECT_NE(log.out.find(test.warning), std::string::npos) << log.out;
                EXPECT_EQ(std::count(log.out.begin(), log.out.end(), '\n'), 1);
            }
        }
    }
}

} // namespace
