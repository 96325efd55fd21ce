#pragma once
#include <filesystem>
#include <string>

namespace Orvane {

// What the bridge needs to start the script host.
struct ScriptHostConfig {
    std::filesystem::path projectPath;
    std::filesystem::path mainAssemblyPath;
    std::filesystem::path scriptHostPath;
    std::string mainClass;
    std::string startScene;
};

} // namespace Orvane
