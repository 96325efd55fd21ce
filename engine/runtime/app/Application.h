#pragma once
#include "app/FrameTimer.h"
#include "audio/AudioEngine.h"
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
    // 0 after the window was closed, 1 after a start-up failure.
    int Run(const std::filesystem::path& projectPath);

private:
    bool LoadProject(const std::filesystem::path& projectPath, ProjectConfig& config);
    std::filesystem::path LocateScriptHost(const std::filesystem::path& rootPath);
    void RunFrameLoop();

    Window window;
    Renderer renderer;
    FrameTimer timer;
    ScriptHostBridge bridge;
    AudioEngine audio;   // goes first: no sound plays on after the script host has stopped
};

} // namespace Orvane
