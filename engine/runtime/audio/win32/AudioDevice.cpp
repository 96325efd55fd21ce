// WASAPI backend: shared mode, event driven, on a thread of its own.
// Supports: the default render endpoint in its own mix format when that is 32-bit
// float or 16-bit PCM (any channel count: the first two carry left and right, a
// mono endpoint gets their average); other formats through the audio engine's own
// conversion to float stereo. Static in orvane.exe: only ole32 is linked.
// Does not: follow a change of the default device (the output then falls silent),
// exclusive mode, waveOut (WASAPI is there on every Windows since Vista and in Wine).
#include "audio/AudioDevice.h"

#include "audio/Mixer.h"

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <future>
#include <thread>
#include <vector>

namespace Orvane {

namespace {

constexpr REFERENCE_TIME bufferDuration = 200000;   // 20 ms in 100 ns units
constexpr DWORD wakeLimitMilliseconds = 200;         // a stalled endpoint must not hang Close
// Older SDK headers lack these stream flags (Windows 7 and later).
constexpr DWORD autoConvertPcm = 0x80000000;
constexpr DWORD srcDefaultQuality = 0x08000000;

enum class SampleKind { Float32, Int16, Other };

SampleKind KindOf(const WAVEFORMATEX& format) {
    WORD tag = format.wFormatTag;
    if (tag == WAVE_FORMAT_EXTENSIBLE && format.cbSize >= 22) {
        // The KSDATAFORMAT_SUBTYPE GUIDs begin with the plain format tag.
        tag = static_cast<WORD>(reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(format).SubFormat.Data1);
    }
    if (tag == WAVE_FORMAT_IEEE_FLOAT && format.wBitsPerSample == 32) {
        return SampleKind::Float32;
    }
    if (tag == WAVE_FORMAT_PCM && format.wBitsPerSample == 16) {
        return SampleKind::Int16;
    }
    return SampleKind::Other;
}

std::string Failure(const char* what, HRESULT result) {
    char text[96];
    std::snprintf(text, sizeof text, "%s failed, 0x%08lX", what, static_cast<unsigned long>(result));
    return text;
}

template <typename Interface>
void Release(Interface*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

} // namespace

struct AudioDevice::Native {
    std::thread thread;
    HANDLE stopEvent = nullptr;
    bool open = false;
    int blockFrames = 0;

    // Owned by the audio thread.
    IMMDeviceEnumerator* enumerator = nullptr;
    IMMDevice* endpoint = nullptr;
    IAudioClient* client = nullptr;
    IAudioRenderClient* renderer = nullptr;
    HANDLE bufferEvent = nullptr;
    WAVEFORMATEX* mixFormat = nullptr;
    WAVEFORMATEX stereoFloat{};
    const WAVEFORMATEX* format = nullptr;
    SampleKind kind = SampleKind::Other;
    UINT32 bufferFrames = 0;
    std::vector<float> scratch;

    std::string Setup(Mixer& mixer);
    bool Fill(Mixer& mixer, UINT32 frames);
    void Pump(Mixer& mixer);
    void Teardown();
};

std::string AudioDevice::Native::Setup(Mixer& mixer) {
    HRESULT result = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                      __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(&enumerator));
    if (FAILED(result)) {
        return Failure("creating the device enumerator", result);
    }
    result = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &endpoint);
    if (FAILED(result)) {
        return result == E_NOTFOUND ? "no output device" : Failure("finding the default output", result);
    }
    result = endpoint->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&client));
    if (FAILED(result)) {
        return Failure("activating the output", result);
    }
    result = client->GetMixFormat(&mixFormat);
    if (FAILED(result)) {
        return Failure("reading the mix format", result);
    }
    DWORD flags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK;
    format = mixFormat;
    kind = KindOf(*mixFormat);
    if (kind == SampleKind::Other) {
        // Let the audio engine convert float stereo at the mix rate.
        stereoFloat.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
        stereoFloat.nChannels = 2;
        stereoFloat.nSamplesPerSec = mixFormat->nSamplesPerSec;
        stereoFloat.wBitsPerSample = 32;
        stereoFloat.nBlockAlign = 8;
        stereoFloat.nAvgBytesPerSec = stereoFloat.nSamplesPerSec * 8;
        format = &stereoFloat;
        kind = SampleKind::Float32;
        flags |= autoConvertPcm | srcDefaultQuality;
    }
    result = client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, bufferDuration, 0, format, nullptr);
    if (FAILED(result)) {
        return Failure("opening the output stream", result);
    }
    bufferEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (bufferEvent == nullptr || FAILED(result = client->SetEventHandle(bufferEvent))) {
        return Failure("setting the buffer event", result);
    }
    if (FAILED(result = client->GetBufferSize(&bufferFrames)) ||
        FAILED(result = client->GetService(__uuidof(IAudioRenderClient), reinterpret_cast<void**>(&renderer)))) {
        return Failure("preparing the output buffer", result);
    }
    scratch.resize(static_cast<std::size_t>(bufferFrames) * 2);
    blockFrames = static_cast<int>(bufferFrames);
    mixer.SetOutputRate(static_cast<int>(format->nSamplesPerSec));
    // Start on a full buffer so the first period does not underrun.
    Fill(mixer, bufferFrames);
    if (FAILED(result = client->Start())) {
        return Failure("starting the output", result);
    }
    return {};
}

bool AudioDevice::Native::Fill(Mixer& mixer, UINT32 frames) {
    BYTE* data = nullptr;
    if (frames == 0 || FAILED(renderer->GetBuffer(frames, &data))) {
        return false;
    }
    mixer.Render(scratch.data(), frames);
    const std::size_t channels = format->nChannels;
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const float left = scratch[2 * frame];
        const float right = scratch[2 * frame + 1];
        for (std::size_t channel = 0; channel < channels; ++channel) {
            // Mono gets both sides; beyond the first two channels (centre, rear...) silence.
            float value = channel == 0 ? left : channel == 1 ? right : 0.0f;
            if (channels == 1) {
                value = 0.5f * (left + right);
            }
            const std::size_t at = frame * channels + channel;
            if (kind == SampleKind::Float32) {
                reinterpret_cast<float*>(data)[at] = value;
            } else {
                reinterpret_cast<std::int16_t*>(data)[at] = static_cast<std::int16_t>(std::lround(value * 32767.0f));
            }
        }
    }
    renderer->ReleaseBuffer(frames, 0);
    return true;
}

void AudioDevice::Native::Pump(Mixer& mixer) {
    const HANDLE events[] = {stopEvent, bufferEvent};
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(2, events, FALSE, wakeLimitMilliseconds);
        if (woken == WAIT_OBJECT_0) {
            return;
        }
        UINT32 padding = 0;
        if (FAILED(client->GetCurrentPadding(&padding))) {
            // The device went away: keep the thread until Close, without output.
            WaitForSingleObject(stopEvent, INFINITE);
            return;
        }
        Fill(mixer, bufferFrames - padding);
    }
}

void AudioDevice::Native::Teardown() {
    if (client != nullptr) {
        client->Stop();
    }
    Release(renderer);
    Release(client);
    Release(endpoint);
    Release(enumerator);
    if (mixFormat != nullptr) {
        CoTaskMemFree(mixFormat);
        mixFormat = nullptr;
    }
    if (bufferEvent != nullptr) {
        CloseHandle(bufferEvent);
        bufferEvent = nullptr;
    }
}

AudioDevice::AudioDevice() : native(std::make_unique<Native>()) {}

AudioDevice::~AudioDevice() { Close(); }

bool AudioDevice::Open(Mixer& mixer, std::string& error) {
    Close();
    native->stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (native->stopEvent == nullptr) {
        error = "no event for the audio thread";
        return false;
    }
    std::promise<std::string> setup;
    std::future<std::string> outcome = setup.get_future();
    Native& state = *native;
    native->thread = std::thread([&state, &mixer, &setup] {
        // COM belongs to this thread alone; the game thread's apartment is not touched.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        std::string problem = FAILED(com) ? Failure("starting COM", com) : state.Setup(mixer);
        const bool ok = problem.empty();
        setup.set_value(std::move(problem));
        if (ok) {
            state.Pump(mixer);
        }
        state.Teardown();
        if (SUCCEEDED(com)) {
            CoUninitialize();
        }
    });
    error = outcome.get();
    if (!error.empty()) {
        native->thread.join();
        CloseHandle(native->stopEvent);
        native->stopEvent = nullptr;
        return false;
    }
    native->open = true;
    return true;
}

void AudioDevice::Close() {
    if (native->thread.joinable()) {
        SetEvent(native->stopEvent);
        native->thread.join();
    }
    if (native->stopEvent != nullptr) {
        CloseHandle(native->stopEvent);
        native->stopEvent = nullptr;
    }
    native->open = false;
}

bool AudioDevice::IsOpen() const { return native->open; }

int AudioDevice::BlockFrames() const { return native->blockFrames; }

} // namespace Orvane
