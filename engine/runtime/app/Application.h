#pragma once
#include "app/CommandLine.h"
#include "app/ErrorScreen.h"
#include "app/FrameTimer.h"
#include "app/Recording.h"
#include "app/ReloadWatcher.h"
#include "audio/AudioEngine.h"
#include "platform/Renderer.h"
#include "platform/Window.h"
#include "project/ProjectConfig.h"
#include "scripting/ScriptHostBridge.h"

#include <array>
#include <chrono>
#include <filesystem>
#include <optional>

namespace Orvane {

inline constexpr float maxFrameStep = 0.05f;
inline constexpr Color clearColor{18, 20, 26};

// The step the script receives: the measured time, clamped to 0 .. 0.05 s.
float ClampFrameStep(float seconds);

// Owns the runtime's long-lived parts; members are destroyed in reverse order:
// the script host stops first, the window goes last.
class Application {
public:
    // 0 after the window was closed (or the frame limit reached), 1 after a
    // start-up failure or a screenshot that could not be saved.
    int Run(const std::filesystem::path& projectPath, const RunOptions& options = {});

private:
    bool LoadProject(const std::filesystem::path& projectPath, ProjectConfig& config);
    std::filesystem::path LocateScriptHost(const std::filesystem::path& rootPath);
    void RunFrameLoop();
    // One pass of the loop after the message pump; false ends the run.
    bool RunOneFrame();
    float NextFrameStep();
    bool SaveScreenshot();
    // Version 2: what the frame exchange tells about the game's health.
    void NoteFaults();
    // A new host in place of the old one (--watch, or R on the error screen).
    void ReloadGame(const char* why);

    // An error shown over the game: a stopped game (blocking: no frames go out
    // until R restarts it) or an exception the game survived (shown a while).
    struct ShownError {
        ErrorReport report;
        bool blocking = false;
        std::chrono::steady_clock::time_point until;
    };

    RunOptions options;
    ProjectConfig project;
    std::optional<ReloadWatcher> watcher;
    RecordingWriter recorder;
    bool recording = false;
    Recording replay;
    std::size_t replayedFrames = 0;
    bool replaying = false;
    std::optional<ShownError> shownError;
    int unansweredFrames = 0;
    // The game's last error, told again when its host then ends.
    std::string lastErrorMessage;
    std::vector<std::string> lastErrorTrace;
    int exitCode = 0;

    Window window;
    Renderer renderer;
    FrameTimer timer;
    ScriptHostBridge bridge;
    AudioEngine audio;   // goes first: no sound plays on after the script host has stopped
};

} // namespace Orvane
