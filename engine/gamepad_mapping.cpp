#include "engine/gamepad_mapping.h"

#include <cmath>

#include "engine/engine.h"

namespace {

constexpr std::size_t Axis(PadAxis axis) { return static_cast<std::size_t>(axis); }

bool Held(const PadControls& controls, PadButton button) {
    return (controls.buttons >> static_cast<int>(button)) & 1u;
}

// The left stick as up to two of the four directions: eight sectors of 45
// degrees, so a stick pushed roughly diagonally holds both keys.
PadActions StickActions(PadControls& controls) {
    const float x = controls.axes[Axis(PadAxis::LeftX)] / 32767.0f;
    const float y = controls.axes[Axis(PadAxis::LeftY)] / 32767.0f;  // down is positive
    // sqrt, not hypot: the engine's core calls no function that rounds
    // differently between C libraries.
    const float length = std::sqrt(x * x + y * y);
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
    PadButton button;
    PadAction action;
};

constexpr ButtonAction ButtonActions[] = {
    {PadButton::A, PadAction::Confirm},
    {PadButton::A, PadAction::Focus},
    {PadButton::LeftShoulder, PadAction::Focus},
    {PadButton::RightShoulder, PadAction::Focus},
    {PadButton::B, PadAction::Erase},
    {PadButton::X, PadAction::Restart},
    {PadButton::Y, PadAction::Volume},
    {PadButton::DpadUp, PadAction::Up},
    {PadButton::DpadDown, PadAction::Down},
    {PadButton::DpadLeft, PadAction::Left},
    {PadButton::DpadRight, PadAction::Right},
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
    if (controls.axes[Axis(PadAxis::TriggerLeft)] >= TriggerFocusAt ||
        controls.axes[Axis(PadAxis::TriggerRight)] >= TriggerFocusAt)
        actions |= Bit(PadAction::Focus);
    const bool start = Held(controls, PadButton::Start);
    const bool back = Held(controls, PadButton::Back);
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
