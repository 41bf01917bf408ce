// A rectangle of a texture drawn as one textured quad, placed by its hot spot,
// rotated about it and scaled about it, separately in x and y. Every picture
// of the scene and every glyph of the bitmap font is one.
#pragma once

#include <cstdint>

#include "engine/engine.h"

struct Sprite {
    // engine: what the texture is sized and the sprite drawn with (not
    // owned; it must outlive the sprite); null: a sprite that draws nothing.
    // texture: the engine texture the rectangle is cut from (not owned; 0 for
    // none, which draws the vertex colours alone). x, y, width, height: the
    // rectangle in texture pixels. Texture coordinates are fixed here, once.
    Sprite(Engine* engine, TextureHandle texture, float x, float y, float width, float height);

    // Puts the hot spot at screen pixel (x, y), turns the picture by rotation
    // radians about it (clockwise on screen) and scales it about it by
    // hscale across and vscale down; vscale exactly 0 means hscale. A rotation
    // of exactly 0 computes no sine or cosine. Allocates nothing.
    void Draw(float x, float y, float rotation = 0.0f, float hscale = 1.0f, float vscale = 0.0f);

    // Colour of all four corners, 0xAARRGGBB; it multiplies the texture.
    void SetColor(std::uint32_t colour);
    // Hot spot in texture pixels from the rectangle's top-left corner, unscaled.
    void SetHotSpot(float x, float y);

    // Size of the texture rectangle, pixels.
    float GetWidth() const { return width; }
    float GetHeight() const { return height; }
    // The quad as the last Draw handed it to the engine.
    const Quad& GetQuad() const { return quad; }

private:
    Engine* engine;
    Quad quad;
    // The rectangle, texture pixels. Its corner is used up by the texture
    // coordinates at construction; it is kept as part of what a sprite is.
    [[maybe_unused]] float texX, texY;
    float width, height;
    float texWidth, texHeight;  // texture size, or 1 x 1 without a texture
    float hotX = 0, hotY = 0;
};
