#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

namespace Orvane {

struct WindowSettings {
    std::int32_t width = 1280;
    std::int32_t height = 720;
    std::string title = "Orvane";
};

struct ProjectConfig {
    std::string name;
    std::filesystem::path rootPath;
    std::filesystem::path mainAssemblyPath;
    std::string mainClass;
    std::string startScene;
    WindowSettings window;
};

} // namespace Orvane
