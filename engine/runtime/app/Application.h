#pragma once
#include "app/CommandLine.h"
#include "app/FrameTimer.h"
#include "platform/Renderer.h"
#include "platform/Window.h"
#include "project/ProjectConfig.h"
#include "scripting/ScriptHostBridge.h"

#include <filesystem>

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
    float NextFrameStep();
    bool SaveScreenshot();

    RunOptions options;

    Window window;
    Renderer renderer;
    FrameTimer timer;
    ScriptHostBridge bridge;
};

} // namespace Orvane
