#include "engine/sdl/gamepads.h"

#include <SDL.h>

#include "engine/engine.h"

// SDL's buttons and axes are taken into PadControls by their own numbers.
static_assert(SDL_CONTROLLER_BUTTON_A == static_cast<int>(PadButton::A) &&
              SDL_CONTROLLER_BUTTON_START == static_cast<int>(PadButton::Start) &&
              SDL_CONTROLLER_BUTTON_DPAD_RIGHT == static_cast<int>(PadButton::DpadRight));
static_assert(SDL_CONTROLLER_AXIS_LEFTY == static_cast<int>(PadAxis::LeftY) &&
              SDL_CONTROLLER_AXIS_TRIGGERRIGHT == static_cast<int>(PadAxis::TriggerRight) &&
              SDL_CONTROLLER_AXIS_MAX == PadAxisCount);

namespace {

constexpr PadActions None = 0;

std::string PadName(SDL_GameController* controller) {
    const char* name = SDL_GameControllerName(controller);
    return name ? name : "unnamed controller";
}

}  // namespace

GamepadInput::Pad* GamepadInput::Find(std::int32_t instance) {
    for (Pad& pad : pads)
        if (pad.controller && pad.instance == instance) return &pad;
    return nullptr;
}

void GamepadInput::OpenAttached() {
    const int devices = SDL_NumJoysticks();
    for (int index = 0; index < devices; ++index)
        if (SDL_IsGameController(index)) Open(index);
}

void GamepadInput::Open(int deviceIndex) {
    if (Find(SDL_JoystickGetDeviceInstanceID(deviceIndex))) return;
    int slot = 0;
    while (slot < Slots && pads[static_cast<std::size_t>(slot)].controller) ++slot;
    if (slot == Slots) {
        const char* name = SDL_GameControllerNameForIndex(deviceIndex);
        notices.push_back(std::string("Gamepad ") + (name ? name : "unnamed controller") +
                          " waits: two pads are in use");
        return;
    }
    SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
    if (!controller) {
        notices.push_back(std::string("Gamepad cannot be opened: ") + SDL_GetError());
        return;
    }
    Pad& pad = pads[static_cast<std::size_t>(slot)];
    pad = Pad{};
    pad.controller = controller;
    pad.instance = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
    // Pads with player lights show which ghost they drive.
    SDL_GameControllerSetPlayerIndex(controller, slot);
    notices.push_back("Gamepad " + std::to_string(slot + 1) + " connected: " + PadName(controller) +
                      (slot == 0 ? " (the arrow-key player)" : " (the W A S D player)"));
}

void GamepadInput::Close(Pad& pad, const char* why) {
    if (!pad.controller) return;
    const int slot = static_cast<int>(&pad - pads.data());
    notices.push_back("Gamepad " + std::to_string(slot + 1) + " " + why);
    SDL_GameControllerClose(pad.controller);
    pad = Pad{};
}

void GamepadInput::CloseAll() {
    for (Pad& pad : pads) Close(pad, "closed");
}

bool GamepadInput::Handle(const SDL_Event& event) {
    switch (event.type) {
        case SDL_CONTROLLERDEVICEADDED:
            Open(event.cdevice.which);
            return true;
        case SDL_CONTROLLERDEVICEREMOVED:
            if (Pad* pad = Find(event.cdevice.which)) {
                Close(*pad, "disconnected");
                // A pad left waiting takes the freed slot.
                OpenAttached();
            }
            return true;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            if (Pad* pad = Find(event.cbutton.which); pad && event.cbutton.button < 32) {
                const std::uint32_t bit = 1u << event.cbutton.button;
                if (event.cbutton.state == SDL_PRESSED)
                    pad->controls.buttons |= bit;
                else
                    pad->controls.buttons &= ~bit;
                Update(static_cast<int>(pad - pads.data()));
            }
            return true;
        case SDL_CONTROLLERAXISMOTION:
            if (Pad* pad = Find(event.caxis.which); pad && event.caxis.axis < pad->controls.axes.size()) {
                pad->controls.axes[event.caxis.axis] = event.caxis.value;
                pad->stickMoved = true;
            }
            return true;
        default:
            return false;
    }
}

void GamepadInput::Update(int slot) {
    Pad& pad = pads[static_cast<std::size_t>(slot)];
    pad.stickMoved = false;
    const PadActions now = ActionsOf(pad.controls);
    const PadActions cameOn = now & ~pad.on;
    pad.on = now;
    pad.tapped |= cameOn;
    // Start and Back pressed together quit; the one that went down first
    // must not also start a new game in the same frame.
    if (cameOn & Bit(PadAction::Quit)) {
        pad.tapped &= PadActions(~(Bit(PadAction::NewSolo) | Bit(PadAction::NewPair)));
        if (pressedKey == Key::F1 || pressedKey == Key::F2) pressedKey = 0;
    }
    for (int action = 0; action < PadActionCount && pressedKey == 0; ++action)
        if (cameOn & Bit(static_cast<PadAction>(action)))
            pressedKey = KeysOf(slot, static_cast<PadAction>(action))[0];
}

void GamepadInput::BeginFrame() {
    for (Pad& pad : pads) pad.tapped = None;
    pressedKey = 0;
}

void GamepadInput::AddTo(FrameInput& input) {
    for (int slot = 0; slot < Slots; ++slot) {
        if (pads[static_cast<std::size_t>(slot)].stickMoved) Update(slot);
        const Pad& pad = pads[static_cast<std::size_t>(slot)];
        const PadActions held = pad.on | pad.tapped;
        if (held == None) continue;
        for (int action = 0; action < PadActionCount; ++action)
            if (held & Bit(static_cast<PadAction>(action)))
                for (const std::uint8_t key : KeysOf(slot, static_cast<PadAction>(action)))
                    if (key != 0) input.Hold(key);
    }
    if (input.pressedKey == 0) input.pressedKey = pressedKey;
}

int GamepadInput::Connected() const {
    int open = 0;
    for (const Pad& pad : pads) open += pad.controller != nullptr;
    return open;
}

std::int32_t GamepadInput::InstanceIn(int slot) const {
    return slot >= 0 && slot < Slots ? pads[static_cast<std::size_t>(slot)].instance : -1;
}
