#include "game/constants.h"
#include "game/game.h"
#include "game/key_bindings.h"

void Game::SetupLevel() {
    const float startY = -halfHeight * 0.5f;
    if (playerCount >= 2) {
        players[0].setPosition(200.0f, startY);
        players[1].setPosition(-200.0f, startY);
        players[0].setKeys(keypadKeys.focus, keypadKeys.up, keypadKeys.left, keypadKeys.down,
                           keypadKeys.right);
        players[1].setKeys(letterKeys.focus, letterKeys.up, letterKeys.left, letterKeys.down,
                           letterKeys.right);
    } else {
        players[0].setPosition(0.0f, startY);
        players[0].setKeys(soloKeys.focus, soloKeys.up, soloKeys.left, soloKeys.down, soloKeys.right);
    }

    // One row across the lower half, from -0.8 to 0.8 of the half-width.
    const float rowWidth = halfWidth * 0.8f;
    const float spacing = level == 0 ? rowWidth : rowWidth / static_cast<float>(level);
    for (std::int32_t i = -level; i <= level; ++i) {
        Munchet munchet;
        munchet.init(*this);
        munchet.place(static_cast<float>(i) * spacing, halfHeight * 0.5f, random);
        munchetList.push_back(munchet);
    }

    const std::int32_t sourceY = 128 - static_cast<std::int32_t>(halfHeight) / 2;
    FoodSource right;
    right.setPosition(320, sourceY);
    foodSources.push_back(right);
    FoodSource left;
    left.setPosition(-320, sourceY);
    foodSources.push_back(left);
}
