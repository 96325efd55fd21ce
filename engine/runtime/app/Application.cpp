#include "app/Application.h"

#include "core/Log.h"
#include "core/Paths.h"
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

int Application::Run(const std::filesystem::path& projectPath) {
    ProjectConfig config;
    if (!LoadProject(projectPath, config)) {
        return 1;
    }
    if (!window.Create(config.window.width, config.window.height, config.window.title)) {
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
    if (TerminationRequested()) {
        LogError(stoppedDuringStartMessage);
        bridge.Shutdown();
        return 1;
    }
    timer.Reset();
    LogInfo("Running project: " + config.name);

    RunFrameLoop();

    bridge.Shutdown();
    return 0;
}

void Application::RunFrameLoop() {
    while (window.PumpMessages() && !TerminationRequested()) {
        const float dt = ClampFrameStep(timer.Tick());
        bridge.Frame(dt);
        const FrameSnapshot& snapshot = bridge.Snapshot();
        renderer.BeginFrame(clearColor);
        renderer.SetCamera(snapshot.cameraX, snapshot.cameraY);
        renderer.DrawRects(snapshot.rects);
        renderer.DrawSprites(snapshot.sprites);
        renderer.DrawDebugRects(snapshot.debugRects);
        renderer.Present();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace Orvane
