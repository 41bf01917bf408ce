#include "app/load_resources.h"

#include <memory>

#include "app/file_locations.h"

namespace {

constexpr std::uint32_t NoColour = 0;  // leave the sprite's own opaque white

// One picture: its texture, then its sprite on the rectangle (0, 0, w, h)
// with the colour and the hot spot at the rectangle's centre.
void loadPicture(Engine& engine, const char* name, TextureHandle& texture, std::unique_ptr<Sprite>& sprite,
                 float w, float h, std::uint32_t colour) {
    texture = engine.Texture_Load(DataFile(name).c_str());
    sprite = std::make_unique<Sprite>(&engine, texture, 0.0f, 0.0f, w, h);
    if (colour != NoColour) sprite->SetColor(colour);
    sprite->SetHotSpot(w / 2, h / 2);
}

}  // namespace

void LoadResources(Engine& engine, Scene& scene, GameAudio& audio) {
    auto effect = [&](SoundEffect which, const char* name) {
        audio.effects[static_cast<std::size_t>(which)] = engine.Effect_Load(DataFile(name).c_str());
    };
    effect(SoundEffect::Energy, "data/energy.ogg");
    effect(SoundEffect::MunchetEaten, "data/muncheteaten.wav");
    effect(SoundEffect::Food, "data/food.wav");
    effect(SoundEffect::Dead, "data/dead.wav");
    effect(SoundEffect::NextLevel, "data/nextlevel.wav");
    effect(SoundEffect::Saved, "data/safed.wav");
    audio.music = engine.Music_Load(DataFile("data/stardust.xm").c_str());

    scene.engine = &engine;
    loadPicture(engine, "data/ghost.png", scene.ghostTexture, scene.ghostSprite, 32, 32, 0xFFFF0000);
    loadPicture(engine, "data/ghost_energy.png", scene.ghostEnergyTexture, scene.ghostEnergySprite, 48, 48,
                0xFFFF0000);
    loadPicture(engine, "data/munchet.png", scene.munchetTexture, scene.munchetSprite, 16, 16, 0xFFFFFF00);
    loadPicture(engine, "data/food.png", scene.foodTexture, scene.foodSprite, 6, 4, 0xFF00A000);
    loadPicture(engine, "data/door.png", scene.doorTexture, scene.doorSprite, 32, 32, NoColour);

    scene.font = std::make_unique<BitmapFont>(&engine, DataFile("data/font1.fnt").c_str());
}
