// The SDL backend end to end, through SDL's file-writing "disk" driver: it plays in
// real time and writes the device's float stereo samples to a file that is read back.
#ifndef _WIN32
#include "AudioTestSupport.h"
#include "audio/AudioEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace Orvane;
using namespace OrvaneTest;
using Clock = std::chrono::steady_clock;

namespace {

// Noise from a fixed seed: its cross-correlation has one sharp peak.
std::vector<float> Noise(std::size_t frames, std::uint32_t seed, float amplitude) {
    std::vector<float> samples(frames);
    for (float& sample : samples) {
        seed = seed * 1664525u + 1013904223u;
        sample = amplitude * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    }
    return samples;
}

AudioCommand Sound(std::int64_t handle, const fs::path& path, float volume = 1, float pan = 0) {
    AudioCommand command;
    command.kind = AudioCommandKind::Sound;
    command.handle = handle;
    command.path = path;
    command.volume = volume;
    command.pan = pan;
    return command;
}

class DiskAudio : public testing::Test {
protected:
    DiskAudio()
        : driver("SDL_AUDIODRIVER", "disk"), file("SDL_DISKAUDIOFILE", PathToUtf8(folder.path / "out.raw")) {}

    fs::path WriteSound(const std::string& name, const std::vector<float>& samples, int rate = 48000) {
        const fs::path path = folder.path / name;
        WriteFile(path, MakeWav(samples, 1, rate, WavEncoding::Float32));
        return path;
    }

    // Left and right channels of what the device played.
    void ReadOutput(std::vector<float>& left, std::vector<float>& right) {
        std::vector<std::uint8_t> bytes;
        ASSERT_TRUE(ReadFileBytes(folder.path / "out.raw", bytes));
        const std::size_t frames = bytes.size() / (2 * sizeof(float));
        left.resize(frames);
        right.resize(frames);
        for (std::size_t frame = 0; frame < frames; ++frame) {
            std::memcpy(&left[frame], &bytes[frame * 8], 4);
            std::memcpy(&right[frame], &bytes[frame * 8 + 4], 4);
        }
    }

    static void Wait(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

    TempFolder folder;
    EnvironmentScope driver;
    EnvironmentScope file;
};

// The offset of source in output with the best normalised correlation, and that correlation.
std::pair<std::size_t, double> Locate(const std::vector<float>& output, const std::vector<float>& source) {
    constexpr std::size_t stride = 4;   // every 4th sample is plenty
    double sourceEnergy = 0;
    for (std::size_t index = 0; index < source.size(); index += stride) {
        sourceEnergy += static_cast<double>(source[index]) * source[index];
    }
    std::pair<std::size_t, double> best{0, -1};
    for (std::size_t offset = 0; offset + source.size() <= output.size(); ++offset) {
        double dot = 0;
        double energy = 0;
        for (std::size_t index = 0; index < source.size(); index += stride) {
            dot += static_cast<double>(output[offset + index]) * source[index];
            energy += static_cast<double>(output[offset + index]) * output[offset + index];
        }
        const double score = energy > 0 ? dot / std::sqrt(energy * sourceEnergy) : 0;
        if (score > best.second) {
            best = {offset, score};
        }
    }
    return best;
}

TEST_F(DiskAudio, AnEffectFollowsSilenceAndMatchesItsSource) {
    const std::vector<float> noise = Noise(4800, 7, 0.5f);
    const fs::path path = WriteSound("noise.wav", noise);
    Clock::time_point played;
    std::vector<std::pair<std::uint64_t, Clock::time_point>> blocks;   // frames rendered, when seen
    int blockFrames = 0;
    {
        AudioEngine engine;
        ASSERT_TRUE(engine.Start());
        ASSERT_EQ(engine.OutputRate(), 48000);
        blockFrames = engine.BlockFrames();
        // Decode ahead with an inaudible play, so the measured latency is the output's own.
        engine.Apply({Sound(1, path, 0)});
        engine.WaitForLoads();
        Wait(250);
        played = Clock::now();
        engine.Apply({Sound(2, path)});
        // Watch the blocks being rendered, to time the one that carries the effect.
        while (Clock::now() - played < std::chrono::milliseconds(300)) {
            const std::uint64_t rendered = engine.RenderedFrames();
            if (blocks.empty() || blocks.back().first != rendered) {
                blocks.emplace_back(rendered, Clock::now());
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    std::vector<float> left;
    std::vector<float> right;
    ReadOutput(left, right);
    const auto [offset, correlation] = Locate(left, noise);
    EXPECT_GT(correlation, 0.999);
    EXPECT_GT(offset, 48000u / 10) << "the effect began before it was played";
    EXPECT_EQ(offset % static_cast<std::size_t>(blockFrames), 0u) << "a decoded effect starts with a block";
    for (std::size_t frame = 0; frame < offset; ++frame) {
        ASSERT_EQ(left[frame], 0.0f) << "not silent at frame " << frame;
        ASSERT_EQ(right[frame], 0.0f) << "not silent at frame " << frame;
    }
    for (std::size_t frame = 0; frame < noise.size(); ++frame) {
        ASSERT_FLOAT_EQ(left[offset + frame], noise[frame]) << frame;
        ASSERT_FLOAT_EQ(right[offset + frame], noise[frame]) << frame;
    }
    // The block that starts at offset is counted once it is rendered: the time from
    // the call to then, plus one block that the driver holds before it plays.
    const auto carrying = std::find_if(blocks.begin(), blocks.end(), [&](const auto& block) {
        return block.first >= offset + static_cast<std::size_t>(blockFrames);
    });
    ASSERT_NE(carrying, blocks.end());
    const double mixed = std::chrono::duration<double, std::milli>(carrying->second - played).count();
    std::printf("[ measured ] play call to the effect's first sample mixed: %.2f ms; + %d-frame device block "
                "(%.1f ms) = %.1f ms to the output\n",
                mixed, blockFrames, blockFrames / 48.0, mixed + blockFrames / 48.0);
}

TEST_F(DiskAudio, TwoEffectsAreMixedAndVolumeAndPanSetTheLevels) {
    const std::vector<float> first = Noise(4800, 11, 0.4f);
    const std::vector<float> second = Noise(4800, 12345, 0.4f);
    const fs::path firstPath = WriteSound("a.wav", first);
    const fs::path secondPath = WriteSound("b.wav", second);
    {
        AudioEngine engine;
        ASSERT_TRUE(engine.Start());
        engine.Apply({Sound(1, firstPath, 0), Sound(2, secondPath, 0)});
        engine.WaitForLoads();
        Wait(100);
        engine.Apply({Sound(3, firstPath), Sound(4, secondPath)});
        Wait(250);
        // Quieter and to the right: the left side must stay silent.
        engine.Apply({Sound(5, firstPath, 0.5f, 1)});
        Wait(250);
    }
    std::vector<float> left;
    std::vector<float> right;
    ReadOutput(left, right);

    std::vector<float> sum(first.size());
    for (std::size_t index = 0; index < sum.size(); ++index) {
        sum[index] = first[index] + second[index];
    }
    const auto [mixedAt, mixedCorrelation] = Locate(left, sum);
    EXPECT_GT(mixedCorrelation, 0.999);
    EXPECT_NEAR(Rms(&left[mixedAt], sum.size()), Rms(sum.data(), sum.size()), 1e-3);

    const std::vector<float> tail(right.begin() + static_cast<std::ptrdiff_t>(mixedAt + sum.size()), right.end());
    const auto [pannedAt, pannedCorrelation] = Locate(tail, first);
    EXPECT_GT(pannedCorrelation, 0.999);
    const std::size_t pannedStart = mixedAt + sum.size() + pannedAt;
    EXPECT_NEAR(Rms(&right[pannedStart], first.size()), 0.5 * Rms(first.data(), first.size()), 1e-3);
    EXPECT_EQ(Rms(&left[pannedStart], first.size()), 0.0);
}

TEST_F(DiskAudio, MusicLoopsUntilStoppedAndAStoppedEffectEndsAtOnce) {
    const fs::path longNoise = WriteSound("long.wav", Noise(48000 * 3, 5, 0.3f));
    Clock::time_point musicStopped;
    Clock::time_point opened;
    {
        AudioEngine engine;
        ASSERT_TRUE(engine.Start());
        opened = Clock::now();
        AudioCommand music;
        music.kind = AudioCommandKind::Music;
        music.path = TestData("tone-stereo.ogg");   // half a second of 440 Hz
        music.loop = true;
        engine.Apply({music});
        Wait(1300);
        AudioCommand stop;
        stop.kind = AudioCommandKind::MusicStop;
        engine.Apply({stop, Sound(1, longNoise)});
        musicStopped = Clock::now();
        Wait(300);
        AudioCommand stopEffect;
        stopEffect.kind = AudioCommandKind::SoundStop;
        stopEffect.handle = 1;
        engine.Apply({stopEffect});
        Wait(300);
    }
    std::vector<float> left;
    std::vector<float> right;
    ReadOutput(left, right);
    // The tone sounds in every tenth of a second up to the stop: the loop has no gap
    // longer than a block.
    const std::size_t stopFrame =
        static_cast<std::size_t>(std::chrono::duration<double>(musicStopped - opened).count() * 48000);
    std::size_t firstSound = 0;
    while (firstSound < left.size() && left[firstSound] == 0.0f) {
        ++firstSound;
    }
    ASSERT_LT(firstSound, 48000u / 5);
    for (std::size_t window = firstSound; window + 4800 < stopFrame - 4800; window += 4800) {
        EXPECT_GT(Rms(&left[window], 4800), 0.2) << "gap at frame " << window;
    }
    const std::vector<float> toneLeft(left.begin() + static_cast<std::ptrdiff_t>(firstSound + 24000),
                                      left.begin() + static_cast<std::ptrdiff_t>(firstSound + 48000));
    EXPECT_NEAR(Frequency(toneLeft, 1, 0, 48000), 440, 10) << "the second pass of the loop is the tone";
    // The right channel of the music is half as loud: the track's stereo survives.
    EXPECT_NEAR(Rms(&right[firstSound + 24000], 24000) / Rms(&left[firstSound + 24000], 24000), 0.5, 0.05);
    // After both stops: nothing but silence in the last 0.2 s.
    ASSERT_GT(left.size(), 48000u / 5);
    EXPECT_EQ(Rms(&left[left.size() - 9600], 9600), 0.0);
    EXPECT_EQ(Rms(&right[right.size() - 9600], 9600), 0.0);
}

TEST_F(DiskAudio, AThousandPlaysInOneFrameWarnOncePerBadPathAndKeepPlaying) {
    const fs::path good = WriteSound("blip.wav", Noise(2400, 9, 0.01f));
    WriteFile(folder.path / "text.wav", "not a sound");
    std::vector<AudioCommand> frame;
    for (std::int64_t handle = 1; handle <= 1000; ++handle) {
        const fs::path path = handle % 3 == 0   ? folder.path / "missing.wav"
                              : handle % 3 == 1 ? good
                                                : folder.path / "text.wav";
        frame.push_back(Sound(handle, path, 1, 0));
    }
    CapturedLog log;
    {
        AudioEngine engine;
        ASSERT_TRUE(engine.Start());
        engine.Apply(frame);
        engine.WaitForLoads();
        Wait(200);
        log = CaptureLog([&] {
            engine.Apply(frame);   // the warnings of the first frame are written here, once
            engine.Apply({});
        });
        Wait(200);
    }
    EXPECT_EQ(std::count(log.out.begin(), log.out.end(), '\n'), 2) << log.out;
    EXPECT_NE(log.out.find("[Warn] Sound not found: " + PathToUtf8(folder.path / "missing.wav")), std::string::npos);
    EXPECT_NE(log.out.find("[Warn] Sound could not be loaded: " + PathToUtf8(folder.path / "text.wav")),
              std::string::npos);
    std::vector<float> left;
    std::vector<float> right;
    ReadOutput(left, right);
    // Only the newest 32 voices survive a frame; they still play.
    EXPECT_GT(Rms(left.data(), left.size()), 0.0);
}

TEST_F(DiskAudio, WithoutADeviceTheEngineWarnsOnceAndAcceptsEverything) {
    EnvironmentScope noDriver("SDL_AUDIODRIVER", "no-such-driver");
    AudioEngine engine;
    const CapturedLog log = CaptureLog([&] {
        EXPECT_FALSE(engine.Start());
        for (int frame = 0; frame < 3; ++frame) {
            engine.Apply({Sound(frame + 1, folder.path / "missing.wav")});
        }
    });
    EXPECT_FALSE(engine.HasDevice());
    EXPECT_EQ(log.out.rfind("[Warn] No audio output (", 0), 0u) << log.out;
    EXPECT_EQ(std::count(log.out.begin(), log.out.end(), '\n'), 1) << log.out;
}

} // namespace
#endif
