// A short fingerprint of the quads a scene drew, to compare what two builds
// (natively and in the browser, say) drew for the same game without sending
// the quads themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/engine.h"

// FNV-1a over each quad's texture handle, blend mode, and per corner x and y
// rounded to 1/16 pixel, u and v rounded to 1/4096, and colour, in order.
// The rounding makes it blind to last-bit differences between C libraries'
// arithmetic, which no eye could see either; a quad moved by a sixteenth of
// a pixel or more, a colour or a texture changed, or quads reordered, give
// another digest (barring a collision).
std::uint32_t QuadsDigest(const Quad* quads, std::size_t count);
inline std::uint32_t QuadsDigest(const std::vector<Quad>& quads) {
    return QuadsDigest(quads.data(), quads.size());
}

// Folds quads into a digest as they come, for a scene drawn one quad at a
// time: the same value QuadsDigest gives for all of them at once.
struct QuadDigester {
    void Reset();
    void Add(const Quad& quad);
    std::uint32_t value = 2166136261u;
};
