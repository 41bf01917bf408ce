#include "engine/sdl/quad_batch.h"

#include <SDL.h>

#include <cstddef>

static_assert(sizeof(SDL_Color) == 4, "vertex colours are handed to SDL in place");

namespace {

SDL_BlendMode SdlBlend(int blend) { return (blend & BlendDefault) ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_ADD; }

}  // namespace

void QuadBatch::Attach(SDL_Renderer* target, bool smoothSampling) {
    Detach();
    renderer = target;
    smooth = smoothSampling;
    run.vertices.reserve(4 * 1024);
    if (indices.empty()) indices = QuadIndices();
    white = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, 1, 1);
    if (white) {
        const Uint32 texel = 0xFFFFFFFF;
        SDL_UpdateTexture(white, nullptr, &texel, sizeof texel);
    }
}

void QuadBatch::Detach() {
    run.vertices.clear();
    run.texture = nullptr;
    for (CachedTexture& cached : cache)
        if (cached.texture) SDL_DestroyTexture(cached.texture);
    cache.clear();
    if (white) SDL_DestroyTexture(white);
    white = nullptr;
    renderer = nullptr;
}

SDL_Texture* QuadBatch::TextureFor(TextureHandle handle, const TextureTable& textures) {
    const TextureTable::Entry* entry = textures.Find(handle);
    if (!entry || !entry->pixels) return nullptr;
    if (cache.size() < handle) cache.resize(handle);
    CachedTexture& cached = cache[handle - 1];
    // The table may have been cleared and refilled since the texture was made.
    if (cached.serial != entry->serial) {
        if (cached.texture) SDL_DestroyTexture(cached.texture);
        cached = {};
        cached.serial = entry->serial;
        cached.texture = SDL_CreateTextureFromSurface(renderer, entry->pixels.get());
        if (cached.texture)
            SDL_SetTextureScaleMode(cached.texture, smooth ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
        else
            textureError = entry->path + ": " + SDL_GetError();
    }
    return cached.texture;
}

void QuadBatch::Add(const Quad& quad, const TextureTable& textures) {
    if (!renderer) return;
    SDL_Texture* texture = quad.texture ? TextureFor(quad.texture, textures) : nullptr;
    if (!texture) texture = white;
    if (run.EndsWith(texture, quad.blend)) Flush();
    run.Append(quad, texture);
}

void QuadBatch::Flush() {
    if (run.vertices.empty() || !renderer) return;
    const SDL_BlendMode mode = SdlBlend(run.blend);
    if (run.texture)
        SDL_SetTextureBlendMode(run.texture, mode);
    else
        SDL_SetRenderDrawBlendMode(renderer, mode);
    const BatchVertex* first = run.vertices.data();
    const int stride = static_cast<int>(sizeof(BatchVertex));
    SDL_RenderGeometryRaw(renderer, run.texture, &first->x, stride,
                          reinterpret_cast<const SDL_Color*>(&first->r), stride, &first->u, stride,
                          static_cast<int>(run.vertices.size()), indices.data(), run.IndexCount(),
                          sizeof(std::uint16_t));
    ++drawCalls;
    run.vertices.clear();
}
