#pragma once
#include "project/ScriptHostConfig.h"
#include "scripting/FrameSnapshot.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Orvane {

// The one error line of a start-up that a termination request cut short.
inline constexpr const char* stoppedDuringStartMessage = "Stopped while starting the script host.";

// Owns the script host child process and speaks the line protocol with it.
class ScriptHostBridge {
public:
    struct Impl;

    ScriptHostBridge();
    ~ScriptHostBridge();
    ScriptHostBridge(const ScriptHostBridge&) = delete;
    ScriptHostBridge& operator=(const ScriptHostBridge&) = delete;

    bool Start(const ScriptHostConfig& config);
    void SendStart();
    void Frame(float dt);
    const FrameSnapshot& Snapshot() const;
    // 1, or 2 once both sides agreed on version 2 during the start handshake.
    int ProtocolVersion() const;
    // True once a version-2 host asked to end the run (QUIT).
    bool QuitRequested() const;

    // What went wrong, for the error screen: the host's output has ended (it is
    // gone), the last frame got its END_FRAME, and the game's last error with the
    // first lines of its trace (taken once).
    bool HostGone() const;
    // Version 2: the last frame whose END_FRAME arrived (what a stopped game leaves).
    const FrameSnapshot& LastCompleteFrame() const;
    bool FrameAnswered() const;
    bool TakeError(std::string& message, std::vector<std::string>& trace);

    // A new host with the same arguments: started while the old one still runs,
    // given the old game's state (version 2) and put in its place, the camera
    // kept. False keeps the old host, with the reason in failure.
    bool Reload(std::string& failure);

    // Recordings: what the last Frame sent, the digest of its answer, and the
    // lines the next Frame sends instead of the clock's and the devices'.
    const std::string& LastFrameLines() const;
    // The digest is kept only once asked for: it reads every byte of every answer.
    void KeepAnswerDigests();
    std::uint64_t AnswerDigest() const;
    void ReplayNextFrame(std::string lines);
    void Shutdown();

private:
    std::unique_ptr<Impl> impl;
};

} // namespace Orvane
