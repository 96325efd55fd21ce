// Termination requests from the system, one handler per platform. The flag is the
// only state a handler touches, so it stays async-signal-safe on POSIX.
#include "core/Termination.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace Orvane {

namespace {

std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

#ifdef _WIN32
// Signalled once the run has cleaned up; a console close waits for it.
HANDLE runEnded = nullptr;
// Windows ends the process some seconds after a close event regardless.
constexpr DWORD closeWaitMilliseconds = 4000;

BOOL WINAPI OnConsoleEvent(DWORD event) { return HandleConsoleEvent(event) ? TRUE : FALSE; }
#else
void OnSignal(int) { requested = true; }

void Install(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait in poll or sleep comes back early with EINTR.
    action.sa_flags = 0;
    sigaction(signal, &action, nullptr);
}
#endif

} // namespace

#ifdef _WIN32
bool HandleConsoleEvent(unsigned long event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        requested = true;
        return true;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        requested = true;
        // Returning ends the process at once: let the run send SHUTDOWN first.
        if (runEnded != nullptr) {
            WaitForSingleObject(runEnded, closeWaitMilliseconds);
        }
        return true;
    default:
        return false;
    }
}
#endif

TerminationSignals::TerminationSignals() {
#ifdef _WIN32
    runEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
#else
    // Installed before SDL starts, which then leaves both signals to us.
    Install(SIGTERM, &OnSignal);
    Install(SIGINT, &OnSignal);
#endif
}

TerminationSignals::~TerminationSignals() {
#ifdef _WIN32
    if (runEnded != nullptr) {
        SetEvent(runEnded);
    }
#else
    Install(SIGTERM, SIG_DFL);
    Install(SIGINT, SIG_DFL);
#endif
}

bool TerminationRequested() { return requested.load(std::memory_order_relaxed); }

void RequestTermination() { requested = true; }

void ClearTerminationRequest() { requested = false; }

} // namespace Orvane
