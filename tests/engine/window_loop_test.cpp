// The real-time loop and the window, under SDL's offscreen video driver (no
// display needed). Nothing here measures time: frames are counted, and the
// frame time is only required to be positive.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "engine/engine_impl.h"
#include "engine/sdl/sdl_backend.h"
#include "engine/sdl/sdl_platform.h"
#include "tests/engine/picture_files.h"
#include "tests/engine/virtual_pad.h"

namespace {

struct Loop {
    static inline Engine* engine = nullptr;
    static inline std::atomic<int> frames{0};
    static inline int renders = 0;
    static inline std::vector<float> deltas;
    // What the test does in the frame callback: return true to end the run.
    static inline std::function<bool(int frame)> onFrame;

    static bool Frame() {
        deltas.push_back(engine->Timer_GetDelta());
        return onFrame(++frames);
    }
    static bool Render() {
        ++renders;
        engine->Gfx_BeginScene();
        engine->Gfx_Clear(0);
        Quad quad;
        quad.v[1].x = quad.v[2].x = 100;
        quad.v[2].y = quad.v[3].y = 100;
        for (int i = 0; i < 10; ++i) engine->Gfx_RenderQuad(&quad);
        engine->Gfx_EndScene();
        return false;
    }
};

void PushKey(Uint32 type, SDL_Scancode scancode) {
    SDL_Event event{};
    event.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    SDL_PushEvent(&event);
}

void PushText(const char* text) {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    SDL_strlcpy(event.text.text, text, sizeof event.text.text);
    SDL_PushEvent(&event);
}

void PushWindowEvent(Uint8 what) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = what;
    SDL_PushEvent(&event);
}

// The window of the engine's SDL backend.
Video& VideoOf(Engine* engine) { return static_cast<SdlBackend&>(*engine->impl->backend).video; }

class WindowLoop : public ::testing::Test {
protected:
    void SetUp() override {
        engine = hgeCreate(EngineVersion);
        Loop::engine = engine;
        Loop::frames = 0;
        Loop::renders = 0;
        Loop::deltas.clear();
        engine->System_SetPlatform(SdlPlatform);
        engine->System_SetState(StateLogFile, "");
        engine->System_SetState(StateFrameFunc, &Loop::Frame);
        engine->System_SetState(StateRenderFunc, &Loop::Render);
        engine->System_SetState(StateTitle, "Loop test");
        engine->System_SetState(StateFps, 100);
        engine->System_SetState(StateWindowed, true);
    }
    void TearDown() override {
        engine->System_Shutdown();
        engine->Release();
    }
    Engine* engine = nullptr;
};

TEST_F(WindowLoop, RunsFramesUntilTheFrameCallbackEndsIt) {
    ASSERT_TRUE(engine->System_Initiate()) << engine->System_GetErrorMessage();
    Loop::onFrame = [](int frame) { return frame == 20; };
    EXPECT_TRUE(engine->System_Start());
    EXPECT_EQ(Loop::frames, 20);
    EXPECT_EQ(Loop::renders, 19) << "the frame that ends the run is not drawn";
    for (const float delta : Loop::deltas) EXPECT_GT(delta, 0.0f);
    EXPECT_EQ(VideoOf(engine).LastSceneDrawCalls(), 1);
}

TEST_F(WindowLoop, WindowHasTheSceneSizeAndTitle) {
    ASSERT_TRUE(engine->System_Initiate()) << engine->System_GetErrorMessage();
    SDL_Window* window = VideoOf(engine).window;
    ASSERT_NE(window, nullptr);
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
    EXPECT_STREQ(SDL_GetWindowTitle(window), "Loop test");
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    int logicalW = 0, logicalH = 0;
    SDL_RenderGetLogicalSize(VideoOf(engine).renderer, &logicalW, &logicalH);
    EXPECT_EQ(logicalW, 1024);
    EXPECT_EQ(logicalH, 768);
}

TEST_F(WindowLoop, FullScreenUsesTheDesktopModeAndKeepsTheSceneSize) {
    engine->System_SetState(StateWindowed, false);
    ASSERT_TRUE(engine->System_Initiate()) << engine->System_GetErrorMessage();
    const Uint32 flags = SDL_GetWindowFlags(VideoOf(engine).window);
    EXPECT_EQ(flags & SDL_WINDOW_FULLSCREEN_DESKTOP, static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP));
    int logicalW = 0, logicalH = 0;
    SDL_RenderGetLogicalSize(VideoOf(engine).renderer, &logicalW, &logicalH);
    EXPECT_EQ(logicalW, 1024);
    EXPECT_EQ(logicalH, 768);
}

TEST_F(WindowLoop, DrawsTheQuadsIntoTheWindowInOneCall) {
    ASSERT_TRUE(engine->System_Initiate()) << engine->System_GetErrorMessage();
    Video& video = VideoOf(engine);
    Quad quad;
    quad.v[0] = {10, 10, 0.5f, 0xFFFF8000, 0, 0};
    quad.v[1] = {30, 10, 0.5f, 0xFFFF8000, 1, 0};
    quad.v[2] = {30, 30, 0.5f, 0xFFFF8000, 1, 1};
    quad.v[3] = {10, 30, 0.5f, 0xFFFF8000, 0, 1};
    engine->Gfx_BeginScene();
    engine->Gfx_Clear(0xFF000080);
    for (int i = 0; i < 1000; ++i) engine->Gfx_RenderQuad(&quad);
    // The back buffer, read before it is presented.
    video.Flush();
    const SDL_Rect inside{20, 20, 1, 1}, outside{50, 50, 1, 1};
    Uint32 pixel = 0;
    ASSERT_EQ(SDL_RenderReadPixels(video.renderer, &inside, SDL_PIXELFORMAT_ARGB8888, &pixel, 4), 0);
    EXPECT_EQ(pixel & 0xFFFFFFu, 0xFF8000u);
    ASSERT_EQ(SDL_RenderReadPixels(video.renderer, &outside, SDL_PIXELFORMAT_ARGB8888, &pixel, 4), 0);
    EXPECT_EQ(pixel & 0xFFFFFFu, 0x000080u);
    engine->Gfx_EndScene();
    EXPECT_EQ(video.LastSceneDrawCalls(), 1) << "a thousand quads of one texture are one draw call";
    EXPECT_EQ(engine->Gfx_BeginScene(), true);
    engine->Gfx_EndScene();
    EXPECT_EQ(video.LastSceneDrawCalls(), 0);
}

TEST_F(WindowLoop, TexturesAreMadeAgainAfterTheRendererLostThem) {
    ASSERT_TRUE(engine->System_Initiate()) << engine->System_GetErrorMessage();
    TempDirectory dir;
    const std::string path = dir.File("teal.png");
    ASSERT_TRUE(WritePng(path, 2, 2, [](int, int) { return Rgba{0, 128, 128, 255}; }));
    Quad quad;
    quad.texture = engine->Texture_Load(path.c_str());
    quad.v[1].x = quad.v[2].x = 40;
    quad.v[2].y = quad.v[3].y = 40;
    quad.v[1].u = quad.v[2].u = quad.v[2].v = quad.v[3].v = 1;
    Video& video = VideoOf(engine);
    const SDL_Rect inside{20, 20, 1, 1};
    for (int round = 0; round < 2; ++round) {
        if (round == 1) video.ForgetTextures();
        engine->Gfx_BeginScene();
        engine->Gfx_Clear(0);
        engine->Gfx_RenderQuad(&quad);
        video.Flush();
        Uint32 pixel = 0;
        ASSERT_EQ(SDL_RenderReadPixels(video.renderer, &inside, SDL_PIXELFORMAT_ARGB8888, &pixel, 4), 0);
        EXPECT_EQ(pixel & 0xFFFFFFu, 0x008080u) << "round " << round;
        engine->Gfx_EndScene();
    }
    EXPECT_EQ(video.TakeTextureError(), "");
}

TEST_F(WindowLoop, KeysAndTextReachTheFrameTheyWereTypedIn) {
    ASSERT_TRUE(engine->System_Initiate()) << engine->System_GetErrorMessage();
    std::vector<int> keys, chars;
    std::vector<bool> shiftHeld;
    Loop::onFrame = [&](int frame) {
        keys.push_back(engine->Input_GetKey());
        chars.push_back(engine->Input_GetChar());
        shiftHeld.push_back(engine->Input_GetKeyState(Key::Shift));
        switch (frame) {
            case 1:
                PushKey(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE);
                PushKey(SDL_KEYDOWN, SDL_SCANCODE_RSHIFT);
                PushText("q");
                break;
            case 2:
                PushKey(SDL_KEYUP, SDL_SCANCODE_BACKSPACE);
                break;
            case 3:
                PushKey(SDL_KEYUP, SDL_SCANCODE_RSHIFT);
                PushKey(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
                PushKey(SDL_KEYUP, SDL_SCANCODE_ESCAPE);
                break;
            default:
                break;
        }
        return engine->Input_GetKeyState(Key::Escape);
    };
    engine->System_Start();
    EXPECT_EQ(Loop::frames, 4) << "a tap of Escape is seen as held";
    EXPECT_EQ(keys, (std::vector<int>{0, Key::Backspace, 0, Key::Escape}));
    EXPECT_EQ(chars, (std::vector<int>{0, 'q', 0, 0}));
    EXPECT_EQ(shiftHeld, (std::vector<bool>{false, true, true, false}));
}

TEST_F(WindowLoop, KeptLayoutAndBindingsReachTheWindowAndTheKeyboard) {
    engine->System_SetWindowLayout({800, 600, false, true});
    engine->Input_SetBindings({{{"p2-up", 'W', "I"}, {"p1-focus", Key::Shift, "Escape"}}, {Key::Escape}});
    ASSERT_TRUE(engine->System_Initiate()) << engine->System_GetErrorMessage();
    EXPECT_EQ(engine->System_GetWindowLayout(), (WindowLayout{800, 600, false, true}));
    // Below the scene's size whole multiples would crop it: scaled to fit.
    EXPECT_FALSE(SDL_RenderGetIntegerScale(VideoOf(engine).renderer));
    SDL_SetWindowSize(VideoOf(engine).window, 1100, 800);
    VideoOf(engine).Resized();
    EXPECT_TRUE(SDL_RenderGetIntegerScale(VideoOf(engine).renderer));
    EXPECT_EQ(engine->System_GetWindowLayout(), (WindowLayout{1100, 800, false, true}));
    EXPECT_STREQ(engine->Input_GetKeyName('W'), "I");
    EXPECT_STREQ(engine->Input_GetKeyName(Key::Shift), "Left Shift") << "the refused binding kept Shift";
    std::vector<bool> upHeld;
    Loop::onFrame = [&](int frame) {
        upHeld.push_back(engine->Input_GetKeyState('W'));
        if (frame == 1) PushKey(SDL_KEYDOWN, SDL_SCANCODE_W);
        if (frame == 2) PushKey(SDL_KEYDOWN, SDL_SCANCODE_I);
        return frame == 3;
    };
    engine->System_Start();
    EXPECT_EQ(upHeld, (std::vector<bool>{false, false, true}));
}

TEST_F(WindowLoop, APadPluggedInWhileTheGameRunsPressesItsKeys) {
    ASSERT_TRUE(engine->System_Initiate()) << engine->System_GetErrorMessage();
    std::unique_ptr<VirtualPad> pad;
    std::vector<int> keys;
    std::vector<bool> leftHeld;
    Loop::onFrame = [&](int frame) {
        keys.push_back(engine->Input_GetKey());
        leftHeld.push_back(engine->Input_GetKeyState(Key::Left));
        if (frame == 1) pad = std::make_unique<VirtualPad>();
        // The loop has opened the pad by now.
        if (frame == 2) pad->Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
        if (frame == 4) pad->Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
        return frame == 5;
    };
    engine->System_Start();
    EXPECT_EQ(keys, (std::vector<int>{0, 0, Key::Left, 0, 0}));
    EXPECT_EQ(leftHeld, (std::vector<bool>{false, false, true, true, false}));
}

TEST_F(WindowLoop, WindowCloseEndsTheLoop) {
    ASSERT_TRUE(engine->System_Initiate()) << engine->System_GetErrorMessage();
    Loop::onFrame = [](int frame) {
        if (frame == 3) {
            SDL_Event quit{};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        }
        return false;
    };
    EXPECT_TRUE(engine->System_Start());
    EXPECT_EQ(Loop::frames, 3);
}

// Pausing: no frame runs while the window is away, held keys are let go, and
// the game resumes when the window comes back.
struct PauseCase {
    Uint8 away, back;
};

class WindowPause : public WindowLoop, public ::testing::WithParamInterface<PauseCase> {};

struct Resumer {
    static inline std::atomic<int> framesWhenFired{-1};
    static inline Uint8 back = 0;
    // On SDL's timer thread: notes how far the game got, then brings the window back.
    static Uint32 Fire(Uint32, void*) {
        framesWhenFired = Loop::frames.load();
        PushWindowEvent(back);
        return 0;
    }
};

TEST_P(WindowPause, NoFramesWhileAwayAndHeldKeysAreLetGo) {
    ASSERT_TRUE(engine->System_Initiate()) << engine->System_GetErrorMessage();
    Resumer::back = GetParam().back;
    Resumer::framesWhenFired = -1;
    const Uint8 away = GetParam().away;
    bool heldAfterResume = true;
    float deltaAfterResume = 0;
    Loop::onFrame = [&](int frame) {
        if (frame == 2) PushKey(SDL_KEYDOWN, SDL_SCANCODE_W);
        if (frame == 3) {
            EXPECT_TRUE(engine->Input_GetKeyState('W'));
            PushWindowEvent(away);
            SDL_AddTimer(60, &Resumer::Fire, nullptr);
        }
        if (frame == 4) {
            heldAfterResume = engine->Input_GetKeyState('W');
            deltaAfterResume = engine->Timer_GetDelta();
            return true;
        }
        return false;
    };
    engine->System_Start();
    EXPECT_EQ(Resumer::framesWhenFired, 3) << "frames ran while the window was away";
    EXPECT_EQ(Loop::frames, 4);
    EXPECT_FALSE(heldAfterResume);
    EXPECT_GT(deltaAfterResume, 0.0f);
}

INSTANTIATE_TEST_SUITE_P(FocusAndMinimise, WindowPause,
                         ::testing::Values(PauseCase{SDL_WINDOWEVENT_FOCUS_LOST,
                                                     SDL_WINDOWEVENT_FOCUS_GAINED},
                                           PauseCase{SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_RESTORED}));

TEST(WindowInitiate, FailsCleanlyWithoutAVideoDriver) {
    // A video driver that does not exist stands for a machine without a display.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "no-such-driver", SDL_HINT_OVERRIDE);
    Engine* engine = hgeCreate(EngineVersion);
    engine->System_SetPlatform(SdlPlatform);
    engine->System_SetState(StateLogFile, "");
    engine->System_SetState(StateWindowed, true);
    EXPECT_FALSE(engine->System_Initiate());
    EXPECT_STRNE(engine->System_GetErrorMessage(), "");
    EXPECT_FALSE(engine->System_Start());
    engine->System_Shutdown();
    engine->Release();
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
}

}  // namespace
