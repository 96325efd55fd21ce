#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace Orvane {

// Notices when the game's files (its assembly, project.json) changed on disk and
// are complete: a build writes in several steps, so a change counts once the
// files have kept their size and time for a while. Reloads are at least a second
// apart, so a file rewritten all the time cannot start a reload storm.
class ReloadWatcher {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr auto pollInterval = std::chrono::milliseconds(100);
    static constexpr auto settleTime = std::chrono::milliseconds(300);
    static constexpr auto minimumGap = std::chrono::seconds(1);

    explicit ReloadWatcher(std::vector<std::filesystem::path> files, Clock::time_point now = Clock::now());

    // Called once per frame; true when a reload is due (once per change).
    bool ReloadDue(Clock::time_point now = Clock::now());

private:
    struct Signature {
        bool exists = false;
        std::uintmax_t size = 0;
        std::filesystem::file_time_type modified{};
        bool operator==(const Signature&) const = default;
    };
    std::vector<Signature> Read() const;

    std::vector<std::filesystem::path> files;
    std::vector<Signature> loaded;     // what the running game was started from
    std::vector<Signature> seen;       // the last poll
    Clock::time_point lastPoll;
    Clock::time_point stableSince;
    Clock::time_point lastReload;
};

} // namespace Orvane
