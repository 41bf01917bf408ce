// A real Game driven through the headless engine: a fixed seed, a fixed frame
// time and scripted keys make every run the same. The engine is one per
// process, so only one HeadlessGame may live at a time.
#pragma once

#include "common/engine_ref.h"
#include "engine/headless.h"
#include "game/game.h"

struct HeadlessGame {
    Game game;

    // Without a platform the game runs on the engine's core alone; give one
    // (SdlPlatform) for decoded pictures, screenshots or mixed sound.
    explicit HeadlessGame(int seed = 1234, HeadlessOptions options = {}, PlatformFactory platform = nullptr) {
        engine = hgeCreate(EngineVersion);
        engine->System_SetPlatform(platform);
        engine->Headless_Enable(options);
        engine->System_SetState(StateFrameFunc, &FrameCallback);
        engine->System_SetState(StateRenderFunc, &RenderCallback);
        engine->System_SetState(StateLogFile, "");
        engine->System_Initiate();
        engine->Random_Seed(seed);
        hge = engine;
        current() = &game;
    }
    ~HeadlessGame() {
        current() = nullptr;
        engine->System_Shutdown();
        engine->Release();
        hge = nullptr;
    }
    HeadlessGame(const HeadlessGame&) = delete;
    HeadlessGame& operator=(const HeadlessGame&) = delete;

    // One frame (Frame, then Render); true when the frame asked to end the run.
    bool RunFrame(const FrameInput& input = {}) { return engine->Headless_RunFrame(input); }
    // n frames with the same input.
    void RunFrames(int n, const FrameInput& input = {}) {
        for (int i = 0; i < n; ++i) RunFrame(input);
    }
    const FrameRecord& LastFrame() const { return engine->Headless_LastFrame(); }

    Engine* engine = nullptr;

private:
    static Game*& current() {
        static Game* game = nullptr;
        return game;
    }
    static bool FrameCallback() { return current()->Frame(); }
    static bool RenderCallback() { return current()->Render(); }
};
