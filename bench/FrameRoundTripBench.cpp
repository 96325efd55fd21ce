// Round trip of one empty frame through the real child process: the FRAME line
// out, END_FRAME back from a stand-in host that answers at once. Reports the
// median and 99th percentile over 1,000 frames.
#include "project/ScriptHostConfig.h"
#include "scripting/ScriptHostBridge.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int frameCount = 1000;

// A project folder, the stand-in copied as the .NET host, and DOTNET_ROOT
// pointing at it while the object lives.
class StandInSetup {
public:
    explicit StandInSetup(const std::string& scenario) {
        std::random_device random;
        folder = fs::temp_directory_path() / ("orvane-bench-" + std::to_string(random()));
        fs::create_directories(folder / "dotnet-root");
        fs::create_directories(folder / "project");
        fs::copy_file(ORVANE_STANDIN_HOST, folder / "dotnet-root" / "dotnet");
        if (const char* previous = std::getenv("DOTNET_ROOT")) {
            previousRoot = previous;
            hadRoot = true;
        }
        setenv("DOTNET_ROOT", (folder / "dotnet-root").c_str(), 1);

        config.projectPath = folder / "project";
        config.mainAssemblyPath = folder / "project" / "Game.dll";
        config.scriptHostPath = folder / "Orvane.ScriptHost.dll";
        config.mainClass = "Game.Main";
        config.startScene = "Main";
        std::ofstream(config.scriptHostPath, std::ios::binary) << scenario;
    }
    ~StandInSetup() {
        if (hadRoot) {
            setenv("DOTNET_ROOT", previousRoot.c_str(), 1);
        } else {
            unsetenv("DOTNET_ROOT");
        }
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    StandInSetup(const StandInSetup&) = delete;
    StandInSetup& operator=(const StandInSetup&) = delete;

    Orvane::ScriptHostConfig config;

private:
    fs::path folder;
    std::string previousRoot;
    bool hadRoot = false;
};

double Percentile(std::vector<double> sorted, double fraction) {
    std::sort(sorted.begin(), sorted.end());
    const std::size_t index = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[index];
}

void BM_EmptyFrameRoundTrip(benchmark::State& state) {
    StandInSetup setup("send READY\nserve\n");
    Orvane::ScriptHostBridge bridge;
    // The bridge's own log lines would mix with the report.
    std::ostringstream discarded;
    std::streambuf* const oldOut = std::cout.rdbuf(discarded.rdbuf());
    const bool started = bridge.Start(setup.config);
    if (started) {
        bridge.SendStart();
    }
    std::cout.rdbuf(oldOut);
    if (!started) {
        state.SkipWithError("the stand-in host did not start");
        return;
    }

    std::vector<double> microseconds;
    microseconds.reserve(frameCount);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bridge.Frame(0.016f);
        const auto end = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        microseconds.push_back(seconds * 1e6);
    }
    bridge.Shutdown();

    const double median = Percentile(microseconds, 0.5);
    const double p99 = Percentile(microseconds, 0.99);
    state.counters["median_us"] = median;
    state.counters["p99_us"] = p99;
    std::printf("empty frame round trip over %zu frames: median %.1f us, 99th percentile %.1f us\n",
                microseconds.size(), median, p99);
}
BENCHMARK(BM_EmptyFrameRoundTrip)->Iterations(frameCount)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
