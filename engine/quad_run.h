// The batching rule both platforms draw by: quads that share a texture and
// a blend mode make one run, drawn by one call over 16-bit indices; a change
// of texture or blend mode, or a full run, ends it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/engine.h"

// One corner as the draw calls take it: the colour's bytes laid out as
// SDL_Color, and as WebGL's normalised unsigned bytes.
struct BatchVertex {
    float x, y;
    std::uint8_t r, g, b, a;
    float u, v;
};

// Quads per draw call at most: the indices are 16-bit.
inline constexpr std::size_t MaxQuadsPerDraw = 16384;

// Two triangles per quad (corners 0 1 2 and 0 2 3) for MaxQuadsPerDraw quads.
std::vector<std::uint16_t> QuadIndices();

// Texture: how the platform names a texture (0 or null for none).
template <class Texture>
struct QuadRun {
    std::vector<BatchVertex> vertices;
    Texture texture{};
    int blend = BlendDefault;

    // True when a quad of this texture and blend mode cannot join the run:
    // the owner draws the run first.
    bool EndsWith(Texture next, int nextBlend) const {
        return !vertices.empty() &&
               (next != texture || nextBlend != blend || vertices.size() >= 4 * MaxQuadsPerDraw);
    }
    void Append(const Quad& quad, Texture quadTexture) {
        texture = quadTexture;
        blend = quad.blend;
        for (const Vertex& corner : quad.v) {
            const std::uint32_t c = corner.colour;
            vertices.push_back({corner.x, corner.y, static_cast<std::uint8_t>(c >> 16),
                                static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c),
                                static_cast<std::uint8_t>(c >> 24), corner.u, corner.v});
        }
    }
    int IndexCount() const { return static_cast<int>(vertices.size() / 4 * 6); }
};
