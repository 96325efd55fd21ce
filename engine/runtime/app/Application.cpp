#include "app/Application.h"

#include "core/Log.h"
#include "core/Paths.h"
#include "input/InputEvents.h"
#include "input/KeyStates.h"
#include "platform/Screenshot.h"
#include "core/Termination.h"
#include "project/ProjectLoader.h"
#include "project/ScriptHostConfig.h"
#include "project/ScriptHostLocator.h"

#include <chrono>
#include <thread>

namespace Orvane {

float ClampFrameStep(float seconds) {
    if (seconds > maxFrameStep) {
        return maxFrameStep;
    }
    if (seconds < 0.0f) {
        return 0.0f;
    }
    return seconds;
}

bool Application::LoadProject(const std::filesystem::path& projectPath, ProjectConfig& config) {
    return LoadProjectConfig(projectPath, config);
}

std::filesystem::path Application::LocateScriptHost(const std::filesystem::path& rootPath) {
    return Orvane::LocateScriptHost(rootPath);
}

namespace {

constexpr auto survivedErrorShown = std::chrono::seconds(4);
constexpr int unansweredFramesBeforeStop = 2;
constexpr std::uint32_t keyR = 'R';
constexpr std::uint32_t keyEscape = 27;

} // namespace

int Application::Run(const std::filesystem::path& projectPath, const RunOptions& runOptions) {
    options = runOptions;
    ProjectConfig& config = project;
    if (!LoadProject(projectPath, config)) {
        return 1;
    }
    // A replay is checked whole before anything starts.
    if (!options.replayPath.empty()) {
        std::string error;
        if (!LoadRecording(options.replayPath, replay, error)) {
            LogError(error);
            return 1;
        }
        if (replay.mainClass != config.mainClass || replay.startScene != config.startScene) {
            LogError("--replay " + PathToUtf8(options.replayPath) + " is a recording of another game (" +
                     replay.mainClass + ", scene \"" + replay.startScene + "\")");
            return 1;
        }
        replaying = true;
    }
    if (!options.recordPath.empty()) {
        std::string error;
        if (!recorder.Open(options.recordPath, error)) {
            LogError(error);
            return 1;
        }
        recording = true;
    }
    if (!window.Create(config.window.width, config.window.height, config.window.title, options.headless)) {
        if (!options.headless) {
            LogInfo("Without a display, run with --headless (dotnet run -- --headless for a game project): no window, "
                    "the same drawing.");
        }
        return 1;
    }
    if (!renderer.Initialize(window)) {
        return 1;
    }
    renderer.SetAssetRoot(config.rootPath);

    ScriptHostConfig scriptConfig;
    scriptConfig.projectPath = config.rootPath;
    scriptConfig.mainAssemblyPath = config.mainAssemblyPath;
    scriptConfig.scriptHostPath = LocateScriptHost(config.rootPath);
    scriptConfig.mainClass = config.mainClass;
    scriptConfig.startScene = config.startScene;

    if (!FileExistsOrWarn(scriptConfig.scriptHostPath)) {
        LogError("Script host was not found: " + PathToUtf8(scriptConfig.scriptHostPath));
        return 1;
    }
    if (!FileExistsOrWarn(scriptConfig.mainAssemblyPath)) {
        LogError("Game assembly was not found: " + PathToUtf8(scriptConfig.mainAssemblyPath));
        return 1;
    }
    if (recording || replaying) {
        bridge.KeepAnswerDigests();
    }
    if (!bridge.Start(scriptConfig)) {
        return 1;
    }
    bridge.SendStart();
    if (TerminationRequested()) {
        LogError(stoppedDuringStartMessage);
        bridge.Shutdown();
        return 1;
    }
    if (replaying && bridge.ProtocolVersion() != replay.protocolVersion) {
        LogError("The recording was made with protocol version " + std::to_string(replay.protocolVersion) +
                 "; this run speaks version " + std::to_string(bridge.ProtocolVersion()) + ".");
        bridge.Shutdown();
        return 1;
    }
    if (recording) {
        recorder.Begin(config.mainClass, config.startScene, bridge.ProtocolVersion());
    }
    if (options.watch) {
        watcher.emplace(std::vector<std::filesystem::path>{config.mainAssemblyPath, config.rootPath / "project.json"});
    }
    // Only a version-2 host can ask for sound; a version-1 run opens no device.
    if (bridge.Snapshot().protocolVersion == 2) {
        audio.Start();
        audio.Apply(bridge.Snapshot().audioCommands);
    }
    timer.Reset();
    LogInfo("Running project: " + config.name);

    if (options.fixedStep && ClampFrameStep(*options.fixedStep) != *options.fixedStep) {
        LogWarn("--fixed-step is outside 0 .. 0.05 s; every frame steps " +
                std::string(ClampFrameStep(*options.fixedStep) == 0.0f ? "0" : "0.05") + " s.");
    }

    RunFrameLoop();

    bridge.Shutdown();
    if (recording && !recorder.Finish()) {
        LogError("The recording could not be written: " + PathToUtf8(options.recordPath));
        exitCode = 1;
    }
    if (!options.screenshotPath.empty() && !SaveScreenshot()) {
        return 1;
    }
    return exitCode;
}

float Application::NextFrameStep() {
    const float measured = timer.Tick();
    return ClampFrameStep(options.fixedStep ? *options.fixedStep : measured);
}

bool Application::SaveScreenshot() {
    RgbImage image;
    if (!renderer.ReadBackBuffer(image)) {
        LogError("No frame was presented; the screenshot was not saved: " + PathToUtf8(options.screenshotPath));
        return false;
    }
    if (!WritePng(image, options.screenshotPath)) {
        return false;
    }
    LogInfo("Screenshot saved: " + PathToUtf8(options.screenshotPath));
    return true;
}

void Application::RunFrameLoop() {
    std::int64_t framesRun = 0;
    while (window.PumpMessages() && !TerminationRequested()) {
        if (!RunOneFrame()) {
            break;
        }
        // The last frame is presented and kept for the screenshot; then the run
        // closes as after a user's close.
        if (options.frameLimit && ++framesRun >= *options.frameLimit) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool Application::RunOneFrame() {
    if (watcher && watcher->ReloadDue()) {
        ReloadGame("changed on disk");
    }
    if (shownError && shownError->blocking) {
        // The game is stopped: nobody hears the devices, the runtime's own keys act.
        DiscardInputEvents();
        if (TakeKeyPress(keyEscape)) {
            return false;
        }
        if (TakeKeyPress(keyR)) {
            ReloadGame("restarted");
        }
    } else {
        // Presses the game heard are not the error screen's later.
        TakeKeyPress(keyEscape);
        TakeKeyPress(keyR);
    }

    if (!shownError || !shownError->blocking) {
        const RecordedFrame* replayed = nullptr;
        if (replaying) {
            if (replayedFrames >= replay.frames.size()) {
                LogInfo("Replay matched " + std::to_string(replayedFrames) + " frames");
                return false;
            }
            replayed = &replay.frames[replayedFrames];
            if (replayed->reloadBefore) {
                ReloadGame("as recorded");
            }
            bridge.ReplayNextFrame(replayed->lines);
        }
        bridge.Frame(NextFrameStep());
        if (bridge.Snapshot().protocolVersion == 2) {
            audio.SetWindowState(window.HasFocus(), window.Minimized());
            audio.Apply(bridge.Snapshot().audioCommands);
        }
        if (recording) {
            recorder.AddFrame(bridge.LastFrameLines(), bridge.AnswerDigest());
        }
        if (replayed != nullptr) {
            ++replayedFrames;
            if (bridge.AnswerDigest() != replayed->digest) {
                LogError("Replay diverged at frame " + std::to_string(replayedFrames));
                exitCode = 1;
                return false;
            }
        }
        NoteFaults();
    }

    renderer.BeginFrame(clearColor);
    // A stopped game stays on screen as its last complete frame.
    renderer.DrawSnapshot(shownError && shownError->blocking ? bridge.LastCompleteFrame() : bridge.Snapshot());
    if (shownError && !shownError->blocking && std::chrono::steady_clock::now() >= shownError->until) {
        shownError.reset();
    }
    if (shownError) {
        renderer.DrawSnapshot(
            ComposeErrorPanel(shownError->report, renderer.BackBufferWidth(), renderer.BackBufferHeight()));
    }
    renderer.Present();
    return !bridge.QuitRequested();   // the game asked to end: as if the window had been closed
}

void Application::NoteFaults() {
    if (bridge.ProtocolVersion() != 2) {
        return;   // a version-1 host gets the waits and empty frames it always had
    }
    const bool failed = bridge.TakeError(lastErrorMessage, lastErrorTrace);
    unansweredFrames = bridge.FrameAnswered() ? 0 : unansweredFrames + 1;
    if (bridge.HostGone()) {
        LogError("The game's script host has ended.");
        shownError = ShownError{{"The game's script host has ended.", lastErrorMessage, lastErrorTrace}, true, {}};
    } else if (unansweredFrames >= unansweredFramesBeforeStop) {
        LogError("The game stopped answering frames.");
        shownError = ShownError{
            {"The game stopped answering (no END_FRAME within 500 ms).", lastErrorMessage, lastErrorTrace}, true, {}};
    } else if (failed) {
        shownError = ShownError{{"The game threw an exception and goes on.", lastErrorMessage, lastErrorTrace}, false,
                                std::chrono::steady_clock::now() + survivedErrorShown};
    }
}

void Application::ReloadGame(const char* why) {
    const auto start = std::chrono::steady_clock::now();
    std::string failure;
    if (!bridge.Reload(failure)) {
        // The old host, if it still runs, goes on; the reason stays on screen.
        shownError = ShownError{{"The game could not be (re)started.", failure, {}}, bridge.HostGone() ||
                                                                                        (shownError && shownError->blocking),
                                std::chrono::steady_clock::now() + std::chrono::hours(24)};
        return;
    }
    const std::size_t textures = renderer.ForgetChangedTextures();
    shownError.reset();
    lastErrorMessage.clear();
    lastErrorTrace.clear();
    unansweredFrames = 0;
    if (recording) {
        recorder.AddReload();
    }
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    LogInfo("Reloaded " + PathToUtf8(project.mainAssemblyPath.filename()) + " (" + why + ", " +
            std::to_string(textures) + " changed textures) in " + std::to_string(milliseconds) + " ms.");
}

} // namespace Orvane
