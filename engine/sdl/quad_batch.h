// Collects textured quads and hands them to an SDL renderer in as few
// geometry calls as the stream of quads allows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/quad_run.h"
#include "engine/sdl/textures.h"

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Surface;

// Quads that share a texture and a blend mode are drawn by one
// SDL_RenderGeometryRaw call with an index buffer; a change of texture or
// blend mode, a full buffer or Flush ends the batch. The renderer's own
// textures are made lazily, one per picture of the TextureTable, the first
// time a quad uses it.
//
// Blend modes: bit 2 (BlendDefault) set is alpha blending, anything else is
// additive; both multiply the texture by the vertex colour.
struct QuadBatch {
    QuadBatch() = default;
    QuadBatch(const QuadBatch&) = delete;
    QuadBatch& operator=(const QuadBatch&) = delete;
    ~QuadBatch() { Detach(); }

    // renderer is not owned and must outlive the batch or be detached first.
    // smooth: bilinear sampling (the window) or nearest (reproducible pictures).
    void Attach(SDL_Renderer* renderer, bool smooth);
    // Drops queued quads and the textures made for the renderer.
    void Detach();

    void Add(const Quad& quad, const TextureTable& textures);
    // Draws whatever is queued.
    void Flush();

    // Geometry calls made since the count was last reset by the owner.
    int drawCalls = 0;
    // Why the last texture the renderer refused could not be made (the quads
    // are drawn untextured); empty when none. The owner reports and clears it.
    std::string textureError;
    // Quads per geometry call at most: the indices are 16-bit.
    static constexpr std::size_t MaxQuads = MaxQuadsPerDraw;

private:
    struct CachedTexture {
        SDL_Texture* texture = nullptr;  // owned
        std::uint64_t serial = 0;        // of the picture it was made from
    };

    SDL_Texture* TextureFor(TextureHandle handle, const TextureTable& textures);

    SDL_Renderer* renderer = nullptr;
    bool smooth = false;
    QuadRun<SDL_Texture*> run;
    std::vector<std::uint16_t> indices;  // two triangles per quad, built once
    std::vector<CachedTexture> cache;    // by texture handle - 1
    // Untextured quads are drawn with one white texel: SDL's software renderer
    // turns untextured rectangles into fills that ignore additive blending.
    SDL_Texture* white = nullptr;  // owned
};
