#include "server/score_service.h"

#include <gtest/gtest.h>

#include "tests/server/server_test_support.h"

namespace {

constexpr std::string_view goodQuery = "name=ab%20c&score=30249&level=2&munchets=3&food=17";

struct ScoreServiceTest : testing::Test {
    ScratchDir dir;
    ScoreStore store;
    RateLimiter limiter{3};
    ScoreService service{store, limiter};
    RateLimiter::Clock::time_point now = RateLimiter::Clock::time_point{} + std::chrono::hours(1000);

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(store.Open(dir.File("scores.db"), error)) << error;
    }

    ScoreReply Get(std::string_view target, std::string_view client = "192.0.2.1") {
        return service.Handle(target, client, now, 1700000000);
    }
};

TEST_F(ScoreServiceTest, StoresAValidSubmissionAndServesIt) {
    const ScoreReply added = Get(AddTarget(goodQuery));
    EXPECT_EQ(added.status, 200);
    EXPECT_EQ(added.body, "OK\n");
    const ScoreReply view = Get(viewTarget);
    EXPECT_EQ(view.status, 200);
    EXPECT_EQ(view.body, "ab c;30249\n");
    // A query on the table request changes nothing.
    EXPECT_EQ(Get(std::string(viewTarget) + "?page=2").body, "ab c;30249\n");
}

TEST_F(ScoreServiceTest, AnswersOnlyTheTwoExactPaths) {
    for (const std::string_view target :
         {"/", "/hosted/vlkn/scores/pr/", "/hosted/vlkn/scores/pr/add.php/",
          "/hosted/vlkn/scores/pr/add%2Ephp", "/HOSTED/vlkn/scores/pr/view.php",
          "/hosted/vlkn/scores/pr/view.php/x", "//hosted/vlkn/scores/pr/view.php",
          "http://example.org/hosted/vlkn/scores/pr/view.php", "*", ""}) {
        const ScoreReply reply = Get(std::string(target) + "?" + std::string(goodQuery));
        EXPECT_EQ(reply.status, 404) << target;
        EXPECT_EQ(reply.body, "not found\n");
    }
    EXPECT_EQ(store.RowCount(), 0);
}

TEST_F(ScoreServiceTest, RefusesBadSubmissionsWithTheirReasonAndStoresNothing) {
    const ScoreReply noQuery = Get(addPath);
    EXPECT_EQ(noQuery.status, 400);
    EXPECT_EQ(noQuery.body, "missing query\n");
    const ScoreReply broken = Get(AddTarget("name=a%3B&score=30249&level=2&munchets=3&food=17"));
    EXPECT_EQ(broken.status, 400);
    EXPECT_EQ(broken.body, "name holds a character that is not allowed\n");
    const ScoreReply offByOne = Get(AddTarget("name=a&score=30250&level=2&munchets=3&food=17"));
    EXPECT_EQ(offByOne.status, 400);
    EXPECT_EQ(store.RowCount(), 0);
    EXPECT_EQ(Get(viewTarget).body, "");
}

TEST_F(ScoreServiceTest, LimitsSubmissionsPerClientButNeverTheTable) {
    // Refused attempts count too.
    EXPECT_EQ(Get(AddTarget("name=a&score=1")).status, 400);
    EXPECT_EQ(Get(AddTarget(goodQuery)).status, 200);
    EXPECT_EQ(Get(AddTarget(goodQuery)).status, 200);
    const ScoreReply limited = Get(AddTarget(goodQuery));
    EXPECT_EQ(limited.status, 429);
    EXPECT_FALSE(limited.body.empty());
    EXPECT_EQ(Get(AddTarget(goodQuery), "192.0.2.2").status, 200);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Get(viewTarget).status, 200);
    EXPECT_EQ(store.RowCount(), 3);
    now += std::chrono::seconds(20);  // one new allowance per 20 s at 3 a minute
    EXPECT_EQ(Get(AddTarget(goodQuery)).status, 200);
}

TEST_F(ScoreServiceTest, ReportsAStorageFailureAsAnError) {
    store.Close();
    const ScoreReply added = Get(AddTarget(goodQuery));
    EXPECT_EQ(added.status, 500);
    EXPECT_FALSE(added.logNote.empty());
    EXPECT_EQ(Get(viewTarget).status, 500);
}

}  // namespace
