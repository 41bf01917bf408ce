// Preloaded into the game by bench_startup (LD_PRELOAD): reports, on the
// descriptor named by MUNCHET_PROBE_FD, when the process reached each step of
// its start. Wraps SDL's and OpenAL's calls by name, so it times any build of the game
// without changes to it.
//
// Each report is 16 bytes: the step (int64, the Step values below) and the
// monotonic clock in nanoseconds (int64), in the machine's byte order.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace {

enum Step : std::int64_t { Loaded = 1, WindowMade = 2, RendererMade = 3, SoundTried = 4, FirstFrame = 5 };

int probeFd = -1;
bool drewGeometry = false;
bool firstFrameSeen = false;

void Report(Step step) {
    if (probeFd < 0) return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::int64_t record[2] = {step,
                                    static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec};
    if (write(probeFd, record, sizeof record) != static_cast<ssize_t>(sizeof record)) probeFd = -1;
}

template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Runs once every library is loaded and relocated, before main.
__attribute__((constructor)) void Start() {
    if (const char* fd = std::getenv("MUNCHET_PROBE_FD")) probeFd = std::atoi(fd);
    Report(Loaded);
}

}  // namespace

// The SDL and OpenAL calls the probe listens to, with their own signatures
// (opaque pointers stand for their types).
extern "C" {

void* SDL_CreateWindow(const char* title, int x, int y, int w, int h, std::uint32_t flags) {
    static const auto real =
        Next<void* (*)(const char*, int, int, int, int, std::uint32_t)>("SDL_CreateWindow");
    void* window = real ? real(title, x, y, w, h, flags) : nullptr;
    Report(WindowMade);
    return window;
}

void* SDL_CreateRenderer(void* window, int index, std::uint32_t flags) {
    static const auto real = Next<void* (*)(void*, int, std::uint32_t)>("SDL_CreateRenderer");
    void* renderer = real ? real(window, index, flags) : nullptr;
    if (renderer) Report(RendererMade);
    return renderer;
}

int SDL_RenderGeometryRaw(void* renderer, void* texture, const float* xy, int xyStride, const void* colour,
                          int colourStride, const float* uv, int uvStride, int vertices, const void* indices,
                          int indexCount, int indexSize) {
    static const auto real = Next<int (*)(void*, void*, const float*, int, const void*, int, const float*,
                                          int, int, const void*, int, int)>("SDL_RenderGeometryRaw");
    drewGeometry = true;
    return real ? real(renderer, texture, xy, xyStride, colour, colourStride, uv, uvStride, vertices, indices,
                       indexCount, indexSize)
                : -1;
}

// The sound device asked for, whether there is one or not.
void* alcOpenDevice(const char* name) {
    static const auto real = Next<void* (*)(const char*)>("alcOpenDevice");
    void* device = real ? real(name) : nullptr;
    Report(SoundTried);
    return device;
}

// The first present after anything was drawn is the game's first frame (a
// window may be cleared and presented once before the game draws).
void SDL_RenderPresent(void* renderer) {
    static const auto real = Next<void (*)(void*)>("SDL_RenderPresent");
    if (real) real(renderer);
    if (drewGeometry && !firstFrameSeen) {
        firstFrameSeen = true;
        Report(FirstFrame);
    }
}
}
