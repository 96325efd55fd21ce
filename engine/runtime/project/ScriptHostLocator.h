#pragma once
#include <filesystem>

namespace Orvane {

inline constexpr const char* scriptHostFile = "Orvane.ScriptHost.dll";
inline constexpr const char* scriptHostFolderNextToExecutable = "ScriptHost";
inline constexpr const char* scriptHostBuildOutputFolder = "engine/csharp/ScriptHost/bin/Debug/net8.0";

// Folder of the running executable; the current directory when it cannot be told.
std::filesystem::path ExecutableDirectory();

// First existing candidate (next to the executable, under the current directory,
// two levels above the project folder), weakly canonical; otherwise the
// current-directory candidate as built.
std::filesystem::path LocateScriptHost(const std::filesystem::path& rootPath);

} // namespace Orvane
