// The scene digest two builds compare: blind to last-bit float noise, not to
// anything that shows.
#include "engine/quad_digest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

std::vector<Quad> Scene() {
    std::vector<Quad> quads(2);
    for (int i = 0; i < 2; ++i) {
        Quad& quad = quads[static_cast<std::size_t>(i)];
        quad.texture = static_cast<TextureHandle>(i + 1);
        const float left = 100.3f + 40 * i, top = 57.71f;
        const float corners[4][2] = {{0, 0}, {32, 0}, {32, 32}, {0, 32}};
        for (int c = 0; c < 4; ++c) {
            quad.v[c].x = left + corners[c][0];
            quad.v[c].y = top + corners[c][1];
            quad.v[c].u = corners[c][0] / 96.0f;
            quad.v[c].v = corners[c][1] / 64.0f;
            quad.v[c].colour = 0xFF80C0E0u;
        }
    }
    return quads;
}

struct ChangeCase {
    const char* name;
    std::function<void(std::vector<Quad>&)> change;
    bool same;
};

void PrintTo(const ChangeCase& value, std::ostream* out) { *out << value.name; }

class SceneDigest : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(SceneDigest, SeesWhatShowsAndNothingElse) {
    const std::vector<Quad> before = Scene();
    std::vector<Quad> after = Scene();
    GetParam().change(after);
    EXPECT_EQ(QuadsDigest(before) == QuadsDigest(after), GetParam().same);
    // Quad by quad it is the same digest.
    QuadDigester digester;
    for (const Quad& quad : after) digester.Add(quad);
    EXPECT_EQ(digester.value, QuadsDigest(after));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, SceneDigest,
    ::testing::Values(
        ChangeCase{"Nothing", [](std::vector<Quad>&) {}, true},
        ChangeCase{"LastBitOfEveryFloat",
                   [](std::vector<Quad>& quads) {
                       for (Quad& quad : quads)
                           for (Vertex& corner : quad.v)
                               for (float* f : {&corner.x, &corner.y, &corner.u, &corner.v})
                                   *f = std::nextafter(*f, 1e9f);
                   },
                   true},
        ChangeCase{"MovedAQuarterPixel", [](std::vector<Quad>& quads) { quads[1].v[2].x += 0.25f; }, false},
        ChangeCase{"OtherColour", [](std::vector<Quad>& quads) { quads[0].v[0].colour = 0xFF80C0E1u; },
                   false},
        ChangeCase{"OtherTexture", [](std::vector<Quad>& quads) { quads[0].texture = 3; }, false},
        ChangeCase{"Additive", [](std::vector<Quad>& quads) { quads[1].blend = 1; }, false},
        ChangeCase{"Reordered", [](std::vector<Quad>& quads) { std::swap(quads[0], quads[1]); }, false},
        ChangeCase{"NotANumber", [](std::vector<Quad>& quads) { quads[0].v[1].u = NAN; }, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
