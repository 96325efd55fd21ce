#pragma once
#include "project/ScriptHostConfig.h"
#include "scripting/FrameSnapshot.h"

#include <memory>

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
    void Shutdown();

private:
    std::unique_ptr<Impl> impl;
};

} // namespace Orvane
