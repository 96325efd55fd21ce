// Win32 specifics of the script host process: argument quoting, the working
// folder, how the child ends on shutdown, a host program that cannot be run.
#ifdef _WIN32

#include "BridgeTestSupport.h"

namespace Orvane::BridgeTest {
namespace {

// A handle of our own on the bridge's child, so that its end can still be
// watched after the bridge has closed its handles.
class ProcessWatch {
public:
    explicit ProcessWatch(HANDLE process) {
        if (!DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &handle,
                             SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, 0)) {
            handle = nullptr;
        }
    }
    ~ProcessWatch() {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    ProcessWatch(const ProcessWatch&) = delete;
    ProcessWatch& operator=(const ProcessWatch&) = delete;

    bool Valid() const { return handle != nullptr; }
    bool EndsWithin(DWORD milliseconds) const {
        return WaitForSingleObject(handle, milliseconds) == WAIT_OBJECT_0;
    }
    bool ExitCode(DWORD& code) const { return GetExitCodeProcess(handle, &code) != 0; }

private:
    HANDLE handle = nullptr;
};

// The runtime holds the only handle to the host's job: when it goes (the runtime
// ends, however it ends), the host goes with it.
TEST_F(BridgeTest, HostRunsInAJobThatKillsItWhenTheJobCloses) {
    Scenario("send READY\nserve-ignore-shutdown\n");
    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    ASSERT_NE(impl.jobHandle, nullptr);
    BOOL inJob = FALSE;
    ASSERT_TRUE(IsProcessInJob(impl.processHandle, impl.jobHandle, &inJob));
    EXPECT_TRUE(inJob);

    ProcessWatch watch(impl.processHandle);
    ASSERT_TRUE(watch.Valid());
    EXPECT_FALSE(watch.EndsWithin(200));
    CloseHandle(impl.jobHandle);
    impl.jobHandle = nullptr;
    EXPECT_TRUE(watch.EndsWithin(5000));
    impl.Shutdown();
    EXPECT_FALSE(HoldsAnything(impl));
}

class Win32ChildProcessTest : public BridgeTest {
protected:
    void TearDown() override { bridge.Shutdown(); }

    ScriptHostBridge::Impl bridge;
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
    Scenario("args\nsend READY\nserve\n");

    for (const ArgumentCase& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        ScriptHostBridge::Impl host;
        ScriptHostConfig caseConfig = config;
        caseConfig.mainAssemblyPath =
            temp.path.wstring() + L"\\" + Utf8ToPath(testCase.mainAssembly).wstring();
        caseConfig.mainClass = testCase.mainClass;
        caseConfig.startScene = testCase.startScene;

        LogCapture log;
        ASSERT_TRUE(host.Start(caseConfig)) << log.Err();
        host.Shutdown();

        const std::vector<std::string> arguments = ReportedValues(log.Out(), "ARG");
        ASSERT_EQ(arguments.size(), 6u) << log.Out();
        const std::vector<std::string> expected = {
            "0|" + Utf8(hostFolder / hostFileName),
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
    config.projectPath = temp.path / "project folder";
    fs::create_directories(config.projectPath);
    Scenario("args\nsend READY\nserve\n");
    LogCapture log;
    ASSERT_TRUE(bridge.Start(config)) << log.Err();
    bridge.Shutdown();

    const std::vector<std::string> folders = ReportedValues(log.Out(), "CWD");
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(fs::path(Utf8ToPath(folders[0])).lexically_normal(),
              config.projectPath.lexically_normal());
}

TEST_F(Win32ChildProcessTest, HostIgnoringShutdownIsTerminated) {
    Scenario("send READY\nserve-ignore-shutdown\n");
    LogCapture log;
    ASSERT_TRUE(bridge.Start(config)) << log.Err();

    const ProcessWatch process(bridge.processHandle);
    ASSERT_TRUE(process.Valid());
    bridge.Shutdown();

    EXPECT_TRUE(process.EndsWithin(5000)) << "the host still runs";
    DWORD exitCode = STILL_ACTIVE;
    EXPECT_TRUE(process.ExitCode(exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(HoldsAnything(bridge));
}

TEST_F(Win32ChildProcessTest, HostLeavingOnShutdownReceivesIt) {
    Scenario(RecordCommand() + "send READY\nserve\n");
    LogCapture log;
    ASSERT_TRUE(bridge.Start(config)) << log.Err();

    const ProcessWatch process(bridge.processHandle);
    ASSERT_TRUE(process.Valid());
    bridge.Shutdown();
    EXPECT_TRUE(process.EndsWithin(5000));
    EXPECT_EQ(RecordedLines(), std::vector<std::string>{"SHUTDOWN"});
}

TEST_F(Win32ChildProcessTest, ProgramThatCannotBeStartedLeavesNothingOpen) {
    // A folder named dotnet.exe is found by the host search but cannot be run.
    fs::remove(hostFolder / hostFileName);
    fs::create_directories(hostFolder / hostFileName);
    Scenario("send READY\nserve\n");

    LogCapture log;
    EXPECT_FALSE(bridge.Start(config));
    EXPECT_EQ(log.Err(),
              "[Error] Could not start .NET script host. Make sure dotnet is available on PATH.\n");
    EXPECT_FALSE(HoldsAnything(bridge));
}

} // namespace
} // namespace Orvane::BridgeTest

#endif // _WIN32
