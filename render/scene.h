// What the scene is drawn with: the engine, the five pictures with their
// sprites, and the font. Made by the program's start-up (app/load_resources.h)
// and handed to RenderScene; a test makes its own. A null sprite or font is
// not drawn; without an engine nothing is.
#pragma once

#include <memory>

#include "engine/engine.h"
#include "render/bitmap_font.h"
#include "render/sprite.h"

struct Scene {
    // Not owned; it must outlive the scene's sprites and font.
    Engine* engine = nullptr;

    // Engine textures; 0 when the picture could not be loaded. Not freed by
    // the scene: the engine's shutdown frees them.
    TextureHandle ghostTexture = 0;
    TextureHandle ghostEnergyTexture = 0;
    TextureHandle munchetTexture = 0;
    TextureHandle foodTexture = 0;
    TextureHandle doorTexture = 0;

    std::unique_ptr<Sprite> ghostSprite;        // a player's body, 32 x 32, hot spot at its centre
    std::unique_ptr<Sprite> ghostEnergySprite;  // a player's aura, 48 x 48
    std::unique_ptr<Sprite> munchetSprite;      // a munchet, 16 x 16, facing +x
    std::unique_ptr<Sprite> foodSprite;         // a food item, 6 x 4
    std::unique_ptr<Sprite> doorSprite;         // the goal, 32 x 32, in its own colours
    std::unique_ptr<BitmapFont> font;           // every text on screen
};
