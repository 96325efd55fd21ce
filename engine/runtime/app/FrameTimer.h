#pragma once
#include <chrono>

namespace Orvane {

// Stopwatch on the steady clock, in float seconds.
class FrameTimer {
public:
    void Reset();
    // Seconds since the last Tick or Reset.
    float Tick();

private:
    std::chrono::steady_clock::time_point lastTick{};
    float delta = 0;
};

} // namespace Orvane
