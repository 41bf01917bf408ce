#include "engine/web/web_gamepads.h"

#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The "standard" layout's buttons (by their index there) as the usual
// controller's; the two triggers (6 and 7) are axes.
constexpr int StandardButtonCount = 17;
constexpr int StandardButtons[StandardButtonCount] = {
    static_cast<int>(PadButton::A),
    static_cast<int>(PadButton::B),
    static_cast<int>(PadButton::X),
    static_cast<int>(PadButton::Y),
    static_cast<int>(PadButton::LeftShoulder),
    static_cast<int>(PadButton::RightShoulder),
    -1,
    -1,
    static_cast<int>(PadButton::Back),
    static_cast<int>(PadButton::Start),
    static_cast<int>(PadButton::LeftStick),
    static_cast<int>(PadButton::RightStick),
    static_cast<int>(PadButton::DpadUp),
    static_cast<int>(PadButton::DpadDown),
    static_cast<int>(PadButton::DpadLeft),
    static_cast<int>(PadButton::DpadRight),
    static_cast<int>(PadButton::Guide),
};

// -1..1 as the pad layer's -32767..32767; whatever is no number, centred.
std::int16_t AxisValue(double value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<std::int16_t>(std::clamp(value, -1.0, 1.0) * 32767.0);
}

// The controls a standard pad shows now, carrying over what ActionsOf keeps
// between reads.
PadControls ControlsOf(const EmscriptenGamepadEvent& state, const PadControls& before) {
    PadControls controls;
    controls.stickPushed = before.stickPushed;
    controls.quitChord = before.quitChord;
    for (int b = 0; b < std::min(state.numButtons, StandardButtonCount); ++b)
        if (StandardButtons[b] >= 0 && state.digitalButton[b]) controls.buttons |= 1u << StandardButtons[b];
    const auto axis = [&controls](PadAxis which) -> std::int16_t& {
        return controls.axes[static_cast<std::size_t>(which)];
    };
    const PadAxis sticks[] = {PadAxis::LeftX, PadAxis::LeftY, PadAxis::RightX, PadAxis::RightY};
    for (int a = 0; a < std::min(state.numAxes, 4); ++a) axis(sticks[a]) = AxisValue(state.axis[a]);
    if (state.numButtons > 7) {
        axis(PadAxis::TriggerLeft) = AxisValue(state.analogButton[6]);
        axis(PadAxis::TriggerRight) = AxisValue(state.analogButton[7]);
    }
    return controls;
}

}  // namespace

void WebGamepads::AddTo(FrameInput& input) {
    if (unsupported) return;
    if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) {
        unsupported = true;
        return;
    }
    const int count = emscripten_get_num_gamepads();
    std::array<EmscriptenGamepadEvent, Slots> states{};
    std::array<bool, Slots> present{};
    // Pads in their slots still there?
    for (int slot = 0; slot < Slots; ++slot) {
        Pad& pad = pads[static_cast<std::size_t>(slot)];
        if (pad.index < 0) continue;
        EmscriptenGamepadEvent& state = states[static_cast<std::size_t>(slot)];
        if (pad.index < count &&
            emscripten_get_gamepad_status(static_cast<int>(pad.index), &state) == EMSCRIPTEN_RESULT_SUCCESS &&
            state.connected) {
            present[static_cast<std::size_t>(slot)] = true;
        } else {
            notices.push_back("Gamepad " + std::to_string(slot + 1) + " disconnected");
            pad = Pad{};
        }
    }
    // Newcomers into the free slots.
    for (int index = 0; index < count; ++index) {
        const bool seated =
            std::any_of(pads.begin(), pads.end(), [index](const Pad& p) { return p.index == index; });
        auto free = std::find_if(pads.begin(), pads.end(), [](const Pad& p) { return p.index < 0; });
        if (seated || free == pads.end()) continue;
        EmscriptenGamepadEvent state{};
        if (emscripten_get_gamepad_status(index, &state) != EMSCRIPTEN_RESULT_SUCCESS || !state.connected ||
            std::strcmp(state.mapping, "standard") != 0)
            continue;
        const auto slot = static_cast<std::size_t>(free - pads.begin());
        free->index = index;
        states[slot] = state;
        present[slot] = true;
        notices.push_back("Gamepad " + std::to_string(slot + 1) + " connected: " + state.id);
    }
    std::uint8_t pressedKey = 0;
    for (int slot = 0; slot < Slots; ++slot) {
        Pad& pad = pads[static_cast<std::size_t>(slot)];
        if (!present[static_cast<std::size_t>(slot)]) continue;
        pad.controls = ControlsOf(states[static_cast<std::size_t>(slot)], pad.controls);
        const PadActions now = ActionsOf(pad.controls);
        const PadActions cameOn = now & ~pad.on;
        pad.on = now;
        for (int action = 0; action < PadActionCount; ++action) {
            const auto which = static_cast<PadAction>(action);
            if (!(now & Bit(which))) continue;
            for (const std::uint8_t key : KeysOf(slot, which))
                if (key != 0) input.Hold(key);
            if (pressedKey == 0 && (cameOn & Bit(which))) pressedKey = KeysOf(slot, which)[0];
        }
    }
    if (input.pressedKey == 0) input.pressedKey = pressedKey;
}
