// project.json as the loader reads it from a real file, and the two value
// searches on the same text.
#include "FuzzSupport.h"

#include "project/ProjectLoader.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

std::filesystem::path projectFolder;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    OrvaneFuzz::SilenceLog();
    projectFolder = std::filesystem::temp_directory_path() / ("orvane-fuzz-project-" + std::to_string(getpid()));
    std::filesystem::create_directories(projectFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream file(projectFolder / "project.json", std::ios::binary | std::ios::trunc);
        file << text;
    }
    Orvane::ProjectConfig config;
    Orvane::LoadProjectConfig(projectFolder, config);   // documented never to throw

    Orvane::ExtractString(text, "name", "fallback");
    try {
        Orvane::ExtractInt(text, "width", 7);
    } catch (const std::out_of_range&) {
        // documented for values above 4294967295
    }
    return 0;
}
