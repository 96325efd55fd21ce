// The WASAPI backend. Wine may or may not offer an output device; each way has its
// own check: a device must be fed in real time, no device must mean one warning.
#ifdef _WIN32
#include "AudioTestSupport.h"
#include "audio/AudioEngine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

using namespace Orvane;
using namespace OrvaneTest;

namespace {

TEST(WasapiDevice, IsFedInRealTimeOrTakesTheNoDevicePathCleanly) {
    TempFolder folder;
    const fs::path path = folder.path / "tone.wav";
    WriteFile(path, MakeWav(Sine(4800, 440, 48000, 0.5f), 1, 48000, WavEncoding::Pcm16));
    AudioEngine engine;
    bool opened = false;
    const CapturedLog log = CaptureLog([&] { opened = engine.Start(); });
    if (!opened) {
        std::printf("[ path     ] no device: %s", log.out.c_str());
        EXPECT_EQ(log.out.rfind("[Warn] No audio output (", 0), 0u) << log.out;
        EXPECT_EQ(std::count(log.out.begin(), log.out.end(), '\n'), 1);
        AudioCommand play;
        play.kind = AudioCommandKind::Sound;
        play.handle = 1;
        play.path = path;
        engine.Apply({play});   // accepted, silently
        return;
    }
    EXPECT_TRUE(log.out.empty()) << log.out;
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t before = engine.RenderedFrames();
    AudioCommand play;
    play.kind = AudioCommandKind::Sound;
    play.handle = 1;
    play.path = path;
    engine.Apply({play});
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rendered = static_cast<double>(engine.RenderedFrames() - before) / engine.OutputRate();
    std::printf("[ path     ] device at %d Hz, %d-frame buffer: %.3f s rendered in %.3f s\n", engine.OutputRate(),
                engine.BlockFrames(), rendered, seconds);
    EXPECT_GT(rendered, seconds * 0.5);
    EXPECT_LT(rendered, seconds * 1.5 + 0.05);
}

} // namespace
#endif
