// The script host child process over real pipes: its command line and working
// folder, start failures, shutdown and termination, and writes to a child that
// stopped reading.
#include "BridgeTestSupport.h"

#include <thread>

#ifndef _WIN32
#include <cerrno>
#include <sys/wait.h>
#endif

namespace Orvane::BridgeTest {
namespace {

const char* const startFailed =
    "[Error] Could not start .NET script host. Make sure dotnet is available on PATH.\n";

// The argument values without their index, then the working folder and the
// argument count.
std::vector<std::string> ReportedArguments(const std::string& logText) {
    std::vector<std::string> values;
    for (const std::string& indexAndValue : ReportedValues(logText, "ARG")) {
        values.push_back(indexAndValue.substr(indexAndValue.find('|') + 1));
    }
    for (const char* key : {"CWD", "ARGC"}) {
        for (std::string& value : ReportedValues(logText, key)) {
            values.push_back(std::move(value));
        }
    }
    return values;
}

struct ArgumentCase {
    const char* name;
    const char* projectFolderName;
    bool trailingSeparator;   // the project path ends in a separator
    const char* mainClass;
    const char* startScene;
};

// gtest would print an unknown parameter as raw bytes, padding included.
void PrintTo(const ArgumentCase& test, std::ostream* out) { *out << test.name; }

class ArgumentTest : public BridgeTest, public ::testing::WithParamInterface<ArgumentCase> {};

TEST_P(ArgumentTest, SixArgumentsAndTheProjectFolderArriveIntact) {
    const ArgumentCase& param = GetParam();
    projectFolder = temp.path / Utf8ToPath(param.projectFolderName);
    fs::create_directories(projectFolder);
    config.projectPath = param.trailingSeparator ? projectFolder / "" : projectFolder;
    config.mainAssemblyPath = projectFolder / "Game.dll";
    config.mainClass = param.mainClass;
    config.startScene = param.startScene;
    Scenario("args\nsend READY\nserve\n");

    LogCapture capture;
    {
        ScriptHostBridge::Impl impl;
        ASSERT_TRUE(impl.Start(config)) << capture.Err();
        EXPECT_EQ(impl.projectPath, config.projectPath);
    }

    const std::vector<std::string> values = ReportedArguments(capture.Out());
    ASSERT_EQ(values.size(), 8u) << capture.Out();
    EXPECT_EQ(fs::path(Utf8ToPath(values[0])).filename(), fs::path(hostFileName));
    EXPECT_TRUE(fs::equivalent(Utf8ToPath(values[0]), hostFolder / hostFileName)) << values[0];
    EXPECT_EQ(values[1], Utf8(config.scriptHostPath));
    EXPECT_EQ(values[2], Utf8(config.mainAssemblyPath));
    EXPECT_EQ(values[3], param.mainClass);
    EXPECT_EQ(values[4], Utf8(config.projectPath));
    EXPECT_EQ(values[5], param.startScene);
    EXPECT_TRUE(fs::equivalent(Utf8ToPath(values[6]), projectFolder)) << "working folder " << values[6];
    EXPECT_EQ(values[7], "6");
}

INSTANTIATE_TEST_SUITE_P(
    Values, ArgumentTest,
    ::testing::Values(
        ArgumentCase{"Plain", "project", false, "Game.Main", "Main"},
        ArgumentCase{"SpacesAndNonAscii", "my project \xC3\xA9t\xC3\xA9", false,
                     "My Game.Main \xC3\x9C", "Level 1 \xE2\x80\x93 Caf\xC3\xA9"},
        ArgumentCase{"EmptyScene", "project", false, "Game.Main", ""},
        ArgumentCase{"TrailingBackslashAndQuote", "project", false, "Game\\Main\\",
                     "say \"hi\" now"},
        ArgumentCase{"LoneQuoteAndBackslashBeforeQuote", "project", false, "\"",
                     "a\\\"b\\\\"},
        ArgumentCase{"ProjectPathEndingInSeparator", "with space", true, "Game.Main", "Main"}),
    [](const ::testing::TestParamInfo<ArgumentCase>& info) { return std::string(info.param.name); });

TEST_F(BridgeTest, StandardErrorArrivesThroughTheOutputPipeInOrder) {
    Scenario("send one\nstderr two on stderr\nsend three\nsend READY\nserve\n");

    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();

    const std::string out = capture.Out();
    const std::size_t one = out.find("[Info] [ScriptHost] one\n");
    const std::size_t two = out.find("[Info] [ScriptHost] two on stderr\n");
    const std::size_t three = out.find("[Info] [ScriptHost] three\n");
    ASSERT_NE(one, std::string::npos) << out;
    ASSERT_NE(two, std::string::npos) << out;
    ASSERT_NE(three, std::string::npos) << out;
    EXPECT_LT(one, two);
    EXPECT_LT(two, three);
    EXPECT_NE(out.find("[Info] C# script host started.\n"), std::string::npos);
    EXPECT_EQ(capture.Err(), "");
}

#ifdef __linux__
std::size_t OpenDescriptorCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}
#endif

struct StartFailureCase {
    const char* name;
    bool hostMissing;      // no .NET host anywhere: DOTNET_ROOT, profile and PATH are empty
    bool projectMissing;   // the working folder does not exist
};

void PrintTo(const StartFailureCase& test, std::ostream* out) { *out << test.name; }

class StartFailureTest : public BridgeTest, public ::testing::WithParamInterface<StartFailureCase> {};

TEST_P(StartFailureTest, FailsWithOneMessageAndLeavesNothingOpen) {
    const StartFailureCase& param = GetParam();
    const fs::path emptyFolder = temp.path / "empty";
    fs::create_directories(emptyFolder);
    std::optional<ScopedEnvironment> root, profile, home, path;
    if (param.hostMissing) {
        root.emplace("DOTNET_ROOT", Utf8(emptyFolder));
        profile.emplace("USERPROFILE", Utf8(emptyFolder));
        home.emplace("HOME", Utf8(emptyFolder));
        path.emplace("PATH", Utf8(emptyFolder));
    }
    if (param.projectMissing) {
        config.projectPath = temp.path / "no such project";
    }
    Scenario(RecordCommand() + "send READY\nserve\n");
#ifdef __linux__
    const std::size_t descriptorsBefore = OpenDescriptorCount();
#endif

    LogCapture capture;
    ScriptHostBridge::Impl impl;
    EXPECT_FALSE(impl.Start(config));

    EXPECT_EQ(capture.Err(), startFailed);
    EXPECT_EQ(capture.Out(), "");
    EXPECT_FALSE(HoldsAnything(impl));
    EXPECT_FALSE(impl.ready);
    EXPECT_FALSE(fs::exists(RecordFile())) << "the stand-in must not have run";
#ifdef __linux__
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
#endif
    impl.Shutdown();
    EXPECT_EQ(capture.Err(), startFailed);
}

INSTANTIATE_TEST_SUITE_P(Cases, StartFailureTest,
                         ::testing::Values(StartFailureCase{"HostMissing", true, false},
                                           StartFailureCase{"ProjectFolderMissing", false, true}),
                         [](const ::testing::TestParamInfo<StartFailureCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(BridgeTest, BareHostNameIsFoundOnPath) {
    const fs::path emptyFolder = temp.path / "empty";
    fs::create_directories(emptyFolder);
    ScopedEnvironment root("DOTNET_ROOT", Utf8(emptyFolder));
    ScopedEnvironment profile("USERPROFILE", Utf8(emptyFolder));
    ScopedEnvironment home("HOME", Utf8(emptyFolder));
    ScopedEnvironment path("PATH", Utf8(hostFolder));
    Scenario("args\nsend READY\nserve\n");

    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    const std::vector<std::string> values = ReportedArguments(capture.Out());
    ASSERT_EQ(values.size(), 8u) << capture.Out();
    EXPECT_EQ(values[7], "6");
}

// Also the case of a host that ends before READY: the wait runs to its limit.
TEST_F(BridgeTest, HostThatEndsBeforeReadyFailsAfterTheReadyLimit) {
    Scenario("send LOG|Info|early line\nexit 0\n");

    LogCapture capture;
    ScriptHostBridge::Impl impl;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(impl.Start(config));
    const double elapsed = SecondsSince(start);

    EXPECT_EQ(capture.Err(), "[Error] Script host did not become ready.\n");
    EXPECT_NE(capture.Out().find("[Info] early line\n"), std::string::npos) << capture.Out();
    EXPECT_EQ(capture.Out().find("C# script host started."), std::string::npos);
    EXPECT_GE(elapsed, 4.9);
    EXPECT_LT(elapsed, 30.0);
    EXPECT_FALSE(HoldsAnything(impl));
}

TEST_F(BridgeTest, ShutdownSendsShutdownOnceAndCanRunAgain) {
    Scenario(RecordCommand() + "send READY\nserve\n");

    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    impl.Shutdown();
    EXPECT_FALSE(HoldsAnything(impl));
    impl.Shutdown();
    impl.WriteLine("AFTER");
    impl.ReadAvailableLines();
    EXPECT_FALSE(HoldsAnything(impl));

    EXPECT_EQ(RecordedLines(), std::vector<std::string>{"SHUTDOWN"});
    EXPECT_EQ(capture.Err(), "");
}

TEST_F(BridgeTest, HostThatIgnoresShutdownIsTerminated) {
    Scenario(RecordCommand() + "send READY\nserve-ignore-shutdown\n");

    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
#ifndef _WIN32
    const pid_t child = impl.processId;
    ASSERT_GT(child, 0);
#endif
    const auto start = std::chrono::steady_clock::now();
    impl.Shutdown();
    const double elapsed = SecondsSince(start);

    EXPECT_GE(elapsed, 0.25) << "the host gets its grace period first";
    EXPECT_LT(elapsed, 10.0);
    EXPECT_FALSE(HoldsAnything(impl));
    EXPECT_EQ(RecordedLines(), std::vector<std::string>{"SHUTDOWN"});
#ifndef _WIN32
    // Reaped: no zombie is left behind.
    int status = 0;
    errno = 0;
    EXPECT_EQ(waitpid(child, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
#endif
}

TEST_F(BridgeTest, LongLineToAHostThatReadsArrivesWhole) {
    // Many times what a pipe holds: it goes out in many partial writes, and only a
    // full pipe may make the writer pause.
    Scenario(RecordCommand() + "send READY\nserve\n");

    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    const std::string longLine(512 * 1024, 'y');
    impl.WriteLine(longLine);
    impl.Shutdown();

    const std::vector<std::string> lines = RecordedLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), longLine.size());
    EXPECT_EQ(lines[0], longLine);
    EXPECT_EQ(lines[1], "SHUTDOWN");
    EXPECT_EQ(capture.Out().find("[Warn] "), std::string::npos) << capture.Out();
}

TEST_F(BridgeTest, ChildThatStopsReadingDoesNotBlockWritesForEver) {
    Scenario("send READY\nstop-reading\n");

    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();

    // Far more than any pipe holds.
    const std::string huge(4 * 1024 * 1024, 'x');
    const auto start = std::chrono::steady_clock::now();
    impl.WriteLine(huge);
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_EQ(CountOccurrences(capture.Out(), "[Warn] "), 1u) << capture.Out();

    // The child is still stalled: later lines, long or short, do not wait again
    // or warn again.
    impl.WriteLine(huge);
    for (int i = 0; i < 5; ++i) {
        impl.WriteLine("FRAME|0.016|");
    }
    EXPECT_EQ(CountOccurrences(capture.Out(), "[Warn] "), 1u) << capture.Out();

    impl.Shutdown();
    EXPECT_FALSE(HoldsAnything(impl));
    EXPECT_LT(SecondsSince(start), 20.0);
}

TEST_F(BridgeTest, LineAfterADroppedRemainderArrivesWhole) {
    // The host reads nothing for a while; the stalled line is cut short, and the
    // next line must not be glued to its front part.
    Scenario("send READY\n" + AwaitGateCommand() + RecordCommand() + "serve\n");
    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();

    impl.WriteLine(std::string(1 << 20, 'x'));
    EXPECT_NE(capture.Out().find("[Warn] "), std::string::npos);
    OpenGate();   // the host reads again
    WriteOnceTheHostReads(impl, "FRAME|0.05|");
    impl.Shutdown();

    const std::vector<std::string> lines = RecordedLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].find_first_not_of('x'), std::string::npos);
    EXPECT_FALSE(lines[0].empty());
    EXPECT_LT(lines[0].size(), std::size_t{1} << 20);
    EXPECT_EQ(lines[1], "FRAME|0.05|");
    EXPECT_EQ(lines[2], "SHUTDOWN");
}

} // namespace
} // namespace Orvane::BridgeTest

namespace Orvane::BridgeTest {
namespace {

// Whether line is text whole, or a front part of it ended with the cancel byte.
bool WholeOrMarkedFragment(const std::string& line, const std::string& text) {
    if (line == text) {
        return true;
    }
    return !line.empty() && line.back() == cancelLineByte &&
           text.compare(0, line.size() - 1, line, 0, line.size() - 1) == 0;
}

TEST_F(BridgeTest, LinesToAStalledHostArriveWholeOrMarkedAsCut) {
    // The host reads nothing for a while; far more frame lines than the pipe
    // holds are written meanwhile. None may arrive as a shorter valid line.
    Scenario(RecordCommand() + "send READY\n" + AwaitGateCommand() + "serve\n");
    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();

    const std::string frame = "FRAME|0.016|37,65";
    for (int i = 0; i < 20000; ++i) {
        impl.WriteLine(frame);
    }
    OpenGate();   // the host reads again
    WriteOnceTheHostReads(impl, frame);
    impl.Shutdown();

    const std::vector<std::string> lines = RecordedLines();
    ASSERT_GE(lines.size(), 3u);
    std::size_t marked = 0;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        ASSERT_TRUE(WholeOrMarkedFragment(lines[i], frame)) << "line " << i << ": " << lines[i];
        marked += lines[i] != frame;
    }
    EXPECT_EQ(lines.back(), "SHUTDOWN");
#ifndef _WIN32
    // Linux tells how much the pipe takes: a short line is sent whole or not at all.
    EXPECT_EQ(marked, 0u);
#endif
    EXPECT_EQ(CountOccurrences(capture.Out(), "[Warn] Script host is not reading"), 1u) << capture.Out();
}

struct CutLineCase {
    const char* name;
    bool version2;
    std::string line;   // larger than any pipe, so it is cut on every platform
    bool marked;
};

void PrintTo(const CutLineCase& test, std::ostream* out) { *out << test.name; }

class CutLineTest : public BridgeTest, public ::testing::WithParamInterface<CutLineCase> {};

TEST_P(CutLineTest, FragmentOfALineLargerThanThePipe) {
    const CutLineCase& test = GetParam();
    Scenario(std::string(test.version2 ? "send PROTOCOL|2\n" : "") +
             "send READY\nexpect START\nsend STARTED\n" + AwaitGateCommand() + RecordCommand() + "serve\n");
    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    impl.SendStart();
    ASSERT_EQ(impl.protocolVersion, test.version2 ? 2 : 1);

    impl.WriteLine(test.line);
    OpenGate();   // the host reads again
    WriteOnceTheHostReads(impl, "COLLISION|1|2");
    impl.Shutdown();

    const std::vector<std::string> lines = RecordedLines();
    ASSERT_EQ(lines.size(), 3u);
    ASSERT_FALSE(lines[0].empty());
    EXPECT_LT(lines[0].size(), test.line.size());
    EXPECT_EQ(lines[0].back() == cancelLineByte, test.marked);
    const std::size_t front = lines[0].size() - (test.marked ? 1 : 0);
    EXPECT_EQ(lines[0].compare(0, front, test.line, 0, front), 0);
    EXPECT_EQ(lines[1], "COLLISION|1|2");
    EXPECT_EQ(lines[2], "SHUTDOWN");
}

std::string FrameWithKeys(std::size_t bytes) {
    std::string line = "FRAME|0.016|";
    while (line.size() < bytes) {
        line += "37,";
    }
    return line + "65";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CutLineTest,
    ::testing::Values(CutLineCase{"v1_command", false, FrameWithKeys(1 << 20), true},
                      CutLineCase{"v1_no_command", false, std::string(1 << 20, 'x'), false},
                      CutLineCase{"v2_command", true, FrameWithKeys(1 << 20), true},
                      CutLineCase{"v2_no_command", true, std::string(1 << 20, 'x'), true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace Orvane::BridgeTest
