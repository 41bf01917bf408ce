// The engine's inner state, shared by its core and its backends. Not seen by
// game code.
#pragma once

#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "engine/backend.h"
#include "engine/engine.h"
#include "engine/frame_input.h"
#include "engine/headless.h"
#include "engine/input_journal.h"
#include "engine/random.h"

struct NullBackend;

struct EngineImpl {
    EngineImpl();
    ~EngineImpl();

    int references = 0;

    // States set before System_Initiate.
    bool windowed = false;
    FrameCallback frameFunc = nullptr;
    FrameCallback renderFunc = nullptr;
    std::string title = "Munchet";
    std::string logFile;
    int screenWidth = 1024, screenHeight = 768, fps = 100;
    PlatformFactory platform = nullptr;
    WindowLayout windowLayout;
    KeyRebindings keyBindings;

    bool initiated = false;
    std::string error;
    std::FILE* log = nullptr;

    // Made by System_Initiate: the platform's, or the null backend when
    // headless. Before it (and after System_Shutdown) an idle null backend,
    // so that every operation has somewhere to go.
    std::unique_ptr<Backend> backend;
    // The null backend while headless, else null.
    NullBackend* recorder = nullptr;

    RandomGenerator random;

    // The input of the frame being run (or of the last one), what the
    // game's input and timer reads answer from.
    FrameInput current = FrameInput{}.Lasting(0.01f);
    // The input the keyboard or the script gave the frame being run, also
    // when a played-back journal stands in for it.
    FrameInput live;
    // The frame being run came from the journal played back.
    bool playedFrame = false;
    bool inScene = false;

    // Every frame's input since the journal began; always kept.
    InputJournal journal;
    // A journal being played back in place of the live input, and where the
    // playback has got to.
    InputJournal played;
    std::optional<JournalReader> playback;

    // Headless mode.
    bool headless = false;
    HeadlessOptions headlessOptions;
    // What a scripted frame of frame time 0 lasts.
    float scriptFrameTime = 0.01f;
    std::deque<FrameInput> script;

    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // One line to the log file only: details that would only clutter a
    // player's terminal (what the sound libraries had to say, for one).
    void LogDetail(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Runs one frame with this input (its frame time bounded here, for every
    // loop): journals it, then calls the frame callback and, unless that
    // ended the run, the render callback. True ends the run.
    bool RunFrame(FrameInput input);
    // While a journal plays back: its next frame into input, true (the
    // input given is kept as the live one). False when none plays or it has
    // run out (the live input takes over again).
    bool NextPlayedFrame(FrameInput& input);
};
