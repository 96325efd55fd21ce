#include "project/ScriptHostLocator.h"

#include "core/Paths.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#elif defined(__APPLE__)
#include <cstdint>
#include <mach-o/dyld.h>
#include <vector>
#endif

namespace Orvane {

namespace fs = std::filesystem;

namespace {

fs::path CurrentDirectory() {
    std::error_code error;
    fs::path current = fs::current_path(error);
    return error ? fs::path() : current;
}

// Weakly canonical when that works; the candidate as built otherwise.
fs::path Canonical(const fs::path& candidate) {
    std::error_code error;
    fs::path canonical = fs::weakly_canonical(candidate, error);
    return error ? candidate : canonical;
}

} // namespace

fs::path ExecutableDirectory() {
#ifdef _WIN32
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length != 0) {
        return fs::path(buffer, buffer + length).parent_path();
    }
#elif defined(__APPLE__)
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) == 0) {
        return fs::path(buffer.data()).parent_path();
    }
#else
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (!error && !executable.empty()) {
        return executable.parent_path();
    }
#endif
    return CurrentDirectory();
}

fs::path LocateScriptHost(const fs::path& rootPath) {
    const fs::path current = CurrentDirectory();

    const fs::path candidateFromRuntime =
        ExecutableDirectory() / scriptHostFolderNextToExecutable / scriptHostFile;
    if (FileExistsOrWarn(candidateFromRuntime)) {
        return Canonical(candidateFromRuntime);
    }

    const fs::path file = fs::path(scriptHostBuildOutputFolder) / scriptHostFile;
    const fs::path candidateFromCurrent = current / file;
    if (FileExistsOrWarn(candidateFromCurrent)) {
        return Canonical(candidateFromCurrent);
    }

    const fs::path candidateFromSample = rootPath.parent_path().parent_path() / file;
    if (FileExistsOrWarn(candidateFromSample)) {
        return Canonical(candidateFromSample);
    }
    return candidateFromCurrent;
}

} // namespace Orvane
