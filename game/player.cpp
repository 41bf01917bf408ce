#include "game/player.h"

#include "game/clamp.h"
#include "game/constants.h"
#include "game/rules_math.h"

namespace {

constexpr float acceleration = 600.0f;  // units/s^2 under one direction key
constexpr float focusSlowdown = 0.25f;  // acceleration factor while focusing
constexpr float friction = 0.0625f;     // velocity factor per second
constexpr float minCharge = -15.0f;
constexpr float maxCharge = 30.0f;
constexpr float pulseCharge = -0.5f;    // pulses only below this charge
constexpr float drainPerSecond = 5.0f;  // drain(dt) takes dt / 5

}  // namespace

void Player::reset() {
    x = 0;
    y = 0;
    vx = 0;
    vy = 0;
    resetForLevel();
}

void Player::resetForLevel() {
    charge = 1.0f;
    focusing = false;
    pulseTimer = 0;
}

void Player::setPosition(float newX, float newY) {
    x = newX;
    y = newY;
}

void Player::setKeys(std::int32_t focus, std::int32_t up, std::int32_t left, std::int32_t down,
                     std::int32_t right) {
    focusKey = focus;
    upKey = up;
    leftKey = left;
    downKey = down;
    rightKey = right;
}

void Player::update(float dt, const FrameInput& input, FrameEffects& effects) {
    float a = acceleration * dt;
    const float k = FrictionPower(friction, dt);

    focusing = false;
    if (input.Holds(focusKey)) {
        focusing = true;
        a = a * focusSlowdown;
    }
    if (input.Holds(leftKey)) vx -= a;
    if (input.Holds(rightKey)) vx += a;
    if (input.Holds(upKey)) vy -= a;
    if (input.Holds(downKey)) vy += a;

    vx = vx * k;
    vy = vy * k;
    x = x + vx * dt;
    y = y + vy * dt;

    const float maxX = halfWidth - playerRadius;
    const float maxY = halfHeight - playerRadius;
    if (x < playerRadius - halfWidth || x > maxX) vx = -vx;
    if (y < playerRadius - halfHeight || y > maxY) vy = -vy;
    clampTo(x, playerRadius - halfWidth, maxX);
    clampTo(y, playerRadius - halfHeight, maxY);

    charge = charge + dt;
    clampTo(charge, minCharge, maxCharge);

    pulseTimer = pulseTimer - dt;
    if (pulseTimer < 0 && focusing && charge < pulseCharge) {
        // Deeper charge pulses faster and higher.
        pulseTimer = charge / 40.0f + 0.8f;
        effects.Play(SoundEffect::Energy, x, 0.5f - charge * 0.125f);
    }
}

float Player::attractRadius() const { return focusing ? charge * 16.0f + 256.0f : 48.0f; }

bool Player::isVulnerable() const { return charge > 0 || focusing; }

void Player::drain(float dt) { charge = charge - dt / drainPerSecond; }
