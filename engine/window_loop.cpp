// The real-time loop: SDL's events, the two callbacks, and sleep until the
// next frame is due.
#include <SDL.h>

#include "engine/engine_impl.h"
#include "engine/frame_clock.h"
#include "engine/keyboard.h"

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

}  // namespace

void RunWindowLoop(EngineImpl& engine) {
    KeyboardInput keyboard;
    WindowActivity activity;
    FrameClock clock;
    clock.Start(MonotonicNanoseconds(), engine.fps);
    for (;;) {
        // While paused the clock still ticks every period, so the first frame
        // after the pause is told one period, not the length of the pause.
        engine.delta = clock.BeginFrame(MonotonicNanoseconds());
        keyboard.BeginFrame(engine);
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            switch (event.type) {
                case SDL_QUIT:
                    return;
                case SDL_KEYDOWN:
                    keyboard.KeyDown(event.key.keysym.scancode, event.key.keysym.sym, event.key.repeat != 0,
                                     engine);
                    break;
                case SDL_KEYUP:
                    keyboard.KeyUp(event.key.keysym.scancode, event.key.keysym.sym, engine);
                    break;
                case SDL_TEXTINPUT:
                    keyboard.Text(event.text.text, engine);
                    break;
                case SDL_WINDOWEVENT:
                    if (activity.Apply(event.window)) keyboard.ReleaseAll(engine);
                    break;
                default:
                    break;
            }
        }
        if (activity.Active()) {
            if (engine.RunOneFrame()) return;
            const std::string textureError = engine.video.TakeTextureError();
            if (!textureError.empty()) engine.Log("Can't use texture: %s", textureError.c_str());
        } else {
            // The music keeps streaming while the game waits.
            engine.audio.Update(engine.delta);
        }
        SleepUntil(clock.ScheduleNext(MonotonicNanoseconds()));
    }
}
