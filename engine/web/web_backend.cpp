#include "engine/web/web_backend.h"

#include <GLES2/gl2.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <string>

#include "engine/engine_impl.h"
#include "engine/web/web_loop.h"
#include "engine/web/web_platform.h"

namespace {

constexpr const char* Canvas = "#screen";
constexpr long DigestedScenes = 2000;

}  // namespace

EM_JS(void, WebReportScene, (int first, int withDigest, unsigned digest), {
    if (first) Module.munchetFirstFrameAt = performance.now();
    if (withDigest && Array.isArray(Module.munchetDigests))
        Module.munchetDigests.push(('0000000' + (digest >>> 0).toString(16)).slice(-8));
});

std::unique_ptr<Backend> WebPlatform() { return std::make_unique<WebBackend>(); }

WebBackend::WebBackend() = default;

WebBackend::~WebBackend() { Close(); }

bool WebBackend::Open(const BackendConfig& config, EngineImpl& engine, std::string& error) {
    Close();
    sceneWidth = config.width;
    sceneHeight = config.height;
    if (config.headless) return true;
    if (sceneWidth <= 0 || sceneHeight <= 0) {
        error = "bad screen size " + std::to_string(sceneWidth) + "x" + std::to_string(sceneHeight);
        return false;
    }
    // The drawing buffer is the scene; the page's style scales the canvas.
    if (emscripten_set_canvas_element_size(Canvas, sceneWidth, sceneHeight) != EMSCRIPTEN_RESULT_SUCCESS) {
        error = "the page has no canvas with the id screen";
        return false;
    }
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = false;
    attributes.depth = false;
    attributes.stencil = false;
    attributes.antialias = false;
    // Kept after it is shown, so that what the page shows can be read back.
    attributes.preserveDrawingBuffer = true;
    attributes.majorVersion = 1;
    attributes.minorVersion = 0;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE made = emscripten_webgl_create_context(Canvas, &attributes);
    if (made <= 0 || emscripten_webgl_make_context_current(made) != EMSCRIPTEN_RESULT_SUCCESS) {
        if (made > 0) emscripten_webgl_destroy_context(made);
        error = "this browser cannot draw with WebGL";
        return false;
    }
    context = static_cast<long>(made);
    if (!batch.Attach(sceneWidth, sceneHeight, error)) {
        Close();
        return false;
    }
    Clear(0);
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    engine.Log("Canvas %dx%d, WebGL renderer %s", sceneWidth, sceneHeight, renderer ? renderer : "unknown");
    std::string note;
    if (!audio.Open(note)) engine.Log("%s", note.c_str());
    for (const std::string& problem : keyboard.Bind(config.keys)) engine.Log("Keys: %s", problem.c_str());
    keyboard.Listen();
    return true;
}

void WebBackend::Close() {
    loop.reset();
    keyboard.Stop();
    audio.Close();
    if (context > 0) {
        emscripten_webgl_make_context_current(static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(context));
        textures.Clear();
        batch.Detach();
        emscripten_webgl_destroy_context(static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(context));
    }
    textures.Clear();
    context = 0;
    scenes = 0;
}

void WebBackend::RunLoop(EngineImpl& engine) {
    loop = std::make_unique<WebLoop>(engine, *this);
    loop->Run();
}

void WebBackend::BeginScene() {
    batch.drawCalls = 0;
    digest.Reset();
}

void WebBackend::Clear(std::uint32_t colour) {
    if (context <= 0) return;
    batch.Flush();
    // Opaque like a screen, as the window clears.
    glClearColor(static_cast<float>((colour >> 16) & 0xFF) / 255.0f,
                 static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
                 static_cast<float>(colour & 0xFF) / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void WebBackend::Submit(const Quad& quad) {
    // A tenth of a millisecond for a crowded scene: only while the page collects them.
    if (scenes < DigestedScenes) digest.Add(quad);
    batch.Add(quad, textures);
}

void WebBackend::EndScene() {
    batch.Flush();
    if (context <= 0) return;
    WebReportScene(scenes == 0, scenes < DigestedScenes, digest.value);
    ++scenes;
}
