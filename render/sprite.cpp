#include "render/sprite.h"

#include <cmath>

Sprite::Sprite(Engine* engine, TextureHandle texture, float x, float y, float w, float h)
    : engine(engine), texX(x), texY(y), width(w), height(h), texWidth(1.0f), texHeight(1.0f) {
    if (texture != 0 && engine != nullptr) {
        texWidth = static_cast<float>(engine->Texture_GetWidth(texture));
        texHeight = static_cast<float>(engine->Texture_GetHeight(texture));
        // A texture the engine cannot size would divide by zero below.
        if (texWidth <= 0.0f) texWidth = 1.0f;
        if (texHeight <= 0.0f) texHeight = 1.0f;
    }
    quad.texture = texture;
    quad.blend = BlendDefault;

    const float u0 = x / texWidth, v0 = y / texHeight;
    const float u1 = (x + w) / texWidth, v1 = (y + h) / texHeight;
    quad.v[0].u = u0;
    quad.v[0].v = v0;
    quad.v[1].u = u1;
    quad.v[1].v = v0;
    quad.v[2].u = u1;
    quad.v[2].v = v1;
    quad.v[3].u = u0;
    quad.v[3].v = v1;
    for (Vertex& vertex : quad.v) {
        vertex.z = 0.5f;
        vertex.colour = 0xFFFFFFFF;
    }
}

void Sprite::Draw(float x, float y, float rotation, float hscale, float vscale) {
    if (vscale == 0.0f) vscale = hscale;

    const float a1 = -hotX * hscale;
    const float b1 = -hotY * vscale;
    const float a2 = (width - hotX) * hscale;
    const float b2 = (height - hotY) * vscale;

    if (rotation != 0.0f) {
        const float c = std::cos(rotation);
        const float s = std::sin(rotation);
        const float corners[4][2] = {{a1, b1}, {a2, b1}, {a2, b2}, {a1, b2}};
        for (int i = 0; i < 4; ++i) {
            const float a = corners[i][0], b = corners[i][1];
            quad.v[i].x = a * c - b * s + x;
            quad.v[i].y = a * s + b * c + y;
        }
    } else {
        quad.v[0].x = a1 + x;
        quad.v[0].y = b1 + y;
        quad.v[1].x = a2 + x;
        quad.v[1].y = b1 + y;
        quad.v[2].x = a2 + x;
        quad.v[2].y = b2 + y;
        quad.v[3].x = a1 + x;
        quad.v[3].y = b2 + y;
    }

    if (engine != nullptr) engine->Gfx_RenderQuad(&quad);
}

void Sprite::SetColor(std::uint32_t colour) {
    for (Vertex& vertex : quad.v) vertex.colour = colour;
}

void Sprite::SetHotSpot(float x, float y) {
    hotX = x;
    hotY = y;
}
