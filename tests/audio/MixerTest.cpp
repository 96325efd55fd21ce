#include "AudioTestSupport.h"
#include "audio/Mixer.h"

#include <gtest/gtest.h>

using namespace Orvane;
using namespace OrvaneTest;

namespace {

constexpr int outputRate = 48000;

std::shared_ptr<SoundEntry> ReadyEntry(std::vector<float> samples, int channels = 1, int rate = outputRate) {
    auto entry = std::make_shared<SoundEntry>();
    entry->buffer.sampleRate = rate;
    entry->buffer.channels = channels;
    entry->buffer.samples = std::move(samples);
    entry->state.store(SoundEntry::State::Ready);
    return entry;
}

MixerCommand Play(std::int64_t handle, std::shared_ptr<const SoundEntry> sound, float volume = 1, float pan = 0,
                  float pitch = 1) {
    MixerCommand command;
    command.command.kind = AudioCommandKind::Sound;
    command.command.handle = handle;
    command.command.volume = volume;
    command.command.pan = pan;
    command.command.pitch = pitch;
    command.sound = std::move(sound);
    return command;
}

MixerCommand Simple(AudioCommandKind kind, float volume = 1, float fade = 0) {
    MixerCommand command;
    command.command.kind = kind;
    command.command.volume = volume;
    command.command.fade = fade;
    return command;
}

void Send(Mixer& mixer, std::vector<MixerCommand> commands) { mixer.Submit(commands); }

std::vector<float> Render(Mixer& mixer, std::size_t frames) {
    std::vector<float> out(frames * 2, 123.0f);   // garbage: Render must overwrite all of it
    mixer.Render(out.data(), frames);
    return out;
}

class MixerTest : public testing::Test {
protected:
    MixerTest() { mixer.SetOutputRate(outputRate); }
    Mixer mixer;
};

TEST_F(MixerTest, AnEffectAtTheOutputRatePlaysItsSamplesThenSilence) {
    const std::vector<float> samples = {0.1f, 0.2f, -0.3f, 0.4f, -0.5f};
    Send(mixer, {Play(1, ReadyEntry(samples))});
    const std::vector<float> out = Render(mixer, 8);
    for (std::size_t frame = 0; frame < 8; ++frame) {
        const float expected = frame < samples.size() ? samples[frame] : 0.0f;
        EXPECT_FLOAT_EQ(out[2 * frame], expected) << frame;
        EXPECT_FLOAT_EQ(out[2 * frame + 1], expected) << frame;
    }
    EXPECT_EQ(mixer.VoiceCount(), 0u);
}

TEST_F(MixerTest, TwoEffectsAreSummed) {
    Send(mixer, {Play(1, ReadyEntry({0.25f, 0.25f})), Play(2, ReadyEntry({0.5f, -0.5f}))});
    const std::vector<float> out = Render(mixer, 2);
    EXPECT_FLOAT_EQ(out[0], 0.75f);
    EXPECT_FLOAT_EQ(out[2], -0.25f);
}

struct LevelCase {
    const char* name;
    float volume;
    float pan;
    int channels;
    float left;    // level of a 0.5 sample in each output channel
    float right;
};

class MixerLevels : public MixerTest, public testing::WithParamInterface<LevelCase> {};

TEST_P(MixerLevels, VolumeAndPanSetEachSidesLevel) {
    const LevelCase& test = GetParam();
    const std::vector<float> samples = test.channels == 1 ? std::vector<float>{0.5f} : std::vector<float>{0.5f, 0.5f};
    Send(mixer, {Play(1, ReadyEntry(samples, test.channels), test.volume, test.pan)});
    const std::vector<float> out = Render(mixer, 1);
    EXPECT_NEAR(out[0], test.left, 1e-6f);
    EXPECT_NEAR(out[1], test.right, 1e-6f);
}

INSTANTIATE_TEST_SUITE_P(Mixer, MixerLevels,
                         testing::Values(LevelCase{"Centre", 1, 0, 1, 0.5f, 0.5f},
                                         LevelCase{"HalfVolume", 0.5f, 0, 1, 0.25f, 0.25f},
                                         LevelCase{"Silent", 0, 0, 1, 0, 0},
                                         LevelCase{"FullLeft", 1, -1, 1, 0.5f, 0},
                                         LevelCase{"FullRight", 1, 1, 1, 0, 0.5f},
                                         LevelCase{"HalfRight", 1, 0.5f, 1, 0.25f, 0.5f},
                                         LevelCase{"StereoHalfLeftQuiet", 0.5f, -0.5f, 2, 0.25f, 0.125f}),
                         [](const testing::TestParamInfo<LevelCase>& info) { return std::string(info.param.name); });

TEST_F(MixerTest, StereoSourcesKeepTheirSides) {
    Send(mixer, {Play(1, ReadyEntry({0.5f, -0.25f}, 2))});
    const std::vector<float> out = Render(mixer, 1);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_FLOAT_EQ(out[1], -0.25f);
}

struct RateCase {
    const char* name;
    int sourceRate;
    float pitch;
    std::size_t expectedFrames;   // output frames of a 100-frame source
};

class MixerRates : public MixerTest, public testing::WithParamInterface<RateCase> {};

TEST_P(MixerRates, ResampleToTheOutputRateTimesThePitch) {
    const RateCase& test = GetParam();
    // A ramp, so that interpolation errors show.
    std::vector<float> ramp(100);
    for (std::size_t index = 0; index < ramp.size(); ++index) {
        ramp[index] = static_cast<float>(index) / 200.0f;
    }
    Send(mixer, {Play(1, ReadyEntry(ramp, 1, test.sourceRate), 1, 0, test.pitch)});
    const std::vector<float> out = Render(mixer, 1000);
    std::size_t audible = 0;
    while (audible < 1000 && (audible == 0 || out[2 * audible] != 0.0f)) {
        ++audible;
    }
    EXPECT_NEAR(static_cast<double>(audible), static_cast<double>(test.expectedFrames), 1.0);
    const double step = static_cast<double>(test.pitch) * test.sourceRate / outputRate;
    for (std::size_t frame = 0; frame + 1 < audible; ++frame) {
        EXPECT_NEAR(out[2 * frame], std::min(99.0, frame * step) / 200.0, 1e-5) << frame;
    }
}

INSTANTIATE_TEST_SUITE_P(Mixer, MixerRates,
                         testing::Values(RateCase{"Same", 48000, 1, 100}, RateCase{"HalfRate", 24000, 1, 200},
                                         RateCase{"CdRate", 44100, 1, 109}, RateCase{"PitchTwo", 48000, 2, 50},
                                         RateCase{"PitchQuarter", 48000, 0.25f, 400},
                                         RateCase{"HighRateLowPitch", 96000, 0.5f, 100}),
                         [](const testing::TestParamInfo<RateCase>& info) { return std::string(info.param.name); });

TEST_F(MixerTest, TheOldestVoiceGivesWayWhenAllAreBusy) {
    const auto entry = ReadyEntry(std::vector<float>(48000, 0.001f));
    std::vector<MixerCommand> commands;
    for (std::int64_t handle = 1; handle <= static_cast<std::int64_t>(Mixer::maxVoices) + 5; ++handle) {
        commands.push_back(Play(handle, entry));
    }
    Send(mixer, std::move(commands));
    const std::vector<float> out = Render(mixer, 1);
    EXPECT_EQ(mixer.VoiceCount(), Mixer::maxVoices);
    EXPECT_NEAR(out[0], 0.001f * Mixer::maxVoices, 1e-6f);

    // Handles 1..5 were stopped to make room: stopping them changes nothing.
    MixerCommand stopOld = Simple(AudioCommandKind::SoundStop);
    stopOld.command.handle = 3;
    MixerCommand stopNew = Simple(AudioCommandKind::SoundStop);
    stopNew.command.handle = 6;
    Send(mixer, {stopOld});
    Render(mixer, 1);
    EXPECT_EQ(mixer.VoiceCount(), Mixer::maxVoices);
    Send(mixer, {stopNew});
    Render(mixer, 1);
    EXPECT_EQ(mixer.VoiceCount(), Mixer::maxVoices - 1);
}

TEST_F(MixerTest, StopSilencesOnlyThatVoice) {
    Send(mixer, {Play(7, ReadyEntry(std::vector<float>(1000, 0.25f))),
                 Play(8, ReadyEntry(std::vector<float>(1000, 0.5f)))});
    Render(mixer, 10);
    MixerCommand stop = Simple(AudioCommandKind::SoundStop);
    stop.command.handle = 8;
    Send(mixer, {stop});
    const std::vector<float> out = Render(mixer, 10);
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    EXPECT_FLOAT_EQ(out[19], 0.25f);
}

TEST_F(MixerTest, AVoiceWaitsForItsDecodeAndAFailedOneIsDropped) {
    auto loading = std::make_shared<SoundEntry>();
    auto failing = std::make_shared<SoundEntry>();
    Send(mixer, {Play(1, loading), Play(2, failing)});
    EXPECT_EQ(Render(mixer, 4), std::vector<float>(8, 0.0f));
    EXPECT_EQ(mixer.VoiceCount(), 2u);

    failing->state.store(SoundEntry::State::Failed);
    loading->buffer = ReadyEntry({0.5f, 0.25f})->buffer;
    loading->state.store(SoundEntry::State::Ready);
    const std::vector<float> out = Render(mixer, 4);
    // The waiting voice starts at its first sample, not where it would have been.
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_FLOAT_EQ(out[2], 0.25f);
    EXPECT_EQ(mixer.VoiceCount(), 0u);
}

TEST_F(MixerTest, MasterVolumeMuteAndClipping) {
    const auto loud = ReadyEntry(std::vector<float>(100, 0.8f));
    MixerCommand master = Simple(AudioCommandKind::Settings, 0.5f);
    Send(mixer, {master, Play(1, loud)});
    EXPECT_FLOAT_EQ(Render(mixer, 1)[0], 0.4f);

    MixerCommand full = Simple(AudioCommandKind::Settings, 1);
    Send(mixer, {full, Play(2, loud)});
    EXPECT_FLOAT_EQ(Render(mixer, 1)[0], 1.0f);   // 1.6 clipped

    MixerCommand mute = Simple(AudioCommandKind::Settings, 1);
    mute.command.muted = true;
    Send(mixer, {mute});
    EXPECT_FLOAT_EQ(Render(mixer, 1)[0], 0.0f);
    EXPECT_EQ(mixer.VoiceCount(), 2u);   // muted voices keep playing silently
}

TEST_F(MixerTest, SuspendedOutputIsSilentAndHoldsItsPlace) {
    Send(mixer, {Play(1, ReadyEntry({0.1f, 0.2f, 0.3f}))});
    EXPECT_FLOAT_EQ(Render(mixer, 1)[0], 0.1f);
    mixer.SetSuspended(true);
    EXPECT_EQ(Render(mixer, 100), std::vector<float>(200, 0.0f));
    mixer.SetSuspended(false);
    EXPECT_FLOAT_EQ(Render(mixer, 1)[0], 0.2f);
}

// Music tests play WAV tracks from a temp folder; the streamed Ogg path is covered
// by the decoder tests and the device tests.
class MusicTest : public MixerTest {
protected:
    std::shared_ptr<MusicTrack> Track(const std::vector<float>& samples, int rate = outputRate) {
        const fs::path path = folder.path / ("track" + std::to_string(count++) + ".wav");
        WriteFile(path, MakeWav(samples, 1, rate, WavEncoding::Float32));
        auto track = std::make_shared<MusicTrack>(path);
        std::string error;
        EXPECT_TRUE(track->Open(error)) << error;
        return track;
    }
    MixerCommand Music(std::shared_ptr<MusicTrack> track, bool loop, float volume = 1, float fade = 0) {
        MixerCommand command = Simple(AudioCommandKind::Music, volume, fade);
        command.command.loop = loop;
        command.music = std::move(track);
        return command;
    }
    TempFolder folder;
    int count = 0;
};

TEST_F(MusicTest, ALoopingTrackStartsAgainAndAnUnloopedOneEnds) {
    const std::vector<float> samples = {0.1f, 0.2f, 0.3f};
    Send(mixer, {Music(Track(samples), true)});
    std::vector<float> out = Render(mixer, 7);
    for (std::size_t frame = 0; frame < 7; ++frame) {
        EXPECT_FLOAT_EQ(out[2 * frame], samples[frame % 3]) << frame;
    }
    Send(mixer, {Music(Track(samples), false)});
    out = Render(mixer, 5);
    EXPECT_FLOAT_EQ(out[4], 0.3f);
    EXPECT_FLOAT_EQ(out[6], 0.0f);
    EXPECT_FALSE(mixer.MusicPlaying());
}

TEST_F(MusicTest, FadeInRisesToTheVolumeAndStopFadesOut) {
    const std::size_t second = outputRate;
    Send(mixer, {Music(Track(std::vector<float>(second, 1.0f)), true, 0.5f, 0.1f)});
    std::vector<float> out = Render(mixer, second / 5);
    EXPECT_NEAR(out[0], 0.0f, 1e-3f);
    EXPECT_NEAR(out[2 * (second / 20)], 0.25f, 1e-2f);   // halfway through the 0.1 s fade
    EXPECT_NEAR(out[2 * (second / 10 + 10)], 0.5f, 1e-6f);

    Send(mixer, {Simple(AudioCommandKind::MusicStop, 1, 0.05f), Simple(AudioCommandKind::MusicVolume, 1, 0)});
    out = Render(mixer, second / 10);
    EXPECT_NEAR(out[2 * (second / 40)], 0.25f, 1e-2f);
    EXPECT_EQ(out[2 * (second / 20 + 10)], 0.0f);
    EXPECT_FALSE(mixer.MusicPlaying());
}

TEST_F(MusicTest, PauseHoldsThePlaceAndVolumeFadesToTheNewLevel) {
    Send(mixer, {Music(Track({0.1f, 0.2f, 0.3f, 0.4f}), false)});
    EXPECT_FLOAT_EQ(Render(mixer, 1)[0], 0.1f);
    Send(mixer, {Simple(AudioCommandKind::MusicPause)});
    EXPECT_EQ(Render(mixer, 50), std::vector<float>(100, 0.0f));
    Send(mixer, {Simple(AudioCommandKind::MusicResume), Simple(AudioCommandKind::MusicVolume, 0.5f)});
    EXPECT_FLOAT_EQ(Render(mixer, 1)[0], 0.1f);
    // A fading stop of paused music ends it at once.
    Send(mixer, {Simple(AudioCommandKind::MusicPause), Simple(AudioCommandKind::MusicStop, 1, 2)});
    Render(mixer, 1);
    EXPECT_FALSE(mixer.MusicPlaying());
}

TEST_F(MusicTest, ANewTrackWithAFadeCrossfadesFromTheOld) {
    Send(mixer, {Music(Track(std::vector<float>(outputRate, 0.5f)), true)});
    Render(mixer, 100);
    Send(mixer, {Music(Track(std::vector<float>(outputRate, 0.25f)), true, 1, 0.1f)});
    const std::vector<float> out = Render(mixer, outputRate / 5);
    EXPECT_NEAR(out[0], 0.5f, 1e-3f);
    EXPECT_NEAR(out[2 * (outputRate / 20)], 0.25f + 0.125f, 1e-2f);   // half of each
    EXPECT_NEAR(out[2 * (outputRate / 10 + 10)], 0.25f, 1e-6f);
}

TEST_F(MusicTest, ATrackAtAnotherRateIsResampled) {
    Send(mixer, {Music(Track({0.0f, 0.5f, 1.0f, 0.5f}, outputRate / 2), false)});
    const std::vector<float> out = Render(mixer, 8);
    const float expected[] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 0.75f, 0.5f};
    for (std::size_t frame = 0; frame < 7; ++frame) {
        EXPECT_NEAR(out[2 * frame], expected[frame], 1e-6f) << frame;
    }
}

TEST_F(MusicTest, AFailedTrackLeavesSilence) {
    auto track = std::make_shared<MusicTrack>(folder.path / "missing.ogg");
    std::string error;
    EXPECT_FALSE(track->Open(error));
    Send(mixer, {Music(track, true)});
    EXPECT_EQ(Render(mixer, 4), std::vector<float>(8, 0.0f));
    EXPECT_FALSE(mixer.MusicPlaying());
}

} // namespace
