#include "AudioTestSupport.h"
#include "audio/SoundCache.h"

#include <gtest/gtest.h>

using namespace Orvane;
using namespace OrvaneTest;

namespace {

struct CacheCase {
    const char* name;
    std::string content;   // the file's bytes; "<missing>" for no file
    bool ready;
    const char* warning;   // start of the one warning, or "" for none
};

class SoundCacheFiles : public testing::TestWithParam<CacheCase> {};

TEST_P(SoundCacheFiles, DecodeOnceAndWarnOncePerPath) {
    const CacheCase& test = GetParam();
    TempFolder folder;
    const fs::path path = folder.path / "sound.bin";
    if (test.content != "<missing>") {
        WriteFile(path, test.content);
    }
    AudioLoader loader;
    SoundCache cache(loader);
    const auto first = cache.Get(path);
    for (int again = 0; again < 5; ++again) {
        EXPECT_EQ(cache.Get(path), first) << "one entry per path";
    }
    loader.WaitIdle();
    EXPECT_EQ(first->state.load(),
              test.ready ? SoundEntry::State::Ready : SoundEntry::State::Failed);
    const std::vector<std::string> warnings = loader.TakeWarnings();
    if (std::string(test.warning).empty()) {
        EXPECT_TRUE(warnings.empty());
    } else {
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(warnings[0].rfind(test.warning, 0), 0u) << warnings[0];
        EXPECT_NE(warnings[0].find(PathToUtf8(path)), std::string::npos) << warnings[0];
    }
}

std::string TruncatedOgg() {
    std::vector<std::uint8_t> bytes;
    ReadFileBytes(TestData("tone-stereo.ogg"), bytes);
    return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() * 3 / 4));
}

std::string WholeOgg() {
    std::vector<std::uint8_t> bytes;
    ReadFileBytes(TestData("tone-stereo.ogg"), bytes);
    return std::string(bytes.begin(), bytes.end());
}

INSTANTIATE_TEST_SUITE_P(
    Cache, SoundCacheFiles,
    testing::Values(
        CacheCase{"Wav", MakeWav({0.5f, 0.25f}, 1, 8000, WavEncoding::Pcm16), true, ""},
        CacheCase{"Ogg", WholeOgg(), true, ""},
        CacheCase{"Missing", "<missing>", false, "Sound not found: "},
        CacheCase{"Empty", "", false, "Sound could not be loaded: "},
        CacheCase{"NotAudio", "GIF89a not audio", false, "Sound could not be loaded: "},
        CacheCase{"Unsupported", MakeWav({0.1f}, 1, 8000, WavEncoding::Pcm16, false, 2), false,
                  "Sound could not be loaded: "},
        CacheCase{"TruncatedOgg", TruncatedOgg(), true, "Sound file breaks off, playing the part before the break: "}),
    [](const testing::TestParamInfo<CacheCase>& info) { return std::string(info.param.name); });

TEST(SoundCache, AFolderIsNotASound) {
    TempFolder folder;
    AudioLoader loader;
    SoundCache cache(loader);
    const auto entry = cache.Get(folder.path);
    loader.WaitIdle();
    EXPECT_EQ(entry->state.load(), SoundEntry::State::Failed);
    EXPECT_EQ(loader.TakeWarnings().size(), 1u);
}

} // namespace
