#include "render/render.h"

#include <cmath>

#include "game/clamp.h"
#include "game/constants.h"
#include "game/game.h"
#include "render/hud.h"
#include "render/scene.h"

namespace {

// The aura shows how far the charge is from zero: brown-orange while the
// ghost can eat (charge <= 0, full at -15), green while it cannot (full at 3).
std::uint32_t auraColour(float charge) {
    float strength = std::fabs(charge * 255.0f / 15.0f);
    if (charge > 0) strength = strength * 5.0f;
    clampTo(strength, 0.0f, 255.0f);
    const std::uint32_t alpha = static_cast<std::uint32_t>(strength);
    return (alpha << 24) + (charge > 0 ? 0x008040u : 0xA05000u);
}

// Blue while the charge is 0 or more, red as it falls to -3; a focusing
// ghost (which cannot eat) stays blue.
std::uint32_t bodyColour(float charge, bool focusing) {
    float red = -charge * 255.0f / 3.0f;
    clampTo(red, 0.0f, 255.0f);
    if (focusing) red = 0;
    const std::uint32_t r = static_cast<std::uint32_t>(red);
    const std::uint32_t b = static_cast<std::uint32_t>(255.0f - red);
    return 0xFF000000u | (r << 16) | b;
}

}  // namespace

void Draw(Scene& scene, const Food& food) {
    if (scene.foodSprite)
        scene.foodSprite->Draw(food.x + halfWidth, food.y + halfHeight, 0, foodRadius * 0.5f, 0);
}

void Draw(Scene& scene, const Munchet& munchet) {
    if (scene.munchetSprite)
        scene.munchetSprite->Draw(munchet.x + halfWidth, munchet.y + halfHeight, munchet.heading,
                                  munchetRadius * 0.125f, 0);
}

void Draw(Scene& scene, const Player& player) {
    if (scene.ghostEnergySprite) {
        scene.ghostEnergySprite->SetColor(auraColour(player.charge));
        scene.ghostEnergySprite->Draw(player.x + halfWidth, player.y + halfHeight, 0, 1.0f, 0);
    }
    if (scene.ghostSprite) {
        scene.ghostSprite->SetColor(bodyColour(player.charge, player.focusing));
        scene.ghostSprite->Draw(player.x + halfWidth, player.y + halfHeight, 0, playerRadius * 0.0625f, 0);
    }
}

void RenderScene(Scene& scene, const Game& game, bool volumeGliding) {
    if (!scene.engine) return;
    Engine& engine = *scene.engine;
    engine.Gfx_BeginScene();
    engine.Gfx_Clear(0);

    if (scene.doorSprite) scene.doorSprite->Draw(halfWidth, halfHeight - 320, 0, 2.0f, 0);
    for (const Food& item : game.foodList) Draw(scene, item);
    for (const Munchet& munchet : game.munchetList) Draw(scene, munchet);
    for (const Player& player : game.activePlayers()) Draw(scene, player);

    if (scene.font) {
        BitmapFont& text = *scene.font;
        if (game.level >= 1 && game.levelTime < 3.0f) DrawLevelBonus(text, game);
        if (game.gameOver && game.nameEntry)
            DrawNamePrompt(text, game);
        else if (game.gameOver)
            DrawHighscoreTable(text, game);
        else if (game.gameTime < 3.0f)
            DrawHelp(text, game);
        DrawScoreLine(text, game);
        if (volumeGliding) DrawVolumeBar(text, game.musicVolume);
    }

    engine.Gfx_EndScene();
}
