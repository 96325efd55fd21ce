#include "app/Application.h"
#include "app/CommandLine.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "project/ScriptHostLocator.h"
#include "core/Termination.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <timeapi.h>
#elif defined(__linux__)
#include <sys/prctl.h>
#endif

namespace {

// A published game keeps orvane beside its project.json: started without a
// project folder, it runs that game rather than the default sample.
std::filesystem::path DefaultProjectPath() {
    const std::filesystem::path besideExecutable = Orvane::ExecutableDirectory();
    std::error_code error;
    if (std::filesystem::is_regular_file(besideExecutable / "project.json", error)) {
        return besideExecutable;
    }
    return Orvane::defaultProjectFolder;
}

// Options are handled before anything starts; --help and --version print on
// standard output, errors are one line plus the hint on standard error.
int RunApplication(const std::vector<std::string>& arguments) {
    try {
        const Orvane::CommandLine line = Orvane::ParseCommandLine(arguments);
        switch (line.action) {
        case Orvane::CommandLineAction::ShowHelp:
            std::fputs(Orvane::UsageText().c_str(), stdout);
            return 0;
        case Orvane::CommandLineAction::ShowVersion:
            std::fputs((Orvane::VersionText() + "\n").c_str(), stdout);
            return 0;
        case Orvane::CommandLineAction::Fail:
            Orvane::LogError(line.error);
            std::fputs((Orvane::UsageHint() + "\n").c_str(), stderr);
            return 1;
        case Orvane::CommandLineAction::Run:
            break;
        }
        std::string outputError;
        if (!line.options.screenshotPath.empty() &&
            !Orvane::CheckScreenshotTarget(line.options.screenshotPath, outputError)) {
            Orvane::LogError(outputError);
            return 1;
        }
        if (!line.options.recordPath.empty() &&
            !Orvane::CheckOutputTarget(line.options.recordPath, "--record", outputError)) {
            Orvane::LogError(outputError);
            return 1;
        }
        if (!line.options.recordPath.empty() && !line.options.replayPath.empty()) {
            Orvane::LogError("--record and --replay cannot be used together");
            std::fputs((Orvane::UsageHint() + "\n").c_str(), stderr);
            return 1;
        }
        const std::filesystem::path projectPath = line.projectGiven ? line.projectPath : DefaultProjectPath();
        Orvane::Application application;
        return application.Run(projectPath, line.options);
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
    std::vector<std::string> arguments;
    for (int index = 1; index < argc; ++index) {
        arguments.push_back(Orvane::PathToUtf8(std::filesystem::path(argv[index])));
    }
    TimerResolution timerResolution;
    Orvane::TerminationSignals terminationSignals;
    return RunApplication(arguments);
}
#else
int main(int argc, char** argv) {
#ifdef __linux__
    // Linux lets a sleep run up to 50 us long by default (the timer slack), a
    // twentieth of the loop's 1 ms sleep at every frame.
    prctl(PR_SET_TIMERSLACK, 1UL);
#endif
    Orvane::TerminationSignals terminationSignals;
    return RunApplication(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
