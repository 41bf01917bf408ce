// Food items: flocking, attraction to the ghosts, drain, edges, speed cap.
#include <cmath>

#include "sim_support.h"

namespace {

class FoodTest : public SimTest {
protected:
    // Updates every item once, in list order, as the frame does.
    void Step(float dt = 0.01f) {
        for (Food& f : foods) f.update(dt, foods, std::span<Player>(players.data(), playerCount));
    }
    std::vector<Food> foods;
    std::array<Player, 2> players{};
    std::size_t playerCount = 0;
};

const double friction = std::pow(0.75, 0.01);

TEST_F(FoodTest, ALoneItemAtRestStaysAtRest) {
    foods = {Food(100, 50)};
    Step();
    EXPECT_EQ(foods[0].x, 100.0f);
    EXPECT_EQ(foods[0].vx, 0.0f);
    EXPECT_EQ(foods[0].vy, 0.0f);
}

TEST_F(FoodTest, TwoItemsTenApartPushEachOtherAway) {
    foods = {Food(0, 0), Food(10, 0)};
    Step();
    // First item: cohesion toward the other (gain 0.125), separation with
    // weight 1 - 10/23.5 at gain 3.75; the sum is below 1 so it is not scaled.
    const double steer = 10 * 0.125 - (1 - 10 / 23.5) * 3.75;
    EXPECT_NEAR(foods[0].vx, steer * 200 * 0.01 * friction, 1e-5);
    EXPECT_EQ(foods[0].vy, 0.0f);
    EXPECT_LT(foods[0].x, 0.0f);
    // The second sees the first already moved, and moves the other way.
    EXPECT_GT(foods[1].vx, 0.0f);
    EXPECT_NE(foods[1].vx, -foods[0].vx);
}

TEST_F(FoodTest, ANeighbourAtExactly23AndAHalfOnlyCountsForCohesion) {
    foods = {Food(0, 0), Food(23.5f, 0)};
    Step();
    EXPECT_NEAR(foods[0].vx, 23.5 * 0.125 / (23.5 * 0.125) * 200 * 0.01 * friction, 1e-5);
}

TEST_F(FoodTest, AttractionAndDrainDependOnTheDistanceToTheGhost) {
    struct Case {
        float distance;
        double weight;
        bool drains;
    };
    for (const Case c : {Case{30, 0.375, true}, Case{45, 0.0625, false}, Case{48, 0, false}}) {
        foods = {Food(0, 0)};
        players[0] = Player{};
        players[0].setPosition(c.distance, 0);
        playerCount = 1;
        Step();
        EXPECT_NEAR(foods[0].vx, c.weight * 200 * 0.01 * friction, 1e-6) << c.distance;
        EXPECT_EQ(players[0].charge, c.drains ? 1.0f - 0.002f : 1.0f) << c.distance;
    }
}

TEST_F(FoodTest, FocusWidensTheAttraction) {
    foods = {Food(0, 0)};
    players[0].setPosition(0, 200);
    players[0].focusing = true;  // charge 1: radius 272
    playerCount = 1;
    Step();
    EXPECT_NEAR(foods[0].vy, (1 - 200 / 272.0) * 200 * 0.01 * friction, 1e-5);
}

TEST_F(FoodTest, SixCloseItemsMakeTheChargeSinkByAFifthPerSecond) {
    HoldKeys(FrameInput{});
    players[0].setPosition(0, 0);
    playerCount = 1;
    for (int frame = 0; frame < 100; ++frame) {
        Update(players[0], 0.01f);
        foods.clear();  // the same ring in every frame, 20 units around the ghost
        for (int i = 0; i < 6; ++i) {
            const float a = static_cast<float>(i) * 1.0472f;
            foods.emplace_back(20 * std::cos(a), 20 * std::sin(a));
        }
        Step();
    }
    EXPECT_NEAR(players[0].charge, 1.0 - 0.2, 1e-4);
}

TEST_F(FoodTest, ItemsOnTopOfEachOtherOrOfAGhostDoNotSteer) {
    foods = {Food(5, 5), Food(5, 5)};
    foods[0].vx = 10;
    players[0].setPosition(300, 300);
    playerCount = 1;
    Step();
    // The first is void (its neighbour is exactly on it): only friction.
    EXPECT_FLOAT_EQ(foods[0].vx, static_cast<float>(10 * friction));
    EXPECT_EQ(foods[0].vy, 0.0f);

    foods = {Food(300, 300)};
    Step();
    EXPECT_EQ(foods[0].vx, 0.0f);
    EXPECT_EQ(foods[0].vy, 0.0f);
    EXPECT_EQ(players[0].charge, 1.0f - 0.002f);  // the drain still applies
}

TEST_F(FoodTest, EdgesPushBackAndClampHoldsItInside) {
    foods = {Food(500, 0)};  // look-ahead 500 > 496
    Step();
    EXPECT_NEAR(foods[0].vx, -200 * 0.01 * friction, 1e-5);  // steering 16, scaled to length 1
    foods = {Food(509.9f, -381.9f)};
    foods[0].vx = 100;
    foods[0].vy = -100;
    Step();
    EXPECT_EQ(foods[0].x, 510.0f);
    EXPECT_EQ(foods[0].y, -382.0f);
    EXPECT_LE(std::hypot(foods[0].vx, foods[0].vy), 100.0001f);
    EXPECT_GT(std::hypot(foods[0].vx, foods[0].vy), 99.99f);
}

TEST_F(FoodTest, SpeedIsCappedAtAHundred) {
    foods = {Food(0, 0)};
    foods[0].vx = 300;
    foods[0].vy = 400;
    Step();
    EXPECT_NEAR(std::hypot(foods[0].vx, foods[0].vy), 100.0, 1e-4);
    EXPECT_NEAR(foods[0].vx / foods[0].vy, 0.75, 1e-6);
    EXPECT_NEAR(foods[0].x, 0.6, 1e-5);
}

}  // namespace
