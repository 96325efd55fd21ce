// The platform-independent half of the child process layer: the READY wait after
// the launch, the bounded write and the bounded read. The native files supply the
// launch, single non-blocking reads and writes, and the shutdown.
#include "scripting/ScriptHostBridgeImpl.h"

#include "core/Log.h"
#include "core/Termination.h"

#include <algorithm>
#include <thread>

namespace Orvane {

namespace {

constexpr int readyTimeoutMilliseconds = 5000;
constexpr auto writeStallLimit = std::chrono::milliseconds(500);

} // namespace

bool ScriptHostBridge::Impl::Start(const ScriptHostConfig& config) {
    projectPath = config.projectPath;
    startConfig = config;
    inputStalled = false;
    inputLineBroken = false;
    if (!StartProcess(config)) {
        return false;
    }

    WaitFor("READY", readyTimeoutMilliseconds);
    if (!ready && TerminationRequested()) {
        return Fail(stoppedDuringStartMessage);
    }
    if (!ready) {
        return Fail("Script host did not become ready.");
    }
    LogInfo("C# script host started.");
    return true;
}

// When the child stops reading, one line waits at most writeStallLimit, then the
// rest of it is dropped with one warning; later lines are dropped at once, without
// waiting or warning, until the child reads again.
//
// A cut line must not reach the child as a different valid command (a cut
// "FRAME|0.016|37,65" would be "FRAME|0.016|37"). Where the platform tells how
// much the pipe takes, a line that fits the pipe is only started once it fits
// whole, so it is sent whole or not at all. A fragment that remains (a line larger
// than the pipe, or a platform that cannot tell) is ended with cancelLineByte
// before its line feed; in version 1 only when it begins like a command, since
// anything else is no command either way.
void ScriptHostBridge::Impl::WriteLine(const std::string& text) {
    std::string payload;
    std::size_t fragmentEnd = 0;
    // The rest of an earlier line was dropped: end that fragment first so that it
    // cannot run into this line on the child's side.
    if (inputLineBroken) {
        if (brokenLineNeedsMark) {
            payload.push_back(cancelLineByte);
        }
        payload.push_back('\n');
        fragmentEnd = payload.size();
    }
    payload += text;
    payload.push_back('\n');

    const auto deadline = std::chrono::steady_clock::now() + writeStallLimit;
    const auto stall = [&](std::size_t dropped) {
        inputStalled = true;
        LogWarn("Script host is not reading its input; dropped " + std::to_string(dropped) +
                " bytes of a line.");
    };
    std::size_t room = 0;
    std::size_t largest = 0;
    if (InputRoom(room, largest) && payload.size() <= largest) {
        while (room < payload.size()) {
            if (inputStalled || TerminationRequested()) {
                return;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                stall(payload.size());
                return;
            }
            // Poll would report the pipe writable as soon as one page is free.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (!InputRoom(room, largest)) {
                break;
            }
        }
    }

    std::size_t sent = 0;
    while (sent < payload.size()) {
        const std::ptrdiff_t written = WriteSome(payload.data() + sent, payload.size() - sent);
        if (written < 0) {
            return;   // no input pipe, or the child is gone: writes fail quietly
        }
        if (written > 0) {
            sent += static_cast<std::size_t>(written);
            // A cut inside the old fragment's end leaves that fragment as it was.
            if (sent >= fragmentEnd && sent < payload.size()) {
                inputLineBroken = true;
                brokenLineNeedsMark = protocolVersion == 2 || (!text.empty() && text[0] >= 'A' && text[0] <= 'Z');
            }
            continue;
        }
        if (inputStalled && sent == 0) {
            return;
        }
        const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (remaining.count() <= 0 || TerminationRequested()) {
            stall(payload.size() - sent);
            return;
        }
        WaitForInputSpace(remaining);
    }
    inputStalled = false;
    inputLineBroken = false;
}

void ScriptHostBridge::Impl::ReadAvailableLines() {
    // Version 2 keeps frames apart: after END_FRAME nothing more is read or
    // handled until the next frame exchange begins.
    const auto frameComplete = [this] { return protocolVersion == 2 && frameEnded; };
    if (frameComplete()) {
        return;
    }
    if (!heldBytes.empty()) {
        const std::string held = std::move(heldBytes);
        heldBytes.clear();
        ReceiveBytes(held.data(), held.size());
        if (frameComplete()) {
            return;
        }
    }
    if (!readChunk) {
        readChunk = std::make_unique<char[]>(readChunkSize);
    }
    lastReadGotBytes = false;
    for (std::size_t total = 0; total < maxBytesPerRead;) {
        const std::size_t count = ReadSome(readChunk.get(), std::min(readChunkSize, maxBytesPerRead - total));
        if (count == 0) {
            return;
        }
        lastReadGotBytes = true;
        ReceiveBytes(readChunk.get(), count);
        total += count;
        if (frameComplete()) {
            return;
        }
    }
}

bool ScriptHostBridge::Impl::Fail(const std::string& message) {
    LogError(message);
    Shutdown();
    return false;
}

} // namespace Orvane
