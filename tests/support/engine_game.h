// A real Game driven through the process's one engine in headless mode, as
// the program drives it: each frame's input comes from the engine (a script,
// a journal, virtual pads), and whatever the test hooks in plays the frame's
// effects and draws the scene. The engine is one per process, so only one
// EngineGame may live at a time; HeadlessGame has no such limit.
#pragma once

#include <functional>

#include "engine/engine.h"
#include "engine/headless.h"
#include "game/game.h"

struct EngineGame {
    Game game;
    Engine* engine = nullptr;
    // After every frame the game ran (not one that ended the run), and to
    // draw each frame; either may be left empty.
    std::function<void()> afterFrame;
    std::function<void()> render;

    // Without a platform the engine runs on its core alone; give one
    // (SdlPlatform) for decoded pictures, screenshots or mixed sound.
    explicit EngineGame(int seed = 1234, HeadlessOptions options = {}, PlatformFactory platform = nullptr) {
        engine = hgeCreate(EngineVersion);
        engine->System_SetPlatform(platform);
        engine->Headless_Enable(options);
        engine->System_SetState(StateFrameFunc, &FrameCallback);
        engine->System_SetState(StateRenderFunc, &RenderCallback);
        engine->System_SetState(StateLogFile, "");
        engine->System_Initiate();
        game.random.Seed(static_cast<std::uint32_t>(seed));
        current() = this;
    }
    ~EngineGame() {
        current() = nullptr;
        engine->System_Shutdown();
        engine->Release();
    }
    EngineGame(const EngineGame&) = delete;
    EngineGame& operator=(const EngineGame&) = delete;

    // One frame (the game's, then the drawing); true when the frame asked to
    // end the run.
    bool RunFrame(const FrameInput& input = {}) { return engine->Headless_RunFrame(input); }
    void RunFrames(int n, const FrameInput& input = {}) {
        for (int i = 0; i < n; ++i) RunFrame(input);
    }
    const FrameRecord& LastFrame() const { return engine->Headless_LastFrame(); }

private:
    static EngineGame*& current() {
        static EngineGame* running = nullptr;
        return running;
    }
    static bool FrameCallback() {
        EngineGame& self = *current();
        if (self.game.Frame(self.engine->Input_GetFrame())) return true;
        if (self.afterFrame) self.afterFrame();
        return false;
    }
    static bool RenderCallback() {
        if (current()->render) current()->render();
        return false;
    }
};
