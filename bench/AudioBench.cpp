// Costs on the two threads that must never wait: the audio thread's block (32
// voices at another rate, plus streamed Vorbis music) and the game thread's hand-over
// of a frame's sound commands.
#include "audio/Mixer.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr std::size_t blockFrames = 512;

std::shared_ptr<Orvane::SoundEntry> Entry() {
    auto entry = std::make_shared<Orvane::SoundEntry>();
    entry->buffer.sampleRate = 44100;
    entry->buffer.channels = 2;
    entry->buffer.samples.assign(44100 * 2 * 30, 0.01f);   // long enough never to end
    entry->state.store(Orvane::SoundEntry::State::Ready);
    return entry;
}

void BM_MixerBlock(benchmark::State& state) {
    Orvane::Mixer mixer;
    mixer.SetOutputRate(48000);
    std::vector<Orvane::MixerCommand> commands;
    const auto entry = Entry();
    for (std::int64_t handle = 1; handle <= state.range(0); ++handle) {
        Orvane::MixerCommand& command = commands.emplace_back();
        command.command.handle = handle;
        command.command.pitch = 1.1f;
        command.sound = entry;
    }
    if (state.range(1) != 0) {
        Orvane::MixerCommand& music = commands.emplace_back();
        music.command.kind = Orvane::AudioCommandKind::Music;
        music.command.loop = true;
        music.music = std::make_shared<Orvane::MusicTrack>(std::filesystem::path(ORVANE_SOURCE_DIR) /
                                                           "samples/BasicGame/assets/music.ogg");
        std::string error;
        if (!music.music->Open(error)) {
            state.SkipWithError(("music.ogg: " + error).c_str());
            return;
        }
    }
    mixer.Submit(commands);
    std::vector<float> out(blockFrames * 2);
    for (auto _ : state) {
        mixer.Render(out.data(), blockFrames);
        benchmark::DoNotOptimize(out.data());
    }
    // A 512-frame block lasts 10.7 ms at 48 kHz: the rendering must stay far below.
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(blockFrames));
}
BENCHMARK(BM_MixerBlock)->Args({0, 1})->Args({32, 0})->Args({32, 1})->Unit(benchmark::kMicrosecond);

void BM_SubmitThousandPlays(benchmark::State& state) {
    Orvane::Mixer mixer;
    const auto entry = Entry();
    std::vector<float> out(blockFrames * 2);
    for (auto _ : state) {
        std::vector<Orvane::MixerCommand> commands(1000);
        for (std::size_t index = 0; index < commands.size(); ++index) {
            commands[index].command.handle = static_cast<std::int64_t>(index + 1);
            commands[index].sound = entry;
        }
        mixer.Submit(commands);
        mixer.Render(out.data(), blockFrames);   // the audio thread takes them in its next block
    }
}
BENCHMARK(BM_SubmitThousandPlays)->Unit(benchmark::kMicrosecond);

} // namespace
