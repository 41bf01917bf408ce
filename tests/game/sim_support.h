// Helpers shared by the simulation tests: a headless game, the game's
// random draws read back from a reseeded generator, a scripted player and a
// hash of the whole simulation state.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "../support/headless_game.h"
#include "game/state_hash.h"

class SimTest : public ::testing::Test {
protected:
    static constexpr int Seed = 20240611;

    // The keys Update hands a record from now on; the game's effects start
    // empty again.
    void HoldKeys(FrameInput input) {
        keys = input;
        g.game.effects.Clear();
    }
    // One update of a record outside a frame, with the held keys; its sounds
    // go to the game's effects.
    void Update(Player& player, float dt) { player.update(dt, keys, g.game.effects); }
    // Reseeds, so the next draws can be predicted by Draws().
    void Reseed(int seed) { g.game.random.Seed(static_cast<std::uint32_t>(seed)); }

    HeadlessGame g{Seed};
    FrameInput keys;
};

// A random draw of a known kind, for predicting a sequence.
struct Draw {
    bool isInt;
    float low, high;
};
inline Draw F(float low, float high) { return {false, low, high}; }
inline Draw I(int low, int high) { return {true, static_cast<float>(low), static_cast<float>(high)}; }

// The values the generator gives after Seed(seed) for the given sequence of
// draws; reseeds again afterwards so the code under test sees the same
// sequence.
inline std::vector<float> Draws(RandomGenerator& random, int seed, const std::vector<Draw>& kinds) {
    random.Seed(static_cast<std::uint32_t>(seed));
    std::vector<float> values;
    for (const Draw& d : kinds)
        values.push_back(
            d.isInt ? static_cast<float>(random.Int(static_cast<int>(d.low), static_cast<int>(d.high)))
                    : random.Float(d.low, d.high));
    random.Seed(static_cast<std::uint32_t>(seed));
    return values;
}

inline int SoundCount(const FrameEffects& effects, SoundEffect effect) {
    int n = 0;
    for (const SoundRequest& s : effects.sounds) n += s.effect == effect;
    return n;
}

// FNV-1a over every stored number of the simulation.
// A simple scripted player reading the game each frame. It holds focus to
// gather food (which drains its charge) and backs away from munchets that
// come near; once the charge is low enough it drops focus and hunts the
// nearest munchet until the charge has almost recovered.
struct Bot {
    bool hunting[2] = {false, false};
    float huntBelow = -2.0f;  // charge that starts a hunt
    float stopAbove = -0.3f;  // charge that ends it

    FrameInput Input(const Game& game) {
        FrameInput input;
        if (game.gameOver) return input;
        for (int i = 0; i < game.playerCount; ++i) Steer(game, i, input);
        return input;
    }

    void Steer(const Game& game, int index, FrameInput& input) {
        const Player& p = game.players[static_cast<std::size_t>(index)];
        bool& hunt = hunting[index];
        if (p.charge < huntBelow) hunt = true;
        if (p.charge > stopAbove) hunt = false;
        const Munchet* nearest = nullptr;
        float best = 1e30f;
        for (const Munchet& m : game.munchetList) {
            const float d = (m.x - p.x) * (m.x - p.x) + (m.y - p.y) * (m.y - p.y);
            if (d < best) best = d, nearest = &m;
        }
        if (!nearest) return;
        const float dx = nearest->x - p.x, dy = nearest->y - p.y;
        float sx = 0, sy = 0;
        if (hunt) {
            sx = dx, sy = dy;
        } else {
            // Focus makes the ghost vulnerable, so only while the charge is up.
            if (p.charge > 0) input.Hold(p.focusKey);
            if (best < 140.0f * 140.0f) {
                sx = -dx, sy = -dy;
            } else if (!game.foodList.empty()) {
                float cx = 0, cy = 0;
                for (const Food& f : game.foodList) cx += f.x, cy += f.y;
                const float n = static_cast<float>(game.foodList.size());
                sx = cx / n - p.x, sy = cy / n - p.y;
            }
        }
        if (sx < -4) input.Hold(p.leftKey);
        if (sx > 4) input.Hold(p.rightKey);
        if (sy < -4) input.Hold(p.upKey);
        if (sy > 4) input.Hold(p.downKey);
    }
};
