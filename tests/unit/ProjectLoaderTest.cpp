#include "support/TestSupport.h"

#include "project/ProjectLoader.h"

#include <climits>
#include <iterator>
#include <optional>
#include <random>
#include <regex>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;
using OrvaneTest::CaptureLog;
using OrvaneTest::TempFolder;
using OrvaneTest::WriteFile;

struct StringCase {
    const char* name;
    std::string json;
    std::string key;
    std::string expected;
};

TEST(ExtractStringTest, FirstFittingOccurrenceWins) {
    const StringCase cases[] = {
        {"plain", R"({"name": "Game"})", "name", "Game"},
        {"no spaces", R"({"name":"Game"})", "name", "Game"},
        {"nested comes first", R"({"meta": {"name": "Inner"}, "name": "Outer"})", "name", "Inner"},
        {"first of two", R"({"name": "A", "name": "B"})", "name", "A"},
        {"unfitting value skipped", R"({"name": null, "x": {"name": "Later"}})", "name", "Later"},
        {"key suffix is no key", R"({"gameName": "Wrong"})", "name", "<fallback>"},
        {"case sensitive", R"({"Title": "Wrong"})", "title", "<fallback>"},
        {"line breaks around colon", "{\"title\"\r\n  :\n\t\"Split\"}", "title", "Split"},
        {"escaped quote cuts the value", R"({"title": "Say \"hi\""})", "title", "Say \\"},
        {"doubled backslash stays", R"({"title": "a\\b"})", "title", "a\\\\b"},
        {"newline inside value", "{\"title\": \"two\nlines\"}", "title", "two\nlines"},
        {"empty value", R"({"title": ""})", "title", ""},
        {"number is not a string", R"({"mainClass": 5})", "mainClass", "<fallback>"},
        {"object is not a string", R"({"mainClass": {"x": "y"}})", "mainClass", "<fallback>"},
        {"leading garbage", "\xEF\xBB\xBFjunk {\"name\": \"Bom\"}", "name", "Bom"},
        {"bytes kept", "{\"title\": \"Sp\xC3\xA4ter\"}", "title", "Sp\xC3\xA4ter"},
        {"empty text", "", "name", "<fallback>"},
    };
    for (const StringCase& test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(Orvane::ExtractString(test.json, test.key, "<fallback>"), test.expected);
    }
}

struct IntCase {
    const char* name;
    std::string json;
    std::int32_t expected;
};

TEST(ExtractIntTest, LeadingDigitRunAsUnsigned32Bits) {
    const IntCase cases[] = {
        {"plain", R"({"width": 800})", 800},
        {"fraction cut", R"({"width": 800.75})", 800},
        {"exponent cut", R"({"width": 1e3})", 1},
        {"leading zero", R"({"width": 0800})", 800},
        {"zero", R"({"width": 0})", 0},
        {"many leading zeros", R"({"width": 0000000000000000000001})", 1},
        {"line break before value", "{\"width\":\n 640}", 640},
        {"largest signed", R"({"width": 2147483647})", INT32_MAX},
        {"wraps to smallest", R"({"width": 2147483648})", INT32_MIN},
        {"wraps to -1", R"({"width": 4294967295})", -1},
        {"quoted number does not fit", R"({"width": "800"})", -7},
        {"negative does not fit", R"({"width": -800})", -7},
        {"plus does not fit", R"({"width": +800})", -7},
        {"point does not fit", R"({"width": .5})", -7},
        {"later fitting one", R"({"width": "x", "inner": {"width": 320}})", 320},
        {"absent", R"({"height": 10})", -7},
    };
    for (const IntCase& test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(Orvane::ExtractInt(test.json, "width", -7), test.expected);
    }
}

TEST(ExtractIntTest, ValuesAbove32BitsThrowOutOfRange) {
    for (const std::string digits : {"4294967296", "99999999999999999999999999"}) {
        SCOPED_TRACE(digits);
        try {
            Orvane::ExtractInt("{\"width\": " + digits + "}", "width", 0);
            FAIL() << "no exception";
        } catch (const std::out_of_range& error) {
            EXPECT_EQ(std::string(error.what()), "stoul argument out of range");
        }
    }
}

// The searches as regular expressions, the ECMAScript way, for comparison on
// texts small enough for std::regex.
std::regex StringPattern(const std::string& key) { return std::regex("\"" + key + R"re("\s*:\s*"([^"]*)")re"); }
std::regex DigitsPattern(const std::string& key) { return std::regex("\"" + key + R"re("\s*:\s*([0-9]+))re"); }

std::optional<std::string> RegexSearch(const std::string& json, const std::regex& expression) {
    std::smatch match;
    return std::regex_search(json, match, expression) ? std::optional(match[1].str()) : std::nullopt;
}

TEST(ExtractTest, SameMatchAsTheRegularExpressionSearch) {
    // Texts built from the fragments that matter to the search.
    const char* fragments[] = {"\"", "\"k\"", "k", ":", " ", "\n", "\t", "\r", "\v", "\xC2\xA0",
                               "1", "42", "x", "\\", "{", "}", ",", "\"k\":", "\"kk\""};
    const std::regex stringPattern = StringPattern("k");
    const std::regex digitsPattern = DigitsPattern("k");
    std::mt19937 random(2024);
    for (int i = 0; i < 20000; ++i) {
        std::string json;
        const int count = 1 + static_cast<int>(random() % 12);
        for (int j = 0; j < count; ++j) {
            json += fragments[random() % std::size(fragments)];
        }
        ASSERT_EQ(Orvane::ExtractString(json, "k", "<none>"), RegexSearch(json, stringPattern).value_or("<none>"))
            << json;
        const auto digits = RegexSearch(json, digitsPattern);
        const std::int32_t expected = digits && digits->size() < 10 ? std::stoi(*digits) : -7;
        if (!digits || digits->size() < 10) {
            ASSERT_EQ(Orvane::ExtractInt(json, "k", -7), expected) << json;
        }
    }
}

TEST(ExtractTest, LongValuesAndRunsOfWhiteSpace) {
    // Sizes at which a recursive regular-expression search runs out of stack.
    const std::string value(1 << 20, 'v');
    const std::string spaces(1 << 20, ' ');
    const std::string json = "{\"title\":" + spaces + "\"" + value + "\", \"width\":" + spaces + "640}";
    EXPECT_EQ(Orvane::ExtractString(json, "title", ""), value);
    EXPECT_EQ(Orvane::ExtractInt(json, "width", 0), 640);
    EXPECT_EQ(Orvane::ExtractInt("{\"width\": " + std::string(1 << 20, '0') + "7}", "width", 0), 7);
}

class ProjectLoaderTest : public ::testing::Test {
protected:
    // Loads and returns what was logged.
    OrvaneTest::CapturedLog Load(const fs::path& path, bool expected) {
        return CaptureLog([&] { EXPECT_EQ(Orvane::LoadProjectConfig(path, config), expected); });
    }

    TempFolder temp;
    Orvane::ProjectConfig config;
};

TEST_F(ProjectLoaderTest, OnlyMainClassGivesDefaults) {
    const fs::path folder = temp.path / "MyGame";
    WriteFile(folder / "project.json", R"({"mainClass": "Game.Main"})");

    const auto log = Load(folder, true);
    EXPECT_EQ(log.out + log.err, "");
    EXPECT_EQ(config.name, "MyGame");
    EXPECT_EQ(config.rootPath, folder);
    EXPECT_EQ(config.mainClass, "Game.Main");
    EXPECT_EQ(config.startScene, "");
    EXPECT_EQ(config.mainAssemblyPath, folder);
    EXPECT_EQ(config.window.width, 1280);
    EXPECT_EQ(config.window.height, 720);
    EXPECT_EQ(config.window.title, "Orvane");
}

TEST_F(ProjectLoaderTest, ReadsEveryKey) {
    const fs::path folder = temp.path / "Full";
    WriteFile(folder / "project.json", "\xEF\xBB\xBF{\r\n"
                                       "  \"name\": \"Sample\",\r\n"
                                       "  \"mainClass\": \"Sample.Game\",\r\n"
                                       "  \"startScene\": \"Intro\",\r\n"
                                       "  \"mainAssembly\": \"bin/../bin/Sample.dll\",\r\n"
                                       "  \"width\": 640,\r\n"
                                       "  \"height\": 480,\r\n"
                                       "  \"title\": \"Sample Window\"\r\n"
                                       "}\r\n");
    WriteFile(folder / "bin" / "Sample.dll", "");

    Load(folder / "." / "", true);
    EXPECT_EQ(config.name, "Sample");
    EXPECT_EQ(config.rootPath, folder);
    EXPECT_EQ(config.mainClass, "Sample.Game");
    EXPECT_EQ(config.startScene, "Intro");
    EXPECT_EQ(config.mainAssemblyPath, folder / "bin" / "Sample.dll");
    EXPECT_EQ(config.window.width, 640);
    EXPECT_EQ(config.window.height, 480);
    EXPECT_EQ(config.window.title, "Sample Window");
}

TEST_F(ProjectLoaderTest, AbsoluteMainAssemblyIgnoresTheProjectFolder) {
    const fs::path folder = temp.path / "Game";
    const fs::path assembly = temp.path / "elsewhere" / "Game.dll";
    std::string text = Orvane::PathToUtf8(assembly);
    for (char& c : text) {
        if (c == '\\') {
            c = '/';   // a JSON string cannot hold single backslashes
        }
    }
    WriteFile(folder / "project.json", R"({"mainClass": "G", "mainAssembly": ")" + text + "\"}");

    Load(folder, true);
    EXPECT_EQ(config.mainAssemblyPath, assembly);
}

TEST_F(ProjectLoaderTest, NonAsciiNamesSurviveAsUtf8) {
    const std::string folderName = "Spiel-\xC3\x9C";             // "Spiel-Ü"
    const std::string assemblyName = "D\xC3\xA4mon\xE2\x82\xAC.dll";   // "Dämon€.dll"
    const fs::path folder = temp.path / Orvane::Utf8ToPath(folderName);
    WriteFile(folder / "project.json", R"({"mainClass": "G", "mainAssembly": ")" + assemblyName + "\"}");
    WriteFile(folder / Orvane::Utf8ToPath(assemblyName), "");

    Load(folder, true);
    EXPECT_EQ(config.name, folderName);
    EXPECT_EQ(Orvane::PathToUtf8(config.mainAssemblyPath.filename()), assemblyName);
    EXPECT_TRUE(fs::exists(config.mainAssemblyPath));
}

struct FailureCase {
    const char* name;
    std::string json;
    std::string expectedError;
};

TEST_F(ProjectLoaderTest, InvalidFilesFailWithOneErrorLine) {
    const FailureCase cases[] = {
        {"empty file", "", "project.json must define mainClass."},
        {"null main class", R"({"mainClass": null})", "project.json must define mainClass."},
        {"empty main class", R"({"mainClass": ""})", "project.json must define mainClass."},
        {"width above 32 bits", R"({"mainClass": "G", "width": 4294967296})", "stoul argument out of range"},
        {"height above 32 bits", R"({"mainClass": "G", "height": 18446744073709551616})",
         "stoul argument out of range"},
    };
    for (const FailureCase& test : cases) {
        SCOPED_TRACE(test.name);
        WriteFile(temp.path / "p" / "project.json", test.json);
        config = {};
        const auto log = Load(temp.path / "p", false);
        EXPECT_EQ(log.out, "");
        EXPECT_EQ(log.err, "[Error] " + test.expectedError + "\n");
    }
}

TEST_F(ProjectLoaderTest, WrappedSizesPassThrough) {
    WriteFile(temp.path / "p" / "project.json", R"({"mainClass": "G", "width": 4294967295, "height": 0})");
    Load(temp.path / "p", true);
    EXPECT_EQ(config.window.width, -1);
    EXPECT_EQ(config.window.height, 0);
}

TEST_F(ProjectLoaderTest, MissingProjectFileNamesThePathItTried) {
    const fs::path missingFolder = temp.path / "absent" / "Game";
    auto log = Load(missingFolder, false);
    EXPECT_EQ(log.err,
              "[Error] Could not open file: " + Orvane::PathToUtf8(missingFolder / "project.json") + "\n");

    // The project file given instead of its folder.
    const fs::path file = WriteFile(temp.path / "Game" / "project.json", R"({"mainClass": "G"})");
    log = Load(file, false);
    EXPECT_EQ(log.err, "[Error] Could not open file: " + Orvane::PathToUtf8(file / "project.json") + "\n");
}

TEST_F(ProjectLoaderTest, MissingRelativeFolderStaysRelativeInTheMessage) {
    OrvaneTest::CurrentDirectoryScope here(temp.path);
    const fs::path relative = fs::path("nowhere") / "Game";
    const auto log = Load(relative, false);
    EXPECT_EQ(log.err, "[Error] Could not open file: " + Orvane::PathToUtf8(relative / "project.json") + "\n");
}

TEST_F(ProjectLoaderTest, RelativeFolderBecomesCanonical) {
    WriteFile(temp.path / "samples" / "Basic" / "project.json", R"({"mainClass": "G"})");
    OrvaneTest::CurrentDirectoryScope here(temp.path);
    Load(fs::path("samples") / "Basic", true);
    EXPECT_EQ(config.rootPath, temp.path / "samples" / "Basic");
    EXPECT_EQ(config.name, "Basic");
}

} // namespace
