#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace Orvane {

inline constexpr const char* defaultProjectFolder = "samples/BasicGame";

// What the options change about a run; a default-constructed value is a run as
// without options.
struct RunOptions {
    // Frames to run before closing as after a user's close; none: until closed.
    std::optional<std::int64_t> frameLimit;
    // Every frame's step in seconds, finite, clamped by the run like a measured
    // one; none: the clock's.
    std::optional<float> fixedStep;
    // The last presented frame goes here when the run ends normally; empty: none.
    std::filesystem::path screenshotPath;
    // No visible window and no display needed.
    bool headless = false;
    // Reload the game when its assembly or project.json changed on disk.
    bool watch = false;
    // Write what the runtime sends to the host, frame by frame, to this file.
    std::filesystem::path recordPath;
    // Feed this recording instead of the clock and the devices, and compare.
    std::filesystem::path replayPath;
};

enum class CommandLineAction { Run, ShowHelp, ShowVersion, Fail };

struct CommandLine {
    CommandLineAction action = CommandLineAction::Run;
    std::filesystem::path projectPath = defaultProjectFolder;
    // False when projectPath is the default.
    bool projectGiven = false;
    RunOptions options;
    // For Fail: the message of the one error line, naming the option or value.
    std::string error;
};

// `orvane [options] [project-folder]`; arguments are UTF-8, without the program
// name. Arguments starting with "--" are options until a bare "--"; the first
// other one is the project folder, further ones are ignored. --help and
// --version act where they stand; the first bad argument before them fails.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints.
std::string UsageText();

// The line --version prints.
std::string VersionText();

// The line after an option error that points at --help.
std::string UsageHint();

// Whether a PNG can be written to path: its folder exists and a file there can be
// created (a file that did not exist is removed again). False after setting
// error to the message of one error line.
bool CheckScreenshotTarget(const std::filesystem::path& path, std::string& error);

// The same check for the file of another option (--record), named in the message.
bool CheckOutputTarget(const std::filesystem::path& path, const std::string& option, std::string& error);

} // namespace Orvane
