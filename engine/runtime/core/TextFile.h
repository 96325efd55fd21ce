#pragma once
#include <filesystem>
#include <string>

namespace Orvane {

// The whole file, byte for byte. Throws std::runtime_error
// "Could not open file: <path>" when it cannot be opened.
std::string ReadTextFile(const std::filesystem::path& path);

} // namespace Orvane
