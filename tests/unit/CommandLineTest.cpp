#include "support/TestSupport.h"

#include "app/CommandLine.h"

#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Orvane::CommandLineAction;
using Orvane::ParseCommandLine;
using OrvaneTest::TempFolder;
using OrvaneTest::WriteFile;

struct AcceptedCase {
    const char* name;
    std::vector<std::string> arguments;
    CommandLineAction action;
    std::string project;   // empty: the default, not given
    std::optional<std::int64_t> frames;
    std::optional<float> step;
    std::string screenshot;
    bool headless;
};

TEST(CommandLineTest, AcceptedArgumentsSetProjectAndOptions) {
    using A = CommandLineAction;
    const AcceptedCase cases[] = {
        {"nothing", {}, A::Run, "", {}, {}, "", false},
        {"project only", {"games/Mine"}, A::Run, "games/Mine", {}, {}, "", false},
        {"further arguments ignored", {"first", "second", "third"}, A::Run, "first", {}, {}, "", false},
        {"frames with a separate value", {"--frames", "60"}, A::Run, "", 60, {}, "", false},
        {"frames with =", {"--frames=1"}, A::Run, "", 1, {}, "", false},
        {"options after the project", {"proj", "--frames", "3", "--headless"}, A::Run, "proj", 3, {}, "", true},
        {"options around the project", {"--headless", "proj", "--frames", "2"}, A::Run, "proj", 2, {}, "", true},
        {"fixed step", {"--fixed-step", "0.016"}, A::Run, "", {}, 0.016f, "", false},
        {"fixed step zero", {"--fixed-step=0"}, A::Run, "", {}, 0.0f, "", false},
        {"fixed step too large is kept for the clamp", {"--fixed-step", "7"}, A::Run, "", {}, 1.0f, "", false},
        {"fixed step negative is kept for the clamp", {"--fixed-step", "-0.5"}, A::Run, "", {}, -0.5f, "", false},
        {"fixed step exponent", {"--fixed-step", "2e-2"}, A::Run, "", {}, 0.02f, "", false},
        {"screenshot", {"--screenshot", "out/shot.png", "p"}, A::Run, "p", {}, {}, "out/shot.png", false},
        {"screenshot with =", {"--screenshot=a=b.png"}, A::Run, "", {}, {}, "a=b.png", false},
        {"double dash ends options", {"--", "--frames"}, A::Run, "--frames", {}, {}, "", false},
        {"double dash after the project", {"proj", "--", "--bogus"}, A::Run, "proj", {}, {}, "", false},
        {"single dash is a folder", {"-"}, A::Run, "-", {}, {}, "", false},
        {"one-dash word is a folder", {"-frames"}, A::Run, "-frames", {}, {}, "", false},
        {"last value wins", {"--frames", "5", "--frames", "9"}, A::Run, "", 9, {}, "", false},
        {"help", {"--help"}, A::ShowHelp, "", {}, {}, "", false},
        {"help stops at once", {"--help", "--bogus"}, A::ShowHelp, "", {}, {}, "", false},
        {"version", {"proj", "--version"}, A::ShowVersion, "proj", {}, {}, "", false},
    };
    for (const AcceptedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Orvane::CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.action, c.action);
        EXPECT_EQ(line.error, "");
        EXPECT_EQ(line.projectGiven, !c.project.empty());
        EXPECT_EQ(line.projectPath, c.project.empty() ? fs::path(Orvane::defaultProjectFolder) : fs::path(c.project));
        EXPECT_EQ(line.options.frameLimit, c.frames);
        ASSERT_EQ(line.options.fixedStep.has_value(), c.step.has_value());
        if (c.step) {
            EXPECT_FLOAT_EQ(*line.options.fixedStep, *c.step);
        }
        EXPECT_EQ(line.options.screenshotPath, fs::path(c.screenshot));
        EXPECT_EQ(line.options.headless, c.headless);
    }
}

struct RejectedCase {
    const char* name;
    std::vector<std::string> arguments;
    std::string error;
};

TEST(CommandLineTest, BadArgumentsFailWithOneMessageNamingThem) {
    const RejectedCase cases[] = {
        {"unknown option", {"--bogus"}, "Unknown option: --bogus"},
        {"unknown option with a value", {"--bogus=3"}, "Unknown option: --bogus"},
        {"unknown before help", {"--fast", "--help"}, "Unknown option: --fast"},
        {"frames without a value", {"--frames"}, "--frames needs a value: --frames N"},
        {"frames followed by an option", {"--frames", "--headless"}, "--frames needs a value: --frames N"},
        {"frames followed by the end of options", {"--frames", "--", "p"}, "--frames needs a value: --frames N"},
        {"frames zero", {"--frames", "0"}, "--frames needs a whole number of frames, at least 1; got '0'"},
        {"frames negative", {"--frames", "-1"}, "--frames needs a whole number of frames, at least 1; got '-1'"},
        {"frames fraction", {"--frames", "2.5"}, "--frames needs a whole number of frames, at least 1; got '2.5'"},
        {"frames word", {"--frames=ten"}, "--frames needs a whole number of frames, at least 1; got 'ten'"},
        {"frames empty", {"--frames="}, "--frames needs a whole number of frames, at least 1; got ''"},
        {"frames trailing junk", {"--frames", "10x"}, "--frames needs a whole number of frames, at least 1; got '10x'"},
        {"frames beyond 64 bits", {"--frames", "99999999999999999999"},
         "--frames needs a whole number of frames, at least 1; got '99999999999999999999'"},
        {"fixed step nan", {"--fixed-step", "nan"},
         "--fixed-step needs a time step in seconds, a finite number such as 0.016; got 'nan'"},
        {"fixed step infinite", {"--fixed-step", "inf"},
         "--fixed-step needs a time step in seconds, a finite number such as 0.016; got 'inf'"},
        {"fixed step comma", {"--fixed-step", "0,016"},
         "--fixed-step needs a time step in seconds, a finite number such as 0.016; got '0,016'"},
        {"fixed step missing", {"--fixed-step"}, "--fixed-step needs a value: --fixed-step SECONDS"},
        {"screenshot missing", {"proj", "--screenshot"}, "--screenshot needs a value: --screenshot FILE"},
        {"screenshot empty", {"--screenshot="}, "--screenshot needs a file name"},
        {"flag with a value", {"--headless=yes"}, "--headless takes no value; got 'yes'"},
    };
    for (const RejectedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Orvane::CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.action, CommandLineAction::Fail);
        EXPECT_EQ(line.error, c.error);
    }
}

TEST(CommandLineTest, UsageNamesEveryOptionAndTheVersionItsNumber) {
    const std::string usage = Orvane::UsageText();
    EXPECT_EQ(usage.rfind("Usage: orvane [options] [project-folder]\n", 0), 0u);
    for (const char* option : {"--frames N", "--screenshot FILE", "--fixed-step SECONDS", "--headless", "--help",
                               "--version"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(Orvane::VersionText(), std::string("orvane ") + ORVANE_TEST_VERSION);
    EXPECT_NE(Orvane::UsageHint().find("--help"), std::string::npos);
}

TEST(CommandLineTest, ScreenshotTargetNeedsAWritableFileInAnExistingFolder) {
    TempFolder temp;
    std::string error;

    EXPECT_TRUE(Orvane::CheckScreenshotTarget(temp.path / "shot.png", error)) << error;
    EXPECT_FALSE(fs::exists(temp.path / "shot.png")) << "the probe file stays behind";

    const fs::path kept = WriteFile(temp.path / "kept.png", "old");
    EXPECT_TRUE(Orvane::CheckScreenshotTarget(kept, error)) << error;
    EXPECT_EQ(fs::file_size(kept), 3u) << "an existing file was changed by the check";

    error.clear();
    EXPECT_FALSE(Orvane::CheckScreenshotTarget(temp.path / "missing" / "shot.png", error));
    EXPECT_EQ(error.rfind("--screenshot folder does not exist: ", 0), 0u) << error;
    EXPECT_NE(error.find("missing"), std::string::npos) << error;

    error.clear();
    EXPECT_FALSE(Orvane::CheckScreenshotTarget(temp.path, error));
    EXPECT_EQ(error.rfind("--screenshot names a folder, not a file: ", 0), 0u) << error;

#ifdef __linux__
    // A folder that exists but takes no new files, for root too (permission
    // bits would not stop root).
    error.clear();
    EXPECT_FALSE(Orvane::CheckScreenshotTarget("/proc/self/shot.png", error));
    EXPECT_EQ(error, "--screenshot file cannot be written: /proc/self/shot.png");
#endif
}

} // namespace
