#include "engine/web/web_loop.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include "engine/engine_impl.h"
#include "engine/web/web_backend.h"

namespace {

std::int64_t Nanoseconds(double milliseconds) { return static_cast<std::int64_t>(milliseconds * 1e6); }

void StepLoop(void* loop) { static_cast<WebLoop*>(loop)->Step(); }

EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent* event, void* loop) {
    static_cast<WebLoop*>(loop)->SetHidden(event->hidden);
    return false;
}

EM_BOOL OnFocus(int type, const EmscriptenFocusEvent*, void* loop) {
    static_cast<WebLoop*>(loop)->SetFocused(type == EMSCRIPTEN_EVENT_FOCUS);
    return false;
}

}  // namespace

// Each hook only when the page set it up.
EM_JS(void, WebReportFrameCost, (double milliseconds), {
    var cost = Module.munchetFrameCost;
    if (!Array.isArray(cost)) return;
    cost.push(milliseconds);
    if (cost.length > 600) cost.splice(0, cost.length - 600);
});

EM_JS(void, WebReportEnded, (), {
    if (typeof Module.munchetEnded == 'function') Module.munchetEnded();
});

WebLoop::WebLoop(EngineImpl& e, WebBackend& b) : engine(e), backend(b) {}

WebLoop::~WebLoop() {
    if (running) emscripten_cancel_main_loop();
    emscripten_set_visibilitychange_callback(nullptr, false, nullptr);
    // Focus events do not bubble: the window's own only.
    emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, false, nullptr);
    emscripten_set_focus_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, false, nullptr);
}

void WebLoop::Run() {
    EmscriptenVisibilityChangeEvent visibility{};
    if (emscripten_get_visibility_status(&visibility) == EMSCRIPTEN_RESULT_SUCCESS)
        SetHidden(visibility.hidden);
    emscripten_set_visibilitychange_callback(this, false, OnVisibility);
    emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, false, OnFocus);
    emscripten_set_focus_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, false, OnFocus);
    lastStep = Nanoseconds(emscripten_performance_now());
    clock.Start(lastStep, engine.fps);
    running = true;
    // 0: at the browser's animation rate; true: never returns here.
    emscripten_set_main_loop_arg(StepLoop, this, 0, true);
}

void WebLoop::Step() {
    const std::int64_t now = Nanoseconds(emscripten_performance_now());
    const std::int64_t sinceLastStep = now - lastStep;
    lastStep = now;
    if (hidden || !focused) {
        // The music's glides go on while the game waits.
        backend.AdvanceSound(BoundFrameTime(static_cast<float>(static_cast<double>(sinceLastStep) * 1e-9)));
        return;
    }
    if (paused) {
        paused = false;
        clock.Start(now, engine.fps);
    }
    for (int ran = 0; ran < MostFramesPerStep && clock.deadline <= now; ++ran) {
        // Each frame at its own time in the schedule, so that two frames
        // caught up in one step are each told a period.
        const float frameTime = clock.BeginFrame(clock.deadline);
        const double started = emscripten_performance_now();
        // A journal playing back stands in for the keyboard and the pads,
        // frame time included; they are still followed, to take over after.
        FrameInput input = backend.keyboard.Record();
        backend.pads.AddTo(input);
        input.frameTime = frameTime;
        engine.NextPlayedFrame(input);
        const bool ended = engine.RunFrame(input);
        WebReportFrameCost(emscripten_performance_now() - started);
        ++frames;
        backend.keyboard.BeginFrame();
        for (const std::string& notice : backend.pads.notices) engine.Log("%s", notice.c_str());
        backend.pads.notices.clear();
        if (ended) return End();
        clock.ScheduleNext(now);
    }
    // Still behind: the backlog is dropped, and the next frame is told a period.
    if (clock.deadline <= now) clock.Start(now + clock.period, engine.fps);
}

void WebLoop::SetHidden(bool tabHidden) {
    hidden = tabHidden;
    NoticeAway();
}

void WebLoop::SetFocused(bool windowFocused) {
    focused = windowFocused;
    NoticeAway();
}

void WebLoop::NoticeAway() {
    if (paused || (!hidden && focused)) return;
    paused = true;
    // The keyboard's releases go elsewhere meanwhile.
    backend.keyboard.ReleaseAll();
}

void WebLoop::End() {
    emscripten_cancel_main_loop();
    running = false;
    engine.Log("Frame loop: %d frames", frames);
    WebReportEnded();
}
