#include "app/Application.h"

#include "core/Log.h"
#include "core/Paths.h"
#include "platform/Screenshot.h"
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

int Application::Run(const std::filesystem::path& projectPath, const RunOptions& runOptions) {
    options = runOptions;
    ProjectConfig config;
    if (!LoadProject(projectPath, config)) {
        return 1;
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
    if (!bridge.Start(scriptConfig)) {
        return 1;
    }
    bridge.SendStart();
    timer.Reset();
    LogInfo("Running project: " + config.name);

    if (options.fixedStep && ClampFrameStep(*options.fixedStep) != *options.fixedStep) {
        LogWarn("--fixed-step is outside 0 .. 0.05 s; every frame steps " +
                std::string(ClampFrameStep(*options.fixedStep) == 0.0f ? "0" : "0.05") + " s.");
    }

    RunFrameLoop();

    bridge.Shutdown();
    if (!options.screenshotPath.empty() && !SaveScreenshot()) {
        return 1;
    }
    return 0;
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
    while (window.PumpMessages()) {
        const float dt = NextFrameStep();
        bridge.Frame(dt);
        const FrameSnapshot& snapshot = bridge.Snapshot();
        renderer.BeginFrame(clearColor);
        renderer.SetCamera(snapshot.cameraX, snapshot.cameraY);
        renderer.DrawRects(snapshot.rects);
        renderer.DrawSprites(snapshot.sprites);
        renderer.DrawDebugRects(snapshot.debugRects);
        renderer.Present();
        // The last frame is presented and kept for the screenshot; then the run
        // closes as after a user's close.
        if (options.frameLimit && ++framesRun >= *options.frameLimit) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace Orvane
