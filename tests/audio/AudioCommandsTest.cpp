#include "scripting/AudioCommands.h"

#include <gtest/gtest.h>

#include <optional>

using namespace Orvane;

namespace {

std::filesystem::path Resolve(std::string_view piece) { return std::filesystem::path("/game") / std::string(piece); }

struct ParseCase {
    const char* line;
    std::optional<AudioCommand> expected;   // nullopt: the line is dropped
};

AudioCommand Sound(std::int64_t handle, const char* path, float volume, float pan, float pitch) {
    AudioCommand command;
    command.kind = AudioCommandKind::Sound;
    command.handle = handle;
    command.path = Resolve(path);
    command.volume = volume;
    command.pan = pan;
    command.pitch = pitch;
    return command;
}

AudioCommand Music(const char* path, bool loop, float volume, float fade) {
    AudioCommand command;
    command.kind = AudioCommandKind::Music;
    command.path = Resolve(path);
    command.loop = loop;
    command.volume = volume;
    command.fade = fade;
    return command;
}

AudioCommand Of(AudioCommandKind kind, float volume = 1, float fade = 0, std::int64_t handle = 0) {
    AudioCommand command;
    command.kind = kind;
    command.volume = volume;
    command.fade = fade;
    command.handle = handle;
    return command;
}

AudioCommand Settings(float master, bool muted, bool pauseUnfocused) {
    AudioCommand command = Of(AudioCommandKind::Settings, master);
    command.muted = muted;
    command.pauseUnfocused = pauseUnfocused;
    return command;
}

class AudioLines : public testing::TestWithParam<ParseCase> {};

TEST_P(AudioLines, ParseOrDrop) {
    std::vector<AudioCommand> commands;
    ASSERT_TRUE(ParseAudioLine(GetParam().line, Resolve, commands));
    const std::optional<AudioCommand>& expected = GetParam().expected;
    if (!expected) {
        EXPECT_TRUE(commands.empty());
        return;
    }
    ASSERT_EQ(commands.size(), 1u);
    const AudioCommand& got = commands[0];
    EXPECT_EQ(got.kind, expected->kind);
    EXPECT_EQ(got.handle, expected->handle);
    EXPECT_EQ(got.path, expected->path);
    EXPECT_FLOAT_EQ(got.volume, expected->volume);
    EXPECT_FLOAT_EQ(got.pan, expected->pan);
    EXPECT_FLOAT_EQ(got.pitch, expected->pitch);
    EXPECT_FLOAT_EQ(got.fade, expected->fade);
    EXPECT_EQ(got.loop, expected->loop);
    EXPECT_EQ(got.muted, expected->muted);
    EXPECT_EQ(got.pauseUnfocused, expected->pauseUnfocused);
}

INSTANTIATE_TEST_SUITE_P(
    Audio, AudioLines,
    testing::Values(
        ParseCase{"SOUND|1|sfx/a.wav|0.5|-0.25|1.5", Sound(1, "sfx/a.wav", 0.5f, -0.25f, 1.5f)},
        ParseCase{"SOUND|9007199254740993|a.ogg|1|0|1", Sound(9007199254740993, "a.ogg", 1, 0, 1)},
        // Out of range: clamped.
        ParseCase{"SOUND|2|a.wav|7|-3|100", Sound(2, "a.wav", 1, -1, 4)},
        ParseCase{"SOUND|2|a.wav|-1|3|0", Sound(2, "a.wav", 0, 1, 0.25f)},
        // Dropped: not finite, bad handle, missing path, wrong count.
        ParseCase{"SOUND|3|a.wav|nan|0|1", std::nullopt},
        ParseCase{"SOUND|3|a.wav|1|inf|1", std::nullopt},
        ParseCase{"SOUND|3|a.wav|1|0|-inf", std::nullopt},
        ParseCase{"SOUND|0|a.wav|1|0|1", std::nullopt},
        ParseCase{"SOUND|-4|a.wav|1|0|1", std::nullopt},
        ParseCase{"SOUND|4x|a.wav|1|0|1", std::nullopt},
        ParseCase{"SOUND|4||1|0|1", std::nullopt},
        ParseCase{"SOUND|4|a.wav|1|0", std::nullopt},
        ParseCase{"SOUND|4|a.wav|1|0|1|2", std::nullopt},
        ParseCase{"SOUND_STOP|12", Of(AudioCommandKind::SoundStop, 1, 0, 12)},
        ParseCase{"SOUND_STOP|", std::nullopt},
        ParseCase{"SOUND_STOP|1|2", std::nullopt},
        ParseCase{"MUSIC|music/theme.ogg|1|0.4|2", Music("music/theme.ogg", true, 0.4f, 2)},
        ParseCase{"MUSIC|m.ogg|0|3|-1", Music("m.ogg", false, 1, 0)},
        ParseCase{"MUSIC|m.ogg|2|1|0", std::nullopt},
        ParseCase{"MUSIC|m.ogg|1|1|nan", std::nullopt},
        ParseCase{"MUSIC||1|1|0", std::nullopt},
        ParseCase{"MUSIC_PAUSE", Of(AudioCommandKind::MusicPause)},
        ParseCase{"MUSIC_RESUME", Of(AudioCommandKind::MusicResume)},
        ParseCase{"MUSIC_PAUSE|1", std::nullopt},
        ParseCase{"MUSIC_STOP|0.5", Of(AudioCommandKind::MusicStop, 1, 0.5f)},
        ParseCase{"MUSIC_STOP", std::nullopt},
        ParseCase{"SOUND", std::nullopt},
        ParseCase{"AUDIO", std::nullopt},
        ParseCase{"MUSIC_VOLUME|0.3|1", Of(AudioCommandKind::MusicVolume, 0.3f, 1)},
        ParseCase{"MUSIC_VOLUME|0.3", std::nullopt},
        ParseCase{"AUDIO|0.8|1|0", Settings(0.8f, true, false)},
        ParseCase{"AUDIO|-2|0|1", Settings(0, false, true)},
        ParseCase{"AUDIO|1|yes|0", std::nullopt},
        ParseCase{"AUDIO|1|0", std::nullopt}));

TEST(AudioLines, OtherLinesAreLeftToTheOtherParsers) {
    std::vector<AudioCommand> commands;
    for (const char* line : {"SOUNDS|1", "MUSIC_PAUSED", "MUSIC_PAUSEX|", "AUDIOX|1|0|0", "FILL|0|0|1|1|0|0|0|0", "",
                             "sound|1|a.wav|1|0|1"}) {
        EXPECT_FALSE(ParseAudioLine(line, Resolve, commands)) << line;
    }
    EXPECT_TRUE(commands.empty());
}

TEST(AudioLines, KeepArrivalOrder) {
    std::vector<AudioCommand> commands;
    for (const char* line : {"MUSIC|a.ogg|1|1|0", "MUSIC_PAUSE", "SOUND|5|b.wav|1|0|1", "SOUND_STOP|5"}) {
        ParseAudioLine(line, Resolve, commands);
    }
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[0].kind, AudioCommandKind::Music);
    EXPECT_EQ(commands[1].kind, AudioCommandKind::MusicPause);
    EXPECT_EQ(commands[2].kind, AudioCommandKind::Sound);
    EXPECT_EQ(commands[3].kind, AudioCommandKind::SoundStop);
}

} // namespace
