#include "support/TestSupport.h"

#include "scripting/DotnetHost.h"

namespace {

namespace fs = std::filesystem;
using OrvaneTest::CurrentDirectoryScope;
using OrvaneTest::EnvironmentScope;
using OrvaneTest::TempFolder;
using OrvaneTest::WriteFile;

#ifdef _WIN32
constexpr const char* hostName = "dotnet.exe";
constexpr const char* profileVariable = "USERPROFILE";
#else
constexpr const char* hostName = "dotnet";
constexpr const char* profileVariable = "HOME";
#endif

class DotnetHostTest : public ::testing::Test {
protected:
    std::string Utf8(const fs::path& path) { return Orvane::PathToUtf8(path); }

    TempFolder temp;
    const fs::path root = temp.path / "root";
    const fs::path profile = temp.path / "profile";
    const fs::path empty = temp.path / "empty";
    EnvironmentScope dotnetRoot{"DOTNET_ROOT", std::nullopt};
    EnvironmentScope userProfile{profileVariable, std::nullopt};
};

TEST_F(DotnetHostTest, DotnetRootWinsOverTheProfileInstallation) {
    const fs::path host = WriteFile(root / hostName, "");
    WriteFile(profile / ".dotnet" / hostName, "");
    EnvironmentScope rootScope("DOTNET_ROOT", Utf8(root));
    EnvironmentScope profileScope(profileVariable, Utf8(profile));
    EXPECT_EQ(Orvane::FindDotnetHost(), host);
}

TEST_F(DotnetHostTest, ProfileInstallationWhenDotnetRootLacksTheHost) {
    fs::create_directories(empty);
    const fs::path host = WriteFile(profile / ".dotnet" / hostName, "");
    EnvironmentScope rootScope("DOTNET_ROOT", Utf8(empty));
    EnvironmentScope profileScope(profileVariable, Utf8(profile));
    EXPECT_EQ(Orvane::FindDotnetHost(), host);
}

TEST_F(DotnetHostTest, BareNameWhenNothingIsFound) {
    fs::create_directories(empty);
    EXPECT_EQ(Orvane::FindDotnetHost().native(), fs::path("dotnet").native());

    EnvironmentScope rootScope("DOTNET_ROOT", Utf8(empty));
    EnvironmentScope profileScope(profileVariable, Utf8(empty));
    EXPECT_EQ(Orvane::FindDotnetHost().native(), fs::path("dotnet").native());
}

TEST_F(DotnetHostTest, EmptyDotnetRootLooksInTheCurrentDirectory) {
    EnvironmentScope rootScope("DOTNET_ROOT", std::string());
    fs::create_directories(empty);
    {
        CurrentDirectoryScope here(empty);
        EXPECT_EQ(Orvane::FindDotnetHost().native(), fs::path("dotnet").native());
    }
    WriteFile(root / hostName, "");
    CurrentDirectoryScope here(root);
    EXPECT_EQ(Orvane::FindDotnetHost().native(), fs::path(hostName).native());
}

TEST_F(DotnetHostTest, TrailingSeparatorAddsNoSecondOne) {
    WriteFile(root / hostName, "");
    const std::string withSeparator = Utf8(root) + std::string(1, char(fs::path::preferred_separator));
    EnvironmentScope rootScope("DOTNET_ROOT", withSeparator);
    EXPECT_EQ(Utf8(Orvane::FindDotnetHost()), withSeparator + hostName);
}

TEST_F(DotnetHostTest, AnyEntryCountsEvenAFolder) {
    fs::create_directories(root / hostName);
    EnvironmentScope rootScope("DOTNET_ROOT", Utf8(root));
    EXPECT_EQ(Orvane::FindDotnetHost(), root / hostName);
}

TEST_F(DotnetHostTest, NonAsciiFolderNamesSurvive) {
    const fs::path folder = temp.path / Orvane::Utf8ToPath("D\xC3\xB6tnet \xE2\x82\xAC");   // "Dötnet €"
    const fs::path host = WriteFile(folder / hostName, "");
    EnvironmentScope rootScope("DOTNET_ROOT", Utf8(folder));
    EXPECT_EQ(Orvane::FindDotnetHost(), host);
}

} // namespace
