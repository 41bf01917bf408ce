// Where the game looks for its data and writes its log, by the folder it is
// started in and the player's environment. (The installed layout, with data
// beside the executable, is tested on a real install in tests/e2e.)
#include "app/file_locations.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "tests/support/scoped_environment.h"

namespace {

namespace fs = std::filesystem;

struct Start {
    const char* name;
    bool dataFolder;          // the working directory holds data/
    const char* stateHome;    // XDG_STATE_HOME, "@" for the scratch folder's state/
    const char* home;         // HOME, "@" for the scratch folder's home/
    const char* expectedLog;  // "@" stands for the scratch folder
};

// Named in test listings by what it runs, not by its bytes.
void PrintTo(const Start& value, std::ostream* out) { *out << value.name; }

class FileLocations : public testing::TestWithParam<Start> {
protected:
    void SetUp() override {
        previous = fs::current_path();
        scratch = fs::temp_directory_path() / ("munchet-locations-" + std::to_string(::getpid()));
        fs::remove_all(scratch);
        fs::create_directories(scratch / "work");
        fs::current_path(scratch / "work");
    }
    void TearDown() override {
        fs::current_path(previous);
        std::error_code ignored;
        fs::remove_all(scratch, ignored);
    }
    std::string Expand(const char* text) const {
        std::string out = text;
        if (const std::size_t at = out.find('@'); at != std::string::npos)
            out.replace(at, 1, scratch.string());
        return out;
    }

    fs::path previous, scratch;
    ScopedEnvironment environment;
};

TEST_P(FileLocations, LogAndDataFollowTheFolderAndTheEnvironment) {
    const Start& start = GetParam();
    if (start.dataFolder) fs::create_directory("data");
    environment.Set("XDG_STATE_HOME", start.stateHome ? Expand(start.stateHome).c_str() : nullptr);
    environment.Set("HOME", start.home ? Expand(start.home).c_str() : nullptr);

    testing::internal::CaptureStderr();
    const std::string log = LogFile();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log, Expand(start.expectedLog));
    if (log == "error.log" && !start.dataFolder)
        EXPECT_THAT(said, testing::HasSubstr("writing error.log here"));
    else
        EXPECT_EQ(said, "");
    // No installed copy lies beside the test program: the name stays as given.
    EXPECT_EQ(DataFile("data/ghost.png"), "data/ghost.png");
}

INSTANTIATE_TEST_SUITE_P(
    Starts, FileLocations,
    testing::Values(Start{"SourceTree", true, "@/state", "@/home", "error.log"},
                    Start{"StateHome", false, "@/state", "@/home", "@/state/munchet/error.log"},
                    Start{"HomeOnly", false, nullptr, "@/home", "@/home/.local/state/munchet/error.log"},
                    Start{"RelativeStateHome", false, "state", "@/home",
                          "@/home/.local/state/munchet/error.log"},
                    Start{"NoHome", false, nullptr, nullptr, "error.log"}),
    [](const testing::TestParamInfo<Start>& info) { return std::string(info.param.name); });

}  // namespace
