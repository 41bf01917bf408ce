// The program-wide pictures and the font, made by LoadResources
// (app/load_resources.h) and drawn by Render. They live for the whole run;
// loading again replaces them (tests recreate the engine per test). A null
// sprite or font is not drawn.
#pragma once

#include <memory>

#include "engine/engine.h"
#include "render/bitmap_font.h"
#include "render/sprite.h"

// Engine textures; 0 when the picture could not be loaded. Not freed by the
// program: the engine's shutdown frees them.
extern TextureHandle ghostTexture;
extern TextureHandle ghostEnergyTexture;
extern TextureHandle munchetTexture;
extern TextureHandle foodTexture;
extern TextureHandle doorTexture;

extern std::unique_ptr<Sprite> ghostSprite;        // a player's body, 32 x 32, hot spot at its centre
extern std::unique_ptr<Sprite> ghostEnergySprite;  // a player's aura, 48 x 48
extern std::unique_ptr<Sprite> munchetSprite;      // a munchet, 16 x 16, facing +x
extern std::unique_ptr<Sprite> foodSprite;         // a food item, 6 x 4
extern std::unique_ptr<Sprite> doorSprite;         // the goal, 32 x 32, in its own colours
extern std::unique_ptr<BitmapFont> font;           // every text on screen
