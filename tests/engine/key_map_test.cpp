// The player's bindings over the usual keys: which physical key gives which
// game key afterwards, and which bindings are refused; and the window's size.
#include "engine/sdl/key_map.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <map>

#include "engine/engine.h"
#include "engine/window_layout.h"

namespace {

struct BindCase {
    const char* name;
    std::map<std::string, std::string> chosen;  // setting -> key name; the others keep their usual keys
    std::vector<std::pair<SDL_Scancode, int>> afterwards;
    std::vector<std::string> refused;  // settings, in the order named
};

void PrintTo(const BindCase& value, std::ostream* out) { *out << value.name; }

class KeyBindings : public ::testing::TestWithParam<BindCase> {};

TEST_P(KeyBindings, GiveTheGameKeysFromTheChosenKeysOrKeepTheUsualOnes) {
    const BindCase& c = GetParam();
    // Some of the players' keys, and some of the game's fixed ones.
    KeyRebindings request{{{"p1-up", Key::Up, ""},
                           {"p1-left", Key::Left, ""},
                           {"p1-focus", Key::Shift, ""},
                           {"p2-up", 'W', ""},
                           {"p2-focus", 'G', ""}},
                          {Key::F1, Key::Escape, Key::Left, Key::Right}};
    for (KeyRebinding& key : request.keys)
        if (c.chosen.contains(key.setting)) key.keyName = c.chosen.at(key.setting);
    KeyMap map;
    std::vector<std::string> refused;
    for (const std::string& problem : map.Bind(request))
        refused.push_back(problem.substr(0, problem.find('=')));
    EXPECT_EQ(refused, c.refused);
    for (const auto& [scancode, code] : c.afterwards)
        EXPECT_EQ(map.Translate(scancode, SDLK_UNKNOWN), code) << SDL_GetScancodeName(scancode);
    // A key SDL knows no place for may not give a moved code either.
    if (c.chosen.contains("p2-up") && refused.empty()) {
        EXPECT_EQ(map.Translate(SDL_SCANCODE_UNKNOWN, SDLK_w), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyBindings,
    ::testing::Values(
        // The key moved from no longer plays; letter case does not matter.
        BindCase{"MovedKeyLetsGoOfTheOldOne",
                 {{"p2-up", "i"}, {"p1-focus", "Right Ctrl"}},
                 {{SDL_SCANCODE_I, 'W'},
                  {SDL_SCANCODE_W, 0},
                  {SDL_SCANCODE_RCTRL, Key::Shift},
                  {SDL_SCANCODE_LSHIFT, 0}},
                 {}},
        BindCase{"PlayersSwapKeys",
                 {{"p1-up", "W"}, {"p2-up", "Up"}},
                 {{SDL_SCANCODE_W, Key::Up}, {SDL_SCANCODE_UP, 'W'}},
                 {}},
        // The arrows keep turning the table's pages.
        BindCase{"AFixedCodeKeepsItsKey",
                 {{"p1-left", "J"}},
                 {{SDL_SCANCODE_J, Key::Left}, {SDL_SCANCODE_LEFT, Key::Left}},
                 {}},
        BindCase{"UnknownNamesFixedKeysAndSecondsOnOneKeyAreRefused",
                 {{"p2-up", "Wubble"}, {"p1-left", "Escape"}, {"p1-focus", "K"}, {"p2-focus", "K"}},
                 {{SDL_SCANCODE_W, 'W'}, {SDL_SCANCODE_ESCAPE, Key::Escape}, {SDL_SCANCODE_K, Key::Shift}},
                 {"p1-left", "p2-up", "p2-focus"}},
        // p2-up refused keeps W as p2's, so p1-up cannot have it either.
        BindCase{"ARefusalThatKeepsAUsualKeyRefusesWhatTookIt",
                 {{"p1-up", "W"}, {"p2-up", "F1"}},
                 {{SDL_SCANCODE_W, 'W'}, {SDL_SCANCODE_UP, Key::Up}},
                 {"p2-up", "p1-up"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FitCase {
    WindowLayout kept;
    int availableWidth, availableHeight, width, height;
};

class WindowFitting : public ::testing::TestWithParam<FitCase> {};

TEST_P(WindowFitting, KeepsTheKeptSizeWhileItFitsElseTheLargestSceneShape) {
    const FitCase& c = GetParam();
    const WindowFit fit = FitWindow(c.kept, 1024, 768, c.availableWidth, c.availableHeight);
    EXPECT_EQ(std::pair(fit.width, fit.height), std::pair(c.width, c.height));
}

INSTANTIATE_TEST_SUITE_P(Desktops, WindowFitting,
                         ::testing::Values(FitCase{{}, 1920, 1080, 1024, 768},
                                           FitCase{{}, 1366, 705, 940, 705},
                                           FitCase{{}, 200, 100, MinWindowWidth, MinWindowHeight},
                                           FitCase{{1600, 900}, 1920, 1080, 1600, 900},
                                           FitCase{{1600, 900}, 1366, 705, 940, 705}));

}  // namespace
