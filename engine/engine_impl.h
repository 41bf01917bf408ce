// The engine's inner state, shared by its parts (core, window loop, video,
// audio). Not seen by game code.
#pragma once

#include <array>
#include <cstdio>
#include <deque>
#include <string>

#include "engine/audio.h"
#include "engine/engine.h"
#include "engine/headless.h"
#include "engine/random.h"
#include "engine/textures.h"
#include "engine/video.h"

struct EngineImpl {
    int references = 0;

    // States set before System_Initiate.
    bool windowed = false;
    FrameCallback frameFunc = nullptr;
    FrameCallback renderFunc = nullptr;
    std::string title = "Munchet";
    std::string logFile;
    int screenWidth = 1024, screenHeight = 768, screenBpp = 32, fps = 100;

    bool initiated = false;
    bool sdlStarted = false;
    std::string error;
    std::FILE* log = nullptr;

    RandomGenerator random;

    // The frame being run.
    float delta = 0.01f;
    std::array<bool, 256> held{};
    int pressedKey = 0;
    int typedChar = 0;
    bool inScene = false;

    TextureTable textures;
    Video video;
    Audio audio;

    // Headless mode.
    bool headless = false;
    HeadlessOptions headlessOptions;
    std::deque<FrameInput> script;
    FrameRecord record;

    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Runs the frame callback, then (unless it ended the run) the render
    // callback, with the input and frame time already set. True ends the run.
    bool RunOneFrame();
};

// The real-time loop: events, pacing at the frame rate, the two callbacks.
// Returns when the frame callback returns true or the window is closed.
void RunWindowLoop(EngineImpl& engine);

// The virtual-key code of an SDL key (scancode and keycode as SDL gives them),
// 0 for keys the game does not know.
int VirtualKeyFromSdl(int scancode, int keycode);
