// The engine's inner state, shared by its parts (core, window loop, video,
// audio). Not seen by game code.
#pragma once

#include <array>
#include <cstdio>
#include <deque>
#include <optional>
#include <string>

#include "engine/audio.h"
#include "engine/engine.h"
#include "engine/frame_input.h"
#include "engine/headless.h"
#include "engine/input_journal.h"
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

    // The input of the frame being run (or of the last one), what the
    // game's input and timer reads answer from.
    FrameInput current = FrameInput{}.Lasting(0.01f);
    bool inScene = false;

    // Every frame's input since the journal began; always kept.
    InputJournal journal;
    // A journal being played back in place of the live input, and where the
    // playback has got to.
    InputJournal played;
    std::optional<JournalReader> playback;

    TextureTable textures;
    Video video;
    Audio audio;

    // Headless mode.
    bool headless = false;
    HeadlessOptions headlessOptions;
    // What a scripted frame of frame time 0 lasts.
    float scriptFrameTime = 0.01f;
    std::deque<FrameInput> script;
    FrameRecord record;

    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Runs one frame with this input (its frame time bounded here, for every
    // loop): journals it, then calls the frame callback and, unless that
    // ended the run, the render callback. True ends the run.
    bool RunFrame(FrameInput input);
    // While a journal plays back: its next frame into input, true. False when
    // none plays or it has run out (the live input takes over again).
    bool NextPlayedFrame(FrameInput& input);
};

// The real-time loop: events, pacing at the frame rate, the two callbacks.
// Returns when the frame callback returns true or the window is closed.
void RunWindowLoop(EngineImpl& engine);

// The virtual-key code of an SDL key (scancode and keycode as SDL gives them),
// 0 for keys the game does not know.
int VirtualKeyFromSdl(int scancode, int keycode);
