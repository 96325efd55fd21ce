#include "support/TestSupport.h"

#include "core/Paths.h"
#include "core/TextFile.h"

#include <algorithm>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;
using OrvaneTest::CaptureLog;
using OrvaneTest::TempFolder;
using OrvaneTest::WriteFile;

TEST(PathsTest, ResolvePathJoinsRelativeUnderBaseAndKeepsAbsolute) {
    TempFolder temp;
    const fs::path base = temp.path / "game";
    const fs::path hero = WriteFile(base / "assets" / "hero.png", "x");

    EXPECT_EQ(Orvane::ResolvePath(base, "assets/hero.png"), fs::canonical(hero));
    EXPECT_EQ(Orvane::ResolvePath(base, "assets/./../assets/hero.png"), fs::canonical(hero));
    // Missing entries keep their normalised names under the canonical existing part.
    EXPECT_EQ(Orvane::ResolvePath(base, "assets/missing/../ghost.png"),
              fs::canonical(base / "assets") / "ghost.png");
    EXPECT_EQ(Orvane::ResolvePath(base, ""), fs::canonical(base));
    EXPECT_EQ(Orvane::ResolvePath(temp.path / "elsewhere", hero), fs::canonical(hero));
}

TEST(PathsTest, FileExistsForFilesFoldersAndAbsentEntries) {
    TempFolder temp;
    WriteFile(temp.path / "file.txt", "");
    EXPECT_TRUE(Orvane::FileExists(temp.path));
    EXPECT_TRUE(Orvane::FileExists(temp.path / "file.txt"));
    EXPECT_FALSE(Orvane::FileExists(temp.path / "absent"));

    const auto log = CaptureLog([&] { EXPECT_FALSE(Orvane::FileExistsOrWarn(temp.path / "absent")); });
    EXPECT_EQ(log.out, "");
}

#ifndef _WIN32
TEST(PathsTest, UndecidableExistenceThrowsOrCountsAsAbsentWithOneWarning) {
    TempFolder temp;
    fs::create_symlink("loop-b", temp.path / "loop-a");
    fs::create_symlink("loop-a", temp.path / "loop-b");
    const fs::path looped = temp.path / "loop-a" / "file";

    EXPECT_THROW(Orvane::FileExists(looped), fs::filesystem_error);
    const auto log = CaptureLog([&] { EXPECT_FALSE(Orvane::FileExistsOrWarn(looped)); });
    EXPECT_EQ(log.out.rfind("[Warn] Could not check ", 0), 0u) << log.out;
    EXPECT_EQ(std::count(log.out.begin(), log.out.end(), '\n'), 1);
}
#endif

TEST(PathsTest, Utf8TextAndPathsRoundTripThroughTheFileSystem) {
    TempFolder temp;
    const std::string name = "Sp\xC3\xA4ter \xE2\x82\xAC.png";   // "Später €.png"
    WriteFile(temp.path / Orvane::Utf8ToPath(name), "x");

    bool found = false;
    for (const auto& entry : fs::directory_iterator(temp.path)) {
        found = found || Orvane::PathToUtf8(entry.path().filename()) == name;
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(Orvane::PathToUtf8(Orvane::Utf8ToPath(name)), name);
}

TEST(PathsTest, ReadTextFileKeepsEveryByte) {
    TempFolder temp;
    const std::string text = "\xEF\xBB\xBF{\r\n\"a\": 1\r\n}\n";
    const std::string withNul = text + std::string(1, '\0') + "end";
    WriteFile(temp.path / "data.txt", withNul);
    EXPECT_EQ(Orvane::ReadTextFile(temp.path / "data.txt"), withNul);
    WriteFile(temp.path / "empty.txt", "");
    EXPECT_EQ(Orvane::ReadTextFile(temp.path / "empty.txt"), "");
}

TEST(PathsTest, ReadTextFileOfMissingFileThrowsWithItsPath) {
    TempFolder temp;
    const fs::path missing = temp.path / "missing.json";
    try {
        Orvane::ReadTextFile(missing);
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "Could not open file: " + Orvane::PathToUtf8(missing));
    }
}

} // namespace

#ifdef _WIN32
namespace {

std::wstring FromCodePage(unsigned codePage, const std::string& text) {
    const int count = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
    return wide;
}

TEST(PathsTest, TextThatIsNotUtf8FallsBackToTheAnsiCodePage) {
    struct Case {
        const char* name;
        std::string text;
        std::wstring expected;
    };
    const Case cases[] = {
        {"utf-8 stays utf-8", "caf\xC3\xA9.png", L"caf\u00E9.png"},
        {"ascii", "assets/hero.png", L"assets/hero.png"},
        // A lone 0xE9 is no UTF-8; in the ANSI code page it is a character.
        {"latin-1 byte", "caf\xE9.png", FromCodePage(CP_ACP, "caf\xE9.png")},
        {"cut sequence", "x\xC3", FromCodePage(CP_ACP, "x\xC3")},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        fs::path path;
        ASSERT_NO_THROW(path = Orvane::Utf8ToPath(test.text));
        EXPECT_EQ(path.wstring(), test.expected);
    }
}

} // namespace
#endif
