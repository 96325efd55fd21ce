// A termination request (SIGTERM, Ctrl+C...) cuts every wait short, and a host
// that has ended is not left behind: reaped at once on POSIX, tied to the
// runtime by a kill-on-close job on Windows.
#include "BridgeTestSupport.h"

#include "core/Termination.h"

#include <atomic>
#include <memory>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace Orvane::BridgeTest {
namespace {

// Requests termination after a delay, from another thread, as a signal would
// arrive; the request is forgotten again when the test ends.
class DelayedTermination {
public:
    explicit DelayedTermination(int milliseconds)
        : thread([milliseconds] {
              std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
              RequestTermination();
          }) {}
    ~DelayedTermination() {
        thread.join();
        ClearTerminationRequest();
    }
    DelayedTermination(const DelayedTermination&) = delete;
    DelayedTermination& operator=(const DelayedTermination&) = delete;

private:
    std::thread thread;
};

TEST_F(BridgeTest, TerminationEndsEachWaitAtOnce) {
    struct Case {
        const char* name;
        const char* scenario;
        double fullWait;   // seconds the wait takes without the request
    };
    const Case cases[] = {
        {"ready", "hang\n", 5.0},
        {"started", "send READY\nhang\n", 5.0},
        {"frame", "send READY\nexpect START\nsend STARTED\nhang\n", 0.5},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Scenario(test.scenario);
        LogCapture capture;
        ScriptHostBridge::Impl impl;
        std::chrono::steady_clock::time_point start;
        double elapsed = 0;
        {
            const bool readyWait = std::string(test.name) == "ready";
            if (!readyWait) {
                ASSERT_TRUE(impl.Start(config)) << capture.Err();
            }
            if (std::string(test.name) == "frame") {
                impl.SendStart();
                ASSERT_TRUE(impl.started);
            }
            DelayedTermination termination(100);
            start = std::chrono::steady_clock::now();
            if (readyWait) {
                EXPECT_FALSE(impl.Start(config));
                EXPECT_EQ(capture.Err(), std::string("[Error] ") + stoppedDuringStartMessage + "\n");
            } else if (std::string(test.name) == "started") {
                impl.SendStart();
                EXPECT_FALSE(impl.started);
            } else {
                impl.Frame(0.016f);
                EXPECT_FALSE(impl.frameEnded);
            }
            elapsed = SecondsSince(start);
        }
        EXPECT_LT(elapsed, test.fullWait * 0.8) << "the wait ran on after the request";
        EXPECT_GE(elapsed, 0.09);
        impl.Shutdown();
        EXPECT_FALSE(HoldsAnything(impl));
    }
}

#ifndef _WIN32
TEST_F(BridgeTest, HostThatEndedIsReapedByTheNextFrame) {
    Scenario("send READY\nexpect START\nsend STARTED\nexpect FRAME|0.016|\nexit 3\n");
    LogCapture capture;
    ScriptHostBridge::Impl impl;
    ASSERT_TRUE(impl.Start(config)) << capture.Err();
    impl.SendStart();
    const pid_t child = impl.processId;
    impl.Frame(0.016f);   // the host ends while the runtime waits for END_FRAME
    impl.Frame(0.016f);
    EXPECT_EQ(impl.processId, -1);
    // Nothing left to wait for: no zombie remains.
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    impl.Shutdown();
    EXPECT_FALSE(HoldsAnything(impl));
}
#endif

} // namespace
#ifdef _WIN32
namespace {

// Windows calls the console handler on a thread of its own and ends the process
// as soon as a close, log-off or shut-down event's handler returns: the handler
// asks the run to end, then holds on until the run has cleaned up. Ctrl+C and
// Ctrl+Break return at once. (Wine cannot send a close event to a console, so
// this is where that path is checked.)
TEST(ConsoleEventTest, ACloseWaitsForTheRunsCleanUpAndCtrlKeysReturnAtOnce) {
    struct Case {
        const char* name;
        unsigned long event;
        bool waits;
    };
    const Case cases[] = {
        {"Ctrl+C", CTRL_C_EVENT, false},         {"Ctrl+Break", CTRL_BREAK_EVENT, false},
        {"console close", CTRL_CLOSE_EVENT, true}, {"log-off", CTRL_LOGOFF_EVENT, true},
        {"shut-down", CTRL_SHUTDOWN_EVENT, true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        ClearTerminationRequest();
        auto signals = std::make_unique<TerminationSignals>();
        std::atomic<bool> returned{false};
        std::thread handler([&] {
            EXPECT_TRUE(HandleConsoleEvent(test.event));
            returned = true;
        });
        const auto start = std::chrono::steady_clock::now();
        while (!TerminationRequested() && SecondsSince(start) < 2) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(TerminationRequested());
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(returned.load(), !test.waits);
        // The run has cleaned up: a waiting handler lets the process go now,
        // well before its own limit of a few seconds.
        const auto cleanedUp = std::chrono::steady_clock::now();
        signals.reset();
        handler.join();
        EXPECT_LT(SecondsSince(cleanedUp), 2.0);
        ClearTerminationRequest();
    }
    EXPECT_FALSE(HandleConsoleEvent(0xFFFF)) << "an event it does not know is left to the next handler";
    EXPECT_FALSE(TerminationRequested());
}

} // namespace
#endif

} // namespace Orvane::BridgeTest
