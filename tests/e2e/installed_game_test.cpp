// The game as a player or a packager gets it: `cmake --install` of this build
// into a scratch folder, the files checked with the desktop's own validators,
// and the installed game started in a window from an unrelated folder, where
// it must find its installed data and log into the player's state folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ostream>
#include <regex>

#include "tests/e2e/e2e_support.h"
#include "tests/e2e/x_screen.h"
#include "tests/e2e/x_session.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// One install of this build as a package build makes it: the files name
// /usr but land under the scratch folder's root/ (DESTDIR).
struct Installation {
    ScratchDir dir;
    fs::path prefix = dir.path / "root/usr";  // where the files are

    // Empty when all went well, else what went wrong.
    std::string Install() {
        const std::string cmake = e2e::FindOnPath("cmake");
        if (cmake.empty()) return "no cmake on PATH";
        const int status =
            e2e::RunCommand(e2e::SpawnOptions({cmake, "--install", MUNCHET_BINARY_DIR, "--prefix", "/usr"})
                                .Env(e2e::Environment({}, {"DESTDIR=" + dir.File("root")}))
                                .Stdout(dir.File("install.log"))
                                .Stderr(dir.File("install.log")),
                            120s);
        return status == 0 ? "" : "cmake --install failed:\n" + e2e::ReadText(dir.File("install.log"));
    }

    // The one file in a folder of the install whose name ends so; empty when
    // there is none or more than one.
    fs::path OnlyFile(const char* folder, const char* ending) const {
        std::vector<fs::path> found;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(prefix / folder, ignored))
            if (entry.path().string().ends_with(ending)) found.push_back(entry.path());
        return found.size() == 1 ? found[0] : fs::path();
    }
};

bool Executable(const fs::path& path) { return ::access(path.c_str(), X_OK) == 0; }

TEST(InstalledFiles, EveryPieceIsThereAndNamesTheOthers) {
    Installation install;
    ASSERT_EQ(install.Install(), "");
    const fs::path& usr = install.prefix;
    EXPECT_TRUE(Executable(usr / "bin/munchet"));
    EXPECT_TRUE(Executable(usr / "bin/munchet-scores"));
    for (const char* page : {"share/man/man6/munchet.6", "share/man/man8/munchet-scores.8",
                             "share/doc/munchet/copyright", "share/doc/munchet/README.md"})
        EXPECT_TRUE(fs::is_regular_file(usr / page)) << page;

    // Every data file, byte for byte.
    int dataFiles = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(MUNCHET_SOURCE_DIR) / "data")) {
        const fs::path installed = usr / "share/munchet/data" / entry.path().filename();
        EXPECT_EQ(e2e::ReadText(installed), e2e::ReadText(entry.path())) << installed;
        ++dataFiles;
    }
    EXPECT_GE(dataFiles, 14);

    // The desktop entry names its icon, found at every hicolor size, and the
    // metainfo of the same id launches it.
    const fs::path desktop = install.OnlyFile("share/applications", ".desktop");
    ASSERT_FALSE(desktop.empty()) << "no single desktop entry";
    const std::string id = desktop.stem().string();
    std::smatch icon;
    const std::string entry = e2e::ReadText(desktop);
    ASSERT_TRUE(std::regex_search(entry, icon, std::regex("\nIcon=([^\n]*)\n")));
    EXPECT_EQ(icon[1], id);
    int sizes = 0;
    for (const auto& size : fs::directory_iterator(usr / "share/icons/hicolor")) {
        const bool scalable = size.path().filename() == "scalable";
        EXPECT_TRUE(fs::is_regular_file(size.path() / "apps" / (id + (scalable ? ".svg" : ".png"))))
            << size.path();
        ++sizes;
    }
    EXPECT_GE(sizes, 9) << "eight PNG sizes and the SVG";
    EXPECT_NE(e2e::ReadText(usr / "share/metainfo" / (id + ".metainfo.xml"))
                  .find("<launchable type=\"desktop-id\">" + id + ".desktop</launchable>"),
              std::string::npos);

    // The unit starts the installed server, by the path it has once installed.
    const std::string unit = e2e::ReadText(usr / "lib/systemd/system/munchet-scores.service");
    EXPECT_NE(unit.find("\nExecStart=/usr/bin/munchet-scores "), std::string::npos) << unit;
}

// One validator run on one installed file; passes when it exits with 0 and
// says nothing on stderr (warnings included).
struct Validation {
    const char* name;
    std::vector<std::string> command;  // "{}" stands for the file
    const char* folder;                // under the prefix
    const char* ending;                // of the one file checked there
};

// Named in test listings by what it runs, not by its bytes.
void PrintTo(const Validation& value, std::ostream* out) { *out << value.name; }

class InstalledFileValidates : public testing::TestWithParam<Validation> {};

TEST_P(InstalledFileValidates, WithoutWarnings) {
    const Validation& v = GetParam();
    std::vector<std::string> command = v.command;
    command[0] = e2e::FindOnPath(command[0]);
    if (command[0].empty()) GTEST_SKIP() << v.command[0] << " is not installed";
    Installation install;
    ASSERT_EQ(install.Install(), "");
    const fs::path file = install.OnlyFile(v.folder, v.ending);
    ASSERT_FALSE(file.empty()) << v.folder << "/*" << v.ending;
    for (std::string& word : command)
        if (word == "{}") word = file.string();
    const int status = e2e::RunCommand(e2e::SpawnOptions(command)
                                           .Env(e2e::Environment({}, {"LC_ALL=C.UTF-8"}))
                                           .Stdout(install.dir.File("out"))
                                           .Stderr(install.dir.File("err")),
                                       60s);
    EXPECT_EQ(status, 0) << e2e::ReadText(install.dir.File("out")) << e2e::ReadText(install.dir.File("err"));
    EXPECT_EQ(e2e::ReadText(install.dir.File("err")), "");
}

INSTANTIATE_TEST_SUITE_P(
    Tools, InstalledFileValidates,
    testing::Values(
        Validation{"DesktopEntry", {"desktop-file-validate", "{}"}, "share/applications", ".desktop"},
        Validation{"Metainfo",
                   {"appstreamcli", "validate", "--no-net", "--strict", "{}"},
                   "share/metainfo",
                   ".metainfo.xml"},
        Validation{"GameManPage", {"groff", "-t", "-man", "-ww", "-z", "{}"}, "share/man/man6", ".6"},
        Validation{"ServerManPage", {"groff", "-t", "-man", "-ww", "-z", "{}"}, "share/man/man8", ".8"},
        // Exposure 2.0 or less of systemd's 10: the server keeps its sandbox;
        // a misspelt setting is a warning.
        Validation{"UnitSandbox",
                   {"systemd-analyze", "security", "--offline=yes", "--threshold=20", "{}"},
                   "lib/systemd/system",
                   ".service"}),
    [](const testing::TestParamInfo<Validation>& info) { return std::string(info.param.name); });

TEST(InstalledGame, StartsAnywhereFindsItsDataAndLogsToTheStateFolder) {
    const std::string xvfb = e2e::FindOnPath("Xvfb"), xdotool = e2e::FindOnPath("xdotool");
    if (xvfb.empty() || xdotool.empty())
        GTEST_SKIP() << "needs Xvfb and xdotool on PATH (Debian: apt-get install xvfb xdotool)";
    Installation install;
    ASSERT_EQ(install.Install(), "");

    const fs::path elsewhere = install.dir.path / "elsewhere", home = install.dir.path / "home";
    fs::create_directories(elsewhere);
    fs::create_directories(home);
    e2e::VirtualDisplay display;
    ASSERT_TRUE(display.Start(xvfb, install.dir.File("xvfb.log")))
        << e2e::ReadText(install.dir.File("xvfb.log"));

    // A player's environment: a home, a display, nothing that points at the
    // source tree. No score server is needed: the game only talks to one when
    // a game ends.
    e2e::ChildProcess game(
        e2e::SpawnOptions({(install.prefix / "bin/munchet").string(), "/WINDOW", "/SERVER=127.0.0.1:1"})
            .Env(e2e::Environment({"SDL_VIDEODRIVER", "SDL_AUDIODRIVER", "ALSOFT_DRIVERS", "XDG_STATE_HOME",
                                   "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"},
                                  {"DISPLAY=" + display.name, "HOME=" + home.string()}))
            .Cwd(elsewhere.string())
            .Stderr(install.dir.File("game.err")));
    const auto gameOutput = [&] { return e2e::ReadText(install.dir.File("game.err")); };

    const e2e::XdoTool xdo{xdotool, display.name, install.dir.File("xdotool.out")};
    const unsigned long window = xdo.FindWindow("Munchet Fast Prototype", 20s);
    ASSERT_NE(window, 0u) << "no game window appeared\n" << gameOutput();
    if (CanTakeScreenshots()) {
        // The ghost drawn from the installed picture.
        XScreen screen(display.name);
        Screenshot shot;
        bool ghost = false;
        for (const auto until = std::chrono::steady_clock::now() + 10s;
             !ghost && std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(50ms))
            ghost = screen.Grab(window, shot) && FindGhost(shot).has_value();
        EXPECT_TRUE(ghost) << "the ghost is not on screen";
    }

    // Escape is read as a held key.
    xdo.Run({"keydown", "--window", std::to_string(window), "Escape"});
    const std::optional<int> status = game.WaitFor(10s);
    xdo.Run({"keyup", "--window", std::to_string(window), "Escape"});
    ASSERT_TRUE(status) << "Escape did not end the program";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << gameOutput();

    const fs::path log = home / ".local/state/munchet/error.log";
    ASSERT_TRUE(fs::is_regular_file(log)) << gameOutput();
    const std::string logged = e2e::ReadText(log);
    EXPECT_EQ(logged.find("Can't"), std::string::npos) << logged;
    EXPECT_EQ(logged.find("incorrect format"), std::string::npos) << logged;
    EXPECT_NE(logged.find("Frame loop:"), std::string::npos) << "the log ends with the run's figures\n"
                                                             << logged;
    EXPECT_FALSE(fs::exists(elsewhere / "error.log")) << "a log in the folder the game was started from";
}

}  // namespace
