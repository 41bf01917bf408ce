// The worst-case frame in the browser (built by the browser build into
// build/web/bench, measured by bench_web_play): the rules' frame on the
// crowded field of bench/worst_case.h and its drawing, run by the web
// platform's own loop, which times every frame it runs for the page. Each
// frame starts again from the same crowd, as the native benchmark does; the
// copy back is part of the time here (a few tens of microseconds).
#include "app/game_audio.h"
#include "app/load_resources.h"
#include "bench/worst_case.h"
#include "engine/engine.h"
#include "engine/web/web_platform.h"
#include "render/render.h"
#include "render/scene.h"

namespace {

// The frames run before the loop ends and the page reads the figures.
constexpr int FramesMeasured = 1000;

WorstCase* load = nullptr;
Scene scene;
int framesRun = 0;

bool FrameFunc() {
    load->Restore();
    load->g.RunFrame(load->focus);
    return ++framesRun >= FramesMeasured;
}

bool RenderFunc() {
    RenderScene(scene, load->g.game, false);
    return false;
}

}  // namespace

int main() {
    Engine* engine = hgeCreate(EngineVersion);
    engine->System_SetPlatform(WebPlatform);
    engine->System_SetState(StateFrameFunc, FrameFunc);
    engine->System_SetState(StateRenderFunc, RenderFunc);
    engine->System_SetState(StateTitle, "Munchet Fast Prototype: the worst-case frame");
    engine->System_SetState(StateFps, 100);
    engine->System_SetState(StateWindowed, true);
    engine->System_SetState(StateScreenWidth, 1024);
    engine->System_SetState(StateScreenHeight, 768);
    if (!engine->System_Initiate()) return 1;
    GameAudio audio;
    LoadResources(*engine, scene, audio);
    static WorstCase worstCase;
    load = &worstCase;
    // In the browser this returns only when the page goes away.
    engine->System_Start();
    return 0;
}
