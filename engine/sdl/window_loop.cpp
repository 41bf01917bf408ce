// The real-time loop: SDL's events, the two callbacks, and sleep until the
// next frame is due.
#include <SDL.h>

#include <algorithm>

#include "engine/engine_impl.h"
#include "engine/frame_clock.h"
#include "engine/sdl/gamepads.h"
#include "engine/sdl/keyboard.h"
#include "engine/sdl/sdl_backend.h"

namespace {

// Whether the game may run: not while the window is minimised or hidden, nor
// while another window has the keyboard (a player who switched away must not
// lose the game meanwhile). Only SDL's events change it, so a window that
// never hears about focus at all (no window manager) simply runs.
struct WindowActivity {
    bool focused = true;
    bool minimised = false;

    bool Active() const { return focused && !minimised; }
    // True when the event takes the keyboard away from the game.
    bool Apply(const SDL_WindowEvent& event) {
        switch (event.event) {
            case SDL_WINDOWEVENT_FOCUS_LOST:
                focused = false;
                return true;
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                focused = true;
                return false;
            case SDL_WINDOWEVENT_MINIMIZED:
            case SDL_WINDOWEVENT_HIDDEN:
                minimised = true;
                return true;
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_MAXIMIZED:
            case SDL_WINDOWEVENT_SHOWN:
                minimised = false;
                return false;
            default:
                return false;
        }
    }
};

// What the loop did, written to the log as one line when it ends: how fast
// the game really ran is the first question about a slow machine.
struct LoopReport {
    EngineImpl& engine;
    std::int64_t started = MonotonicNanoseconds();
    std::int64_t activeTime = 0;  // nanoseconds of periods in which the game ran
    int frames = 0;               // frames the game ran
    int late = 0;                 // frames that started more than half a period after their time
    int pausedPeriods = 0;        // periods spent waiting for the window to come back
    int mostDrawCalls = 0;        // in one frame

    explicit LoopReport(EngineImpl& e) : engine(e) {}
    LoopReport(const LoopReport&) = delete;
    LoopReport& operator=(const LoopReport&) = delete;
    ~LoopReport() {
        // Whatever the sound libraries met while the game ran (a device
        // lost, an underrun) is in the log, not on the terminal.
        LogSoundLibraryMessages(engine);
        const double seconds = static_cast<double>(MonotonicNanoseconds() - started) * 1e-9;
        const double activeSeconds = static_cast<double>(activeTime) * 1e-9;
        engine.Log(
            "Frame loop: %d frames in %.2f s, %.1f per second while active; %d late, %d periods paused; "
            "at most %d draw calls a frame",
            frames, seconds, activeSeconds > 0 ? frames / activeSeconds : 0.0, late, pausedPeriods,
            mostDrawCalls);
    }
};

}  // namespace

void SdlBackend::RunLoop(EngineImpl& engine) {
    KeyboardInput keyboard(keys);
    GamepadInput pads;
    if (SDL_WasInit(SDL_INIT_GAMECONTROLLER)) pads.OpenAttached();
    WindowActivity activity;
    FrameClock clock;
    clock.Start(MonotonicNanoseconds(), engine.fps);
    LoopReport report(engine);
    std::int64_t periodStart = MonotonicNanoseconds();
    for (;;) {
        // While paused the clock still ticks every period, so the first frame
        // after the pause is told one period, not the length of the pause.
        const std::int64_t now = MonotonicNanoseconds();
        const bool late = now - clock.deadline > clock.period / 2;
        const float frameTime = clock.BeginFrame(now);
        keyboard.BeginFrame();
        pads.BeginFrame();
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            switch (event.type) {
                case SDL_QUIT:
                    return;
                case SDL_KEYDOWN:
                    keyboard.KeyDown(event.key.keysym.scancode, event.key.keysym.sym, event.key.repeat != 0);
                    break;
                case SDL_KEYUP:
                    keyboard.KeyUp(event.key.keysym.scancode, event.key.keysym.sym);
                    break;
                case SDL_TEXTINPUT:
                    keyboard.Text(event.text.text);
                    break;
                case SDL_RENDER_DEVICE_RESET:
                    video.ForgetTextures();
                    break;
                case SDL_WINDOWEVENT:
                    if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) video.Resized();
                    // The keyboard's releases go to the other window; the
                    // pads' still come here.
                    if (activity.Apply(event.window)) keyboard.ReleaseAll();
                    break;
                default:
                    pads.Handle(event);
                    break;
            }
        }
        for (const std::string& notice : pads.notices) engine.Log("%s", notice.c_str());
        pads.notices.clear();
        if (activity.Active()) {
            report.frames += 1;
            report.late += late;
            report.activeTime += now - periodStart;
            // A journal playing back stands in for the keyboard and the pads,
            // frame time included; they are still followed, to take over after.
            FrameInput input = keyboard.Record();
            pads.AddTo(input);
            input.frameTime = frameTime;
            engine.NextPlayedFrame(input);
            if (engine.RunFrame(input)) return;
            report.mostDrawCalls = std::max(report.mostDrawCalls, video.LastSceneDrawCalls());
            const std::string textureError = video.TakeTextureError();
            if (!textureError.empty()) engine.Log("Can't use texture: %s", textureError.c_str());
        } else {
            report.pausedPeriods += 1;
            // The music keeps streaming while the game waits.
            audio.Update(frameTime);
        }
        periodStart = now;
        SleepUntil(clock.ScheduleNext(MonotonicNanoseconds()));
    }
}
