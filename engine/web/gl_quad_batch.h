// Collects textured quads and draws them with WebGL 1 (OpenGL ES 2) in as
// few draw calls as the stream of quads allows: the browser's twin of
// engine/sdl/quad_batch.h.
//
// Quads that share a texture and a blend mode are drawn by one
// glDrawElements over 16-bit indices; a change of texture or blend mode, a
// full buffer or Flush ends the batch. Blend modes: bit 2 (BlendDefault) set
// is alpha blending, anything else is additive; both multiply the texture by
// the vertex colour (0xAARRGGBB). Untextured quads sample one white texel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/quad_run.h"
#include "engine/web/web_textures.h"

struct GlQuadBatch {
    GlQuadBatch() = default;
    GlQuadBatch(const GlQuadBatch&) = delete;
    GlQuadBatch& operator=(const GlQuadBatch&) = delete;

    // Makes the program and buffers in the current context, for a scene of
    // the given size in pixels. False with the reason in error.
    bool Attach(int sceneWidth, int sceneHeight, std::string& error);
    // Lets go of what Attach made (the context must still be current).
    void Detach();

    void Add(const Quad& quad, const WebTextures& textures);
    // Draws whatever is queued.
    void Flush();

    // Draw calls made since the count was last reset by the owner.
    int drawCalls = 0;
    // Quads per draw call at most: the indices are 16-bit.
    static constexpr std::size_t MaxQuads = MaxQuadsPerDraw;

private:
    bool attached = false;
    unsigned program = 0, vertexBuffer = 0, indexBuffer = 0, white = 0;
    QuadRun<unsigned> run;
};
