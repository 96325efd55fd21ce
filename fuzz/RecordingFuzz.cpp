// Recordings as --replay reads them: any bytes either parse or are refused with
// a message; never a crash, a hang or a read past the text.
#include "app/Recording.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Orvane::Recording recording;
    std::string error;
    if (!Orvane::ParseRecording(text, recording, error)) {
        if (error.empty()) {
            std::abort();   // a refusal always says why
        }
        return 0;
    }
    // An accepted recording cannot hold more sent text than the file had.
    std::size_t sent = 0;
    for (const Orvane::RecordedFrame& frame : recording.frames) {
        sent += frame.lines.size();
    }
    if (sent > size) {
        std::abort();
    }
    return 0;
}
