// The browser's frame loop: called on each of the page's animation frames
// (requestAnimationFrame), it runs the game's frames that are due at the
// engine's rate by the same frame clock as every loop (engine/frame_clock.h),
// a few at most to catch up; a longer backlog is dropped, as after a pause.
//
// The game stands still (no frames, keys let go, the clock resumed with one
// period) while the tab is hidden and while the window has lost the focus:
// a player who switched away must not lose the game meanwhile.
#pragma once

#include <cstdint>

#include "engine/frame_clock.h"

struct EngineImpl;
struct WebBackend;

struct WebLoop {
    WebLoop(EngineImpl& engine, WebBackend& backend);
    WebLoop(const WebLoop&) = delete;
    WebLoop& operator=(const WebLoop&) = delete;
    ~WebLoop();

    // Hands the loop to the browser; does not return.
    void Run();
    // One animation frame.
    void Step();
    // The tab was hidden or shown, the window lost or got the focus. Taken
    // at once: a hidden tab gets no animation frames to notice it in.
    void SetHidden(bool tabHidden);
    void SetFocused(bool windowFocused);

    // Frames run in one animation frame at most.
    static constexpr int MostFramesPerStep = 4;

private:
    void End();
    // Stops the game while it is away: keys let go, the clock restarted on return.
    void NoticeAway();

    EngineImpl& engine;
    WebBackend& backend;
    FrameClock clock;
    std::int64_t lastStep = 0;
    bool hidden = false;   // the tab is not shown
    bool focused = true;   // only a blur takes it away, so a page never told runs
    bool paused = false;   // away since the last frame run
    bool running = false;  // the browser calls Step
    int frames = 0;
};
