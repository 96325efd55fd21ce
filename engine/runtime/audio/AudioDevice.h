#pragma once
#include <memory>
#include <string>

namespace Orvane {

class Mixer;

// The sound output of one platform. What a backend provides (audio/sdl/,
// audio/win32/):
//   - Open: the default output device, shared with other programs, as 32-bit
//     float stereo at the device's own rate; tell the mixer that rate, then call
//     Mixer::Render from a thread the backend owns until Close;
//   - Close: stop that thread and release the device; safe to call twice.
// A machine without a usable device makes Open fail with the reason in error.
class AudioDevice {
public:
    AudioDevice();
    ~AudioDevice();
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    bool Open(Mixer& mixer, std::string& error);
    void Close();
    bool IsOpen() const;
    // Frames the device asks for per block (its buffer), for latency reports.
    int BlockFrames() const;

private:
    struct Native;   // backend state, defined in the backend's file
    std::unique_ptr<Native> native;
};

} // namespace Orvane
