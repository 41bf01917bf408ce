// Game controllers plugged in and out while the game runs, folded into each
// frame's FrameInput as virtual keys (engine/gamepad_mapping.h says which).
//
// - Two pads at most, in slots: the first pad connected takes slot 0 (the
//   arrow-key player), the next slot 1 (the W A S D player). A pad keeps its
//   slot while connected; one plugged in takes the lowest free slot, so a
//   player who loses a pad and plugs it back gets their ghost back. A third
//   pad waits and takes the first slot freed.
// - A control that goes down and up again within one frame counts as held
//   for that frame, as a key tapped on the keyboard does.
// - The frame's pressed key (Input_GetKey) is the keyboard's when a key went
//   down; else that of the first pad action to come on. No auto-repeat.
// - A pad pulled out lets go of everything it held.
//
// Needs SDL's game-controller subsystem (SDL_INIT_GAMECONTROLLER) running;
// every call is on the thread that polls SDL's events.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/frame_input.h"
#include "engine/gamepad_mapping.h"

union SDL_Event;
struct _SDL_GameController;

struct GamepadInput {
    static constexpr int Slots = 2;

    GamepadInput() = default;
    GamepadInput(const GamepadInput&) = delete;
    GamepadInput& operator=(const GamepadInput&) = delete;
    ~GamepadInput() { CloseAll(); }

    // Opens attached controllers into the free slots (SDL also announces the
    // pads present at start as added; each pad is opened once either way).
    void OpenAttached();
    // A game-controller event (added, removed, button, axis) taken into
    // account; other events are left alone. True when it was one.
    bool Handle(const SDL_Event& event);
    // Starts a frame: forgets the last frame's taps and pressed key.
    void BeginFrame();
    void CloseAll();
    // Adds the pads' held keys to input, and their pressed key when the
    // keyboard's is 0. Sticks are read here, once a frame, as the frame's
    // events left them: a stick let go reports x and y apart, and the
    // direction between them must not count as a tap.
    void AddTo(FrameInput& input);

    // How many pads are open, and SDL's instance id of the pad in a slot (-1
    // when the slot is free).
    int Connected() const;
    std::int32_t InstanceIn(int slot) const;

    // Lines for the log (a pad connected, disconnected or left waiting);
    // the loop logs and clears them.
    std::vector<std::string> notices;

private:
    struct Pad {
        _SDL_GameController* controller = nullptr;
        std::int32_t instance = -1;
        PadControls controls;
        PadActions on = 0;        // what the controls ask for now
        PadActions tapped = 0;    // came on during this frame
        bool stickMoved = false;  // axes changed since they were last read
    };
    Pad* Find(std::int32_t instance);
    void Open(int deviceIndex);
    void Close(Pad& pad, const char* why);
    // Takes the pad's controls as changed: whatever came on is tapped, and
    // may be the frame's pressed key. Reads the axes too.
    void Update(int slot);

    std::array<Pad, Slots> pads{};
    std::uint8_t pressedKey = 0;
};
