#pragma once

namespace Orvane {

// A request from outside to end the run: SIGTERM or SIGINT on POSIX; Ctrl+C,
// Ctrl+Break or closing the console on Windows. The run ends as a window close
// does; the waits of the start-up and the frame exchange give up at once.
//
// One object in main installs the handlers for the process's life. On Windows a
// console close ends the process once the handler returns, so the handler waits
// (a few seconds at most) until this object is destroyed, after the run's clean-up.
class TerminationSignals {
public:
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;
};

bool TerminationRequested();

// What the handlers do; for tests, and for anything else that must end the run.
void RequestTermination();
#ifdef _WIN32
// The console handler's work, as Windows calls it with a CTRL_* event: true when
// handled. A close, log-off or shut-down event returns only once the run has
// cleaned up (TerminationSignals destroyed), or after a few seconds.
bool HandleConsoleEvent(unsigned long event);
#endif

// Forgets an earlier request (tests only).
void ClearTerminationRequest();

} // namespace Orvane
