#pragma once
#include "project/ProjectConfig.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace Orvane {

// The first "key": "value" in the text; fallback when there is none.
std::string ExtractString(const std::string& json, const std::string& key, const std::string& fallback);

// The first "key": digits in the text, as 32 unsigned bits read as signed;
// throws std::out_of_range ("stoul argument out of range") above 4294967295.
std::int32_t ExtractInt(const std::string& json, const std::string& key, std::int32_t fallback);

// Reads <projectPath>/project.json into config. False after one logged error line.
// Never throws.
bool LoadProjectConfig(const std::filesystem::path& projectPath, ProjectConfig& config);

} // namespace Orvane
