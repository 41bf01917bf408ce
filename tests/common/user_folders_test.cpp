#include "common/user_folders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "tests/support/scoped_environment.h"

namespace {

namespace fs = std::filesystem;

struct Case {
    UserFolderKind kind;
    const char* variable;
    const char* fallback;
};

class UserFolders : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("munchet-folders-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
    ScopedEnvironment environment;
};

TEST_P(UserFolders, VariableWinsAndTheFolderIsMadePrivate) {
    const Case& c = GetParam();
    environment.Set(c.variable, (root / "base").c_str());
    std::string error;
    const auto folder = UserFolder(c.kind, error);
    ASSERT_TRUE(folder) << error;
    EXPECT_EQ(*folder, (root / "base" / "munchet").string());
    EXPECT_EQ(fs::status(*folder).permissions(), fs::perms::owner_all);
}

TEST_P(UserFolders, RelativeOrEmptyVariableFallsBackToHome) {
    const Case& c = GetParam();
    environment.Set("HOME", root.c_str());
    for (const char* ignored : {"relative/path", "", static_cast<const char*>(nullptr)}) {
        environment.Set(c.variable, ignored);
        std::string error;
        const auto folder = UserFolder(c.kind, error);
        ASSERT_TRUE(folder) << error;
        EXPECT_EQ(*folder, (root / c.fallback / "munchet").string());
    }
}

TEST_P(UserFolders, NoHomeOrAnUnusableOneGivesNoFolder) {
    const Case& c = GetParam();
    environment.Set(c.variable, nullptr);
    environment.Set("HOME", nullptr);
    std::string error;
    EXPECT_FALSE(UserFolder(c.kind, error));
    EXPECT_NE(error.find("HOME"), std::string::npos) << error;

    // A plain file where a folder should be: even root cannot create below it.
    const fs::path file = root / "not-a-folder";
    std::ofstream(file) << "x";
    environment.Set("HOME", file.c_str());
    error.clear();
    EXPECT_FALSE(UserFolder(c.kind, error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Kinds, UserFolders,
                         ::testing::Values(Case{UserFolderKind::Data, "XDG_DATA_HOME", ".local/share"},
                                           Case{UserFolderKind::State, "XDG_STATE_HOME", ".local/state"},
                                           Case{UserFolderKind::Config, "XDG_CONFIG_HOME", ".config"}),
                         [](const auto& info) { return std::string(info.param.variable); });

}  // namespace
