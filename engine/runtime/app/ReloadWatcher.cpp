#include "app/ReloadWatcher.h"

#include <system_error>

namespace Orvane {

namespace fs = std::filesystem;

ReloadWatcher::ReloadWatcher(std::vector<fs::path> watched, Clock::time_point now)
    : files(std::move(watched)), lastPoll(now), stableSince(now), lastReload(now - minimumGap) {
    loaded = Read();
    seen = loaded;
}

std::vector<ReloadWatcher::Signature> ReloadWatcher::Read() const {
    std::vector<Signature> signatures;
    for (const fs::path& file : files) {
        Signature signature;
        std::error_code error;
        signature.exists = fs::is_regular_file(file, error) && !error;
        if (signature.exists) {
            signature.size = fs::file_size(file, error);
            signature.modified = fs::last_write_time(file, error);
        }
        signatures.push_back(signature);
    }
    return signatures;
}

bool ReloadWatcher::ReloadDue(Clock::time_point now) {
    if (now - lastPoll < pollInterval) {
        return false;
    }
    lastPoll = now;
    const std::vector<Signature> current = Read();
    if (current != seen) {
        seen = current;
        stableSince = now;   // still being written, perhaps
        return false;
    }
    if (current == loaded || now - stableSince < settleTime || now - lastReload < minimumGap) {
        return false;
    }
    // A half-written build may lack a file for a moment; wait until all are there.
    for (const Signature& signature : current) {
        if (!signature.exists || signature.size == 0) {
            return false;
        }
    }
    loaded = current;
    lastReload = now;
    return true;
}

} // namespace Orvane
