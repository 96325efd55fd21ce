// Decoding cost of one frame of script output through the dispatcher.
// Targets: a 10,000-line frame of RECT and COLLIDER lines under 2 ms (under 200 ns
// a line); SPRITE lines that repeat one texture path at most 5x a RECT line.
#include "scripting/ScriptHostBridgeImpl.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Orvane::ScriptHostBridge;

constexpr int linesPerFrame = 10000;

std::string RectLine(int i) {
    return "RECT|" + std::to_string(i % 1280) + ".5|" + std::to_string(i % 720) + "|32|32|" +
           std::to_string(i % 256) + "|128|64";
}

std::string ColliderLine(int i) {
    return "COLLIDER|" + std::to_string(i) + "|" + std::to_string(i % 1280) + "|" + std::to_string(i % 720) +
           ".25|16|16";
}

std::string SpriteLine(int i) {
    return "SPRITE|" + std::to_string(i % 1280) + ".5|" + std::to_string(i % 720) +
           "|32|32|255|0|255|assets/characters/hero.png";
}

// A project folder with the sprites' texture in it, removed at exit.
struct ProjectFolder {
    ProjectFolder() {
        path = fs::temp_directory_path() / "orvane-bench-project";
        fs::create_directories(path / "assets" / "characters");
        std::ofstream(path / "assets" / "characters" / "hero.png") << "png";
        path = fs::canonical(path);
    }
    ~ProjectFolder() {
        std::error_code error;
        fs::remove_all(path, error);
    }
    fs::path path;
};

void ClearFrame(ScriptHostBridge::Impl& impl) {
    impl.snapshot.rects.clear();
    impl.snapshot.sprites.clear();
    impl.snapshot.debugRects.clear();
    impl.colliders.clear();
    impl.resolvedTextures.clear();
}

void RunFrames(benchmark::State& state, const std::vector<std::string>& lines) {
    static ProjectFolder project;
    ScriptHostBridge::Impl impl;
    impl.projectPath = project.path;
    for (auto _ : state) {
        ClearFrame(impl);
        for (const std::string& line : lines) {
            impl.HandleLine(line);
        }
        benchmark::DoNotOptimize(impl.snapshot);
        benchmark::ClobberMemory();
    }
    // Seconds per line (shown with an SI suffix, e.g. 95n).
    state.counters["per_line"] = benchmark::Counter(static_cast<double>(lines.size()),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}

void BM_RectAndColliderFrame(benchmark::State& state) {
    std::vector<std::string> lines;
    for (int i = 0; i < linesPerFrame; ++i) {
        lines.push_back(i % 2 == 0 ? RectLine(i) : ColliderLine(i));
    }
    RunFrames(state, lines);
}
BENCHMARK(BM_RectAndColliderFrame)->Unit(benchmark::kMicrosecond);

void BM_RectFrame(benchmark::State& state) {
    std::vector<std::string> lines;
    for (int i = 0; i < linesPerFrame; ++i) {
        lines.push_back(RectLine(i));
    }
    RunFrames(state, lines);
}
BENCHMARK(BM_RectFrame)->Unit(benchmark::kMicrosecond);

void BM_SpriteFrameOneTexture(benchmark::State& state) {
    std::vector<std::string> lines;
    for (int i = 0; i < linesPerFrame; ++i) {
        lines.push_back(SpriteLine(i));
    }
    RunFrames(state, lines);
}
BENCHMARK(BM_SpriteFrameOneTexture)->Unit(benchmark::kMicrosecond);

// The same RECT and COLLIDER frame as it arrives from the pipe: 512-byte reads cut
// into lines, then dispatched.
void BM_RectAndColliderFrameFromReads(benchmark::State& state) {
    std::string bytes;
    for (int i = 0; i < linesPerFrame; ++i) {
        bytes += (i % 2 == 0 ? RectLine(i) : ColliderLine(i)) + "\r\n";
    }
    ScriptHostBridge::Impl impl;
    for (auto _ : state) {
        ClearFrame(impl);
        for (std::size_t at = 0; at < bytes.size(); at += 512) {
            impl.ReceiveBytes(bytes.data() + at, std::min<std::size_t>(512, bytes.size() - at));
        }
        benchmark::DoNotOptimize(impl.snapshot);
        benchmark::ClobberMemory();
    }
    state.counters["per_line"] = benchmark::Counter(
        linesPerFrame, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RectAndColliderFrameFromReads)->Unit(benchmark::kMicrosecond);

} // namespace
