// The player's bindings over the usual keys: which physical key gives which
// game key afterwards, and which bindings are refused; the browser's key
// names against SDL's; and the window's size.
#include "engine/sdl/key_map.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <map>

#include "engine/engine.h"
#include "engine/key_names.h"
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

// Every key the game knows has a browser name and a label, and the label is
// SDL's name for the same key: a binding names a key alike in the browser
// and natively, and the browser reads each key where SDL does.
TEST(KeyNames, TheBrowsersNamesAndSdlsMeanTheSameKeys) {
    for (int key = 1; key < PhysicalKey::Count; ++key) {
        if (UsualKeyCode(key) == 0 || key == PhysicalKey::Enter2)
            continue;  // no browser key is a second Return
        const char* label = PhysicalKeyLabel(key);
        ASSERT_NE(label, nullptr) << SDL_GetScancodeName(static_cast<SDL_Scancode>(key));
        EXPECT_EQ(SDL_GetScancodeFromName(label), key) << label;
        EXPECT_EQ(PhysicalKeyByName(SDL_GetScancodeName(static_cast<SDL_Scancode>(key))), key) << label;
    }
    EXPECT_EQ(PhysicalKeyOfCode("KeyW"), SDL_SCANCODE_W);
    EXPECT_EQ(PhysicalKeyOfCode("ShiftRight"), SDL_SCANCODE_RSHIFT);
    EXPECT_EQ(PhysicalKeyOfCode("Numpad0"), SDL_SCANCODE_KP_0);
    EXPECT_EQ(PhysicalKeyByName("shiftleft"), SDL_SCANCODE_LSHIFT);
    EXPECT_EQ(PhysicalKeyOfCode("Lang1"), PhysicalKey::Unknown);
    EXPECT_EQ(PhysicalKeyByName(""), PhysicalKey::Unknown);
}

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
