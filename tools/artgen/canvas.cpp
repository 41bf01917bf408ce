#include "tools/artgen/canvas.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int SamplesPerAxis = 8;

}  // namespace

Colour grey(float level, float alpha) { return {level, level, level, alpha}; }

Colour mix(const Colour& from, const Colour& to, float t) {
    return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
            from.a + (to.a - from.a) * t};
}

float clamp01(float value) { return std::min(1.0f, std::max(0.0f, value)); }

float smoothstep(float edge0, float edge1, float value) {
    const float t = clamp01((value - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

Shape inset(const Shape& shape, float d) {
    return [shape, d](float x, float y) {
        const float k = d * 0.7071f;
        return shape(x, y) && shape(x - d, y) && shape(x + d, y) && shape(x, y - d) && shape(x, y + d) &&
               shape(x - k, y - k) && shape(x + k, y - k) && shape(x - k, y + k) && shape(x + k, y + k);
    };
}

Canvas::Canvas(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w * h * 4), 0.0f) {}

void Canvas::Fill(const Shape& shape, const Paint& paint) {
    const float step = 1.0f / SamplesPerAxis;
    for (int j = 0; j < height; ++j) {
        for (int i = 0; i < width; ++i) {
            // Average the premultiplied colour over the samples inside.
            float r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < SamplesPerAxis; ++sy) {
                for (int sx = 0; sx < SamplesPerAxis; ++sx) {
                    const float x = static_cast<float>(i) + (static_cast<float>(sx) + 0.5f) * step;
                    const float y = static_cast<float>(j) + (static_cast<float>(sy) + 0.5f) * step;
                    if (!shape(x, y)) continue;
                    const Colour c = paint(x, y);
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                    a += c.a;
                }
            }
            const float n = SamplesPerAxis * SamplesPerAxis;
            Blend(i, j, r / n, g / n, b / n, a / n);
        }
    }
}

void Canvas::Blend(int x, int y, float r, float g, float b, float a) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    float* p = &pixels[static_cast<std::size_t>((y * width + x) * 4)];
    const float keep = 1.0f - a;
    p[0] = r + p[0] * keep;
    p[1] = g + p[1] * keep;
    p[2] = b + p[2] * keep;
    p[3] = a + p[3] * keep;
}

std::vector<std::uint8_t> Canvas::ToRgba8() const {
    const std::size_t count = static_cast<std::size_t>(width * height);
    std::vector<std::uint8_t> out(count * 4, 0);
    auto toByte = [](float v) { return static_cast<std::uint8_t>(std::lround(clamp01(v) * 255.0f)); };
    for (std::size_t k = 0; k < count; ++k) {
        const float* p = &pixels[k * 4];
        const std::uint8_t alpha = toByte(p[3]);
        out[k * 4 + 3] = alpha;
        if (alpha == 0) continue;
        for (int c = 0; c < 3; ++c) out[k * 4 + c] = toByte(p[c] / p[3]);
    }

    // Two rounds of spreading visible colours into the transparent border.
    std::vector<bool> known(count);
    for (std::size_t k = 0; k < count; ++k) known[k] = out[k * 4 + 3] != 0;
    for (int round = 0; round < 2; ++round) {
        std::vector<bool> next = known;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::size_t k = static_cast<std::size_t>(y * width + x);
                if (known[k]) continue;
                int sum[3] = {0, 0, 0}, n = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
                        const std::size_t m = static_cast<std::size_t>(ny * width + nx);
                        if (!known[m]) continue;
                        for (int c = 0; c < 3; ++c) sum[c] += out[m * 4 + c];
                        ++n;
                    }
                }
                if (n == 0) continue;
                for (int c = 0; c < 3; ++c) out[k * 4 + c] = static_cast<std::uint8_t>((sum[c] + n / 2) / n);
                next[k] = true;
            }
        }
        known = std::move(next);
    }
    return out;
}

bool SavePng(const std::vector<std::uint8_t>& rgba, int width, int height, const std::string& path,
             std::string& error) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint8_t*>(rgba.data()), width,
                                                              height, 32, width * 4, SDL_PIXELFORMAT_RGBA32);
    if (surface == nullptr) {
        error = SDL_GetError();
        return false;
    }
    const bool saved = IMG_SavePNG(surface, path.c_str()) == 0;
    if (!saved) error = IMG_GetError();
    SDL_FreeSurface(surface);
    return saved;
}
