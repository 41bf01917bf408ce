// The highscore page, its JSON twin and its stylesheet as the server in this
// process serves them: both roots, GET and HEAD, conditional requests that
// never reach the store, refusals and outages in the format asked for, and
// page reads that neither wait for a commit nor hold up view.php.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/server/score_server_fixture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A valid submission on level 0 without food: its score is 100 x munchets.
std::string Add(int munchets, std::string_view encodedName = "p") {
    return AddTarget("name=" + std::string(encodedName) + "&score=" + std::to_string(100 * munchets) +
                     "&level=0&munchets=" + std::to_string(munchets) + "&food=0");
}

std::string IfNoneMatch(const std::string& tags) { return "If-None-Match: " + tags + "\r\n"; }

// The reply to target once the server no longer calls tag current: the
// change stamp is read again every refresh period (1 s). Waits at most 5 s.
RawReply ReplyOnceStale(int port, const std::string& target, const std::string& tag) {
    RawReply reply;
    for (const auto until = Clock::now() + 5s; Clock::now() < until; std::this_thread::sleep_for(50ms)) {
        reply = RawGet(port, target, IfNoneMatch(tag));
        if (reply.status != 304) break;
    }
    return reply;
}

struct Served {
    const char* target;
    const char* type;
    const char* bodyPart;
};

// What reads the store, run on each.
struct WebServerOnEachStore : ScoreServerTest, testing::WithParamInterface<StoreKind> {};

MUNCHET_ON_BOTH_STORES(WebServerOnEachStore);

TEST_P(WebServerOnEachStore, ServesThePageItsJsonTwinAndStylesheetUnderBothRoots) {
    Start(Quick(), GetParam());
    ASSERT_EQ(RawGet(port, Add(3, "Tom%20%26%20Jerry")).status, 200);
    const Served cases[] = {
        {"/", "text/html; charset=utf-8", "<bdi>Tom &amp; Jerry</bdi>"},
        {"/hosted/vlkn/scores/pr/?page=1", "text/html; charset=utf-8", "<bdi>Tom &amp; Jerry</bdi>"},
        {"/api/scores", "application/json", R"("name":"Tom & Jerry")"},
        {"/hosted/vlkn/scores/pr/api/scores?name=Tom+%26+Jerry", "application/json", R"("total":1)"},
        {"/style.css", "text/css; charset=utf-8", "prefers-color-scheme"},
        {"/hosted/vlkn/scores/pr/style.css", "text/css; charset=utf-8", "prefers-color-scheme"},
    };
    for (const Served& c : cases) {
        const RawReply get = RawGet(port, c.target);
        EXPECT_EQ(get.status, 200) << c.target;
        EXPECT_EQ(HeaderValue(get, "Content-Type"), c.type) << c.target;
        EXPECT_NE(HeaderValue(get, "Content-Security-Policy").find("default-src 'none'"), std::string::npos);
        EXPECT_NE(HeaderValue(get, "Cache-Control").find("max-age="), std::string::npos);
        EXPECT_FALSE(HeaderValue(get, "ETag").empty()) << c.target;
        EXPECT_NE(get.body.find(c.bodyPart), std::string::npos) << c.target;
        // The same head without a body.
        const RawReply head = RawRequest("HEAD", port, c.target);
        EXPECT_EQ(head.status, 200) << c.target;
        EXPECT_EQ(HeaderValue(head, "ETag"), HeaderValue(get, "ETag"));
        EXPECT_EQ(HeaderValue(head, "Content-Length"), std::to_string(get.body.size())) << c.target;
        EXPECT_EQ(head.body, "");
    }
    EXPECT_EQ(db->RowCount(), 1);
}

TEST_P(WebServerOnEachStore, AnUnchangedViewCostsA304AndNoStoreRead) {
    Start(Quick(), GetParam());
    ASSERT_EQ(RawGet(port, Add(1)).status, 200);
    const RawReply first = RawGet(port, "/?name=p");
    const std::string tag = HeaderValue(first, "ETag");
    ASSERT_FALSE(tag.empty());
    const int reads = watched->PageReads();
    for (const std::string& header : {tag, "W/" + tag, "\"other\", " + tag}) {
        const RawReply again = RawGet(port, "/?name=p", IfNoneMatch(header));
        EXPECT_EQ(again.status, 304) << header;
        EXPECT_EQ(again.body, "");
        EXPECT_EQ(HeaderValue(again, "ETag"), tag);
        EXPECT_EQ(HeaderValue(again, "Cache-Control"), HeaderValue(first, "Cache-Control"));
    }
    EXPECT_EQ(watched->PageReads(), reads) << "a 304 never reads the store";
    // The tag names one view only.
    EXPECT_EQ(RawGet(port, "/?name=p&page=2", IfNoneMatch(tag)).status, 200);
    EXPECT_EQ(RawGet(port, "/api/scores?name=p", IfNoneMatch(tag)).status, 200);

    // A row stored through add.php changes the tag before add.php answers...
    ASSERT_EQ(RawGet(port, Add(2)).status, 200);
    const RawReply added = RawGet(port, "/?name=p", IfNoneMatch(tag));
    EXPECT_EQ(added.status, 200);
    const std::string addedTag = HeaderValue(added, "ETag");
    EXPECT_NE(addedTag, tag);
    // ...and one deleted by another program within the refresh period.
    ASSERT_EQ(db->Execute("DELETE FROM scores WHERE score = 200"), "");
    const RawReply deleted = ReplyOnceStale(port, "/?name=p", addedTag);
    EXPECT_EQ(deleted.status, 200);
    EXPECT_EQ(deleted.body.find(">200<"), std::string::npos);

    const std::string styleTag = HeaderValue(RawGet(port, "/style.css"), "ETag");
    EXPECT_EQ(RawGet(port, "/hosted/vlkn/scores/pr/style.css", IfNoneMatch(styleTag)).status, 304);
}

TEST_F(ScoreServerTest, RefusalsAndOutagesComeInTheFormatAskedForAndAreNeverCached) {
    Start(Quick());
    const RawReply badPage = RawGet(port, "/hosted/vlkn/scores/pr/?page=0");
    EXPECT_EQ(badPage.status, 400);
    EXPECT_EQ(HeaderValue(badPage, "Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(badPage.body.find("page must be a whole number"), std::string::npos);
    const RawReply badJson = RawGet(port, "/api/scores?name=a&name=b");
    EXPECT_EQ(badJson.status, 400);
    EXPECT_EQ(nlohmann::json::parse(badJson.body, nullptr, false)["error"], "name given twice");

    const std::string tag = HeaderValue(RawGet(port, "/"), "ETag");
    TestDatabase::Close(*store);  // the database is gone under the running server
    // Once the stamp cannot be read, no copy is called current any more.
    const RawReply down = ReplyOnceStale(port, "/", tag);
    EXPECT_EQ(down.status, 503);
    EXPECT_NE(down.body.find("cannot be read right now"), std::string::npos);
    const RawReply downJson = RawGet(port, "/api/scores");
    EXPECT_EQ(downJson.status, 503);
    EXPECT_TRUE(nlohmann::json::parse(downJson.body, nullptr, false)["error"].is_string()) << downJson.body;
    for (const RawReply& reply : {badPage, badJson, down, downJson}) {
        EXPECT_EQ(HeaderValue(reply, "Cache-Control"), "no-store");
        EXPECT_EQ(HeaderValue(reply, "ETag"), "");
    }
    // The table the game reads is still served from memory.
    EXPECT_EQ(RawGet(port, viewTarget).status, 200);
    const std::vector<std::string> log = LogWith("cannot read the scores");
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line == "cannot read the scores: database is closed";
    }));
}

TEST_F(ScoreServerTest, PagesAreServedWhileACommitWaitsForTheDatabase) {
    Start(Quick());
    ASSERT_EQ(RawGet(port, Add(1)).status, 200);
    // Another program holds the write lock, with a row not yet committed, so
    // the next commit waits for it.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db->Location().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(other,
                     "BEGIN IMMEDIATE; INSERT INTO scores (name, score, level, munchets, food, time, client)"
                     " VALUES ('pending', 900, 0, 9, 0, 0, 'admin')",
                     nullptr, nullptr, nullptr),
        SQLITE_OK);
    std::atomic<int> addStatus{0};
    std::thread adder([&] { addStatus = RawGet(port, Add(2)).status; });
    const RawReply page = RawGet(port, "/api/scores");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(nlohmann::json::parse(page.body, nullptr, false)["total"], 1) << "only what is committed";
    EXPECT_EQ(addStatus, 0) << "the page came while the submission still waited";
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    adder.join();
    EXPECT_EQ(addStatus, 200);
}

TEST_F(ScoreServerTest, PageReadsNeverHoldUpViewPhpAndTurnAwayWhatTheyCannotQueue) {
    ScoreServerConfig config = Quick();
    config.threads = 1;  // one thread serves every connection
    config.pageThreads = 1;
    config.maxQueuedPages = 1;
    Start(std::move(config));
    watched->Hold();
    std::atomic<int> finished{0};
    std::vector<int> statuses(4);
    std::vector<std::thread> readers;
    const auto read = [&](int i) {
        readers.emplace_back([&, i] {
            statuses[i] = RawGet(port, "/").status;
            ++finished;
        });
    };
    read(0);
    ASSERT_TRUE(watched->WaitForPageReads(1));
    // One more can wait for the page thread; the other two are turned away at once.
    for (int i = 1; i < 4; ++i) read(i);
    for (const auto until = Clock::now() + 10s; finished < 2 && Clock::now() < until;)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(RawGet(port, viewTarget).status, 200) << "view.php is served while a page read is held";
    watched->Release();
    for (std::thread& reader : readers) reader.join();
    std::sort(statuses.begin(), statuses.end());
    EXPECT_EQ(statuses, (std::vector<int>{200, 200, 503, 503}));
}

}  // namespace
