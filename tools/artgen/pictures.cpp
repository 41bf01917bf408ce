#include "tools/artgen/pictures.h"

#include <cmath>

namespace {

constexpr float Pi = 3.14159265f;

bool inCircle(float x, float y, float cx, float cy, float r) {
    const float dx = x - cx, dy = y - cy;
    return dx * dx + dy * dy <= r * r;
}

bool inEllipse(float x, float y, float cx, float cy, float rx, float ry) {
    const float dx = (x - cx) / rx, dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1.0f;
}

Paint solid(Colour c) {
    return [c](float, float) { return c; };
}

}  // namespace

Canvas DrawGhost() {
    Canvas canvas(32, 32);
    // A dome over a body whose hem has three scallops.
    const Shape body = [](float x, float y) {
        if (y < 14.0f) return inCircle(x, y, 16.0f, 14.0f, 12.5f);
        if (x < 3.5f || x > 28.5f) return false;
        const float hem = 26.0f + 2.6f * std::cos(2.0f * Pi * (x - 3.5f) / (25.0f / 3.0f));
        return y <= hem;
    };
    canvas.Fill(body, solid(grey(0.45f)));
    // Light from the top left, a soft shade toward the hem.
    canvas.Fill(inset(body, 1.1f), [](float x, float y) {
        const float shade = clamp01(((x - 6.0f) * 0.35f + (y - 4.0f)) / 26.0f);
        Colour c = grey(1.0f - 0.25f * shade);
        const float dx = x - 11.0f, dy = y - 7.5f;
        const float glint = 1.0f - smoothstep(0.0f, 4.5f, std::sqrt(dx * dx + dy * dy));
        return mix(c, grey(1.0f), glint * 0.8f);
    });
    for (const float cx : {12.0f, 20.5f}) {
        canvas.Fill([cx](float x, float y) { return inEllipse(x, y, cx, 13.5f, 3.0f, 3.9f); },
                    solid(grey(0.1f)));
        canvas.Fill([cx](float x, float y) { return inCircle(x, y, cx + 1.0f, 12.0f, 1.1f); },
                    solid(grey(0.95f)));
    }
    return canvas;
}

Canvas DrawGhostEnergy() {
    Canvas canvas(48, 48);
    canvas.Fill([](float x, float y) { return inCircle(x, y, 24.0f, 24.0f, 24.0f); },
                [](float x, float y) {
                    const float dx = x - 24.0f, dy = y - 24.0f;
                    const float r = std::sqrt(dx * dx + dy * dy);
                    // Full behind the body, then a wide soft rim beyond its 16-pixel radius.
                    const float fall = 1.0f - smoothstep(9.0f, 24.0f, r);
                    return grey(1.0f, std::pow(fall, 1.3f));
                });
    return canvas;
}

Canvas DrawMunchet() {
    Canvas canvas(16, 16);
    // A round biter with spines on its back and a wedge of a mouth toward +x.
    const float cx = 8.5f, cy = 8.0f, radius = 6.0f;
    const Shape spines = [=](float x, float y) {
        // Three small cones along the back, pointing away from the mouth.
        for (const float angle : {2.3f, 3.14159f, 3.98f}) {
            const float dirX = std::cos(angle), dirY = std::sin(angle);
            const float along = (x - cx) * dirX + (y - cy) * dirY;
            const float across = std::fabs(-(x - cx) * dirY + (y - cy) * dirX);
            if (along > radius - 1.0f && along < radius + 2.4f && across < (radius + 2.4f - along) * 0.55f)
                return true;
        }
        return false;
    };
    const Shape body = [=](float x, float y) {
        if (!inCircle(x, y, cx, cy, radius) && !spines(x, y)) return false;
        const float dx = x - (cx - 0.5f), dy = y - cy;
        return !(dx > 0.0f && std::fabs(dy) < dx * 0.6f);
    };
    canvas.Fill(body, solid(grey(0.5f)));
    canvas.Fill(inset(body, 0.8f), [=](float x, float y) {
        const float dx = x - (cx - 2.0f), dy = y - (cy - 3.0f);
        const float shade = clamp01(std::sqrt(dx * dx + dy * dy) / 8.0f);
        return grey(1.0f - 0.25f * shade * shade);
    });
    canvas.Fill([=](float x, float y) { return inCircle(x, y, cx + 0.3f, cy - 3.0f, 1.3f); },
                solid(grey(0.08f)));
    canvas.Fill([=](float x, float y) { return inCircle(x, y, cx + 0.7f, cy - 3.4f, 0.45f); },
                solid(grey(1.0f)));
    return canvas;
}

Canvas DrawFood() {
    Canvas canvas(8, 8);
    canvas.Fill([](float x, float y) { return inEllipse(x, y, 3.0f, 2.0f, 3.0f, 2.0f); },
                [](float x, float y) {
                    const float dx = (x - 2.2f) / 3.0f, dy = (y - 1.2f) / 2.0f;
                    const float light = 1.0f - clamp01(std::sqrt(dx * dx + dy * dy));
                    return mix(grey(0.6f), grey(1.0f), 0.3f + 0.7f * light);
                });
    return canvas;
}

Canvas DrawDoor() {
    Canvas canvas(32, 32);
    const float cx = 16.0f, archY = 15.0f;
    const Shape arch = [=](float x, float y) {
        if (y >= archY) return x >= 2.0f && x <= 30.0f;
        return inCircle(x, y, cx, archY, 14.0f);
    };
    const Shape opening = [=](float x, float y) {
        if (y >= archY) return x >= 7.0f && x <= 25.0f && y <= 30.0f;
        return inCircle(x, y, cx, archY, 9.0f);
    };

    // Stone: wedge-shaped blocks round the arch, courses on the pillars.
    const Colour stone = {0.56f, 0.55f, 0.60f, 1.0f};
    const Colour mortar = {0.22f, 0.21f, 0.25f, 1.0f};
    canvas.Fill(arch, [=](float x, float y) {
        bool joint;
        float variation;
        if (y < archY) {
            const float angle = std::atan2(archY - y, x - cx);  // 0 .. pi over the top
            const float block = angle / (Pi / 7.0f);
            joint = std::fabs(block - std::round(block)) < 0.06f;
            variation = std::fmod(std::floor(block) * 0.37f, 1.0f);
        } else {
            const float course = (y - archY) / 4.0f;
            const bool left = x < cx;
            joint = std::fabs(course - std::round(course)) < 0.14f;
            variation = std::fmod(std::floor(course) * 0.53f + (left ? 0.3f : 0.0f), 1.0f);
        }
        if (joint) return mortar;
        const float light = clamp01((30.0f - y) / 30.0f) * 0.12f;
        return mix(stone, grey(0.8f), light + (variation - 0.5f) * 0.12f);
    });

    // Planks with grain and a dark line between them.
    const Colour wood = {0.52f, 0.30f, 0.13f, 1.0f};
    const Colour woodLight = {0.70f, 0.45f, 0.22f, 1.0f};
    canvas.Fill(opening, [=](float x, float y) {
        const float plank = (x - 7.0f) / 4.5f;
        const float seam = std::fabs(plank - std::round(plank));
        if (seam < 0.07f) return Colour{0.22f, 0.12f, 0.05f, 1.0f};
        const float grain =
            0.5f + 0.5f * std::sin(y * 1.3f + std::floor(plank) * 2.1f + std::sin(y * 0.4f) * 2.0f);
        const float depth = smoothstep(0.0f, 9.0f, std::fabs(x - cx)) * 0.25f;
        return mix(mix(wood, woodLight, grain * 0.35f), Colour{0.2f, 0.1f, 0.04f, 1.0f}, depth);
    });

    // Iron bands with rivets, and a brass ring for a handle.
    const Colour iron = {0.18f, 0.18f, 0.21f, 1.0f};
    for (const float bandY : {12.0f, 24.0f}) {
        canvas.Fill([=](float x, float y) { return opening(x, y) && y >= bandY && y <= bandY + 1.8f; },
                    solid(iron));
        for (float rx = 9.0f; rx <= 23.5f; rx += 4.5f)
            canvas.Fill([=](float x, float y) { return inCircle(x, y, rx, bandY + 0.9f, 0.6f); },
                        solid(grey(0.62f)));
    }
    const Colour brass = {0.95f, 0.76f, 0.25f, 1.0f};
    canvas.Fill(
        [](float x, float y) {
            const float dx = x - 21.5f, dy = y - 19.5f;
            const float d = std::sqrt(dx * dx + dy * dy);
            return d >= 0.9f && d <= 1.9f;
        },
        solid(brass));
    // A worn threshold step.
    canvas.Fill([](float x, float y) { return x >= 5.0f && x <= 27.0f && y >= 30.0f; },
                [](float, float y) { return mix(grey(0.72f), grey(0.45f), clamp01((y - 30.0f) / 2.0f)); });
    return canvas;
}
