#include "engine/quad_digest.h"

#include <cmath>

namespace {

// v in steps of 1/steps, as a whole number: whatever is no number, or does
// not fit, as one value of its own.
std::uint32_t Steps(float v, double steps) {
    const double scaled = std::floor(static_cast<double>(v) * steps + 0.5);
    if (!(scaled > -2147483648.0 && scaled < 2147483647.0)) return 0x80000000u;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(scaled));
}

}  // namespace

void QuadDigester::Reset() { value = QuadDigester{}.value; }

void QuadDigester::Add(const Quad& quad) {
    const auto mix = [this](std::uint32_t word) {
        for (int shift = 0; shift < 32; shift += 8) {
            value ^= (word >> shift) & 0xFFu;
            value *= 16777619u;
        }
    };
    mix(quad.texture);
    mix(static_cast<std::uint32_t>(quad.blend));
    for (const Vertex& corner : quad.v) {
        mix(Steps(corner.x, 16.0));
        mix(Steps(corner.y, 16.0));
        mix(Steps(corner.u, 4096.0));
        mix(Steps(corner.v, 4096.0));
        mix(corner.colour);
    }
}

std::uint32_t QuadsDigest(const Quad* quads, std::size_t count) {
    QuadDigester digester;
    for (std::size_t i = 0; i < count; ++i) digester.Add(quads[i]);
    return digester.value;
}
