// Game controllers through SDL's virtual game controllers: which keys each
// control of each pad holds, pads plugged in and out, and a real Game whose
// ghosts are driven by them headless. No window: SDL's game-controller
// subsystem alone.
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "engine/sdl/gamepads.h"
#include "tests/engine/virtual_pad.h"
#include "tests/support/headless_game.h"

namespace {

std::set<int> HeldKeys(const FrameInput& input) {
    std::set<int> held;
    for (int key = 0; key < FrameInput::KeyCount; ++key)
        if (input.Holds(key)) held.insert(key);
    return held;
}

class Gamepads : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError(); }
    void TearDown() override {
        pads.CloseAll();
        plugged.clear();
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
    VirtualPad& Plug(const char* name = "Virtual pad") {
        plugged.push_back(std::make_unique<VirtualPad>(name));
        EXPECT_NE(plugged.back()->joystick, nullptr) << SDL_GetError();
        return *plugged.back();
    }
    // One frame as the window loop builds it: pending events, then the record.
    FrameInput Frame(FrameInput keyboard = {}) {
        pads.BeginFrame();
        SDL_Event event;
        while (SDL_PollEvent(&event)) pads.Handle(event);
        pads.AddTo(keyboard);
        return keyboard;
    }

    GamepadInput pads;
    std::vector<std::unique_ptr<VirtualPad>> plugged;
};

// One control of one pad, moved and let go again.
struct ControlCase {
    const char* name;
    int slot;
    std::vector<int> buttons;                  // pressed together
    std::vector<std::pair<int, Sint16>> axes;  // set together
    std::set<int> held;
    int pressed;
};

void PrintTo(const ControlCase& value, std::ostream* out) { *out << value.name; }

class PadControl : public Gamepads, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(PadControl, HoldsItsPlayersKeysAndLetsGo) {
    const ControlCase& c = GetParam();
    VirtualPad& first = Plug("First");
    VirtualPad& second = Plug("Second");
    Frame();
    ASSERT_EQ(pads.InstanceIn(0), first.Instance());
    ASSERT_EQ(pads.InstanceIn(1), second.Instance());
    VirtualPad& pad = c.slot == 0 ? first : second;

    for (const int button : c.buttons) pad.Button(button, true);
    for (const auto& [axis, value] : c.axes) pad.Axis(axis, value);
    const FrameInput on = Frame();
    EXPECT_EQ(HeldKeys(on), c.held);
    EXPECT_EQ(on.pressedKey, c.pressed);
    EXPECT_EQ(HeldKeys(Frame()), c.held) << "held while held";

    for (const int button : c.buttons) pad.Button(button, false);
    for (const auto& [axis, value] : c.axes)
        pad.Axis(axis, axis >= SDL_CONTROLLER_AXIS_TRIGGERLEFT ? SDL_JOYSTICK_AXIS_MIN : 0);
    EXPECT_EQ(HeldKeys(Frame()), std::set<int>{});
}

constexpr int Shift = Key::Shift, Numpad0 = Key::Numpad0;
constexpr Sint16 Full = 32767;

INSTANTIATE_TEST_SUITE_P(
    Mapping, PadControl,
    ::testing::Values(
        ControlCase{"FirstDpadLeft", 0, {SDL_CONTROLLER_BUTTON_DPAD_LEFT}, {}, {Key::Left}, Key::Left},
        ControlCase{"FirstDpadDown", 0, {SDL_CONTROLLER_BUTTON_DPAD_DOWN}, {}, {Key::Down}, Key::Down},
        ControlCase{"SecondDpadUp", 1, {SDL_CONTROLLER_BUTTON_DPAD_UP}, {}, {'W'}, 'W'},
        ControlCase{"SecondDpadRight", 1, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT}, {}, {'D'}, 'D'},
        // The first pad focuses in either mode; A also sends the typed name.
        ControlCase{"FirstA", 0, {SDL_CONTROLLER_BUTTON_A}, {}, {Shift, Numpad0, Key::Enter}, Key::Enter},
        ControlCase{"FirstShoulder", 0, {SDL_CONTROLLER_BUTTON_LEFTSHOULDER}, {}, {Shift, Numpad0}, Shift},
        ControlCase{
            "FirstTrigger", 0, {}, {{SDL_CONTROLLER_AXIS_TRIGGERRIGHT, Full}}, {Shift, Numpad0}, Shift},
        ControlCase{"SecondA", 1, {SDL_CONTROLLER_BUTTON_A}, {}, {'G', Key::Enter}, Key::Enter},
        ControlCase{"SecondShoulder", 1, {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER}, {}, {'G'}, 'G'},
        ControlCase{"B", 0, {SDL_CONTROLLER_BUTTON_B}, {}, {Key::Backspace}, Key::Backspace},
        ControlCase{"X", 1, {SDL_CONTROLLER_BUTTON_X}, {}, {'R'}, 'R'},
        ControlCase{"Y", 0, {SDL_CONTROLLER_BUTTON_Y}, {}, {'M'}, 'M'},
        ControlCase{"Start", 1, {SDL_CONTROLLER_BUTTON_START}, {}, {Key::F1}, Key::F1},
        ControlCase{"Back", 0, {SDL_CONTROLLER_BUTTON_BACK}, {}, {Key::F2}, Key::F2},
        ControlCase{"StartAndBackQuit",
                    0,
                    {SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_BACK},
                    {},
                    {Key::Escape},
                    Key::Escape},
        ControlCase{"StickLeft", 0, {}, {{SDL_CONTROLLER_AXIS_LEFTX, -Full}}, {Key::Left}, Key::Left},
        ControlCase{"StickDiagonal",
                    1,
                    {},
                    {{SDL_CONTROLLER_AXIS_LEFTX, 23000}, {SDL_CONTROLLER_AXIS_LEFTY, 23000}},
                    {'D', 'S'},
                    'S'},
        // Mostly sideways is sideways only.
        ControlCase{"StickNearlyLevel",
                    0,
                    {},
                    {{SDL_CONTROLLER_AXIS_LEFTX, 30000}, {SDL_CONTROLLER_AXIS_LEFTY, -9000}},
                    {Key::Right},
                    Key::Right},
        ControlCase{"StickInTheDeadZone", 0, {}, {{SDL_CONTROLLER_AXIS_LEFTX, -8000}}, {}, 0},
        ControlCase{"TriggerBarelyPressed", 0, {}, {{SDL_CONTROLLER_AXIS_TRIGGERLEFT, -20000}}, {}, 0}),
    [](const ::testing::TestParamInfo<ControlCase>& info) { return std::string(info.param.name); });

TEST_F(Gamepads, ATapWithinAFrameCountsButTheKeyboardsKeyComesFirst) {
    VirtualPad& pad = Plug();
    Frame();
    pad.Button(SDL_CONTROLLER_BUTTON_B, true);
    SDL_JoystickUpdate();
    pad.Button(SDL_CONTROLLER_BUTTON_B, false);
    const FrameInput tapped = Frame();
    EXPECT_EQ(HeldKeys(tapped), std::set<int>{Key::Backspace});
    EXPECT_EQ(tapped.pressedKey, Key::Backspace);
    EXPECT_EQ(HeldKeys(Frame()), std::set<int>{});

    pad.Button(SDL_CONTROLLER_BUTTON_Y, true);
    const FrameInput both = Frame(FrameInput{}.Press('Q'));
    EXPECT_EQ(both.pressedKey, 'Q');
    EXPECT_EQ(HeldKeys(both), (std::set<int>{'Q', 'M'}));
}

TEST_F(Gamepads, TheStickStaysPushedUntilWellInsideTheDeadZone) {
    VirtualPad& pad = Plug();
    Frame();
    std::vector<bool> left;
    for (const Sint16 x : {-8500, -16000, -8500, -6000, -8500}) {
        pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, x);
        left.push_back(Frame().Holds(Key::Left));
    }
    EXPECT_EQ(left, (std::vector<bool>{false, true, true, false, false}));
}

TEST_F(Gamepads, PadsPluggedInAndOutKeepTheirPlayers) {
    VirtualPad& first = Plug("First");
    VirtualPad& second = Plug("Second");
    VirtualPad& third = Plug("Third");
    Frame();
    EXPECT_EQ(pads.Connected(), 2);
    EXPECT_EQ(pads.InstanceIn(1), second.Instance());
    ASSERT_FALSE(pads.notices.empty());
    EXPECT_NE(pads.notices.back().find("waits"), std::string::npos) << pads.notices.back();

    // The first pad goes while both hold keys: its keys go with it, the
    // waiting pad takes its place, and the second player plays on.
    first.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    second.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    EXPECT_EQ(HeldKeys(Frame()), (std::set<int>{Key::Left, 'A'}));
    first.Unplug();
    EXPECT_EQ(HeldKeys(Frame()), std::set<int>{'A'});
    EXPECT_EQ(pads.InstanceIn(0), third.Instance());
    EXPECT_EQ(pads.InstanceIn(1), second.Instance());
    third.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
    EXPECT_EQ(HeldKeys(Frame()), (std::set<int>{Key::Up, 'A'}));

    second.Unplug();
    third.Unplug();
    EXPECT_EQ(HeldKeys(Frame()), std::set<int>{});
    EXPECT_EQ(pads.Connected(), 0);
    // Plugged in again, a pad takes the first free slot.
    VirtualPad& again = Plug("Again");
    Frame();
    EXPECT_EQ(pads.InstanceIn(0), again.Instance());
}

// The pads drive a real game's ghosts: the first pad the one-player ghost
// and, once Back has started a two-player game, the arrow-key ghost, the
// second pad the W A S D ghost.
TEST_F(Gamepads, DriveTheGhostsOfARealGame) {
    VirtualPad& first = Plug("First");
    VirtualPad& second = Plug("Second");
    HeadlessGame headless;
    Game& game = headless.game;
    game.StartGame();
    const auto run = [&](int frames) {
        for (int i = 0; i < frames; ++i) headless.RunFrame(Frame());
    };
    run(1);
    const float startX = game.players[0].x;
    first.Axis(SDL_CONTROLLER_AXIS_LEFTX, Full);
    run(30);
    EXPECT_GT(game.players[0].x, startX + 5);
    EXPECT_FALSE(game.players[0].focusing);
    first.Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
    first.Button(SDL_CONTROLLER_BUTTON_A, true);
    run(1);
    EXPECT_TRUE(game.players[0].focusing);
    first.Button(SDL_CONTROLLER_BUTTON_A, false);

    second.Button(SDL_CONTROLLER_BUTTON_BACK, true);
    run(1);
    second.Button(SDL_CONTROLLER_BUTTON_BACK, false);
    run(1);
    ASSERT_EQ(game.playerCount, 2);
    const float rightStart = game.players[0].x, leftStart = game.players[1].x;
    first.Button(SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, true);
    second.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    run(20);
    EXPECT_TRUE(game.players[0].focusing) << "Numpad 0 focuses the arrow-key ghost";
    EXPECT_EQ(game.players[0].x, rightStart);
    EXPECT_LT(game.players[1].x, leftStart - 5);
    EXPECT_FALSE(game.players[1].focusing);
}

}  // namespace
