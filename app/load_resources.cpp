#include "app/load_resources.h"

#include <memory>

#include "app/file_locations.h"
#include "common/engine_ref.h"
#include "game/sounds.h"
#include "render/scene.h"

namespace {

constexpr std::uint32_t NoColour = 0;  // leave the sprite's own opaque white

// One picture: its texture, then its sprite on the rectangle (0, 0, w, h)
// with the colour and the hot spot at the rectangle's centre.
void loadPicture(const char* name, TextureHandle& texture, std::unique_ptr<Sprite>& sprite, float w, float h,
                 std::uint32_t colour) {
    texture = hge->Texture_Load(DataFile(name).c_str());
    sprite = std::make_unique<Sprite>(texture, 0.0f, 0.0f, w, h);
    if (colour != NoColour) sprite->SetColor(colour);
    sprite->SetHotSpot(w / 2, h / 2);
}

}  // namespace

void LoadResources() {
    energySound = hge->Effect_Load(DataFile("data/energy.ogg").c_str());
    munchetEatenSound = hge->Effect_Load(DataFile("data/muncheteaten.wav").c_str());
    foodSound = hge->Effect_Load(DataFile("data/food.wav").c_str());
    deadSound = hge->Effect_Load(DataFile("data/dead.wav").c_str());
    nextLevelSound = hge->Effect_Load(DataFile("data/nextlevel.wav").c_str());
    savedSound = hge->Effect_Load(DataFile("data/safed.wav").c_str());
    music = hge->Music_Load(DataFile("data/stardust.xm").c_str());

    loadPicture("data/ghost.png", ghostTexture, ghostSprite, 32, 32, 0xFFFF0000);
    loadPicture("data/ghost_energy.png", ghostEnergyTexture, ghostEnergySprite, 48, 48, 0xFFFF0000);
    loadPicture("data/munchet.png", munchetTexture, munchetSprite, 16, 16, 0xFFFFFF00);
    loadPicture("data/food.png", foodTexture, foodSprite, 6, 4, 0xFF00A000);
    loadPicture("data/door.png", doorTexture, doorSprite, 32, 32, NoColour);

    font = std::make_unique<BitmapFont>(DataFile("data/font1.fnt").c_str());
}
