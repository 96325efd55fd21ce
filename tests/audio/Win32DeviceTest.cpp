// The WASAPI backend. Under Wine the test run points ALSA's default device at a
// file (ORVANE_WINE_AUDIO_CAPTURE names it) and the output is read back; without
// that, Wine may or may not offer a device, and each way has its own check.
#ifdef _WIN32
#include "AudioTestSupport.h"
#include "audio/AudioEngine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

using namespace Orvane;
using namespace OrvaneTest;

namespace {

std::optional<fs::path> CaptureFile() {
    const wchar_t* value = _wgetenv(L"ORVANE_WINE_AUDIO_CAPTURE");
    return value != nullptr && *value != 0 ? std::optional<fs::path>(value) : std::nullopt;
}

AudioCommand Play(std::int64_t handle, const fs::path& path, float volume, float pan) {
    AudioCommand command;
    command.kind = AudioCommandKind::Sound;
    command.handle = handle;
    command.path = path;
    command.volume = volume;
    command.pan = pan;
    return command;
}

TEST(WasapiDevice, IsFedInRealTimeOrTakesTheNoDevicePathCleanly) {
    TempFolder folder;
    const fs::path path = folder.path / "tone.wav";
    WriteFile(path, MakeWav(Sine(4800, 440, 48000, 0.5f), 1, 48000, WavEncoding::Pcm16));
    AudioEngine engine;
    bool opened = false;
    const CapturedLog log = CaptureLog([&] { opened = engine.Start(); });
    if (!opened) {
        ASSERT_FALSE(CaptureFile()) << "the capture device did not open: " << log.out;
        std::printf("[ path     ] no device: %s", log.out.c_str());
        EXPECT_EQ(log.out.rfind("[Warn] No audio output (", 0), 0u) << log.out;
        EXPECT_EQ(std::count(log.out.begin(), log.out.end(), '\n'), 1);
        engine.Apply({Play(1, path, 1, 0)});   // accepted, silently
        return;
    }
    EXPECT_TRUE(log.out.empty()) << log.out;
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t before = engine.RenderedFrames();
    engine.Apply({Play(1, path, 1, 0)});
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rendered = static_cast<double>(engine.RenderedFrames() - before) / engine.OutputRate();
    std::printf("[ path     ] device at %d Hz, %d-frame buffer: %.3f s rendered in %.3f s\n", engine.OutputRate(),
                engine.BlockFrames(), rendered, seconds);
    // The first call fills the whole buffer at once; after that the device's pace.
    EXPECT_GT(rendered, seconds * 0.5);
    EXPECT_LT(rendered, seconds * 1.5 + static_cast<double>(engine.BlockFrames()) / engine.OutputRate());
}

TEST(WasapiDevice, WhatWinePlaysIsTheEffectWithItsVolumeAndPan) {
    const std::optional<fs::path> capture = CaptureFile();
    // ctest sets it under Wine and leaves this test out elsewhere (tests/CMakeLists.txt).
    ASSERT_TRUE(capture) << "ORVANE_WINE_AUDIO_CAPTURE must name the capture file of the ALSA device";
    TempFolder folder;
    const std::vector<float> tone = Sine(4800, 440, 48000, 0.5f);
    const fs::path path = folder.path / "tone.wav";
    WriteFile(path, MakeWav(tone, 1, 48000, WavEncoding::Float32));
    {
        AudioEngine engine;
        ASSERT_TRUE(engine.Start());
        ASSERT_EQ(engine.OutputRate(), 48000) << "the capture device runs at 48 kHz";
        engine.Apply({Play(1, path, 0, 0)});   // decode ahead, inaudibly
        engine.WaitForLoads();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        engine.Apply({Play(2, path, 0.5f, 0.5f)});
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ReadFileBytes(*capture, bytes));
    ASSERT_EQ(bytes.size() % 8, 0u) << "32-bit float stereo expected";
    std::vector<float> samples(bytes.size() / 4);
    std::memcpy(samples.data(), bytes.data(), bytes.size());
    std::size_t first = 0;
    while (first < samples.size() && samples[first] == 0.0f) {
        ++first;
    }
    first -= first % 2;
    // The tone's first sample is 0: the effect begins one frame before the first sound.
    ASSERT_GE(first, 2u) << "nothing audible was captured";
    const std::size_t start = first / 2 - 1;
    ASSERT_GT(start, 48000u / 10) << "sound before the play call";
    ASSERT_GE(samples.size() / 2, start + tone.size());
    for (std::size_t frame = 0; frame < tone.size(); ++frame) {
        // pan 0.5 at volume 0.5: the left side at half of the right's level.
        ASSERT_FLOAT_EQ(samples[2 * (start + frame)], tone[frame] * 0.25f) << frame;
        ASSERT_FLOAT_EQ(samples[2 * (start + frame) + 1], tone[frame] * 0.5f) << frame;
    }
    for (std::size_t at = 2 * (start + tone.size()); at < samples.size(); ++at) {
        ASSERT_EQ(samples[at], 0.0f) << "sound after the effect at sample " << at;
    }
}

} // namespace
#endif
