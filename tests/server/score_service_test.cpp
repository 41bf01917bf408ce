#include "server/http/score_service.h"

#include <gtest/gtest.h>

#include "tests/server/server_test_support.h"

namespace {

constexpr std::string_view goodQuery = "name=ab%20c&score=30249&level=2&munchets=3&food=17";

struct ScoreServiceTest : testing::Test {
    RateLimiter limiter{3};
    ScoreService service{limiter, 1000};
    RateLimiter::Clock::time_point now = RateLimiter::Clock::time_point{} + std::chrono::hours(1000);

    ScoreDecision Get(std::string_view target, std::string_view client = "192.0.2.1") {
        return service.Handle({"GET", "HTTP/1.1", target, true, 100}, client, now, 1700000000);
    }
};

TEST_F(ScoreServiceTest, StoresAValidSubmissionAndServesTheTable) {
    const ScoreDecision added = Get(AddTarget(goodQuery), "203.0.113.9");
    ASSERT_EQ(added.kind, ScoreDecision::Kind::store);
    EXPECT_EQ(added.row.submission, (Submission{"ab c", 30249, 2, 3, 17}));
    EXPECT_EQ(added.row.unixTime, 1700000000);
    EXPECT_EQ(added.row.client, "203.0.113.9");
    EXPECT_EQ(StoredReply(true).status, 200);
    EXPECT_EQ(StoredReply(true).body, "OK\n");
    EXPECT_EQ(StoredReply(false).status, 503);

    EXPECT_EQ(Get(viewTarget).kind, ScoreDecision::Kind::table);
    // A query on the table request changes nothing.
    EXPECT_EQ(Get(std::string(viewTarget) + "?page=2").kind, ScoreDecision::Kind::table);
}

// A request refused before it reaches the paths, with the answer it gets.
struct Refused {
    RequestFacts request;
    int status;
    std::string_view body;
    bool close;
};

TEST_F(ScoreServiceTest, HoldsRequestsToTheRulesOfHttpFirst) {
    const std::string add = AddTarget(goodQuery);
    const Refused cases[] = {
        {{"GET", "HTTP/1.1", add, true, 1001}, 431, "request too large\n", true},
        {{"GET", "HTTP/1.1", add, false, 100}, 400, "missing Host header\n", true},
        {{"GET", "HTTP/1.2", add, false, 100}, 400, "missing Host header\n", true},
        {{"POST", "HTTP/1.1", add, true, 100}, 404, "not found\n", false},
        {{"HEAD", "HTTP/1.1", viewTarget, true, 100}, 404, "not found\n", false},
        {{"get", "HTTP/1.1", viewTarget, true, 100}, 404, "not found\n", false},
    };
    for (const Refused& c : cases) {
        const ScoreDecision decision = service.Handle(c.request, "192.0.2.1", now, 0);
        EXPECT_EQ(decision.kind, ScoreDecision::Kind::reply) << c.body;
        EXPECT_EQ(decision.reply.status, c.status) << c.body;
        EXPECT_EQ(decision.reply.body, c.body);
        EXPECT_EQ(decision.reply.close, c.close) << c.body;
    }
    // HTTP/1.0 has no Host header to require; the largest request allowed passes.
    EXPECT_EQ(service.Handle({"GET", "HTTP/1.0", add, false, 1000}, "192.0.2.1", now, 0).kind,
              ScoreDecision::Kind::store);
}

TEST_F(ScoreServiceTest, AnswersOnlyTheExactPaths) {
    for (const std::string_view target :
         {"/hosted/vlkn/scores/pr/add.php/", "/hosted/vlkn/scores/pr/add%2Ephp",
          "/HOSTED/vlkn/scores/pr/view.php", "/hosted/vlkn/scores/pr/view.php/x",
          "//hosted/vlkn/scores/pr/view.php", "http://example.org/hosted/vlkn/scores/pr/view.php", "*", "",
          "/index.html", "/hosted/vlkn/scores/pr", "/hosted/vlkn/scores/prstyle.css",
          "/hosted/vlkn/scores/pr/hosted/vlkn/scores/pr/",
          "/hosted/vlkn/scores/pr/hosted/vlkn/scores/pr/view.php", "//", "/api/scores/", "/api/Scores",
          "/api/style.css", "/style.css/", "/hosted/vlkn/scores/style.css"}) {
        const ScoreDecision decision = Get(std::string(target) + "?" + std::string(goodQuery));
        EXPECT_EQ(decision.reply.status, 404) << target;
        EXPECT_EQ(decision.reply.body, "not found\n");
    }
}

// Every route under both roots is served end to end in web_server_test.cpp;
// here, what the query and the method do to the decision.
TEST_F(ScoreServiceTest, ParsesThePageQueryOnceAndStoresNothingOnHead) {
    const ScoreDecision searched = Get("/hosted/vlkn/scores/pr/api/scores?name=a%26b&page=3&utm_source=x");
    ASSERT_EQ(searched.kind, ScoreDecision::Kind::web);
    EXPECT_EQ(searched.web.content, WebContent::json);
    EXPECT_EQ(searched.web.query, (PageQuery{3, "a&b"}));
    EXPECT_EQ(Get("/?page=0").web.error, "page must be a whole number from 1 to 1000000");
    // One stylesheet, whatever a link appended.
    EXPECT_TRUE(Get("/style.css?page=0").web.error.empty());
    // HEAD stores nothing and never counts against the limit.
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(service.Handle({"HEAD", "HTTP/1.1", AddTarget(goodQuery), true, 100}, "192.0.2.1", now, 0)
                      .reply.status,
                  404);
    }
    EXPECT_EQ(Get(AddTarget(goodQuery)).kind, ScoreDecision::Kind::store);
}

TEST_F(ScoreServiceTest, TakesReplaysByPostAndServesThemById) {
    const std::string replay = "/hosted/vlkn/scores/pr/replay.php";
    const auto post = [&](const std::string& target) {
        return service.Handle({"POST", "HTTP/1.1", target, true, 100}, "192.0.2.7", now, 1700000000);
    };
    const ScoreDecision upload = post(replay + "?" + std::string(goodQuery));
    ASSERT_EQ(upload.kind, ScoreDecision::Kind::replay);
    EXPECT_EQ(upload.row.submission, (Submission{"ab c", 30249, 2, 3, 17}));
    EXPECT_EQ(upload.row.client, "192.0.2.7");
    EXPECT_EQ(post(replay + "?name=a&score=1&level=0&munchets=0&food=0").reply.status, 400);
    // Replays count against the submissions' limit (three a minute here).
    EXPECT_EQ(post(replay + "?" + std::string(goodQuery)).kind, ScoreDecision::Kind::replay);
    EXPECT_EQ(post(replay + "?" + std::string(goodQuery)).reply.status, 429);

    EXPECT_EQ(Get(replay + "?id=12").replayId, 12);
    EXPECT_EQ(Get(replay + "?id=123456789012345678").kind, ScoreDecision::Kind::download);
    for (const char* bad : {"", "?id=", "?id=0", "?id=-1", "?id=+1", "?id=1x", "?x=1", "?id=1&id=2",
                            "?id=1234567890123456789"}) {
        const ScoreDecision refused = Get(replay + bad);
        EXPECT_EQ(refused.reply.status, 400) << bad;
        EXPECT_EQ(refused.reply.body, "bad replay id\n");
    }
}

TEST_F(ScoreServiceTest, RefusesBadSubmissionsWithTheirReason) {
    const ScoreDecision noQuery = Get(addPath);
    EXPECT_EQ(noQuery.reply.status, 400);
    EXPECT_EQ(noQuery.reply.body, "missing query\n");
    const ScoreDecision offByOne = Get(AddTarget("name=a&score=30250&level=2&munchets=3&food=17"));
    EXPECT_EQ(offByOne.reply.status, 400);
    EXPECT_EQ(offByOne.reply.body, "score does not match level, munchets and food\n");
    EXPECT_FALSE(offByOne.reply.close);
}

TEST_F(ScoreServiceTest, LimitsSubmissionsPerClientButNeverTheTable) {
    // Refused attempts count too.
    EXPECT_EQ(Get(AddTarget("name=a&score=1")).reply.status, 400);
    EXPECT_EQ(Get(AddTarget(goodQuery)).kind, ScoreDecision::Kind::store);
    EXPECT_EQ(Get(AddTarget(goodQuery)).kind, ScoreDecision::Kind::store);
    const ScoreDecision limited = Get(AddTarget(goodQuery));
    EXPECT_EQ(limited.reply.status, 429);
    EXPECT_FALSE(limited.reply.body.empty());
    EXPECT_EQ(Get(AddTarget(goodQuery), "192.0.2.2").kind, ScoreDecision::Kind::store);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Get(viewTarget).kind, ScoreDecision::Kind::table);
    now += std::chrono::seconds(20);  // one new allowance per 20 s at 3 a minute
    EXPECT_EQ(Get(AddTarget(goodQuery)).kind, ScoreDecision::Kind::store);
}

TEST_F(ScoreServiceTest, DealsTicketsAndTakesOnlyTheStartsOfGenuineFreshOnes) {
    RateLimiter ticketLimiter{0};
    TicketMint mint(TicketKey{7});
    service.ticketLimiter = &ticketLimiter;
    service.mint = &mint;
    const ScoreDecision dealt = Get("/hosted/vlkn/scores/pr/ticket.php");
    ASSERT_EQ(dealt.reply.status, 200);
    const std::optional<GameTicket> t = ParseTicket(dealt.reply.body);
    ASSERT_TRUE(t);
    EXPECT_EQ(mint.Check(*t, 1700000000), TicketFault::none);

    const std::string id = std::to_string(t->id), mac = KeyToHex(t->mac);
    const ScoreDecision started = Get(std::string(startPath) + "?ticket=" + id + "&mac=" + mac);
    ASSERT_EQ(started.kind, ScoreDecision::Kind::start);
    EXPECT_EQ(started.ticketId, t->id);

    std::string forged = mac;
    forged[0] = forged[0] == '0' ? '1' : '0';
    const std::pair<std::string, int> refusals[] = {
        {"", 400},
        {"ticket=" + id, 400},
        {"ticket=" + id + "&mac=" + mac.substr(1), 400},
        {"ticket=" + id + "&mac=" + mac + "0", 400},
        {"ticket=+" + id + "&mac=" + mac, 400},
        {"mac=" + mac + "&ticket=" + id, 400},
        {"ticket=99999999999999999999999&mac=" + mac, 400},
        {"ticket=" + id + "&mac=" + forged, 403},
        {"ticket=" + std::to_string(t->id + 1) + "&mac=" + mac, 403},
    };
    for (const auto& [query, status] : refusals)
        EXPECT_EQ(Get(std::string(startPath) + "?" + query).reply.status, status) << query;
    const ScoreDecision late = service.Handle(
        {"GET", "HTTP/1.1", std::string(startPath) + "?ticket=" + id + "&mac=" + mac, true, 100}, "192.0.2.1",
        now, 1700000000 + ticketLifetimeSeconds + 1);
    EXPECT_EQ(late.reply.status, 410);

    RateLimiter two{2};
    service.ticketLimiter = &two;
    EXPECT_EQ(Get("/hosted/vlkn/scores/pr/ticket.php").reply.status, 200);
    EXPECT_EQ(Get(std::string(startPath) + "?ticket=" + id + "&mac=" + mac).kind, ScoreDecision::Kind::start);
    EXPECT_EQ(Get("/hosted/vlkn/scores/pr/ticket.php").reply.status, 429);
}

}  // namespace
