#include "app/FrameTimer.h"

namespace Orvane {

void FrameTimer::Reset() {
    lastTick = std::chrono::steady_clock::now();
    delta = 0;
}

float FrameTimer::Tick() {
    const auto now = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - lastTick);
    delta = static_cast<float>(elapsed.count()) / 1000000000.0f;
    lastTick = now;
    return delta;
}

} // namespace Orvane
