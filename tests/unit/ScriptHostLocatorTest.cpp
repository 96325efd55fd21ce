#include "support/TestSupport.h"

#include "project/ScriptHostLocator.h"

namespace {

namespace fs = std::filesystem;
using OrvaneTest::CurrentDirectoryScope;
using OrvaneTest::TempFolder;
using OrvaneTest::WriteFile;

#ifdef _WIN32
constexpr const char* testProgram = "orvane_unit_tests.exe";
#else
constexpr const char* testProgram = "orvane_unit_tests";
#endif

fs::path BuildOutputDll(const fs::path& sourceRoot) {
    return sourceRoot / "engine" / "csharp" / "ScriptHost" / "bin" / "Debug" / "net8.0" /
           "Orvane.ScriptHost.dll";
}

TEST(ScriptHostLocatorTest, ExecutableDirectoryHoldsThisProgram) {
    const fs::path folder = Orvane::ExecutableDirectory();
    EXPECT_TRUE(folder.is_absolute()) << folder;
    EXPECT_TRUE(fs::is_regular_file(folder / testProgram)) << folder;
}

// Candidate order: next to the executable, under the current directory, two
// levels above the project folder.
class LocateScriptHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        runtimeFolder = Orvane::ExecutableDirectory() / "ScriptHost";
        // The first candidate lives beside the test program; leave a real one alone.
        if (fs::exists(runtimeFolder)) {
            GTEST_SKIP() << "a ScriptHost folder already exists beside the test program";
        }
        fs::create_directories(temp.path / "current");
        fs::create_directories(temp.path / "tree" / "samples" / "Game");
    }
    void TearDown() override {
        if (createdRuntimeFolder) {
            fs::remove_all(runtimeFolder);
        }
    }
    fs::path MakeRuntimeCandidate() {
        createdRuntimeFolder = true;
        return WriteFile(runtimeFolder / "Orvane.ScriptHost.dll", "");
    }

    TempFolder temp;
    fs::path runtimeFolder;
    bool createdRuntimeFolder = false;
    const fs::path projectFolder = temp.path / "tree" / "samples" / "Game";
};

TEST_F(LocateScriptHostTest, NoCandidateGivesTheCurrentDirectoryCandidateAsBuilt) {
    CurrentDirectoryScope here(temp.path / "current");
    const fs::path expected =
        fs::current_path() / "engine/csharp/ScriptHost/bin/Debug/net8.0" / "Orvane.ScriptHost.dll";
    EXPECT_EQ(Orvane::LocateScriptHost(projectFolder).native(), expected.native());
}

TEST_F(LocateScriptHostTest, FindsTheBuildOutputTwoLevelsAboveTheProject) {
    const fs::path dll = WriteFile(BuildOutputDll(temp.path / "tree"), "");
    CurrentDirectoryScope here(temp.path / "current");
    EXPECT_EQ(Orvane::LocateScriptHost(projectFolder), fs::canonical(dll));
}

TEST_F(LocateScriptHostTest, CurrentDirectoryWinsOverTheProjectTree) {
    WriteFile(BuildOutputDll(temp.path / "tree"), "");
    const fs::path dll = WriteFile(BuildOutputDll(temp.path / "current"), "");
    CurrentDirectoryScope here(temp.path / "current");
    EXPECT_EQ(Orvane::LocateScriptHost(projectFolder), fs::canonical(dll));
}

TEST_F(LocateScriptHostTest, FolderBesideTheExecutableWinsOverAll) {
    WriteFile(BuildOutputDll(temp.path / "tree"), "");
    WriteFile(BuildOutputDll(temp.path / "current"), "");
    const fs::path dll = MakeRuntimeCandidate();
    CurrentDirectoryScope here(temp.path / "current");
    EXPECT_EQ(Orvane::LocateScriptHost(projectFolder), fs::canonical(dll));
}

} // namespace
