// The player's bindings over the usual keys: which physical key gives which
// game key afterwards, and which bindings are refused.
#include "engine/sdl/key_map.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "engine/engine.h"
#include "engine/window_layout.h"

namespace {

struct Binding {
    const char* setting;
    int gameKey;
    const char* keyName;
};

struct Gives {
    SDL_Scancode scancode;
    int code;
};

struct BindCase {
    const char* name;
    std::vector<Binding> bindings;  // every player key not listed keeps its usual key
    std::vector<Gives> afterwards;
    std::vector<std::string> refusedSettings;
};

void PrintTo(const BindCase& value, std::ostream* out) { *out << value.name; }

// The game's players' keys, as the program lists them, and its fixed keys.
KeyRebindings Request(const std::vector<Binding>& chosen) {
    const Binding players[] = {{"p1-up", Key::Up, ""},       {"p1-left", Key::Left, ""},
                               {"p1-focus", Key::Shift, ""}, {"p2-up", 'W', ""},
                               {"p2-left", 'A', ""},         {"p2-focus", 'G', ""}};
    KeyRebindings request;
    request.fixedKeys = {Key::F1, Key::Escape, 'M', 'R', Key::Left, Key::Right};
    for (const Binding& player : players) {
        std::string keyName;
        for (const Binding& c : chosen)
            if (std::string(c.setting) == player.setting) keyName = c.keyName;
        request.keys.push_back({player.setting, player.gameKey, keyName});
    }
    return request;
}

class KeyBindings : public ::testing::TestWithParam<BindCase> {};

TEST_P(KeyBindings, GiveTheGameKeysFromTheChosenKeysOrKeepTheUsualOnes) {
    const BindCase& c = GetParam();
    KeyMap map;
    const std::vector<std::string> problems = map.Bind(Request(c.bindings));
    for (const Gives& gives : c.afterwards)
        EXPECT_EQ(map.Translate(gives.scancode, SDLK_UNKNOWN), gives.code)
            << SDL_GetScancodeName(gives.scancode);
    ASSERT_EQ(problems.size(), c.refusedSettings.size());
    for (std::size_t i = 0; i < problems.size(); ++i)
        EXPECT_TRUE(problems[i].starts_with(c.refusedSettings[i] + "=")) << problems[i];
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyBindings,
    ::testing::Values(
        BindCase{"NoneKeepsTheUsualKeys", {}, {{SDL_SCANCODE_W, 'W'}, {SDL_SCANCODE_LSHIFT, Key::Shift}}, {}},
        // The key moved from no longer plays; letter case does not matter.
        BindCase{"MovedKeyLetsGoOfTheOldOne",
                 {{"p2-up", 'W', "i"}, {"p1-focus", Key::Shift, "Right Ctrl"}},
                 {{SDL_SCANCODE_I, 'W'},
                  {SDL_SCANCODE_W, 0},
                  {SDL_SCANCODE_RCTRL, Key::Shift},
                  {SDL_SCANCODE_LSHIFT, 0},
                  {SDL_SCANCODE_RSHIFT, 0}},
                 {}},
        BindCase{"PlayersSwapKeys",
                 {{"p1-up", Key::Up, "W"}, {"p2-up", 'W', "Up"}},
                 {{SDL_SCANCODE_W, Key::Up}, {SDL_SCANCODE_UP, 'W'}},
                 {}},
        // The arrows keep turning the table's pages.
        BindCase{"AFixedCodeKeepsItsKey",
                 {{"p1-left", Key::Left, "J"}},
                 {{SDL_SCANCODE_J, Key::Left}, {SDL_SCANCODE_LEFT, Key::Left}},
                 {}},
        BindCase{"UnknownNameAndFixedKeysAreRefused",
                 {{"p2-up", 'W', "Wubble"}, {"p2-left", 'A', "Escape"}, {"p2-focus", 'G', "Right"}},
                 {{SDL_SCANCODE_W, 'W'}, {SDL_SCANCODE_A, 'A'}, {SDL_SCANCODE_ESCAPE, Key::Escape}},
                 {"p2-up", "p2-left", "p2-focus"}},
        BindCase{"TheSecondOfTwoOnOneKeyIsRefused",
                 {{"p1-focus", Key::Shift, "K"}, {"p2-focus", 'G', "K"}},
                 {{SDL_SCANCODE_K, Key::Shift}, {SDL_SCANCODE_G, 'G'}},
                 {"p2-focus"}},
        // p2-up refused keeps W as p2's, so p1-up cannot have it either.
        BindCase{"ARefusalThatKeepsAUsualKeyRefusesWhatTookIt",
                 {{"p1-up", Key::Up, "W"}, {"p2-up", 'W', "F1"}},
                 {{SDL_SCANCODE_W, 'W'}, {SDL_SCANCODE_UP, Key::Up}},
                 {"p2-up", "p1-up"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyBindings, AMovedCodeIsNotGivenByAKeyOnlyItsKeycodeNames) {
    KeyMap map;
    map.Bind(Request({{"p2-up", 'W', "I"}}));
    EXPECT_EQ(map.Translate(SDL_SCANCODE_UNKNOWN, SDLK_w), 0);
    EXPECT_EQ(map.Translate(SDL_SCANCODE_UNKNOWN, SDLK_r), 'R');
    EXPECT_EQ(map.PhysicalKey('W'), SDL_SCANCODE_I);
}

struct FitCase {
    WindowLayout kept;
    int availableWidth, availableHeight;
    int width, height;
};

class WindowFitting : public ::testing::TestWithParam<FitCase> {};

TEST_P(WindowFitting, KeepsTheKeptSizeWhileItFitsElseTheLargestSceneShape) {
    const FitCase& c = GetParam();
    const WindowFit fit = FitWindow(c.kept, 1024, 768, c.availableWidth, c.availableHeight);
    EXPECT_EQ(fit.width, c.width);
    EXPECT_EQ(fit.height, c.height);
}

INSTANTIATE_TEST_SUITE_P(Desktops, WindowFitting,
                         ::testing::Values(FitCase{{}, 1920, 1080, 1024, 768},  // never larger than the scene
                                           FitCase{{}, 1366, 768, 1024, 768},
                                           FitCase{{}, 1366, 705, 940, 705},  // a laptop less its title bar
                                           FitCase{{}, 800, 600, 800, 600}, FitCase{{}, 1000, 400, 533, 400},
                                           FitCase{{}, 200, 100, MinWindowWidth, MinWindowHeight},
                                           FitCase{{1600, 900}, 1920, 1080, 1600, 900},
                                           FitCase{{1600, 900}, 1366, 705, 940, 705},  // no longer fits
                                           FitCase{{100, 900}, 1920, 1080, 1024, 768}));

}  // namespace
