// What a game controller's buttons and sticks mean to the game: the same
// virtual keys a keyboard player presses, so the rules, the journal and
// replays cannot tell a pad from the keyboard.
//
// The pad layer does not know how many players play, so the first pad holds
// the keys of both bindings of the arrow-key player: it focuses with Shift
// (one player) and Numpad 0 (two players) at once; each mode reads only its
// own. The second pad is the W A S D player of the two-player game.
//
//   control                     first pad            second pad
//   d-pad or left stick         arrow keys           W A S D
//   A, a shoulder or a trigger  focus (Shift + Numpad 0)  focus (G)
//   A when it goes down         Enter (sends the typed name)
//   B                           Backspace (erases the name's last letter)
//   X                           R (a new game once the table shows)
//   Y                           M (music volume)
//   Start                       F1 (a new one-player game)
//   Back                        F2 (a new two-player game)
//   Start and Back together     Escape (quit), in place of F1 and F2
#pragma once

#include <array>
#include <cstdint>

// What a pad asks for, before it is keys. The order is the priority of the
// key a pad reports as pressed when several go down in one event: A is
// Enter first and focus second.
enum class PadAction : int {
    Confirm,
    Erase,
    Restart,
    Volume,
    Quit,
    NewSolo,
    NewPair,
    Up,
    Down,
    Left,
    Right,
    Focus
};
inline constexpr int PadActionCount = 12;
using PadActions = std::uint16_t;  // bit (1 << action) set: the action is on
inline constexpr PadActions Bit(PadAction action) { return PadActions(1u << static_cast<int>(action)); }

// A pad's buttons and axes as the usual controller layout names them (the
// numbers are those of SDL's game-controller layer, which fills them in
// directly; the browser's "standard" gamepads are mapped onto them).
enum class PadButton : int {
    A,
    B,
    X,
    Y,
    Back,
    Guide,
    Start,
    LeftStick,
    RightStick,
    LeftShoulder,
    RightShoulder,
    DpadUp,
    DpadDown,
    DpadLeft,
    DpadRight
};
enum class PadAxis : int { LeftX, LeftY, RightX, RightY, TriggerLeft, TriggerRight };
inline constexpr int PadAxisCount = 6;

// One pad's controls.
struct PadControls {
    std::uint32_t buttons = 0;                      // bit b: PadButton b held
    std::array<std::int16_t, PadAxisCount> axes{};  // by PadAxis: sticks -32768..32767, triggers 0..32767
    // The left stick counts as pushed: set when it leaves the dead zone and
    // cleared only well inside it, so a stick resting near the edge does not
    // flicker between pushed and centred.
    bool stickPushed = false;
    // Start and Back went down together: neither starts a game until both
    // are up again, so letting go of the pair one button first starts none.
    bool quitChord = false;
};

// The actions the controls ask for. Updates controls.stickPushed and
// controls.quitChord.
PadActions ActionsOf(PadControls& controls);

// The virtual keys one action of the pad in slot (0 first, 1 second) holds,
// 0 for none; the first is the one reported as the frame's pressed key.
std::array<std::uint8_t, 2> KeysOf(int slot, PadAction action);

// The stick's dead zone, as fractions of full deflection: pushed from
// StickPushedAt on, centred again below StickCentredBelow.
inline constexpr float StickPushedAt = 0.30f;
inline constexpr float StickCentredBelow = 0.22f;
// A trigger focuses from half way down.
inline constexpr std::int16_t TriggerFocusAt = 16384;
