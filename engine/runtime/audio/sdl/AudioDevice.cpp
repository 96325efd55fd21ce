// SDL2 audio backend.
// Supports: the default output of whatever SDL driver is chosen (PulseAudio,
// PipeWire, ALSA; SDL_AUDIODRIVER=disk writes raw float stereo to a file, which the
// tests read); SDL converts formats and channel counts, the mixer resamples.
// Does not: pick a device by name, follow a device change.
#include "audio/AudioDevice.h"

#include "audio/Mixer.h"

#include <SDL.h>

namespace Orvane {

namespace {

constexpr int preferredRate = 48000;
constexpr int blockFrames = 512;   // about 11 ms at 48 kHz: short enough for effects

void SDLCALL RenderCallback(void* mixer, Uint8* stream, int length) {
    static_cast<Mixer*>(mixer)->Render(reinterpret_cast<float*>(stream),
                                       static_cast<std::size_t>(length) / (2 * sizeof(float)));
}

} // namespace

struct AudioDevice::Native {
    SDL_AudioDeviceID device = 0;
    int blockFrames = 0;
};

AudioDevice::AudioDevice() : native(std::make_unique<Native>()) {}

AudioDevice::~AudioDevice() { Close(); }

bool AudioDevice::Open(Mixer& mixer, std::string& error) {
    Close();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = SDL_GetError();
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = preferredRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = blockFrames;
    wanted.callback = RenderCallback;
    wanted.userdata = &mixer;
    SDL_AudioSpec obtained{};
    // Only the rate may differ: SDL converts the sample format and channel count.
    native->device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (native->device == 0) {
        error = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    native->blockFrames = obtained.samples;
    mixer.SetOutputRate(obtained.freq);
    SDL_PauseAudioDevice(native->device, 0);
    return true;
}

void AudioDevice::Close() {
    if (native->device != 0) {
        SDL_CloseAudioDevice(native->device);   // waits for the callback to return
        native->device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

bool AudioDevice::IsOpen() const { return native->device != 0; }

int AudioDevice::BlockFrames() const { return native->blockFrames; }

} // namespace Orvane
