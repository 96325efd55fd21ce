// Win32 specifics of the script host process: argument quoting, the working
// folder, termination of a host that ignores SHUTDOWN, bounded writes.
#ifdef _WIN32

#include "core/Paths.h"
#include "scripting/ScriptHostBridgeImpl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadFileText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Scenario texts treat backslashes as escapes; forward slashes need none.
std::string ScenarioPath(const fs::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

// Captures what the bridge logs while the object lives.
class LogCapture {
public:
    LogCapture() : oldOut(std::cout.rdbuf(out.rdbuf())), oldErr(std::cerr.rdbuf(err.rdbuf())) {}
    ~LogCapture() {
        std::cout.rdbuf(oldOut);
        std::cerr.rdbuf(oldErr);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string Out() const { return out.str(); }
    std::string Err() const { return err.str(); }

private:
    std::ostringstream out;
    std::ostringstream err;
    std::streambuf* oldOut;
    std::streambuf* oldErr;
};

// A private folder with the stand-in host installed as DOTNET_ROOT's dotnet.exe,
// a scenario file in place of the script host assembly and a project folder.
class Win32ChildProcessTest : public testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        root = fs::temp_directory_path() /
               ("orvane-win32proc-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(counter++));
        fs::remove_all(root);
        fs::create_directories(root / "dotnet");
        fs::create_directories(root / "project folder");
        fs::copy_file(ORVANE_STANDIN_HOST, root / "dotnet" / "dotnet.exe");
        SetDotnetRoot(root / "dotnet");

        config.projectPath = root / "project folder";
        config.mainAssemblyPath = root / "project folder" / "Game.dll";
        config.scriptHostPath = root / "Orvane.ScriptHost.dll";
        config.mainClass = "Game.Main";
        config.startScene = "Level1";
    }

    void TearDown() override {
        bridge.Shutdown();
        SetDotnetRoot({});
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    static void SetDotnetRoot(const fs::path& folder) {
        // _wputenv_s updates the C runtime's copy that getenv reads.
        _wputenv_s(L"DOTNET_ROOT", folder.wstring().c_str());
    }

    void WriteScenario(const std::string& text) {
        std::ofstream file(config.scriptHostPath, std::ios::binary);
        file << text;
    }

    // The ARG|i|value lines that the stand-in's "args" command reported.
    static std::vector<std::string> ReportedValues(const std::string& log, const std::string& key) {
        std::vector<std::string> values;
        const std::string marker = "[ScriptHost] " + key + "|";
        for (const std::string& line : SplitLines(log)) {
            const std::size_t at = line.find(marker);
            if (at != std::string::npos) {
                values.push_back(line.substr(at + marker.size()));
            }
        }
        return values;
    }

    fs::path root;
    Orvane::ScriptHostConfig config;
    Orvane::ScriptHostBridge::Impl bridge;
};

struct ArgumentCase {
    const char* name;
    std::string mainAssembly;   // relative to the test folder, may end in a backslash
    std::string mainClass;
    std::string startScene;
};

TEST_F(Win32ChildProcessTest, ArgumentsArriveExactly) {
    const std::vector<ArgumentCase> cases = {
        {"plain", "Game.dll", "Game.Main", "Level1"},
        {"trailing backslash", "Games\\", "Game.Main", "scene\\"},
        {"trailing backslashes", "Games\\\\", "a\\\\", "b\\\\\\"},
        {"inner quotes", "Game.dll", "Say \"hi\"", "\"quoted\""},
        {"backslashes before a quote", "Game.dll", "a\\\"b", "c\\\\\"d"},
        {"empty start scene", "Game.dll", "Game.Main", ""},
        {"spaces and tabs", "with space.dll", "Main Class", "a\tb"},
        {"UTF-8 names", "Spiel.dll", "Spiel.Gr\xc3\xb6\xc3\x9f" "e", "\xe6\x98\x9f \xf0\x9f\x8e\xae"},
    };
    WriteScenario("args\nsend READY\nserve\n");

    for (const ArgumentCase& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        Orvane::ScriptHostBridge::Impl host;
        Orvane::ScriptHostConfig caseConfig = config;
        caseConfig.mainAssemblyPath = root.wstring() + L"\\" +
                                      Orvane::Utf8ToPath(testCase.mainAssembly).wstring();
        caseConfig.mainClass = testCase.mainClass;
        caseConfig.startScene = testCase.startScene;

        LogCapture log;
        ASSERT_TRUE(host.Start(caseConfig)) << log.Err();
        host.Shutdown();

        const std::vector<std::string> arguments = ReportedValues(log.Out(), "ARG");
        ASSERT_EQ(arguments.size(), 6u) << log.Out();
        const std::vector<std::string> expected = {
            "0|" + Utf8(root / "dotnet" / "dotnet.exe"),
            "1|" + Utf8(config.scriptHostPath),
            "2|" + Utf8(caseConfig.mainAssemblyPath),
            "3|" + testCase.mainClass,
            "4|" + Utf8(config.projectPath),
            "5|" + testCase.startScene,
        };
        EXPECT_EQ(arguments, expected);
        EXPECT_EQ(ReportedValues(log.Out(), "ARGC"), std::vector<std::string>{"6"});
    }
}

TEST_F(Win32ChildProcessTest, ChildRunsInTheProjectFolder) {
    WriteScenario("args\nsend READY\nserve\n");
    LogCapture log;
    ASSERT_TRUE(bridge.Start(config)) << log.Err();
    bridge.Shutdown();

    const std::vector<std::string> folders = ReportedValues(log.Out(), "CWD");
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(fs::path(Orvane::Utf8ToPath(folders[0])).lexically_normal(),
              config.projectPath.lexically_normal());
}

TEST_F(Win32ChildProcessTest, HostIgnoringShutdownIsTerminated) {
    WriteScenario("send READY\nserve-ignore-shutdown\n");
    LogCapture log;
    ASSERT_TRUE(bridge.Start(config)) << log.Err();

    HANDLE process = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), bridge.processHandle, GetCurrentProcess(),
                                &process, SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, 0));
    bridge.Shutdown();

    EXPECT_EQ(WaitForSingleObject(process, 5000), WAIT_OBJECT_0) << "the host still runs";
    DWORD exitCode = STILL_ACTIVE;
    EXPECT_TRUE(GetExitCodeProcess(process, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    CloseHandle(process);

    EXPECT_EQ(bridge.processHandle, nullptr);
    EXPECT_EQ(bridge.threadHandle, nullptr);
    EXPECT_EQ(bridge.stdinWrite, nullptr);
    EXPECT_EQ(bridge.stdoutRead, nullptr);
}

TEST_F(Win32ChildProcessTest, HostLeavingOnShutdownReceivesIt) {
    const fs::path record = root / "input.txt";
    WriteScenario("record " + ScenarioPath(record) + "\nsend READY\nserve\n");
    LogCapture log;
    ASSERT_TRUE(bridge.Start(config)) << log.Err();

    HANDLE process = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), bridge.processHandle, GetCurrentProcess(),
                                &process, SYNCHRONIZE, FALSE, 0));
    bridge.Shutdown();
    EXPECT_EQ(WaitForSingleObject(process, 5000), WAIT_OBJECT_0);
    CloseHandle(process);
    EXPECT_EQ(SplitLines(ReadFileText(record)), std::vector<std::string>{"SHUTDOWN"});
}

TEST_F(Win32ChildProcessTest, ProgramThatCannotBeStartedLeavesNothingOpen) {
    // A folder named dotnet.exe is found by the host search but cannot be run.
    fs::remove(root / "dotnet" / "dotnet.exe");
    fs::create_directories(root / "dotnet" / "dotnet.exe");
    WriteScenario("send READY\nserve\n");

    LogCapture log;
    EXPECT_FALSE(bridge.Start(config));
    EXPECT_EQ(log.Err(),
              "[Error] Could not start .NET script host. Make sure dotnet is available on PATH.\n");
    EXPECT_EQ(bridge.processHandle, nullptr);
    EXPECT_EQ(bridge.threadHandle, nullptr);
    EXPECT_EQ(bridge.stdinWrite, nullptr);
    EXPECT_EQ(bridge.stdoutRead, nullptr);
}

TEST_F(Win32ChildProcessTest, MissingProjectFolderFailsTheStart) {
    // The project folder is the child's working folder; process creation needs it.
    config.projectPath = root / "no such folder";
    WriteScenario("send READY\nserve\n");
    LogCapture log;
    EXPECT_FALSE(bridge.Start(config));
    EXPECT_EQ(log.Err(),
              "[Error] Could not start .NET script host. Make sure dotnet is available on PATH.\n");
}

TEST_F(Win32ChildProcessTest, WriteToHostThatStoppedReadingReturns) {
    WriteScenario("send READY\nstop-reading\n");
    LogCapture log;
    ASSERT_TRUE(bridge.Start(config)) << log.Err();

    // Far more than any pipe buffer holds: without a bound this never returns.
    const std::string huge(1 << 20, 'x');
    bridge.WriteLine(huge);
    bridge.WriteLine(huge);
    bridge.WriteLine("FRAME|0.0166667|");

    const std::string out = log.Out();
    std::size_t warnings = 0;
    for (std::size_t at = out.find("[Warn] "); at != std::string::npos;
         at = out.find("[Warn] ", at + 1)) {
        ++warnings;
    }
    EXPECT_EQ(warnings, 1u) << "one warning per stall:\n" << out;

    HANDLE process = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), bridge.processHandle, GetCurrentProcess(),
                                &process, SYNCHRONIZE, FALSE, 0));
    bridge.Shutdown();
    EXPECT_EQ(WaitForSingleObject(process, 5000), WAIT_OBJECT_0);
    CloseHandle(process);
}

TEST_F(Win32ChildProcessTest, LineAfterADroppedRemainderArrivesWhole) {
    // The host reads nothing for a while; the stalled line is cut short, and the
    // next line must not be glued to its front part.
    const fs::path record = root / "input.txt";
    WriteScenario("send READY\nsleep 2500\nrecord " + ScenarioPath(record) + "\nserve\n");
    LogCapture log;
    ASSERT_TRUE(bridge.Start(config)) << log.Err();

    bridge.WriteLine(std::string(1 << 20, 'x'));
    EXPECT_NE(log.Out().find("[Warn] "), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));   // the host reads again
    bridge.WriteLine("FRAME|0.05|");
    bridge.Shutdown();

    const std::vector<std::string> lines = SplitLines(ReadFileText(record));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].find_first_not_of('x'), std::string::npos);
    EXPECT_FALSE(lines[0].empty());
    EXPECT_LT(lines[0].size(), std::size_t{1} << 20);
    EXPECT_EQ(lines[1], "FRAME|0.05|");
    EXPECT_EQ(lines[2], "SHUTDOWN");
}

TEST_F(Win32ChildProcessTest, StderrSharesThePipeWithStdout) {
    WriteScenario("send READY\nstderr to stderr\nsend to stdout\nserve\n");
    LogCapture log;
    ASSERT_TRUE(bridge.Start(config)) << log.Err();
    bridge.WaitFor("END_FRAME", 300);   // drains what the host wrote after READY
    const std::string out = log.Out();
    const std::size_t fromStderr = out.find("[Info] [ScriptHost] to stderr\n");
    const std::size_t fromStdout = out.find("[Info] [ScriptHost] to stdout\n");
    ASSERT_NE(fromStderr, std::string::npos) << out;
    ASSERT_NE(fromStdout, std::string::npos) << out;
    EXPECT_LT(fromStderr, fromStdout);
}

} // namespace

#endif // _WIN32
