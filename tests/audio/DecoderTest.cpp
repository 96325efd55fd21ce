#include "AudioTestSupport.h"
#include "audio/SoundCache.h"
#include "audio/VorbisDecoder.h"
#include "audio/WavDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Orvane;
using namespace OrvaneTest;

namespace {

struct WavCase {
    const char* name;
    WavEncoding encoding;
    int channels;
    bool extensible;
    float tolerance;   // one step of the encoding
};

class WavEncodings : public testing::TestWithParam<WavCase> {};

TEST_P(WavEncodings, DecodesEverySampleToItsValue) {
    const WavCase& test = GetParam();
    // Full scale both ways, zero, and values between, in every channel.
    std::vector<float> samples = {0.0f, 0.5f, -0.5f, 0.99f, -0.99f, 0.25f, -0.125f, 0.75f};
    if (test.channels == 1) {
        samples.resize(7);
    }
    const std::string file = MakeWav(samples, test.channels, 32000, test.encoding, test.extensible);
    SoundBuffer buffer;
    std::string error;
    ASSERT_TRUE(DecodeWav(Bytes(file), buffer, error)) << error;
    EXPECT_EQ(buffer.sampleRate, 32000);
    EXPECT_EQ(buffer.channels, test.channels);
    ASSERT_EQ(buffer.samples.size(), samples.size());
    for (std::size_t index = 0; index < samples.size(); ++index) {
        EXPECT_NEAR(buffer.samples[index], samples[index], test.tolerance) << "sample " << index;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Wav, WavEncodings,
    testing::Values(WavCase{"Pcm8Mono", WavEncoding::Pcm8, 1, false, 1.0f / 120},
                    WavCase{"Pcm8Stereo", WavEncoding::Pcm8, 2, false, 1.0f / 120},
                    WavCase{"Pcm16Mono", WavEncoding::Pcm16, 1, false, 1.0f / 15000},
                    WavCase{"Pcm16Stereo", WavEncoding::Pcm16, 2, false, 1.0f / 15000},
                    WavCase{"Pcm24Stereo", WavEncoding::Pcm24, 2, false, 1.0f / 8000000},
                    WavCase{"Pcm32Stereo", WavEncoding::Pcm32, 2, false, 1e-6f},
                    WavCase{"FloatMono", WavEncoding::Float32, 1, false, 0},
                    WavCase{"FloatStereoExtensible", WavEncoding::Float32, 2, true, 0},
                    WavCase{"Pcm16Extensible", WavEncoding::Pcm16, 1, true, 1.0f / 15000}),
    [](const testing::TestParamInfo<WavCase>& info) { return std::string(info.param.name); });

TEST(WavDecoder, NegativeFullScaleOf24BitKeepsItsSign) {
    // 0x800000 is -1: the sign bit of the third byte must carry.
    std::string file = MakeWav({0.0f}, 1, 8000, WavEncoding::Pcm24);
    file.replace(file.size() - 3, 3, std::string("\x00\x00\x80", 3));
    SoundBuffer buffer;
    std::string error;
    ASSERT_TRUE(DecodeWav(Bytes(file), buffer, error));
    EXPECT_FLOAT_EQ(buffer.samples[0], -1.0f);
}

TEST(WavDecoder, ADataChunkCutShortKeepsItsWholeFrames) {
    std::string file = MakeWav({0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f}, 2, 8000, WavEncoding::Pcm16);
    file.resize(file.size() - 3);   // the last frame loses three of its four bytes
    SoundBuffer buffer;
    std::string error;
    ASSERT_TRUE(DecodeWav(Bytes(file), buffer, error)) << error;
    EXPECT_EQ(buffer.Frames(), 2u);
}

TEST(WavDecoder, SkipsUnknownChunksAndTheirPadding) {
    std::string file = MakeWav({0.5f}, 1, 8000, WavEncoding::Pcm16);
    // An odd-sized LIST chunk before "data" is padded to an even size.
    const std::size_t dataAt = file.find("data");
    file.insert(dataAt, std::string("LIST\x03\x00\x00\x00" "abc\x00", 12));
    SoundBuffer buffer;
    std::string error;
    ASSERT_TRUE(DecodeWav(Bytes(file), buffer, error)) << error;
    EXPECT_NEAR(buffer.samples.at(0), 0.5f, 1e-4f);
}

struct BadWavCase {
    const char* name;
    std::string file;
    const char* reason;   // part of the error text
};

class BadWavs : public testing::TestWithParam<BadWavCase> {};

TEST_P(BadWavs, AreRefusedWithAReason) {
    SoundBuffer buffer;
    std::string error;
    bool truncated = false;
    EXPECT_FALSE(DecodeSoundFile(Bytes(GetParam().file), buffer, truncated, error));
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
}

std::string WithFormatCode(int code, WavEncoding encoding) {
    return MakeWav({0.1f, 0.2f}, 1, 8000, encoding, false, code);
}

INSTANTIATE_TEST_SUITE_P(
    Wav, BadWavs,
    testing::Values(
        BadWavCase{"Empty", "", "empty file"},
        BadWavCase{"NotAudio", "plain text, not a sound", "not a WAV or Ogg Vorbis file"},
        BadWavCase{"RiffHeaderOnly", std::string("RIFF\x04\x00\x00\x00WAVE", 12), "no format chunk"},
        BadWavCase{"Adpcm", WithFormatCode(2, WavEncoding::Pcm16), "unsupported encoding (format 2, 16 bits)"},
        BadWavCase{"MuLaw", WithFormatCode(7, WavEncoding::Pcm8), "unsupported encoding (format 7, 8 bits)"},
        BadWavCase{"ThreeChannels", MakeWav({0, 0, 0}, 3, 8000, WavEncoding::Pcm16), "channel count 3"},
        BadWavCase{"ZeroRate", MakeWav({0}, 1, 0, WavEncoding::Pcm16), "sample rate 0"},
        BadWavCase{"NoSamples", MakeWav({}, 1, 8000, WavEncoding::Pcm16), "no audio data"}),
    [](const testing::TestParamInfo<BadWavCase>& info) { return std::string(info.param.name); });

TEST(WavDecoder, ANanInAFloatFileBecomesSilence) {
    const std::string file = MakeWav({0.5f, std::nanf(""), 0.25f}, 1, 8000, WavEncoding::Float32);
    SoundBuffer buffer;
    std::string error;
    ASSERT_TRUE(DecodeWav(Bytes(file), buffer, error));
    EXPECT_EQ(buffer.samples[1], 0.0f);
}

struct OggCase {
    const char* file;
    int rate;
    int channels;
    double frequency;
    float leftPeak;
    float rightPeak;
};

class OggFiles : public testing::TestWithParam<OggCase> {};

TEST_P(OggFiles, DecodeWholeToTheirTone) {
    const OggCase& test = GetParam();
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ReadFileBytes(TestData(test.file), bytes));
    SoundBuffer buffer;
    bool truncated = true;
    std::string error;
    ASSERT_TRUE(DecodeSoundFile(bytes, buffer, truncated, error)) << error;
    EXPECT_FALSE(truncated);
    EXPECT_EQ(buffer.sampleRate, test.rate);
    EXPECT_EQ(buffer.channels, test.channels);
    EXPECT_NEAR(static_cast<double>(buffer.Frames()), test.rate * 0.5, 2.0);   // both are half a second
    EXPECT_NEAR(Frequency(buffer.samples, buffer.channels, 0, test.rate), test.frequency, test.frequency * 0.02);
    // The RMS of a sine is its peak / sqrt(2).
    const std::size_t channels = static_cast<std::size_t>(buffer.channels);
    EXPECT_NEAR(Rms(buffer.samples.data(), buffer.samples.size(), channels) * std::sqrt(2.0), test.leftPeak, 0.03);
    if (channels == 2) {
        EXPECT_NEAR(Rms(buffer.samples.data() + 1, buffer.samples.size() - 1, 2) * std::sqrt(2.0), test.rightPeak,
                    0.03);
    }
}

TEST_P(OggFiles, StreamGivesTheSameSamplesInStereoAndRewinds) {
    const OggCase& test = GetParam();
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ReadFileBytes(TestData(test.file), bytes));
    SoundBuffer whole;
    bool truncated = false;
    std::string error;
    ASSERT_TRUE(DecodeSoundFile(bytes, whole, truncated, error));

    VorbisStream stream;
    ASSERT_TRUE(stream.Open(TestData(test.file), error)) << error;
    EXPECT_EQ(stream.SampleRate(), test.rate);
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<float> streamed;
        std::vector<float> block(2 * 700);   // an odd block size crosses the decoder's packets
        while (const std::size_t frames = stream.Read(block.data(), 700)) {
            streamed.insert(streamed.end(), block.begin(), block.begin() + 2 * frames);
        }
        ASSERT_EQ(streamed.size() / 2, whole.Frames()) << "pass " << pass;
        const std::size_t channels = static_cast<std::size_t>(whole.channels);
        for (std::size_t frame = 0; frame < whole.Frames(); frame += 97) {
            EXPECT_FLOAT_EQ(streamed[2 * frame], whole.samples[frame * channels]);
            EXPECT_FLOAT_EQ(streamed[2 * frame + 1], whole.samples[frame * channels + channels - 1]);
        }
        ASSERT_TRUE(stream.Rewind());
    }
}

INSTANTIATE_TEST_SUITE_P(Ogg, OggFiles,
                         testing::Values(OggCase{"tone-stereo.ogg", 44100, 2, 440, 0.5f, 0.25f},
                                         OggCase{"tone-mono.ogg", 22050, 1, 1000, 0.5f, 0.5f}),
                         [](const testing::TestParamInfo<OggCase>& info) {
                             return std::string(info.param.channels == 2 ? "Stereo" : "Mono");
                         });

TEST(VorbisDecoder, ATruncatedFileKeepsItsFrontOrFailsCleanly) {
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ReadFileBytes(TestData("tone-stereo.ogg"), bytes));
    // Cut at many points: inside the headers nothing decodes, later the front plays
    // (a cut in the last page may still leave every sample).
    for (std::size_t cut : {std::size_t{10}, std::size_t{60}, std::size_t{300}, bytes.size() / 3, bytes.size() / 2,
                            bytes.size() - 7}) {
        const std::vector<std::uint8_t> front(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        SoundBuffer buffer;
        bool truncated = false;
        std::string error;
        if (DecodeSoundFile(front, buffer, truncated, error)) {
            EXPECT_GT(buffer.Frames(), 0u) << "cut at " << cut;
            if (cut <= bytes.size() / 2) {
                EXPECT_LT(buffer.Frames(), 22050u) << "cut at " << cut;
            }
        } else {
            EXPECT_FALSE(error.empty()) << "cut at " << cut;
        }
    }
}

TEST(VorbisDecoder, GarbageAfterTheCapturePatternIsRefused) {
    std::vector<std::uint8_t> bytes = Bytes(std::string("OggS") + std::string(500, '\x5A'));
    SoundBuffer buffer;
    bool truncated = false;
    std::string error;
    EXPECT_FALSE(DecodeSoundFile(bytes, buffer, truncated, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
