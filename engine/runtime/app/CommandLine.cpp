#include "app/CommandLine.h"

#include "core/Paths.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <string_view>
#include <system_error>

#ifndef ORVANE_VERSION
#error "ORVANE_VERSION comes from the VERSION file through CMake"
#endif

namespace Orvane {

namespace fs = std::filesystem;

namespace {

// One option's effect on the command line; false after setting line.error.
using ApplyOption = bool (*)(CommandLine& line, std::string_view option, std::string_view value);

struct OptionSpec {
    std::string_view name;
    // Empty for a flag; otherwise the value's name in the usage text.
    std::string_view valueName;
    std::string_view help;
    ApplyOption apply;
};

bool Fail(CommandLine& line, std::string message) {
    line.action = CommandLineAction::Fail;
    line.error = std::move(message);
    return false;
}

std::string Quoted(std::string_view value) { return "'" + std::string(value) + "'"; }

bool ApplyFrames(CommandLine& line, std::string_view option, std::string_view value) {
    std::int64_t frames = 0;
    const auto result = std::from_chars(value.data(), value.data() + value.size(), frames);
    if (result.ec != std::errc() || result.ptr != value.data() + value.size() || frames < 1) {
        return Fail(line, std::string(option) + " needs a whole number of frames, at least 1; got " + Quoted(value));
    }
    line.options.frameLimit = frames;
    return true;
}

bool ApplyFixedStep(CommandLine& line, std::string_view option, std::string_view value) {
    double seconds = 0;
    // from_chars reads the classic decimal form whatever the locale; it also takes
    // "nan" and "inf", which are no step.
    const auto result = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (result.ec != std::errc() || result.ptr != value.data() + value.size() || !std::isfinite(seconds)) {
        return Fail(line, std::string(option) + " needs a time step in seconds, a finite number such as 0.016; got " +
                              Quoted(value));
    }
    // Beyond float range it is still a step; the run clamps it like a measured one.
    line.options.fixedStep = static_cast<float>(std::clamp(seconds, -1.0, 1.0));
    return true;
}

bool ApplyScreenshot(CommandLine& line, std::string_view option, std::string_view value) {
    if (value.empty()) {
        return Fail(line, std::string(option) + " needs a file name");
    }
    line.options.screenshotPath = Utf8ToPath(std::string(value));
    return true;
}

bool ApplyWatch(CommandLine& line, std::string_view, std::string_view) {
    line.options.watch = true;
    return true;
}

bool ApplyRecord(CommandLine& line, std::string_view option, std::string_view value) {
    if (value.empty()) {
        return Fail(line, std::string(option) + " needs a file name");
    }
    line.options.recordPath = Utf8ToPath(std::string(value));
    return true;
}

bool ApplyReplay(CommandLine& line, std::string_view option, std::string_view value) {
    if (value.empty()) {
        return Fail(line, std::string(option) + " needs a file name");
    }
    line.options.replayPath = Utf8ToPath(std::string(value));
    return true;
}

bool ApplyHeadless(CommandLine& line, std::string_view, std::string_view) {
    line.options.headless = true;
    return true;
}

bool ApplyHelp(CommandLine& line, std::string_view, std::string_view) {
    line.action = CommandLineAction::ShowHelp;
    return true;
}

bool ApplyVersion(CommandLine& line, std::string_view, std::string_view) {
    line.action = CommandLineAction::ShowVersion;
    return true;
}

constexpr OptionSpec optionSpecs[] = {
    {"--frames", "N", "run N frames (N >= 1), then close as if the window was closed", ApplyFrames},
    {"--screenshot", "FILE", "when the run ends normally, save the last frame as a PNG file", ApplyScreenshot},
    {"--fixed-step", "SECONDS", "give every frame this time step (0 .. 0.05) instead of the clock's", ApplyFixedStep},
    {"--headless", "", "no visible window and no display needed; the same drawing", ApplyHeadless},
    {"--watch", "", "reload the game, window kept, when its assembly or project.json changes", ApplyWatch},
    {"--record", "FILE", "write what the game is sent, frame by frame, to FILE", ApplyRecord},
    {"--replay", "FILE", "play a recording again instead of the clock and the devices; report where it differs",
     ApplyReplay},
    {"--help", "", "print this help and exit", ApplyHelp},
    {"--version", "", "print the version and exit", ApplyVersion},
};

const OptionSpec* FindOption(std::string_view name) {
    for (const OptionSpec& entry : optionSpecs) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

bool IsOption(std::string_view argument) { return argument.size() > 2 && argument.substr(0, 2) == "--"; }

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string_view argument = arguments[index];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !IsOption(argument)) {
            if (!line.projectGiven) {
                line.projectPath = Utf8ToPath(std::string(argument));
                line.projectGiven = true;
            }
            continue;
        }
        // "--name=value" and "--name value" mean the same.
        const std::size_t equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        const OptionSpec* entry = FindOption(name);
        if (entry == nullptr) {
            Fail(line, "Unknown option: " + std::string(name));
            return line;
        }
        std::string_view value;
        if (entry->valueName.empty()) {
            if (equals != std::string_view::npos) {
                Fail(line, std::string(name) + " takes no value; got " + Quoted(argument.substr(equals + 1)));
                return line;
            }
        } else if (equals != std::string_view::npos) {
            value = argument.substr(equals + 1);
        } else if (index + 1 < arguments.size() && !IsOption(arguments[index + 1]) && arguments[index + 1] != "--") {
            value = arguments[++index];
        } else {
            Fail(line, std::string(name) + " needs a value: " + std::string(name) + " " + std::string(entry->valueName));
            return line;
        }
        if (!entry->apply(line, name, value)) {
            return line;
        }
        if (line.action != CommandLineAction::Run) {
            return line;
        }
    }
    return line;
}

std::string UsageText() {
    std::string text = "Usage: orvane [options] [project-folder]\n"
                       "\n"
                       "Runs the game in project-folder: the folder of its project.json. Without\n"
                       "one: orvane's own folder when it holds a project.json (a published game),\n"
                       "else " +
                       std::string(defaultProjectFolder) +
                       ". Arguments that begin with \"--\" are options;\n"
                       "\"--\" ends them.\n"
                       "\n"
                       "Options:\n";
    for (const OptionSpec& entry : optionSpecs) {
        std::string left = "  " + std::string(entry.name);
        if (!entry.valueName.empty()) {
            left += " " + std::string(entry.valueName);
        }
        left.resize(std::max<std::size_t>(left.size() + 2, 24), ' ');
        text += left + std::string(entry.help) + "\n";
    }
    text += "\n"
            "Exit code 0 after a normal end (window closed, --frames reached), 1 after an error.\n";
    return text;
}

std::string VersionText() { return std::string("orvane ") + ORVANE_VERSION; }

std::string UsageHint() { return "Run 'orvane --help' for the options."; }

bool CheckScreenshotTarget(const fs::path& path, std::string& error) {
    return CheckOutputTarget(path, "--screenshot", error);
}

bool CheckOutputTarget(const fs::path& path, const std::string& option, std::string& error) {
    const std::string shown = PathToUtf8(path);
    std::error_code status;
    const fs::path absolute = fs::absolute(path, status);
    const fs::path folder = status ? path.parent_path() : absolute.parent_path();
    if (fs::is_directory(absolute, status)) {
        error = option + " names a folder, not a file: " + shown;
        return false;
    }
    if (!folder.empty() && !fs::is_directory(folder, status)) {
        error = option + " folder does not exist: " + PathToUtf8(folder);
        return false;
    }
    // Creating the file is the one test that answers for permissions, read-only
    // mounts and ACLs alike; a file made only for the test goes again.
    const bool existed = fs::exists(absolute, status);
    {
        std::ofstream probe(absolute, std::ios::binary | std::ios::app);
        if (!probe) {
            error = option + " file cannot be written: " + shown;
            return false;
        }
    }
    if (!existed) {
        fs::remove(absolute, status);
    }
    return true;
}

} // namespace Orvane
