// A virtual game controller for the tests, as SDL makes one: it looks like
// any pad plugged in, and the test moves its controls.
#pragma once

#include <SDL.h>

#include <cstdint>

// A virtual pad with every button and axis, triggers at rest.
struct VirtualPad {
    SDL_Joystick* joystick = nullptr;

    explicit VirtualPad(const char* name = "Virtual pad") {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
        desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
        desc.name = name;
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        if (index >= 0) joystick = SDL_JoystickOpen(index);
        if (!joystick) return;
        // A virtual trigger's 0 is half way down; a real one rests at the minimum.
        Axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_JOYSTICK_AXIS_MIN);
        Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_JOYSTICK_AXIS_MIN);
    }
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;
    ~VirtualPad() { Unplug(); }

    std::int32_t Instance() const { return SDL_JoystickInstanceID(joystick); }
    void Button(int button, bool down) { SDL_JoystickSetVirtualButton(joystick, button, down); }
    void Axis(int axis, Sint16 value) { SDL_JoystickSetVirtualAxis(joystick, axis, value); }
    void Unplug() {
        if (!joystick) return;
        const SDL_JoystickID instance = Instance();
        SDL_JoystickClose(joystick);
        joystick = nullptr;
        for (int index = 0; index < SDL_NumJoysticks(); ++index)
            if (SDL_JoystickGetDeviceInstanceID(index) == instance) SDL_JoystickDetachVirtual(index);
    }
};
