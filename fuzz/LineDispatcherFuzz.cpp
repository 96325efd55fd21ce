// The host's output as the runtime reads it: bytes cut into chunks of any size,
// lines dispatched in version 1 or 2, frames ended and begun as Frame does, and
// each complete frame's colliders through the collision pass.
//
// Input: byte 0 picks the version (bit 0) and the chunking seed; the rest is
// what the host writes.
#include "FuzzSupport.h"

#include "scripting/ScriptHostBridgeImpl.h"

#include <cstddef>
#include <cstdint>

namespace {

void BeginFrame(Orvane::ScriptHostBridge::Impl& impl) {
    impl.ClearFrameRecords();
    impl.resolvedTextures.clear();
    impl.frameEnded = false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    OrvaneFuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    Orvane::ScriptHostBridge::Impl impl;
    impl.protocolVersion = (data[0] & 1) != 0 ? 2 : 1;
    impl.snapshot.protocolVersion = impl.protocolVersion;
    std::uint32_t state = data[0] * 2654435761u + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    std::size_t left = size - 1;
    while (left > 0) {
        state = state * 1664525u + 1013904223u;
        const std::size_t chunk = std::min<std::size_t>(left, 1 + (state >> 24) % 97);
        impl.ReceiveBytes(bytes, chunk);
        bytes += chunk;
        left -= chunk;
        if (impl.frameEnded) {
            impl.collisionTracker.Update(impl.colliders);
            BeginFrame(impl);
            impl.ReadAvailableLines();   // the held rest of a version-2 read
        }
    }
    impl.collisionTracker.Update(impl.colliders);
    return 0;
}
