// replay.php on the real munchet-scores: games recorded headless turn into
// verified rows, once each, whose replays download byte for byte; tampered
// games are refused with a reason; the bounds answer 413 and 503.
#include <gtest/gtest.h>

#include <future>
#include <map>
#include <tuple>

#include "tests/replay/replay_support.h"
#include "tests/server/test_database.h"

namespace {

constexpr std::string_view replayTarget = "/hosted/vlkn/scores/pr/replay.php";

// Recorded once per game for the whole test program: recording is the slow part.
const Replay& Game(int seed, int playFrames = 3000, Start start = Start::AtStartUp) {
    static std::map<std::tuple<int, int, Start>, Replay> games;
    const std::tuple key{seed, playFrames, start};
    auto found = games.find(key);
    if (found == games.end())
        found = games.emplace(key, Record({"game", seed, start, false, playFrames}).replay).first;
    return found->second;
}

std::string QueryOf(const ReplaySummary& s) {
    return FormatSubmissionQuery(
        {s.name, s.counters.score, s.counters.level, s.counters.munchets, s.counters.food});
}

RawReply Post(int port, const std::string& query, std::string_view body,
              std::optional<std::string> lengthHeader = std::nullopt) {
    return RawPost(port, std::string(replayTarget) + "?" + query, body, std::move(lengthHeader));
}

// A real server process on a new database of one kind.
class ReplayServer {
public:
    explicit ReplayServer(StoreKind kind) : db(kind) {}

    TestDatabase db;
    std::string portFile = db.dir.File("port");
    std::string log = db.dir.File("stderr.log");
    std::unique_ptr<ServerProcess> server;

    void StartServer(std::vector<std::string> extra = {}) {
        ASSERT_EQ(db.Problem(), "");
        std::vector<std::string> args = {"--listen",    "127.0.0.1:0", "--db",         db.Location(),
                                         "--port-file", portFile,      "--rate-limit", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        server = std::make_unique<ServerProcess>(MUNCHET_SCORES_BINARY, args, log);
        ASSERT_TRUE(server->WaitForPort(portFile)) << ReadFile(log);
    }
    int Port() const { return server->port; }

    // Every row as "name score verified replay-id-or-empty".
    SqlRows Rows() {
        return db.Query(
            "SELECT s.name, s.score, CASE WHEN s.verified THEN 1 ELSE 0 END, coalesce(CAST(r.id AS TEXT), '')"
            " FROM scores s LEFT JOIN replays r ON r.score_id = s.id ORDER BY s.id");
    }
};

struct ReplayServerTest : ReplayServer, testing::TestWithParam<StoreKind> {
    ReplayServerTest() : ReplayServer(GetParam()) {}
};

MUNCHET_ON_BOTH_STORES(ReplayServerTest);

// Refusals and bounds never reach the store: SQLite serves for both.
struct ReplayRefusalTest : ReplayServer, testing::Test {
    ReplayRefusalTest() : ReplayServer(StoreKind::sqlite) {}
};

TEST_P(ReplayServerTest, AGameMakesOneVerifiedRowWhoseReplayDownloadsByteForByte) {
    StartServer({"--require-replay"});
    const std::string bytes = WriteReplay(Game(4242));
    const std::string query = QueryOf(Game(4242).summary);
    ASSERT_EQ(RawGet(Port(), AddTarget(query)).status, 200);
    EXPECT_EQ(RawGet(Port(), viewTarget).body, "") << "an unverified row is hidden";

    for (int send = 0; send < 2; ++send) {  // the outbox may send it again
        const RawReply reply = Post(Port(), query, bytes);
        EXPECT_EQ(reply.status, 200) << reply.body;
        EXPECT_EQ(reply.body, "VERIFIED\n");
    }
    const SqlRows rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][2], "1");
    EXPECT_EQ(RawGet(Port(), viewTarget).body,
              "Tester;" + std::to_string(Game(4242).summary.counters.score) + "\n");

    const RawReply download = RawGet(Port(), std::string(replayTarget) + "?id=" + rows[0][3]);
    EXPECT_EQ(download.status, 200);
    EXPECT_TRUE(download.body == bytes) << "the download differs from what was sent";
    EXPECT_EQ(HeaderValue(download, "Content-Type"), "application/octet-stream");
    EXPECT_EQ(HeaderValue(download, "Content-Disposition").rfind("attachment", 0), 0u);
    EXPECT_EQ(RawGet(Port(), std::string(replayTarget) + "?id=999999").status, 404);
    EXPECT_EQ(RawGet(Port(), std::string(replayTarget) + "?id=-1").status, 400);

    // Its add.php lost: the replay alone makes the row.
    const RawReply alone = Post(Port(), QueryOf(Game(77).summary), WriteReplay(Game(77)));
    EXPECT_EQ(alone.body, "VERIFIED\n");
    // Munchets carried over from the game before are in no replay: stored, not proven.
    const Replay& carried = Game(9, 3000, Start::WithCarried);
    ASSERT_GT(carried.summary.counters.score, 0);
    EXPECT_EQ(Post(Port(), QueryOf(carried.summary), WriteReplay(carried)).body, "ATTACHED\n");
    EXPECT_EQ(Rows().size(), 3u);
    EXPECT_EQ(Rows().back()[2], "0");
}

struct Tampering {
    const char* name;
    std::function<void(Replay&)> change;
    const char* reason;
};

TEST_F(ReplayRefusalTest, RefusesTamperedGamesWithAReasonAndLeavesTheRowUnverified) {
    const Replay& game = Game(4242);
    const Replay& another = Game(77);
    const std::vector<Tampering> tamperings = {
        {"a key held",
         [](Replay& r) {
             for (int i = 30; i < 130; ++i)
                 r.frames[i] = ToReplayFrame(ToFrameInput(r.frames[i]).Hold(Key::Left));
         },
         "replay refused: "},
        {"frame times changed",
         [](Replay& r) {
             for (ReplayFrame& f : r.frames) f.frameTime *= 1.25f;
         },
         "replay refused: "},
        {"a frame cut", [](Replay& r) { r.frames.pop_back(); }, "not over after its last frame"},
        {"another game", [&](Replay& r) { r = another, r.summary.counters = game.summary.counters; },
         "it claims"},
        {"other counters than the query", [](Replay& r) { r.summary.counters.food += 1; }, "the query"},
        {"another name", [](Replay& r) { r.summary.name = "Eve"; }, "under the name \"Eve\""},
    };
    StartServer();
    const std::string query = QueryOf(game.summary);
    ASSERT_EQ(RawGet(Port(), AddTarget(query)).status, 200);
    for (const Tampering& t : tamperings) {
        Replay tampered = game;
        t.change(tampered);
        const RawReply reply = Post(Port(), query, WriteReplay(tampered));
        EXPECT_EQ(reply.status, 400) << t.name;
        EXPECT_NE(reply.body.find(t.reason), std::string::npos) << t.name << ": " << reply.body;
    }
    EXPECT_EQ(Post(Port(), query, WriteReplay(game).substr(0, 100)).body.rfind("unreadable replay", 0), 0u);
    EXPECT_EQ(Rows(), (SqlRows{{"Tester", std::to_string(game.summary.counters.score), "0", ""}}));
}

TEST_F(ReplayRefusalTest, BoundsAnswerAtOnce) {
    // A long game keeps the one verifier busy while the others arrive.
    const Replay& game = Game(4242, 30000);
    const std::string bytes = WriteReplay(game);
    ASSERT_LE(bytes.size(), 4096u);
    StartServer({"--verify-queue", "1", "--max-replay-bytes", "4096"});
    const std::string query = QueryOf(game.summary);
    EXPECT_EQ(Post(Port(), query, "", "Content-Length: 4097\r\n").status, 413);
    EXPECT_EQ(Post(Port(), query, "", "Transfer-Encoding: chunked\r\n").status, 411);

    std::vector<std::future<RawReply>> sent;
    for (int i = 0; i < 6; ++i)
        sent.push_back(std::async(std::launch::async, [&] { return Post(Port(), query, bytes); }));
    std::map<std::string, int> answers;
    for (auto& reply : sent) ++answers[reply.get().body];
    EXPECT_GE(answers["VERIFIED\n"], 1);
    EXPECT_GE(answers["replay verifier busy, try again later\n"], 1);
    EXPECT_EQ(answers["VERIFIED\n"] + answers["replay verifier busy, try again later\n"], 6);
    EXPECT_EQ(Rows().size(), 1u);
}

}  // namespace
