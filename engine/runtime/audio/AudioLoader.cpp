#include "audio/AudioLoader.h"

#include <utility>

namespace Orvane {

AudioLoader::~AudioLoader() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
        jobs.clear();   // what has not started yet is of no use any more
    }
    wake.notify_all();
    if (worker.joinable()) {
        worker.join();
    }
}

void AudioLoader::Post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex);
        jobs.push_back(std::move(job));
        if (!worker.joinable()) {
            worker = std::thread([this] { Run(); });
        }
    }
    wake.notify_one();
}

void AudioLoader::Warn(std::string message) {
    std::lock_guard lock(mutex);
    warnings.push_back(std::move(message));
}

std::vector<std::string> AudioLoader::TakeWarnings() {
    std::lock_guard lock(mutex);
    return std::exchange(warnings, {});
}

void AudioLoader::WaitIdle() {
    std::unique_lock lock(mutex);
    idle.wait(lock, [this] { return (jobs.empty() && !busy) || stopping; });
}

void AudioLoader::Run() {
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || !jobs.empty(); });
        if (stopping) {
            return;
        }
        std::function<void()> job = std::move(jobs.front());
        jobs.pop_front();
        busy = true;
        lock.unlock();
        try {
            job();
        } catch (...) {
            // A job that throws (out of memory, a file system error) fails alone.
        }
        lock.lock();
        busy = false;
        if (jobs.empty()) {
            idle.notify_all();
        }
    }
}

} // namespace Orvane
