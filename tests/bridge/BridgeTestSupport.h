#pragma once
// Shared set-up for the bridge tests: the stand-in host copied as the .NET host
// into a folder that DOTNET_ROOT names, a scenario file, a project folder, and
// capture of what the bridge logs.
#include "core/Paths.h"
#include "project/ScriptHostConfig.h"
#include "scripting/ScriptHostBridgeImpl.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace Orvane::BridgeTest {

namespace fs = std::filesystem;

#ifdef _WIN32
inline const char* const hostFileName = "dotnet.exe";
#else
inline const char* const hostFileName = "dotnet";
#endif

inline std::string Utf8(const fs::path& path) { return PathToUtf8(path); }

inline std::string ReadFileText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

inline void WriteFileText(const fs::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        lines.push_back(line);
    }
    return lines;
}

// The values of the stand-in's "KEY|value" report lines ("ARG", "CWD", "ARGC"),
// in the order it sent them.
inline std::vector<std::string> ReportedValues(const std::string& log, const std::string& key) {
    std::vector<std::string> values;
    const std::string marker = "[ScriptHost] " + key + "|";
    for (const std::string& line : SplitLines(log)) {
        const std::size_t at = line.find(marker);
        if (at != std::string::npos) {
            values.push_back(line.substr(at + marker.size()));
        }
    }
    return values;
}

inline std::size_t CountOccurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Text for a scenario line: the stand-in reads backslash escapes, and Windows
// paths are full of backslashes.
inline std::string Escaped(const std::string& text) {
    std::string result;
    for (const char c : text) {
        result += c;
        if (c == '\\') {
            result += c;
        }
    }
    return result;
}

// Sets (or with nullopt removes) one environment variable for the object's life.
using ScopedEnvironment = OrvaneTest::EnvironmentScope;

// Captures what the bridge logs (std::cout and std::cerr) while the object lives.
class LogCapture {
public:
    LogCapture() : oldOut(std::cout.rdbuf(out.rdbuf())), oldErr(std::cerr.rdbuf(err.rdbuf())) {}
    ~LogCapture() {
        std::cout.rdbuf(oldOut);
        std::cerr.rdbuf(oldErr);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string Out() const { return out.str(); }
    std::string Err() const { return err.str(); }

private:
    std::ostringstream out;
    std::ostringstream err;
    std::streambuf* oldOut;
    std::streambuf* oldErr;
};

using OrvaneTest::TempFolder;

// Whether the bridge still holds the child or either pipe end.
inline bool HoldsAnything(const ScriptHostBridge::Impl& impl) {
#ifdef _WIN32
    return impl.processHandle != nullptr || impl.threadHandle != nullptr ||
           impl.stdinWrite != nullptr || impl.stdoutRead != nullptr;
#else
    return impl.processId != -1 || impl.stdinWrite != -1 || impl.stdoutRead != -1;
#endif
}

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each test gets a project folder, a scenario file and the stand-in as the .NET
// host named by DOTNET_ROOT.
class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        hostFolder = temp.path / "dotnet-root";
        projectFolder = temp.path / "project";
        fs::create_directories(hostFolder);
        fs::create_directories(projectFolder);
        fs::copy_file(ORVANE_STANDIN_HOST, hostFolder / hostFileName);
        dotnetRoot.emplace("DOTNET_ROOT", Utf8(hostFolder));

        config.projectPath = projectFolder;
        config.mainAssemblyPath = projectFolder / "Game.dll";
        config.scriptHostPath = temp.path / "Orvane.ScriptHost.dll";
        config.mainClass = "Game.Main";
        config.startScene = "Main";
        WriteFileText(config.mainAssemblyPath, "not an assembly");
    }

    // The scenario the stand-in plays, one command per line.
    void Scenario(const std::string& text) { WriteFileText(config.scriptHostPath, text); }

    // A file name for the stand-in's `record`, and the lines recorded in it.
    fs::path RecordFile() const { return temp.path / "input.txt"; }
    std::string RecordCommand() const { return "record " + Escaped(Utf8(RecordFile())) + "\n"; }
    std::vector<std::string> RecordedLines() const { return SplitLines(ReadFileText(RecordFile())); }

    // A host that stops reading until the test says so: fixed sleeps on both
    // sides let a slow machine (Wine under load) resume the host too early or
    // too late, and the stall a test builds up would not be the one it checks.
    fs::path GateFile() const { return temp.path / "gate"; }
    std::string AwaitGateCommand() const { return "await-file " + Escaped(Utf8(GateFile())) + "\n"; }
    void OpenGate() const { WriteFileText(GateFile(), ""); }

    // Writes a line once the host reads again after the gate has opened. While
    // the input is stalled, a write that takes nothing is dropped whole and
    // leaves no trace, so trying again is the same as writing once at the right
    // moment.
    static void WriteOnceTheHostReads(ScriptHostBridge::Impl& impl, const std::string& line) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        impl.WriteLine(line);
        while (impl.inputStalled && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            impl.WriteLine(line);
        }
    }

    TempFolder temp;
    fs::path hostFolder;
    fs::path projectFolder;
    std::optional<ScopedEnvironment> dotnetRoot;
    ScriptHostConfig config;
};

} // namespace Orvane::BridgeTest
