#include "support/TestSupport.h"

#include "core/Paths.h"
#include "scripting/ScriptHostBridgeImpl.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Orvane::ScriptHostBridge;
using OrvaneTest::CaptureLog;
using OrvaneTest::TempFolder;
using OrvaneTest::WriteFile;

struct RectExpectation {
    float x, y, width, height;
    int r, g, b;
};

void ExpectRect(const Orvane::RectCommand& rect, const RectExpectation& expected) {
    EXPECT_EQ(rect.x, expected.x);
    EXPECT_EQ(rect.y, expected.y);
    EXPECT_EQ(rect.width, expected.width);
    EXPECT_EQ(rect.height, expected.height);
    EXPECT_EQ(rect.color.r, expected.r);
    EXPECT_EQ(rect.color.g, expected.g);
    EXPECT_EQ(rect.color.b, expected.b);
}

class HandleLineTest : public ::testing::Test {
protected:
    // Handles the line and returns what was logged meanwhile.
    OrvaneTest::CapturedLog Handle(const std::string& line) {
        return CaptureLog([&] { impl.HandleLine(line); });
    }
    bool NothingStored() const {
        return impl.snapshot.rects.empty() && impl.snapshot.sprites.empty() &&
               impl.snapshot.debugRects.empty() && impl.colliders.empty() &&
               impl.snapshot.cameraX == 0 && impl.snapshot.cameraY == 0 && !impl.ready &&
               !impl.started && !impl.frameEnded;
    }

    ScriptHostBridge::Impl impl;
};

TEST_F(HandleLineTest, WholeLineKeywordsSetTheirFlags) {
    Handle("READY");
    EXPECT_TRUE(impl.ready);
    EXPECT_FALSE(impl.started);
    Handle("STARTED");
    EXPECT_TRUE(impl.started);
    EXPECT_FALSE(impl.frameEnded);
    Handle("END_FRAME");
    EXPECT_TRUE(impl.frameEnded);
}

TEST_F(HandleLineTest, RectLinesByPieceCountAndValue) {
    struct Case {
        const char* line;
        bool stored;
        RectExpectation rect;
    };
    const Case cases[] = {
        {"RECT|10|20|30|40|255|0|0", true, {10, 20, 30, 40, 255, 0, 0}},
        {"RECT|1|2|3|4|5|6|7|", true, {1, 2, 3, 4, 5, 6, 7}},
        {"RECT|10|20|30|40|300|0|-1", true, {10, 20, 30, 40, 44, 0, 255}},
        {"RECT|10|20|30|40|256|511|-256", true, {10, 20, 30, 40, 0, 255, 0}},
        {"RECT| 1.5|2xyz|3|4|0|0|0", true, {1.5f, 2, 3, 4, 0, 0, 0}},
        {"RECT|-5|-6|-7|-8|7.9|0|0", true, {-5, -6, -7, -8, 7, 0, 0}},
        {"RECT|1|2|3|4|5|6", false, {}},
        {"RECT|1|2|3|4|5|6|7|8", false, {}},
        {"RECT|1|2|3|4|5|6|7||", false, {}},
        {"RECT||2|3|4|5|6|7", false, {}},
        {"RECT|x|2|3|4|5|6|7", false, {}},
        {"RECT|1|2|3|4|5|6|seven", false, {}},
        {"RECT|1e39|2|3|4|5|6|7", false, {}},
        {"RECT|1|2|3|4|5|6|2147483648", false, {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.line);
        impl.snapshot.rects.clear();
        const auto log = Handle(test.line);
        EXPECT_EQ(log.out + log.err, "");
        ASSERT_EQ(impl.snapshot.rects.size(), test.stored ? 1u : 0u);
        if (test.stored) {
            ExpectRect(impl.snapshot.rects[0], test.rect);
        }
        EXPECT_TRUE(impl.snapshot.debugRects.empty());
    }
}

TEST_F(HandleLineTest, ListsKeepArrivalOrderAndDuplicates) {
    Handle("RECT|1|1|1|1|1|1|1");
    Handle("DEBUG_RECT|9|8|7|6|5|4|3");
    Handle("RECT|2|2|2|2|2|2|2");
    Handle("RECT|1|1|1|1|1|1|1");
    ASSERT_EQ(impl.snapshot.rects.size(), 3u);
    ExpectRect(impl.snapshot.rects[0], {1, 1, 1, 1, 1, 1, 1});
    ExpectRect(impl.snapshot.rects[1], {2, 2, 2, 2, 2, 2, 2});
    ExpectRect(impl.snapshot.rects[2], {1, 1, 1, 1, 1, 1, 1});
    ASSERT_EQ(impl.snapshot.debugRects.size(), 1u);
    ExpectRect(impl.snapshot.debugRects[0], {9, 8, 7, 6, 5, 4, 3});

    Handle("DEBUG_RECT|9|8|7|6|5|4");
    EXPECT_EQ(impl.snapshot.debugRects.size(), 1u);
}

TEST_F(HandleLineTest, CameraIsSetOnlyWhenBothValuesConvert) {
    Handle("CAMERA|12.5|-3");
    EXPECT_EQ(impl.snapshot.cameraX, 12.5f);
    EXPECT_EQ(impl.snapshot.cameraY, -3.0f);
    for (const char* line : {"CAMERA|1|oops", "CAMERA|oops|1", "CAMERA|1", "CAMERA|1|2|3", "CAMERA|1|1e99"}) {
        SCOPED_TRACE(line);
        Handle(line);
        EXPECT_EQ(impl.snapshot.cameraX, 12.5f);
        EXPECT_EQ(impl.snapshot.cameraY, -3.0f);
    }
}

TEST_F(HandleLineTest, CollidersKeepIdsAsSent) {
    Handle("COLLIDER|7|1|2|3|4");
    Handle("COLLIDER|7|5|6|7|8");
    Handle("COLLIDER|-2.9|0|0|1|1");
    Handle("COLLIDER|x|0|0|1|1");
    Handle("COLLIDER|3|0|0|1");
    Handle("COLLIDER|3|0|0|1|bad");
    ASSERT_EQ(impl.colliders.size(), 3u);
    EXPECT_EQ(impl.colliders[0].id, 7);
    EXPECT_EQ(impl.colliders[0].x, 1.0f);
    EXPECT_EQ(impl.colliders[0].height, 4.0f);
    EXPECT_EQ(impl.colliders[1].id, 7);
    EXPECT_EQ(impl.colliders[1].y, 6.0f);
    EXPECT_EQ(impl.colliders[2].id, -2);
    EXPECT_TRUE(impl.snapshot.rects.empty());
}

TEST_F(HandleLineTest, LogAndErrorLinesGoToTheLoggers) {
    struct Case {
        const char* line;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {"LOG|Info|hello", "[Info] hello\n", ""},
        {"LOG|Warn|a|b", "[Warn] a|b\n", ""},
        {"LOG|Error|boom", "", "[Error] boom\n"},
        {"LOG||hello", "[Info] hello\n", ""},
        {"LOG|warn|lower case", "[Info] lower case\n", ""},
        {"LOG|Debug|", "[Info] \n", ""},
        {"LOG|Warn", "", ""},
        {"LOG|", "", ""},
        {"ERROR|", "", "[Error] \n"},
        {"ERROR|bad|thing", "", "[Error] bad|thing\n"},
        {"END_FRAME|1", "[Info] [ScriptHost] END_FRAME|1\n", ""},
        {"READY ", "[Info] [ScriptHost] READY \n", ""},
        {"RECTANGLE", "[Info] [ScriptHost] RECTANGLE\n", ""},
        {"rect|1|2|3|4|5|6|7", "[Info] [ScriptHost] rect|1|2|3|4|5|6|7\n", ""},
        {"LOG", "[Info] [ScriptHost] LOG\n", ""},
        {"Unhandled exception. System.Exception: x", "[Info] [ScriptHost] Unhandled exception. System.Exception: x\n", ""},
        {"", "", ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.line);
        const auto log = Handle(test.line);
        EXPECT_EQ(log.out, test.out);
        EXPECT_EQ(log.err, test.err);
    }
    EXPECT_TRUE(NothingStored());
}

class SpriteLineTest : public HandleLineTest {
protected:
    void SetUp() override { impl.projectPath = temp.path / "game"; }

    TempFolder temp;
};

TEST_F(SpriteLineTest, PathIsResolvedAgainstTheProjectFolder) {
    const fs::path hero = WriteFile(temp.path / "game" / "assets" / "hero.png", "x");
    Handle("SPRITE|1|2|3|4|300|0|-1|assets/hero.png");
    Handle("SPRITE|5|6|7|8|0|0|0|assets/../assets/missing.png");
    Handle("SPRITE|0|0|1|1|0|0|0|" + Orvane::PathToUtf8(hero));
    ASSERT_EQ(impl.snapshot.sprites.size(), 3u);

    const Orvane::SpriteCommand& first = impl.snapshot.sprites[0];
    EXPECT_EQ(first.x, 1.0f);
    EXPECT_EQ(first.height, 4.0f);
    EXPECT_EQ(first.color.r, 44);
    EXPECT_EQ(first.color.b, 255);
    EXPECT_EQ(first.texturePath, fs::canonical(hero));
    EXPECT_EQ(impl.snapshot.sprites[1].texturePath, fs::canonical(hero.parent_path()) / "missing.png");
    EXPECT_EQ(impl.snapshot.sprites[2].texturePath, fs::canonical(hero));
}

// Runs of one path and changes between paths, as a frame's sprites come.
TEST_F(SpriteLineTest, RepeatedAndAlternatingPathsEachResolveToTheirOwnFile) {
    const fs::path game = temp.path / "game";
    const char* pieces[] = {"a.png", "a.png", "b.png", "a.png", "b.png", "b.png", "c/../a.png"};
    for (const char* piece : pieces) {
        Handle(std::string("SPRITE|0|0|1|1|0|0|0|") + piece);
    }
    ASSERT_EQ(impl.snapshot.sprites.size(), std::size(pieces));
    for (std::size_t i = 0; i < std::size(pieces); ++i) {
        SCOPED_TRACE(pieces[i]);
        const char* expected = pieces[i][0] == 'b' ? "b.png" : "a.png";
        EXPECT_EQ(impl.snapshot.sprites[i].texturePath, fs::weakly_canonical(game / expected));
    }
}

TEST_F(SpriteLineTest, PieceCountsAndValues) {
    for (const char* line : {"SPRITE|1|2|3|4|5|6|7|", "SPRITE|1|2|3|4|5|6|7", "SPRITE|1|2|3|4|5|6|7|a.png|b",
                             "SPRITE|1|2|3|4|5|6|x|a.png", "SPRITE|1|2|nope|4|5|6|7|a.png"}) {
        SCOPED_TRACE(line);
        const auto log = Handle(line);
        EXPECT_EQ(log.out + log.err, "");
        EXPECT_TRUE(impl.snapshot.sprites.empty());
    }
    // Two separators at the end leave an empty last path piece: the project folder.
    fs::create_directories(impl.projectPath);
    Handle("SPRITE|1|2|3|4|5|6|7||");
    ASSERT_EQ(impl.snapshot.sprites.size(), 1u);
    EXPECT_EQ(impl.snapshot.sprites[0].texturePath, fs::canonical(impl.projectPath));
}

TEST_F(SpriteLineTest, RepeatedPathsGiveIdenticalResults) {
    WriteFile(temp.path / "game" / "a.png", "x");
    for (int i = 0; i < 3; ++i) {
        Handle("SPRITE|0|0|1|1|0|0|0|a.png");
        Handle("SPRITE|0|0|1|1|0|0|0|./a.png");
    }
    ASSERT_EQ(impl.snapshot.sprites.size(), 6u);
    for (const auto& sprite : impl.snapshot.sprites) {
        EXPECT_EQ(sprite.texturePath, fs::canonical(temp.path / "game" / "a.png"));
    }
}

TEST_F(SpriteLineTest, NonAsciiPathIsReadAsUtf8) {
    const std::string name = "D\xC3\xA4mon\xE2\x82\xAC.png";   // "Dämon€.png"
    const fs::path file = WriteFile(temp.path / "game" / Orvane::Utf8ToPath(name), "x");
    Handle("SPRITE|0|0|1|1|0|0|0|" + name);
    ASSERT_EQ(impl.snapshot.sprites.size(), 1u);
    EXPECT_EQ(impl.snapshot.sprites[0].texturePath, fs::canonical(file));
}

#ifdef _WIN32
// Text that is not UTF-8 is read in the ANSI code page, as before paths were
// read as UTF-8: the sprite stays.
TEST_F(SpriteLineTest, PathThatIsNotUtf8IsReadInTheAnsiCodePage) {
    const std::string ansiPath = "bad\xFF\xFE.png";
    const auto log = Handle("SPRITE|0|0|1|1|0|0|0|" + ansiPath);
    EXPECT_EQ(log.err, "");
    ASSERT_EQ(impl.snapshot.sprites.size(), 1u);
    EXPECT_EQ(impl.snapshot.sprites[0].texturePath.filename(), Orvane::Utf8ToPath(ansiPath));
    Handle("RECT|1|2|3|4|5|6|7");
    EXPECT_EQ(impl.snapshot.rects.size(), 1u);
}
#else
TEST_F(SpriteLineTest, UnresolvablePathDropsOnlyThatLine) {
    // A link loop: resolving it is a file-system error, not an absent file.
    fs::create_directories(temp.path / "game");
    fs::create_symlink("loop-b", temp.path / "game" / "loop-a");
    fs::create_symlink("loop-a", temp.path / "game" / "loop-b");
    const std::string badPath = "loop-a/hero.png";
    const auto log = Handle("SPRITE|0|0|1|1|0|0|0|" + badPath);
    EXPECT_EQ(log.err, "");
    EXPECT_TRUE(impl.snapshot.sprites.empty());
    Handle("SPRITE|0|0|1|1|0|0|0|" + badPath);
    EXPECT_TRUE(impl.snapshot.sprites.empty());

    Handle("SPRITE|0|0|1|1|0|0|0|ok.png");
    Handle("RECT|1|2|3|4|5|6|7");
    EXPECT_EQ(impl.snapshot.sprites.size(), 1u);
    EXPECT_EQ(impl.snapshot.rects.size(), 1u);
}
#endif

// ---- cutting received bytes into lines ----

class ReceiveBytesTest : public HandleLineTest {
protected:
    OrvaneTest::CapturedLog Receive(const std::string& bytes) {
        return CaptureLog([&] { impl.ReceiveBytes(bytes.data(), bytes.size()); });
    }
};

TEST_F(ReceiveBytesTest, LineEndsAndCarriageReturns) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string out;
        std::string rest;
    };
    const Case cases[] = {
        {"line feed", "hello\n", "[Info] [ScriptHost] hello\n", ""},
        {"crlf", "hello\r\n", "[Info] [ScriptHost] hello\n", ""},
        {"only one cr removed", "A\r\r\n", "[Info] [ScriptHost] A\r\n", ""},
        {"lone cr inside", "a\rb\n", "[Info] [ScriptHost] a\rb\n", ""},
        {"empty lines", "\n\r\n\n", "", ""},
        {"several in order", "one\ntwo\r\nthree\n", "[Info] [ScriptHost] one\n[Info] [ScriptHost] two\n[Info] [ScriptHost] three\n", ""},
        {"fragment kept", "done\npart", "[Info] [ScriptHost] done\n", "part"},
        {"cr fragment kept", "x\r", "", "x\r"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        impl.readBuffer.clear();
        const auto log = Receive(test.bytes);
        EXPECT_EQ(log.out, test.out);
        EXPECT_EQ(impl.readBuffer, test.rest);
    }
}

TEST_F(ReceiveBytesTest, LinesSplitAcrossReadsAreDispatchedOnce) {
    Receive("RECT|1|2|3|");
    EXPECT_TRUE(impl.snapshot.rects.empty());
    Receive("4|5|6|7\r");
    EXPECT_TRUE(impl.snapshot.rects.empty());
    Receive("\nEND_FR");
    EXPECT_EQ(impl.snapshot.rects.size(), 1u);
    EXPECT_FALSE(impl.frameEnded);
    Receive("AME\nRECT|9|9|9|9|9|9|9\n");
    EXPECT_TRUE(impl.frameEnded);
    EXPECT_EQ(impl.snapshot.rects.size(), 2u);
    EXPECT_EQ(impl.readBuffer, "");
}

TEST_F(ReceiveBytesTest, ByteByByteGivesTheSameLines) {
    const std::string bytes = "READY\r\nRECT|1|2|3|4|5|6|7\n\nCAMERA|3|4\r\nEND_FRAME\n";
    for (const char c : bytes) {
        impl.ReceiveBytes(&c, 1);
        EXPECT_EQ(impl.readBuffer.find('\n'), std::string::npos);
    }
    EXPECT_TRUE(impl.ready);
    EXPECT_TRUE(impl.frameEnded);
    EXPECT_EQ(impl.snapshot.rects.size(), 1u);
    EXPECT_EQ(impl.snapshot.cameraY, 4.0f);
}

TEST_F(ReceiveBytesTest, OverlongLineIsDroppedWithOneWarning) {
    const std::string chunk(512, 'x');
    std::size_t largestBuffer = 0;
    const auto log = CaptureLog([&] {
        for (std::size_t sent = 0; sent < Orvane::maxLineLength + 4096; sent += chunk.size()) {
            impl.ReceiveBytes(chunk.data(), chunk.size());
            largestBuffer = std::max(largestBuffer, impl.readBuffer.size());
        }
        impl.ReceiveBytes("tail\r\nREADY\n", 12);
    });
    EXPECT_LE(largestBuffer, Orvane::maxLineLength + 1);
    EXPECT_TRUE(impl.ready);
    EXPECT_EQ(log.out, "[Warn] Dropped a script host line longer than " + std::to_string(Orvane::maxLineLength) +
                       " bytes.\n");
    EXPECT_EQ(impl.readBuffer, "");

    // The reader is back to normal afterwards.
    EXPECT_EQ(Receive("next\n").out, "[Info] [ScriptHost] next\n");
}

TEST_F(ReceiveBytesTest, LengthLimitIsExact) {
    const std::string prefix = "LOG|Info|";
    const std::string atLimit = prefix + std::string(Orvane::maxLineLength - prefix.size(), 'a');
    struct Case {
        const char* name;
        std::string bytes;
        bool kept;
    };
    const Case cases[] = {
        {"at the limit", atLimit + "\n", true},
        {"at the limit with crlf", atLimit + "\r\n", true},
        {"one over", atLimit + "a\n", false},
        {"one over with crlf", atLimit + "a\r\n", false},
    };
    const std::string warning = "[Warn] Dropped a script host line longer than " +
                                std::to_string(Orvane::maxLineLength) + " bytes.\n";
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        // In one piece, and in small reads through the buffer.
        for (const std::size_t step : {test.bytes.size(), std::size_t{4000}}) {
            const std::string out = CaptureLog([&] {
                for (std::size_t at = 0; at < test.bytes.size(); at += step) {
                    impl.ReceiveBytes(test.bytes.data() + at, std::min(step, test.bytes.size() - at));
                }
            }).out;
            if (test.kept) {
                EXPECT_EQ(out, "[Info] " + atLimit.substr(prefix.size()) + "\n");
            } else {
                EXPECT_EQ(out, warning);
            }
            EXPECT_EQ(impl.readBuffer, "");
        }
    }
}

TEST_F(ReceiveBytesTest, OverlongLineInsideOneLargeRead) {
    const std::string bytes = "READY\n" + std::string(Orvane::maxLineLength + 10, 'z') + "\nSTARTED\n";
    const auto log = Receive(bytes);
    EXPECT_TRUE(impl.ready);
    EXPECT_TRUE(impl.started);
    EXPECT_EQ(std::count(log.out.begin(), log.out.end(), '\n'), 1);
}

// ---- waits and the frame exchange without a child process ----

TEST_F(HandleLineTest, WaitForEndsAtTheFlagOrAfterTheWholeTimeout) {
    using Clock = std::chrono::steady_clock;
    impl.ready = true;
    auto start = Clock::now();
    impl.WaitFor("READY", 10000);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));

    // An unknown name never ends the wait early, even with every flag set.
    impl.started = impl.frameEnded = true;
    start = Clock::now();
    impl.WaitFor("SOMETHING", 50);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(50));
}

TEST_F(HandleLineTest, FrameEmptiesTheListsButKeepsTheCamera) {
    Handle("CAMERA|5|6");
    Handle("RECT|1|2|3|4|5|6|7");
    Handle("DEBUG_RECT|1|2|3|4|5|6|7");
    Handle("COLLIDER|1|0|0|1|1");
    Handle("END_FRAME");
    impl.projectPath = fs::current_path();
    Handle("SPRITE|0|0|1|1|0|0|0|a.png");
    ASSERT_EQ(impl.snapshot.sprites.size(), 1u);

    impl.Frame(0.016f);
    EXPECT_TRUE(impl.snapshot.rects.empty());
    EXPECT_TRUE(impl.snapshot.sprites.empty());
    EXPECT_TRUE(impl.snapshot.debugRects.empty());
    EXPECT_TRUE(impl.colliders.empty());
    EXPECT_TRUE(impl.resolvedTextures.empty());
    EXPECT_FALSE(impl.frameEnded);
    EXPECT_EQ(impl.snapshot.cameraX, 5.0f);
    EXPECT_EQ(impl.snapshot.cameraY, 6.0f);
}

#ifndef _WIN32
TEST_F(SpriteLineTest, EachFrameSeesTheFileSystemAfresh) {
    const fs::path game = temp.path / "game";
    WriteFile(game / "art1" / "hero.png", "1");
    WriteFile(game / "art2" / "hero.png", "2");
    fs::create_directory_symlink("art1", game / "assets");
    Handle("SPRITE|0|0|1|1|0|0|0|assets/hero.png");
    fs::remove(game / "assets");
    fs::create_directory_symlink("art2", game / "assets");
    // Within a frame the first resolution stands.
    Handle("SPRITE|0|0|1|1|0|0|0|assets/hero.png");
    ASSERT_EQ(impl.snapshot.sprites.size(), 2u);
    EXPECT_EQ(impl.snapshot.sprites[1].texturePath, game / "art1" / "hero.png");

    impl.Frame(0.0f);
    Handle("SPRITE|0|0|1|1|0|0|0|assets/hero.png");
    ASSERT_EQ(impl.snapshot.sprites.size(), 1u);
    EXPECT_EQ(impl.snapshot.sprites[0].texturePath, game / "art2" / "hero.png");
}
#endif

} // namespace
