// The ghost's movement, charge, vulnerability and energy pulse.
#include <cmath>

#include "sim_support.h"

namespace {

class PlayerTest : public SimTest {
protected:
    PlayerTest() { player.setKeys(Key::Shift, Key::Up, Key::Left, Key::Down, Key::Right); }
    // Speed after many frames of dt with the keys held, kept in mid-field.
    float TerminalSpeed(FrameInput keys, float dt, int frames) {
        HoldKeys(keys);
        for (int i = 0; i < frames; ++i) {
            Update(player, dt);
            player.setPosition(0, 0);
        }
        return std::hypot(player.vx, player.vy);
    }
    Player player;
};

TEST_F(PlayerTest, HeldKeyReachesTerminalSpeedAQuarterOfItWithFocus) {
    const double k = std::pow(0.0625, 0.01);
    const double terminal = 6.0 * k / (1.0 - k);  // about 213 units/s
    EXPECT_NEAR(TerminalSpeed(FrameInput{}.Hold(Key::Left), 0.01f, 3000), terminal, 0.01);
    EXPECT_LT(player.vx, 0);
    player.reset();
    EXPECT_NEAR(TerminalSpeed(FrameInput{}.Hold(Key::Down).Hold(Key::Shift), 0.01f, 3000), terminal / 4,
                0.01);
    EXPECT_GT(player.vy, 0);
}

TEST_F(PlayerTest, OppositeKeysCancelAndFrictionIsPerSecond) {
    player.vx = 100;
    EXPECT_NEAR(TerminalSpeed(FrameInput{}.Hold(Key::Left).Hold(Key::Right), 0.01f, 100), 100 * 0.0625, 1e-3);
    for (float dt : {0.004f, 0.05f}) {  // the same decay whatever the frame time
        player.vx = 100;
        player.vy = 0;
        EXPECT_NEAR(TerminalSpeed(FrameInput{}, dt, static_cast<int>(std::lround(1 / dt))), 6.25, 1e-2);
    }
}

TEST_F(PlayerTest, BouncesAndStaysInsideTheField) {
    HoldKeys(FrameInput{});
    player.setPosition(495, -367);
    player.vx = 300;
    player.vy = -300;
    Update(player, 0.01f);
    EXPECT_EQ(player.x, 496.0f);
    EXPECT_EQ(player.y, -368.0f);
    EXPECT_LT(player.vx, 0);
    EXPECT_GT(player.vy, 0);
    // Exactly on the bound is not past it: no bounce.
    player.setPosition(-496, 0);
    player.vx = 0;
    Update(player, 0.01f);
    EXPECT_EQ(player.x, -496.0f);
    EXPECT_EQ(player.vx, 0.0f);
}

TEST_F(PlayerTest, ChargeClimbsToThirtyAtMost) {
    HoldKeys(FrameInput{});
    player.charge = 29.995f;
    Update(player, 0.01f);
    EXPECT_EQ(player.charge, 30.0f);
    Update(player, 0.01f);
    EXPECT_EQ(player.charge, 30.0f);
    player.charge = -20;
    Update(player, 0.01f);
    EXPECT_EQ(player.charge, -15.0f);
}

TEST_F(PlayerTest, AttractRadiusAndVulnerability) {
    player.charge = 0;
    EXPECT_FALSE(player.isVulnerable());
    EXPECT_EQ(player.attractRadius(), 48.0f);
    player.focusing = true;
    EXPECT_TRUE(player.isVulnerable());
    player.charge = 30;
    EXPECT_EQ(player.attractRadius(), 736.0f);
    player.charge = -15;
    EXPECT_EQ(player.attractRadius(), 16.0f);
    player.focusing = false;
    player.charge = 0.001f;
    EXPECT_TRUE(player.isVulnerable());
    player.drain(0.01f);
    EXPECT_FLOAT_EQ(player.charge, 0.001f - 0.002f);
}

TEST_F(PlayerTest, EnergyPulsesWhileFocusingWithLowCharge) {
    HoldKeys(FrameInput{}.Hold(Key::Shift));
    player.setPosition(256, 0);
    int pulses = 0;
    std::vector<int> pulseFrames;
    for (int frame = 0; frame < 100; ++frame) {
        player.charge = -16;  // clamped to -15 by the update
        Update(player, 0.01f);
        const auto& sounds = g.game.effects.sounds;
        if (static_cast<int>(sounds.size()) > pulses) {
            pulses = static_cast<int>(sounds.size());
            pulseFrames.push_back(frame);
        }
    }
    // The first pulse comes at once, then every 0.425 s.
    ASSERT_EQ(pulseFrames.size(), 3u);
    EXPECT_EQ(pulseFrames[0], 0);
    EXPECT_EQ(pulseFrames[1] - pulseFrames[0], 43);
    const SoundRequest& s = g.game.effects.sounds[0];
    EXPECT_EQ(s.effect, SoundEffect::Energy);
    EXPECT_EQ(s.pan, 50);
    EXPECT_FLOAT_EQ(s.pitch, 2.375f);

    // No pulse at -0.5 or without focus, but the timer runs on.
    player.charge = -0.75f;
    player.pulseTimer = 0.005f;
    Update(player, 0.25f);
    EXPECT_EQ(player.charge, -0.5f);
    EXPECT_EQ(static_cast<int>(g.game.effects.sounds.size()), pulses);
    HoldKeys(FrameInput{});
    player.charge = -5;
    Update(player, 0.01f);
    EXPECT_EQ(g.game.effects.sounds.size(), 0u);
    EXPECT_LT(player.pulseTimer, 0);
}

TEST_F(PlayerTest, ResetsKeepWhatTheyShould) {
    player.setPosition(10, 20);
    player.vx = 3;
    player.charge = -4;
    player.focusing = true;
    player.pulseTimer = 0.3f;
    player.resetForLevel();
    EXPECT_EQ(player.x, 10.0f);
    EXPECT_EQ(player.vx, 3.0f);
    EXPECT_EQ(player.charge, 1.0f);
    EXPECT_FALSE(player.focusing);
    EXPECT_EQ(player.pulseTimer, 0.0f);
    player.reset();
    EXPECT_EQ(player.x, 0.0f);
    EXPECT_EQ(player.vx, 0.0f);
    EXPECT_EQ(player.focusKey, Key::Shift);
}

}  // namespace
