// The reload watcher: a change counts once the files have settled, never while
// they are still being written, and reloads keep their distance.
#include "support/TestSupport.h"

#include "app/ReloadWatcher.h"

#include <chrono>
#include <filesystem>
#include <string>

namespace {

using namespace Orvane;
using namespace std::chrono_literals;
using Clock = ReloadWatcher::Clock;
namespace fs = std::filesystem;

class ReloadWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        assembly = OrvaneTest::WriteFile(temp.path / "Game.dll", "first build");
        project = OrvaneTest::WriteFile(temp.path / "project.json", "{}");
    }
    // Rewrites a file with a new time (file times may be coarse).
    void Touch(const fs::path& file, const std::string& text) {
        OrvaneTest::WriteFile(file, text);
        fs::last_write_time(file, fs::last_write_time(file) + 2s * ++stamp);
    }

    OrvaneTest::TempFolder temp;
    fs::path assembly;
    fs::path project;
    int stamp = 0;
    Clock::time_point start = Clock::now();
};

TEST_F(ReloadWatcherTest, UnchangedFilesNeverReload) {
    ReloadWatcher watcher({assembly, project}, start);
    for (int step = 1; step < 40; ++step) {
        EXPECT_FALSE(watcher.ReloadDue(start + step * 100ms));
    }
}

TEST_F(ReloadWatcherTest, AChangeReloadsOnceAfterItSettled) {
    ReloadWatcher watcher({assembly, project}, start);
    Touch(assembly, "second build");
    EXPECT_FALSE(watcher.ReloadDue(start + 100ms));   // just seen: may still be written
    EXPECT_FALSE(watcher.ReloadDue(start + 250ms));
    EXPECT_TRUE(watcher.ReloadDue(start + 500ms));
    EXPECT_FALSE(watcher.ReloadDue(start + 700ms));   // once
    EXPECT_FALSE(watcher.ReloadDue(start + 3s));
}

TEST_F(ReloadWatcherTest, AFileRewrittenAllTheTimeNeverReloads) {
    ReloadWatcher watcher({assembly, project}, start);
    for (int step = 1; step < 30; ++step) {
        Touch(project, "{\"rewritten\": " + std::to_string(step) + "}");
        EXPECT_FALSE(watcher.ReloadDue(start + step * 100ms)) << step;
    }
}

TEST_F(ReloadWatcherTest, AMissingOrEmptyAssemblyWaitsForTheBuild) {
    ReloadWatcher watcher({assembly, project}, start);
    fs::remove(assembly);
    EXPECT_FALSE(watcher.ReloadDue(start + 100ms));
    EXPECT_FALSE(watcher.ReloadDue(start + 600ms));
    Touch(assembly, "");
    EXPECT_FALSE(watcher.ReloadDue(start + 700ms));
    EXPECT_FALSE(watcher.ReloadDue(start + 1200ms));   // empty: not a build yet
    Touch(assembly, "third build");
    EXPECT_FALSE(watcher.ReloadDue(start + 1300ms));
    EXPECT_TRUE(watcher.ReloadDue(start + 1700ms));
}

TEST_F(ReloadWatcherTest, ReloadsAreAtLeastASecondApart) {
    ReloadWatcher watcher({assembly, project}, start);
    Touch(assembly, "second build");
    watcher.ReloadDue(start + 100ms);
    ASSERT_TRUE(watcher.ReloadDue(start + 500ms));
    Touch(assembly, "third build");
    EXPECT_FALSE(watcher.ReloadDue(start + 600ms));
    EXPECT_FALSE(watcher.ReloadDue(start + 1000ms));   // settled, but too soon after the last
    EXPECT_TRUE(watcher.ReloadDue(start + 1600ms));
}

} // namespace
