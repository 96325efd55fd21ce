#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Orvane {

// One worker thread for file reads and decodes, so that no frame waits for a
// disk or a decoder. Jobs run in the order posted; warnings they raise are
// collected and logged by the game thread (TakeWarnings), one line each.
class AudioLoader {
public:
    AudioLoader() = default;
    ~AudioLoader();
    AudioLoader(const AudioLoader&) = delete;
    AudioLoader& operator=(const AudioLoader&) = delete;

    void Post(std::function<void()> job);
    void Warn(std::string message);
    std::vector<std::string> TakeWarnings();
    // Blocks until every job posted so far has run (tests, shutdown).
    void WaitIdle();

private:
    void Run();

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<std::function<void()>> jobs;
    std::vector<std::string> warnings;
    bool busy = false;
    bool stopping = false;
    std::thread worker;   // started by the first Post
};

} // namespace Orvane
