#include "scripting/DotnetHost.h"

#include "core/Paths.h"

#include <optional>

#ifdef _WIN32
#include <windows.h>
#include <string>
#else
#include <cstdlib>
#endif

namespace Orvane {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr const wchar_t* dotnetRootVariable = L"DOTNET_ROOT";
constexpr const wchar_t* profileVariable = L"USERPROFILE";
constexpr const char* hostFileName = "dotnet.exe";

// Read wide, so that a value outside the ANSI code page keeps its characters.
std::optional<fs::path> ReadEnvironmentPath(const wchar_t* name) {
    SetLastError(ERROR_SUCCESS);
    const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0) {
        // An empty value normally reports room for its terminator; zero without
        // an error still means set and empty.
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
            return std::nullopt;
        }
        return fs::path();
    }
    std::wstring value(needed, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), needed);
    if (length >= needed) {
        return std::nullopt;   // changed between the two calls
    }
    value.resize(length);
    return fs::path(value);
}
#else
constexpr const char* dotnetRootVariable = "DOTNET_ROOT";
constexpr const char* profileVariable = "HOME";
constexpr const char* hostFileName = "dotnet";

std::optional<fs::path> ReadEnvironmentPath(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return fs::path(value);
}
#endif

} // namespace

fs::path FindDotnetHost() {
    // An empty DOTNET_ROOT counts as set: its candidate is the bare file name,
    // looked for in the current directory.
    if (const auto dotnetRoot = ReadEnvironmentPath(dotnetRootVariable)) {
        const fs::path candidate = *dotnetRoot / hostFileName;
        if (FileExistsOrWarn(candidate)) {
            return candidate;
        }
    }
    if (const auto userProfile = ReadEnvironmentPath(profileVariable)) {
        const fs::path candidate = *userProfile / ".dotnet" / hostFileName;
        if (FileExistsOrWarn(candidate)) {
            return candidate;
        }
    }
    return fs::path("dotnet");
}

} // namespace Orvane
