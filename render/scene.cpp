#include "render/scene.h"

TextureHandle ghostTexture = 0;
TextureHandle ghostEnergyTexture = 0;
TextureHandle munchetTexture = 0;
TextureHandle foodTexture = 0;
TextureHandle doorTexture = 0;

std::unique_ptr<Sprite> ghostSprite;
std::unique_ptr<Sprite> ghostEnergySprite;
std::unique_ptr<Sprite> munchetSprite;
std::unique_ptr<Sprite> foodSprite;
std::unique_ptr<Sprite> doorSprite;
std::unique_ptr<BitmapFont> font;
