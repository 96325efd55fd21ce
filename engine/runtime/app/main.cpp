#include "app/Application.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Termination.h"

#include <exception>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#include <timeapi.h>
#endif

namespace {

const char* const defaultProjectPath = "samples/BasicGame";

int RunApplication(const std::filesystem::path& projectPath) {
    try {
        Orvane::Application application;
        return application.Run(projectPath);
    } catch (const std::exception& error) {
        // Run has no handler of its own (a file-system error while searching, say).
        Orvane::LogError(error.what());
        return 1;
    }
}

#ifdef _WIN32
// Sleep(1) waits a whole timer tick (15.6 ms by default) unless the run asks for
// 1 ms resolution; it is given back when the run ends.
class TimerResolution {
public:
    TimerResolution() : granted(timeBeginPeriod(1) == TIMERR_NOERROR) {}
    ~TimerResolution() {
        if (granted) {
            timeEndPeriod(1);
        }
    }
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;

private:
    bool granted;
};
#endif

} // namespace

#ifdef _WIN32
// The wide command line keeps characters outside the ANSI code page.
int wmain(int argc, wchar_t** argv) {
    const std::filesystem::path projectPath = argc > 1 ? std::filesystem::path(argv[1])
                                                       : std::filesystem::path(defaultProjectPath);
    TimerResolution timerResolution;
    Orvane::TerminationSignals terminationSignals;
    return RunApplication(projectPath);
}
#else
int main(int argc, char** argv) {
    const std::filesystem::path projectPath = argc > 1 ? Orvane::Utf8ToPath(argv[1])
                                                       : std::filesystem::path(defaultProjectPath);
    Orvane::TerminationSignals terminationSignals;
    return RunApplication(projectPath);
}
#endif
