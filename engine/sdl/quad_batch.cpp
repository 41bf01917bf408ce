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
    vertices.reserve(4 * 1024);
    if (indices.empty()) {
        indices.reserve(6 * MaxQuads);
        for (std::size_t quad = 0; quad < MaxQuads; ++quad) {
            const auto first = static_cast<std::uint16_t>(4 * quad);
            for (const int corner : {0, 1, 2, 0, 2, 3})
                indices.push_back(static_cast<std::uint16_t>(first + corner));
        }
    }
    white = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, 1, 1);
    if (white) {
        const Uint32 texel = 0xFFFFFFFF;
        SDL_UpdateTexture(white, nullptr, &texel, sizeof texel);
    }
}

void QuadBatch::Detach() {
    vertices.clear();
    batchTexture = nullptr;
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
    if (!vertices.empty() &&
        (texture != batchTexture || quad.blend != batchBlend || vertices.size() >= 4 * MaxQuads))
        Flush();
    batchTexture = texture;
    batchBlend = quad.blend;
    for (const Vertex& corner : quad.v) {
        const std::uint32_t c = corner.colour;
        vertices.push_back({corner.x, corner.y, static_cast<std::uint8_t>(c >> 16),
                            static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c),
                            static_cast<std::uint8_t>(c >> 24), corner.u, corner.v});
    }
}

void QuadBatch::Flush() {
    if (vertices.empty() || !renderer) return;
    const SDL_BlendMode mode = SdlBlend(batchBlend);
    if (batchTexture)
        SDL_SetTextureBlendMode(batchTexture, mode);
    else
        SDL_SetRenderDrawBlendMode(renderer, mode);
    const BatchVertex* first = vertices.data();
    const int stride = static_cast<int>(sizeof(BatchVertex));
    const int vertexCount = static_cast<int>(vertices.size());
    SDL_RenderGeometryRaw(renderer, batchTexture, &first->x, stride,
                          reinterpret_cast<const SDL_Color*>(&first->r), stride, &first->u, stride,
                          vertexCount, indices.data(), vertexCount / 4 * 6, sizeof(std::uint16_t));
    ++drawCalls;
    vertices.clear();
}
