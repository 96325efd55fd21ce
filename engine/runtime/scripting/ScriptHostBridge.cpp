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

void ScriptHostBridge::Shutdown() {
    if (impl) {
        impl->Shutdown();
    }
}

ScriptHostBridge::Impl::~Impl() {
    Shutdown();
}

} // namespace Orvane
