// A finished game's replay goes to the score server after its score, and
// waits beside the outbox when it could not be delivered.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "scores/outbox_file.h"
#include "scores/outbox_replays.h"
#include "scores/score_exchange_client.h"
#include "tests/scores/local_http_server.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

const std::string addPath = "/hosted/vlkn/scores/pr/add.php?";
const std::string replayPath = "/hosted/vlkn/scores/pr/replay.php?";
const std::string query = "name=ab%20c&score=1530&level=2&munchets=3&food=17";

const ScoreSubmission game{"ab c", 1530, 2, 3, 17};
const std::string replay("MUNCHREP\0\x01 replay bytes \xff", 25);

// Answers add.php, replay.php and the table as given.
std::function<HttpReply(const std::string&)> Server(HttpReply add, HttpReply replay) {
    return [add, replay](const std::string& line) {
        if (line.find(addPath) != std::string::npos) return add;
        if (line.find(replayPath) != std::string::npos) return replay;
        return HttpReply{200, "top;9\n"};
    };
}

// The requests as "METHOD path-start", in order: "GET add", "POST replay", "GET view".
std::vector<std::string> Sequence(const LocalHttpServer& server) {
    std::vector<std::string> sequence;
    for (const HttpRequest& r : server.requests()) {
        const std::string method = r.line.substr(0, r.line.find(' '));
        const char* what = r.line.find(addPath) != std::string::npos      ? "add"
                           : r.line.find(replayPath) != std::string::npos ? "replay"
                                                                          : "view";
        sequence.push_back(method + " " + what);
    }
    return sequence;
}

class ReplayUpload : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("no_proxy", "127.0.0.1", 1);
        folder =
            fs::temp_directory_path() / ("munchet-upload-" + std::to_string(getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // This game with its replay; or, sending nothing of this game, only
    // what waits.
    ScoreExchangeResult Exchange(const std::string& host, bool withGame = true) {
        ScoreExchangeClient client({host, milliseconds{3000}, folder.string(),
                                    [this](std::string_view line) { logged += std::string(line) + "\n"; }});
        return withGame ? client.Exchange(&game, replay) : client.Exchange(nullptr);
    }
    std::vector<std::string> ReplaysWaiting() const { return OutboxReplays(folder.string()).List(); }
    std::vector<OutboxEntry> EntriesWaiting() const {
        std::ifstream in(folder / "score-outbox.txt", std::ios::binary);
        return ParseOutbox(std::string(std::istreambuf_iterator<char>(in), {})).entries;
    }

    fs::path folder;
    std::string logged;
};

TEST_F(ReplayUpload, GoesAfterTheScoreAndBeforeTheTableAsThePostOfItsBytes) {
    LocalHttpServer server(Server({200, "ok\n"}, {200, "verified\n"}));
    const ScoreExchangeResult result = Exchange(server.host());
    EXPECT_EQ(result.fate, SubmissionFate::Stored);
    EXPECT_TRUE(result.tableReceived);
    EXPECT_EQ(Sequence(server), (std::vector<std::string>{"GET add", "POST replay", "GET view"}));
    const HttpRequest posted = server.requests().at(1);
    EXPECT_EQ(posted.line, "POST " + replayPath + query + " HTTP/1.1");
    EXPECT_EQ(posted.body, replay);
    EXPECT_NE(posted.head.find("Content-Type: application/octet-stream"), std::string::npos) << posted.head;
    EXPECT_TRUE(ReplaysWaiting().empty());
}

struct ReplayAnswer {
    const char* label;
    HttpReply reply;
    bool waits;  // kept to be sent on its own
    const char* logHas;
};

void PrintTo(const ReplayAnswer& a, std::ostream* os) { *os << a.label; }

class ReplayAnswered : public ReplayUpload, public ::testing::WithParamInterface<ReplayAnswer> {};

// The score is stored whatever becomes of its replay; a replay the server
// may still take waits and goes alone at the next exchange, the score is
// never sent twice.
TEST_P(ReplayAnswered, KeepsTheReplayOnlyWhenTheServerMayStillTakeIt) {
    const ReplayAnswer& a = GetParam();
    {
        LocalHttpServer server(Server({200, "ok\n"}, a.reply));
        EXPECT_EQ(Exchange(server.host()).fate, SubmissionFate::Stored);
        EXPECT_EQ(Sequence(server), (std::vector<std::string>{"GET add", "POST replay", "GET view"}));
    }
    EXPECT_EQ(ReplaysWaiting().size(), a.waits ? 1u : 0u);
    EXPECT_TRUE(EntriesWaiting().empty());
    EXPECT_NE(logged.find(a.logHas), std::string::npos) << logged;

    LocalHttpServer healthy(Server({200, "ok\n"}, {200, "attached\n"}));
    Exchange(healthy.host(), false);
    if (a.waits) {
        EXPECT_EQ(Sequence(healthy), (std::vector<std::string>{"POST replay", "GET view"}));
        EXPECT_EQ(healthy.requests().at(0).body, replay);
        EXPECT_EQ(healthy.requests().at(0).line, "POST " + replayPath + query + " HTTP/1.1");
    } else {
        EXPECT_EQ(Sequence(healthy), std::vector<std::string>{"GET view"});
    }
    EXPECT_TRUE(ReplaysWaiting().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ReplayAnswered,
    ::testing::Values(ReplayAnswer{"unknownPath", {404, "no\n"}, false, "takes no replays"},
                      ReplayAnswer{"invalid", {400, "frame 12: too long\n"}, false, "refused"},
                      ReplayAnswer{"tooLarge", {413, "big\n"}, false, "refused"},
                      ReplayAnswer{"tooMany", {429, "later\n"}, true, "kept replay"},
                      ReplayAnswer{"busy", {503, "busy\n"}, true, "kept replay"},
                      ReplayAnswer{"broken", {500, "oops\n"}, true, "kept replay"}),
    [](const auto& info) { return std::string(info.param.label); });

// The server cannot be reached: the score and its replay wait together,
// as an entry that names the replay's file; both go at the next exchange,
// the score first.
TEST_F(ReplayUpload, AScoreKeptKeepsItsReplayWithIt) {
    EXPECT_EQ(Exchange("127.0.0.1:" + std::to_string(UnusedLoopbackPort())).fate, SubmissionFate::Kept);
    const std::vector<OutboxEntry> entries = EntriesWaiting();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].version, OutboxReplayEntryVersion);
    EXPECT_EQ(ReplaysWaiting(), std::vector<std::string>{OutboxReplayOf(entries[0])});
    std::string error;
    const std::optional<OutboxReplay> kept = OutboxReplays(folder.string()).Load(ReplaysWaiting()[0], error);
    ASSERT_TRUE(kept) << error;
    EXPECT_EQ(kept->replay, replay);
    EXPECT_EQ(kept->submission.name, game.name);

    LocalHttpServer healthy(Server({200, "ok\n"}, {200, "verified\n"}));
    Exchange(healthy.host(), false);
    EXPECT_EQ(Sequence(healthy), (std::vector<std::string>{"GET add", "POST replay", "GET view"}));
    EXPECT_EQ(healthy.requests().at(1).body, replay);
    EXPECT_TRUE(EntriesWaiting().empty());
    EXPECT_TRUE(ReplaysWaiting().empty());
}

// No answer to the score in time: it may be stored, so it is not sent
// again; its replay still goes (the server makes no second row for it).
TEST_F(ReplayUpload, AnUncertainScoreStillSendsItsReplay) {
    LocalHttpServer server(Server(SilentReply(), {200, "attached\n"}));
    ScoreExchangeClient client({server.host(), milliseconds{1500}, folder.string(), {}});
    EXPECT_EQ(client.Exchange(&game, replay).fate, SubmissionFate::Uncertain);
    EXPECT_TRUE(EntriesWaiting().empty());
    // Sent now if the budget allowed, else kept to go alone.
    const bool sent = Sequence(server).size() >= 2 && Sequence(server)[1] == "POST replay";
    EXPECT_EQ(ReplaysWaiting().size(), sent ? 0u : 1u);
}

TEST_F(ReplayUpload, ADamagedWaitingReplayIsDroppedAndSaidSo) {
    fs::create_directories(folder / "score-outbox-replays");
    std::ofstream(folder / "score-outbox-replays" / "00000000001767225600-0123456789abcdef.replay")
        << "munchet outbox replay\nno;fields\n";
    LocalHttpServer server(Server({200, "ok\n"}, {200, "verified\n"}));
    Exchange(server.host(), false);
    EXPECT_EQ(Sequence(server), std::vector<std::string>{"GET view"});
    EXPECT_TRUE(ReplaysWaiting().empty());
    EXPECT_NE(logged.find("dropped replay 00000000001767225600-0123456789abcdef.replay"), std::string::npos)
        << logged;
}

TEST(OutboxReplayNames, OnlyThePatternIsEverOpenedOrRemoved) {
    EXPECT_TRUE(IsOutboxReplayName("00000000001767225600-0123456789abcdef.replay"));
    for (const char* name :
         {"", "../00000000001767225600-0123456789abcdef.replay",
          "0000000000176722560-0123456789abcdef.replay", "00000000001767225600-0123456789ABCDEF.replay",
          "00000000001767225600-0123456789abcdef.replay.tmp", "x.replay"})
        EXPECT_FALSE(IsOutboxReplayName(name)) << name;
}

}  // namespace
