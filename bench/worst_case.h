// The worst load the rules allow, for the frame benchmarks natively and in
// the browser: 501 food items (no more can spawn) crowded around two focusing
// ghosts whose charge of 30 pulls every item on the field, and several
// hundred munchets.
#pragma once

#include <cmath>

#include "tests/support/headless_game.h"

constexpr int foodCount = 501;
constexpr int munchetCount = 400;

// The loaded game, built once; every timed frame starts from `start`.
struct WorstCase {
    HeadlessGame g{2024};
    Game start;
    // Every timed frame's keys: both ghosts focus.
    const FrameInput focus = FrameInput{}.Hold(Key::Numpad0).Hold('G').Lasting(0.01f);

    WorstCase() {
        Game& game = g.game;
        game.playerCount = 2;
        game.StartGame();
        g.RunFrame(focus);
        game.gameOver = false;
        game.munchetList.clear();
        for (int i = 0; i < munchetCount; ++i) {
            Munchet m;
            m.init(game);
            m.place(-480.0f + static_cast<float>(i % 40) * 24.0f, 120.0f + static_cast<float>(i / 40) * 24.0f,
                    game.random);
            m.splitTimer = 1000;
            game.munchetList.push_back(m);
        }
        game.foodList.clear();
        for (int i = 0; i < foodCount; ++i) {
            const Player& p = game.players[static_cast<std::size_t>(i % 2)];
            const float a = game.random.Float(0, 6.2831853f), r = game.random.Float(0, 70);
            game.foodList.emplace_back(p.x + r * std::cos(a), p.y + r * std::sin(a));
        }
        // Let the crowd settle into the shape the flock rules give it.
        for (int frame = 0; frame < 300; ++frame) {
            for (Player& p : game.activePlayers()) p.charge = 30;
            for (std::size_t i = 0; i < game.foodList.size(); ++i)
                game.foodList[i].update(0.01f, game.foodList, game.activePlayers());
        }
        for (Player& p : game.activePlayers()) p.charge = 30;
        start = game;
    }

    void Restore() { g.game = start; }
};
