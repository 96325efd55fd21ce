#pragma once
// Helpers shared by the test programs: real temporary folders and files, a scoped
// current directory, scoped environment variables and captured log output.
#include "core/Paths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#include <unistd.h>
#endif

namespace OrvaneTest {

namespace fs = std::filesystem;

// A fresh folder under the system temp folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        static std::atomic<unsigned> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
#ifdef _WIN32
        const unsigned long process = GetCurrentProcessId();
#else
        const unsigned long process = static_cast<unsigned long>(getpid());
#endif
        const fs::path folder = fs::temp_directory_path() /
                                ("orvane-test-" + std::to_string(process) + "-" + std::to_string(stamp) +
                                 "-" + std::to_string(counter++));
        fs::create_directories(folder);
        path = fs::canonical(folder);
    }
    ~TempFolder() {
        std::error_code error;
        fs::remove_all(path, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    fs::path path;
};

// Writes text byte for byte, creating the parent folders.
inline fs::path WriteFile(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream stream(file, std::ios::out | std::ios::binary | std::ios::trunc);
    stream << text;
    return file;
}

class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(const fs::path& folder) : previous(fs::current_path()) {
        fs::current_path(folder);
    }
    ~CurrentDirectoryScope() {
        std::error_code error;
        fs::current_path(previous, error);
    }
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

private:
    fs::path previous;
};

// Sets (or unsets, with nullopt) one environment variable, given as UTF-8, and
// restores the old value afterwards.
class EnvironmentScope {
public:
    EnvironmentScope(const std::string& name, const std::optional<std::string>& value)
        : name(name), previous(Read(name)) {
        Write(name, value);
    }
    ~EnvironmentScope() { Write(name, previous); }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

private:
#ifdef _WIN32
    static std::wstring Wide(const std::string& text) { return Orvane::Utf8ToPath(text).wstring(); }

    static std::optional<std::string> Read(const std::string& name) {
        const std::wstring wideName = Wide(name);
        SetLastError(ERROR_SUCCESS);
        const DWORD needed = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
        if (needed == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
                return std::nullopt;
            }
            return std::string();
        }
        std::wstring value(needed, L'\0');
        value.resize(GetEnvironmentVariableW(wideName.c_str(), value.data(), needed));
        return Orvane::PathToUtf8(fs::path(value));
    }
    static void Write(const std::string& name, const std::optional<std::string>& value) {
        SetEnvironmentVariableW(Wide(name).c_str(), value ? Wide(*value).c_str() : nullptr);
    }
#else
    static std::optional<std::string> Read(const std::string& name) {
        const char* value = std::getenv(name.c_str());
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    static void Write(const std::string& name, const std::optional<std::string>& value) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
#endif

    std::string name;
    std::optional<std::string> previous;
};

// Output of the loggers during one call.
struct CapturedLog {
    std::string out;
    std::string err;
};

template <typename Action>
CapturedLog CaptureLog(Action&& action) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    action();
    CapturedLog log;
    log.err = testing::internal::GetCapturedStderr();
    log.out = testing::internal::GetCapturedStdout();
    return log;
}

} // namespace OrvaneTest
