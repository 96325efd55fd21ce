#include "scripting/ScriptHostBridge.h"

#include "scripting/ScriptHostBridgeImpl.h"

namespace Orvane {

ScriptHostBridge::ScriptHostBridge() : impl(std::make_unique<Impl>()) {}

ScriptHostBridge::~ScriptHostBridge() {
    Shutdown();
}

bool ScriptHostBridge::Start(const ScriptHostConfig& config) { return impl->Start(config); }

void ScriptHostBridge::SendStart() { impl->SendStart(); }

void ScriptHostBridge::Frame(float dt) { impl->Frame(dt); }

const FrameSnapshot& ScriptHostBridge::Snapshot() const { return impl->snapshot; }

int ScriptHostBridge::ProtocolVersion() const { return impl->protocolVersion; }

bool ScriptHostBridge::QuitRequested() const { return impl->quitRequested; }

bool ScriptHostBridge::HostGone() const { return impl->outputClosed; }

const FrameSnapshot& ScriptHostBridge::LastCompleteFrame() const { return impl->lastComplete; }

bool ScriptHostBridge::FrameAnswered() const { return impl->frameEnded; }

bool ScriptHostBridge::TakeError(std::string& message, std::vector<std::string>& trace) {
    if (!impl->errorPending) {
        return false;
    }
    impl->errorPending = false;
    message = impl->errorMessage;
    trace = impl->errorTrace;
    return true;
}

bool ScriptHostBridge::Reload(std::string& failure) {
    auto next = std::make_unique<Impl>();
    next->digestAnswers = impl->digestAnswers;
    if (!next->Start(impl->startConfig)) {
        failure = next->errorMessage.empty() ? "The new script host did not start." : next->errorMessage;
        return false;
    }
    if (impl->RequestState(500)) {
        next->stateToRestore = impl->savedState;
    }
    next->snapshot.cameraX = impl->snapshot.cameraX;
    next->snapshot.cameraY = impl->snapshot.cameraY;
    next->snapshot.zoom = impl->snapshot.zoom;
    impl->Shutdown();
    impl = std::move(next);
    impl->SendStart();
    return true;
}

const std::string& ScriptHostBridge::LastFrameLines() const { return impl->lastFrameLines; }

void ScriptHostBridge::KeepAnswerDigests() { impl->digestAnswers = true; }

std::uint64_t ScriptHostBridge::AnswerDigest() const { return impl->answerDigest; }

void ScriptHostBridge::ReplayNextFrame(std::string lines) { impl->replayFrameLines = std::move(lines); }

void ScriptHostBridge::Shutdown() {
    if (impl) {
        impl->Shutdown();
    }
}

ScriptHostBridge::Impl::~Impl() {
    Shutdown();
}

} // namespace Orvane
