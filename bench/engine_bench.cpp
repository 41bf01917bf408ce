// The engine's drawing and pacing costs:
// - a frame of 1,000 quads: submitted through the real quad batch, drawn by
//   SDL's software renderer offscreen, and through the window's renderer
//   under the offscreen video driver; beside a plain reference that draws
//   every quad with its own geometry call;
// - the scene digest the browser build computes over every frame's quads;
// - the frame pacing of the real window loop at 100 frames per second: the
//   intervals between frame starts over 500 frames, median and worst.
//
// Runs without a display: SDL_VIDEODRIVER defaults to "offscreen" here.
#include <SDL.h>
#include <SDL_image.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/engine_impl.h"
#include "engine/frame_clock.h"
#include "engine/quad_digest.h"
#include "engine/sdl/quad_batch.h"
#include "engine/sdl/sdl_backend.h"
#include "engine/sdl/sdl_platform.h"

namespace {

constexpr int SceneWidth = 1024, SceneHeight = 768, QuadCount = 1000;

// A picture like the game's sprites: 32 × 32, soft-edged.
TextureHandle LoadSpriteTexture(TextureTable& textures) {
    const std::string path = "/tmp/munchet-bench-sprite-" + std::to_string(SDL_GetTicks64()) + ".png";
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 32, 32, 32, SDL_PIXELFORMAT_RGBA32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            auto* p = static_cast<Uint8*>(surface->pixels) + y * surface->pitch + 4 * x;
            const int d = std::abs(x - 16) + std::abs(y - 16);
            p[0] = 255, p[1] = 255, p[2] = 255, p[3] = static_cast<Uint8>(d < 16 ? 255 - d * 15 : 0);
        }
    IMG_SavePNG(surface, path.c_str());
    SDL_FreeSurface(surface);
    std::string error;
    const TextureHandle texture = textures.Load(path.c_str(), error);
    std::remove(path.c_str());
    return texture;
}

// 1,000 sprite-sized quads spread over the scene; every textureRun quads the
// texture changes between the sprite and none (as sprites and untextured
// bars alternate in a frame).
std::vector<Quad> FrameQuads(TextureHandle texture, int textureRun) {
    std::vector<Quad> quads;
    for (int i = 0; i < QuadCount; ++i) {
        const float x = static_cast<float>((i * 97) % (SceneWidth - 32));
        const float y = static_cast<float>((i * 61) % (SceneHeight - 32));
        const float size = 16.0f + static_cast<float>(i % 3) * 8.0f;
        const std::uint32_t colour = 0xC0000000u | ((static_cast<std::uint32_t>(i) * 0x3A5F17u) & 0xFFFFFFu);
        Quad quad;
        quad.texture = (i / textureRun) % 2 == 0 ? texture : 0;
        quad.v[0] = {x, y, 0.5f, colour, 0, 0};
        quad.v[1] = {x + size, y, 0.5f, colour, 1, 0};
        quad.v[2] = {x + size, y + size, 0.5f, colour, 1, 1};
        quad.v[3] = {x, y + size, 0.5f, colour, 0, 1};
        quads.push_back(quad);
    }
    return quads;
}

// A picture of the scene's size (or another) drawn by SDL's software renderer.
struct SoftwareTarget {
    explicit SoftwareTarget(int width = SceneWidth, int height = SceneHeight)
        : surface(SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGB888)),
          renderer(SDL_CreateSoftwareRenderer(surface)) {}
    SoftwareTarget(const SoftwareTarget&) = delete;
    SoftwareTarget& operator=(const SoftwareTarget&) = delete;
    SDL_Surface* surface;
    SDL_Renderer* renderer;
    ~SoftwareTarget() {
        SDL_DestroyRenderer(renderer);
        SDL_FreeSurface(surface);
    }
};

// A full frame into the software renderer: clear, 1,000 quads, draw.
void BM_SoftwareFrame(benchmark::State& state) {
    SoftwareTarget target;
    TextureTable textures;
    const std::vector<Quad> quads = FrameQuads(LoadSpriteTexture(textures), static_cast<int>(state.range(0)));
    QuadBatch batch;
    batch.Attach(target.renderer, false);
    for (auto _ : state) {
        batch.drawCalls = 0;
        SDL_RenderClear(target.renderer);
        for (const Quad& quad : quads) batch.Add(quad, textures);
        batch.Flush();
        SDL_RenderFlush(target.renderer);
    }
    state.counters["draw_calls"] = batch.drawCalls;
    batch.Detach();
}
BENCHMARK(BM_SoftwareFrame)->Arg(QuadCount)->Arg(50)->Unit(benchmark::kMillisecond);

// The reference: the same frame, one geometry call per quad.
void BM_SoftwareFrameUnbatchedReference(benchmark::State& state) {
    SoftwareTarget target;
    TextureTable textures;
    const std::vector<Quad> quads = FrameQuads(LoadSpriteTexture(textures), QuadCount);
    SDL_Texture* texture = SDL_CreateTextureFromSurface(target.renderer, textures.Find(1)->pixels.get());
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    const int indices[6] = {0, 1, 2, 0, 2, 3};
    for (auto _ : state) {
        SDL_RenderClear(target.renderer);
        for (const Quad& quad : quads) {
            SDL_Vertex v[4];
            for (int k = 0; k < 4; ++k) {
                const std::uint32_t c = quad.v[k].colour;
                v[k] = {{quad.v[k].x, quad.v[k].y},
                        {Uint8(c >> 16), Uint8(c >> 8), Uint8(c), Uint8(c >> 24)},
                        {quad.v[k].u, quad.v[k].v}};
            }
            SDL_RenderGeometry(target.renderer, texture, v, 4, indices, 6);
        }
        SDL_RenderFlush(target.renderer);
    }
    SDL_DestroyTexture(texture);
}
BENCHMARK(BM_SoftwareFrameUnbatchedReference)->Unit(benchmark::kMillisecond);

// The engine's own share: quads converted into the batch's vertex buffer,
// without SDL's drawing (SDL's software renderer draws as it is handed
// geometry, so the hand-over is left out of the timing). The batch is handed
// to a one-pixel picture, where the drawing is all clipped away: drawn at the
// scene's size, the untimed part would take some 300 times the timed one, and
// the run ten minutes.
void BM_BatchSubmitOnly(benchmark::State& state) {
    SoftwareTarget target(1, 1);
    TextureTable textures;
    const std::vector<Quad> quads = FrameQuads(LoadSpriteTexture(textures), QuadCount);
    QuadBatch batch;
    batch.Attach(target.renderer, false);
    for (auto _ : state) {
        for (const Quad& quad : quads) batch.Add(quad, textures);
        state.PauseTiming();
        batch.Flush();
        SDL_RenderFlush(target.renderer);
        state.ResumeTiming();
    }
    batch.Detach();
}
BENCHMARK(BM_BatchSubmitOnly)->Unit(benchmark::kMicrosecond);

// The digest of a 1,000-quad scene, quad by quad as the browser's backend
// folds each one in: part of every frame's cost there.
void BM_SceneDigest(benchmark::State& state) {
    const std::vector<Quad> quads = FrameQuads(1, QuadCount);
    QuadDigester digest;
    for (auto _ : state) {
        digest.Reset();
        for (const Quad& quad : quads) digest.Add(quad);
        benchmark::DoNotOptimize(digest.value);
    }
}
BENCHMARK(BM_SceneDigest)->Unit(benchmark::kMicrosecond);

// A window frame under the offscreen driver: clear, 1,000 quads, present;
// with the batch (Arg 1) and, as the reference, one geometry call per quad
// (Arg 0).
void BM_WindowFrame(benchmark::State& state) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    const bool batched = state.range(0) != 0;
    {
        Video video;
        std::string error;
        if (!video.Open({"bench", SceneWidth, SceneHeight, true}, error)) {
            state.SkipWithError(error.c_str());
        } else {
            TextureTable textures;
            const std::vector<Quad> quads = FrameQuads(LoadSpriteTexture(textures), QuadCount);
            for (auto _ : state) {
                video.BeginScene();
                video.Clear(0);
                for (const Quad& quad : quads) {
                    video.Submit(quad, textures);
                    if (!batched) video.Flush();
                }
                video.EndScene();
            }
            state.counters["draw_calls"] = video.LastSceneDrawCalls();
            state.SetLabel(video.RendererName());
        }
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
BENCHMARK(BM_WindowFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// --- Pacing ------------------------------------------------------------------------

struct Pacing {
    static inline Engine* engine = nullptr;
    static inline std::vector<std::int64_t> starts;
    static inline std::vector<Quad> quads;
    static constexpr int Frames = 500;

    static bool Frame() {
        starts.push_back(MonotonicNanoseconds());
        return static_cast<int>(starts.size()) > Frames;
    }
    static bool Render() {
        engine->Gfx_BeginScene();
        engine->Gfx_Clear(0);
        for (const Quad& quad : quads) engine->Gfx_RenderQuad(&quad);
        engine->Gfx_EndScene();
        return false;
    }
};

void BM_FramePacing(benchmark::State& state) {
    for (auto _ : state) {
        Engine* engine = hgeCreate(EngineVersion);
        Pacing::engine = engine;
        Pacing::starts.clear();
        engine->System_SetPlatform(SdlPlatform);
        engine->System_SetState(StateLogFile, "");
        engine->System_SetState(StateFrameFunc, &Pacing::Frame);
        engine->System_SetState(StateRenderFunc, &Pacing::Render);
        engine->System_SetState(StateFps, 100);
        engine->System_SetState(StateWindowed, true);
        if (!engine->System_Initiate()) {
            state.SkipWithError(engine->System_GetErrorMessage());
            engine->Release();
            return;
        }
        // The window's textures come from the engine's table, like the game's.
        Pacing::quads.clear();
        {
            TextureTable& textures = static_cast<SdlBackend&>(*engine->impl->backend).textures;
            if (state.range(0) > 0) Pacing::quads = FrameQuads(LoadSpriteTexture(textures), QuadCount);
        }
        engine->System_Start();
        engine->System_Shutdown();
        engine->Release();
    }
    std::vector<double> intervals;
    for (std::size_t i = 1; i < Pacing::starts.size(); ++i)
        intervals.push_back(static_cast<double>(Pacing::starts[i] - Pacing::starts[i - 1]) * 1e-6);
    if (intervals.empty()) return;
    std::vector<double> sorted = intervals;
    std::sort(sorted.begin(), sorted.end());
    const auto at = [&](double fraction) {
        return sorted[std::min(sorted.size() - 1,
                               static_cast<std::size_t>(fraction * static_cast<double>(sorted.size())))];
    };
    double total = 0;
    int late = 0;
    for (const double interval : intervals) {
        total += interval;
        late += interval > 11.0;
    }
    const double mean = total / static_cast<double>(intervals.size());
    state.counters["median_ms"] = at(0.5);
    state.counters["p99_ms"] = at(0.99);
    state.counters["worst_ms"] = sorted.back();
    state.counters["mean_ms"] = mean;
    std::printf(
        "frame pacing with %zu quads a frame, %zu intervals at 100 fps: median %.3f ms, p1 %.3f ms, p99 %.3f "
        "ms, worst %.3f ms, "
        "mean %.4f ms, %d over 11 ms\n",
        Pacing::quads.size(), intervals.size(), at(0.5), at(0.01), at(0.99), sorted.back(), mean, late);
}
BENCHMARK(BM_FramePacing)->Arg(0)->Arg(QuadCount)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
