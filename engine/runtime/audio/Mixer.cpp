#include "audio/Mixer.h"

#include <algorithm>
#include <cmath>

namespace Orvane {

namespace {

// Balance rather than constant power: a centred effect plays at its own level,
// and a full pan silences the other side.
void PanGains(float volume, float pan, float& left, float& right) {
    left = volume * std::min(1.0f, 1.0f - pan);
    right = volume * std::min(1.0f, 1.0f + pan);
}

} // namespace

Mixer::Mixer() {
    voices.reserve(maxVoices);
    retired.reserve(8);
}

void Mixer::SetOutputRate(int rate) { outputRate = rate > 0 ? rate : 48000; }

void Mixer::Submit(std::vector<MixerCommand>& commands) {
    std::lock_guard lock(mutex);
    if (pending.empty()) {
        pending.swap(commands);
    } else {
        std::move(commands.begin(), commands.end(), std::back_inserter(pending));
    }
    commands.clear();
}

void Mixer::ReleaseRetiredTracks() {
    std::vector<std::shared_ptr<MusicTrack>> released;
    {
        std::lock_guard lock(mutex);
        released.swap(retired);
        retired.reserve(8);
    }
}

void Mixer::Retire(MusicSlot& slot) {
    if (slot.track != nullptr) {
        std::lock_guard lock(mutex);
        retired.push_back(std::move(slot.track));
    }
    slot = MusicSlot{};
}

void Mixer::FadeTo(MusicSlot& slot, float target, float seconds) {
    slot.target = target;
    slot.fade = seconds;
    if (seconds <= 0) {
        slot.gain = target;
        slot.gainStep = 0;
    } else {
        slot.gainStep = std::abs(target - slot.gain) / (seconds * static_cast<float>(outputRate));
    }
}

void Mixer::StartVoice(MixerCommand& command) {
    if (voices.size() >= maxVoices) {
        voices.erase(voices.begin());   // the oldest gives way
    }
    Voice voice;
    voice.handle = command.command.handle;
    voice.sound = std::move(command.sound);
    voice.volume = command.command.volume;
    voice.pan = command.command.pan;
    voice.pitch = command.command.pitch;
    voices.push_back(std::move(voice));
}

void Mixer::Apply(MixerCommand& command) {
    const AudioCommand& what = command.command;
    switch (what.kind) {
    case AudioCommandKind::Sound:
        StartVoice(command);
        break;
    case AudioCommandKind::SoundStop:
        std::erase_if(voices, [&](const Voice& voice) { return voice.handle == what.handle; });
        break;
    case AudioCommandKind::Music:
        // A fading start crossfades from the old track; otherwise it is cut.
        Retire(outgoing);
        if (what.fade > 0 && music.track != nullptr && music.started && !music.paused) {
            outgoing = std::move(music);
            outgoing.stopping = true;
            FadeTo(outgoing, 0, what.fade);
        } else {
            Retire(music);
        }
        music = MusicSlot{};
        music.track = std::move(command.music);
        music.loop = what.loop;
        music.target = what.volume;
        music.fade = what.fade;
        break;
    case AudioCommandKind::MusicPause:
        music.paused = true;
        break;
    case AudioCommandKind::MusicResume:
        music.paused = false;
        break;
    case AudioCommandKind::MusicStop:
        // Paused music would never move through its fade: it ends at once.
        if (what.fade <= 0 || !music.started || music.paused) {
            Retire(music);
        } else {
            music.stopping = true;
            FadeTo(music, 0, what.fade);
        }
        break;
    case AudioCommandKind::MusicVolume:
        if (music.stopping) {
            break;   // a track on its way out stays on its way out
        }
        if (music.started) {
            FadeTo(music, what.volume, what.fade);
        } else {
            music.target = what.volume;
            music.fade = what.fade;
        }
        break;
    case AudioCommandKind::Settings:
        masterVolume = what.volume;
        muted = what.muted;
        break;
    }
}

void Mixer::MixVoice(Voice& voice, float* out, std::size_t frames, bool& ended) {
    const SoundEntry::State state = voice.sound->state.load(std::memory_order_acquire);
    if (state == SoundEntry::State::Loading) {
        return;   // starts once the loader has decoded it
    }
    const SoundBuffer& buffer = voice.sound->buffer;
    const std::size_t length = buffer.Frames();
    if (state == SoundEntry::State::Failed || length == 0) {
        ended = true;
        return;
    }
    float left = 0;
    float right = 0;
    PanGains(voice.volume, voice.pan, left, right);
    const double step = static_cast<double>(voice.pitch) * buffer.sampleRate / outputRate;
    const float* samples = buffer.samples.data();
    const std::size_t channels = static_cast<std::size_t>(buffer.channels);
    double position = voice.position;
    for (std::size_t frame = 0; frame < frames; ++frame) {
        if (position >= static_cast<double>(length)) {
            ended = true;
            break;
        }
        // Linear interpolation between the two source frames around the position.
        const std::size_t first = static_cast<std::size_t>(position);
        const std::size_t second = std::min(first + 1, length - 1);
        const float t = static_cast<float>(position - static_cast<double>(first));
        const float* a = samples + first * channels;
        const float* b = samples + second * channels;
        const float sampleLeft = a[0] + (b[0] - a[0]) * t;
        const float sampleRight = channels == 2 ? a[1] + (b[1] - a[1]) * t : sampleLeft;
        out[2 * frame] += sampleLeft * left;
        out[2 * frame + 1] += sampleRight * right;
        position += step;
    }
    voice.position = position;
}

void Mixer::MixMusic(MusicSlot& slot, float* out, std::size_t frames) {
    if (slot.track == nullptr || slot.paused) {
        return;
    }
    const MusicTrack::State state = slot.track->GetState();
    if (state == MusicTrack::State::Opening) {
        return;
    }
    if (state == MusicTrack::State::Failed) {
        Retire(slot);
        return;
    }
    if (!slot.started) {
        slot.started = true;
        slot.gain = 0;
        FadeTo(slot, slot.target, slot.fade);
    }
    const double step = static_cast<double>(slot.track->SampleRate()) / outputRate;
    for (std::size_t frame = 0; frame < frames; ++frame) {
        while (slot.phase >= 1) {
            if (slot.exhausted) {
                Retire(slot);
                return;
            }
            slot.previous[0] = slot.current[0];
            slot.previous[1] = slot.current[1];
            // At the end the last frame is held for one more step, so that it is heard.
            slot.exhausted = !slot.track->NextFrame(slot.current[0], slot.current[1], slot.loop);
            slot.phase -= 1;
        }
        const float t = static_cast<float>(slot.phase);
        if (slot.gain != slot.target) {
            slot.gain = slot.gain < slot.target ? std::min(slot.target, slot.gain + slot.gainStep)
                                                : std::max(slot.target, slot.gain - slot.gainStep);
        }
        out[2 * frame] += (slot.previous[0] + (slot.current[0] - slot.previous[0]) * t) * slot.gain;
        out[2 * frame + 1] += (slot.previous[1] + (slot.current[1] - slot.previous[1]) * t) * slot.gain;
        slot.phase += step;
        if (slot.stopping && slot.gain <= 0) {
            Retire(slot);
            return;
        }
    }
}

void Mixer::Render(float* out, std::size_t frames) {
    {
        std::lock_guard lock(mutex);
        incoming.swap(pending);
    }
    for (MixerCommand& command : incoming) {
        Apply(command);
    }
    incoming.clear();

    renderedFrames.fetch_add(frames, std::memory_order_relaxed);
    std::fill(out, out + frames * 2, 0.0f);
    if (suspended.load(std::memory_order_relaxed)) {
        return;   // paused: nothing advances while the window is away
    }
    for (std::size_t index = 0; index < voices.size();) {
        bool ended = false;
        MixVoice(voices[index], out, frames, ended);
        if (ended) {
            voices.erase(voices.begin() + static_cast<std::ptrdiff_t>(index));
        } else {
            ++index;
        }
    }
    MixMusic(outgoing, out, frames);
    MixMusic(music, out, frames);

    const float gain = muted ? 0.0f : masterVolume;
    for (std::size_t index = 0; index < frames * 2; ++index) {
        out[index] = std::clamp(out[index] * gain, -1.0f, 1.0f);
    }
}

} // namespace Orvane
