#include "engine/sdl/gamepad_mapping.h"

#include <SDL.h>

#include <cmath>

#include "engine/engine.h"

namespace {

bool Held(const PadControls& controls, SDL_GameControllerButton button) {
    return (controls.buttons >> button) & 1u;
}

// The left stick as up to two of the four directions: eight sectors of 45
// degrees, so a stick pushed roughly diagonally holds both keys.
PadActions StickActions(PadControls& controls) {
    const float x = controls.axes[SDL_CONTROLLER_AXIS_LEFTX] / 32767.0f;
    const float y = controls.axes[SDL_CONTROLLER_AXIS_LEFTY] / 32767.0f;  // down is positive
    const float length = std::hypot(x, y);
    controls.stickPushed = length >= (controls.stickPushed ? StickCentredBelow : StickPushedAt);
    if (!controls.stickPushed) return 0;
    // sin(22.5 degrees): the share of the deflection one axis needs to count.
    const float share = 0.38268343f * length;
    PadActions actions = 0;
    if (x < -share) actions |= Bit(PadAction::Left);
    if (x > share) actions |= Bit(PadAction::Right);
    if (y < -share) actions |= Bit(PadAction::Up);
    if (y > share) actions |= Bit(PadAction::Down);
    return actions;
}

struct ButtonAction {
    SDL_GameControllerButton button;
    PadAction action;
};

constexpr ButtonAction ButtonActions[] = {
    {SDL_CONTROLLER_BUTTON_A, PadAction::Confirm},
    {SDL_CONTROLLER_BUTTON_A, PadAction::Focus},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, PadAction::Focus},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, PadAction::Focus},
    {SDL_CONTROLLER_BUTTON_B, PadAction::Erase},
    {SDL_CONTROLLER_BUTTON_X, PadAction::Restart},
    {SDL_CONTROLLER_BUTTON_Y, PadAction::Volume},
    {SDL_CONTROLLER_BUTTON_DPAD_UP, PadAction::Up},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, PadAction::Down},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, PadAction::Left},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, PadAction::Right},
};

using Keys = std::array<std::uint8_t, 2>;

constexpr Keys K(int first, int second = 0) {
    return {static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(second)};
}

// By slot, then by PadAction.
constexpr std::array<std::array<Keys, PadActionCount>, 2> SlotKeys = {{
    {K(Key::Enter), K(Key::Backspace), K('R'), K('M'), K(Key::Escape), K(Key::F1), K(Key::F2), K(Key::Up),
     K(Key::Down), K(Key::Left), K(Key::Right), K(Key::Shift, Key::Numpad0)},
    {K(Key::Enter), K(Key::Backspace), K('R'), K('M'), K(Key::Escape), K(Key::F1), K(Key::F2), K('W'), K('S'),
     K('A'), K('D'), K('G')},
}};

}  // namespace

PadActions ActionsOf(PadControls& controls) {
    PadActions actions = StickActions(controls);
    for (const ButtonAction& pair : ButtonActions)
        if (Held(controls, pair.button)) actions |= Bit(pair.action);
    if (controls.axes[SDL_CONTROLLER_AXIS_TRIGGERLEFT] >= TriggerFocusAt ||
        controls.axes[SDL_CONTROLLER_AXIS_TRIGGERRIGHT] >= TriggerFocusAt)
        actions |= Bit(PadAction::Focus);
    const bool start = Held(controls, SDL_CONTROLLER_BUTTON_START);
    const bool back = Held(controls, SDL_CONTROLLER_BUTTON_BACK);
    if (start && back) {
        controls.quitChord = true;
        actions |= Bit(PadAction::Quit);
    } else if (controls.quitChord) {
        controls.quitChord = start || back;
    } else if (start) {
        actions |= Bit(PadAction::NewSolo);
    } else if (back) {
        actions |= Bit(PadAction::NewPair);
    }
    return actions;
}

std::array<std::uint8_t, 2> KeysOf(int slot, PadAction action) {
    if (slot < 0 || slot > 1) return {};
    return SlotKeys[static_cast<std::size_t>(slot)][static_cast<std::size_t>(action)];
}
