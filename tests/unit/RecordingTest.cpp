// Recordings: written and read back frame for frame; anything else is refused
// with one message before a run starts.
#include "support/TestSupport.h"

#include "app/Recording.h"

#include <string>

namespace {

using namespace Orvane;

TEST(RecordingTest, WrittenFramesReadBackExactly) {
    OrvaneTest::TempFolder temp;
    const auto file = temp.path / "run.rec";
    RecordingWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(file, error)) << error;
    writer.Begin("Game.Main", "Level1", 2);
    writer.AddFrame("KEY|65|1\nKEY|65|0\nFRAME|0.016|", 0x0123456789abcdefull);
    writer.AddReload();
    writer.AddFrame("FRAME|0.05|37,65", 42);
    ASSERT_TRUE(writer.Finish());

    Recording recording;
    ASSERT_TRUE(LoadRecording(file, recording, error)) << error;
    EXPECT_EQ(recording.mainClass, "Game.Main");
    EXPECT_EQ(recording.startScene, "Level1");
    EXPECT_EQ(recording.protocolVersion, 2);
    ASSERT_EQ(recording.frames.size(), 2u);
    EXPECT_EQ(recording.frames[0].lines, "KEY|65|1\nKEY|65|0\nFRAME|0.016|");
    EXPECT_EQ(recording.frames[0].digest, 0x0123456789abcdefull);
    EXPECT_FALSE(recording.frames[0].reloadBefore);
    EXPECT_TRUE(recording.frames[1].reloadBefore);
    EXPECT_EQ(recording.frames[1].digest, 42u);
}

TEST(RecordingTest, EmptyStartSceneAndNoFrames) {
    Recording recording;
    std::string error;
    EXPECT_TRUE(ParseRecording("orvane-recording 1\nmain-class G\nstart-scene \nprotocol 1\nend 0\n", recording, error))
        << error;
    EXPECT_EQ(recording.startScene, "");
    EXPECT_TRUE(recording.frames.empty());
}

TEST(RecordingTest, WhatIsNotAWholeRecordingIsRefused) {
    const std::string header = "orvane-recording 1\nmain-class G\nstart-scene S\nprotocol 2\n";
    const std::string frame = "> FRAME|0.016|\n= 00000000000000ff\n";
    struct Case {
        const char* name;
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {"empty file", "", "not an orvane recording"},
        {"another file", "PNG\x1a\n", "not an orvane recording"},
        {"a later format", "orvane-recording 2\n", "not an orvane recording"},
        {"header cut", "orvane-recording 1\nmain-class G\n", "the recording's header is broken"},
        {"unknown protocol", "orvane-recording 1\nmain-class G\nstart-scene S\nprotocol 3\nend 0\n",
         "the recording's header is broken"},
        {"truncated", header + frame + "> FRAME|0.016|\n", "the recording is incomplete (it has no end line)"},
        {"frame without digest", header + "> FRAME|0.016|\nend 0\n", "the recording has a broken frame (frame 1)"},
        {"short digest", header + "> FRAME|0.016|\n= ff\nend 1\n", "the recording has a broken frame (frame 1)"},
        {"digest without lines", header + "= 00000000000000ff\nend 1\n", "the recording has a broken frame (frame 1)"},
        {"wrong count", header + frame + "end 2\n", "the recording's end does not match its frames"},
        {"lines after the end", header + frame + "end 1\n> FRAME|1|\n", "the recording's end does not match its frames"},
        {"stray line", header + "hello\n", "the recording has a line it does not know: hello"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recording recording;
        std::string error;
        EXPECT_FALSE(ParseRecording(c.text, recording, error));
        EXPECT_EQ(error, c.message);
    }
    Recording recording;
    std::string error;
    EXPECT_TRUE(ParseRecording(header + frame + "end 1\n", recording, error)) << error;
}

TEST(RecordingTest, ARecordingCutAnywhereAfterItsHeaderIsIncomplete) {
    const std::string header = "orvane-recording 1\nmain-class G\nstart-scene S\nprotocol 2\n";
    const std::string whole = header + "> KEY|65|1\n> FRAME|0.016|\n= 00000000000000ff\nreload\n" +
                              "> FRAME|0.016|65\n= 0123456789abcdef\nend 2\n";
    for (std::size_t cut = header.size(); cut < whole.size(); ++cut) {
        SCOPED_TRACE(whole.substr(0, cut));
        Recording recording;
        std::string error;
        EXPECT_FALSE(ParseRecording(whole.substr(0, cut), recording, error));
        EXPECT_EQ(error, "the recording is incomplete (it has no end line)");
    }
}

TEST(RecordingTest, MissingFileAndUnwritableFolder) {
    OrvaneTest::TempFolder temp;
    Recording recording;
    std::string error;
    EXPECT_FALSE(LoadRecording(temp.path / "none.rec", recording, error));
    EXPECT_EQ(error, "--replay file does not exist: " + PathToUtf8(temp.path / "none.rec"));
    RecordingWriter writer;
    EXPECT_FALSE(writer.Open(temp.path / "no-folder" / "run.rec", error));
    EXPECT_NE(error.find("--record file cannot be written: "), std::string::npos);
}

} // namespace
