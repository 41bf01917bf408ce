// replay.php on the real munchet-scores: games recorded headless turn into
// verified rows, once each, whose replays download byte for byte; tampered
// games are refused with a reason; the bounds answer 413 and 503.
#include <gtest/gtest.h>

#include <future>
#include <map>
#include <tuple>

#include "server/store/ticket_mint.h"
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

std::int64_t GameMs(const Replay& replay) {
    double seconds = 0;
    for (const ReplayFrame& frame : replay.frames) seconds += frame.frameTime;
    return static_cast<std::int64_t>(seconds * 1000);
}

std::string StartTarget(const GameTicket& t) {
    return "/hosted/vlkn/scores/pr/start.php?ticket=" + std::to_string(t.id) + "&mac=" + KeyToHex(t.mac);
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

    GameTicket Ticket() {
        const RawReply reply = RawGet(Port(), "/hosted/vlkn/scores/pr/ticket.php");
        EXPECT_EQ(reply.status, 200) << reply.body;
        return ParseTicket(reply.body).value_or(GameTicket{});
    }

    // start.php for the ticket's game, which as far as the store knows was
    // then heard agoMs before now: the game has been under way that long.
    void Begin(const GameTicket& t, std::int64_t agoMs) {
        EXPECT_EQ(RawGet(Port(), StartTarget(t)).body, "OK\n");
        EXPECT_EQ(db.Execute("UPDATE tickets SET started_at = started_at - " + std::to_string(agoMs) +
                             " WHERE id = " + std::to_string(t.id)),
                  "");
    }

    // A game played on the first of the tickets next gives whose game
    // scores (no score, no submission), not begun: see Begin.
    static Replay OnTicket(const std::function<GameTicket()>& next, Script script) {
        for (int tries = 1;; ++tries) {
            const GameTicket t = next();
            script.random = t.random;
            Replay replay = Record(script).replay;
            replay.summary.ticket = t;
            if (replay.summary.counters.score > 0 || tries == 10) return replay;
        }
    }
    Replay OnNewTicket(Script script) {
        return OnTicket([this] { return Ticket(); }, script);
    }

    // A game on a new ticket, begun as long ago as its frames say, times slowdown.
    Replay Ticketed(Script script, double slowdown = 1.0) {
        Replay replay = OnNewTicket(script);
        Begin(replay.summary.ticket,
              static_cast<std::int64_t>(static_cast<double>(GameMs(replay)) * slowdown));
        return replay;
    }

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
    const Replay game = Ticketed({"game", 4242, Start::AtStartUp});
    const std::string bytes = WriteReplay(game);
    const std::string query = QueryOf(game.summary);
    ASSERT_EQ(RawGet(Port(), AddTarget(query)).status, 200);
    EXPECT_EQ(RawGet(Port(), viewTarget).body, "") << "an unverified row is hidden";

    EXPECT_EQ(Post(Port(), query, bytes).body, "VERIFIED\n");
    // Sent again, it is the same ticket: refused, nothing changes.
    EXPECT_EQ(Post(Port(), query, bytes).status, 409);
    const SqlRows rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][2], "1");
    EXPECT_EQ(RawGet(Port(), viewTarget).body,
              "Tester;" + std::to_string(game.summary.counters.score) + "\n");

    const RawReply download = RawGet(Port(), std::string(replayTarget) + "?id=" + rows[0][3]);
    EXPECT_EQ(download.status, 200);
    EXPECT_TRUE(download.body == bytes) << "the download differs from what was sent";
    EXPECT_EQ(HeaderValue(download, "Content-Type"), "application/octet-stream");
    EXPECT_EQ(HeaderValue(download, "Content-Disposition").rfind("attachment", 0), 0u);
    EXPECT_EQ(RawGet(Port(), std::string(replayTarget) + "?id=999999").status, 404);
    EXPECT_EQ(RawGet(Port(), std::string(replayTarget) + "?id=-1").status, 400);

    // Its add.php lost: the replay alone makes the row.
    const Replay alone = Ticketed({"game", 77, Start::AtStartUp});
    EXPECT_EQ(Post(Port(), QueryOf(alone.summary), WriteReplay(alone)).body, "VERIFIED\n");
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
    StartServer();
    const Replay game = OnNewTicket({"game", 4242, Start::AtStartUp});
    // Begun long enough ago for the slower frames below to fit the clock.
    Begin(game.summary.ticket, GameMs(game) * 5 / 4);
    const Replay& another = Game(77);
    const std::vector<Tampering> tamperings = {
        {"a key held",
         [](Replay& r) {
             // Both ways, as the player may stand at either wall; over most
             // of the game, as a short walk can meet nothing and leave the
             // game exactly as it was.
             const std::size_t third = r.frames.size() / 3;
             for (std::size_t i = 30; i < 2 * third; ++i)
                 r.frames[i] =
                     ToReplayFrame(ToFrameInput(r.frames[i]).Hold(i < third ? Key::Left : Key::Right));
         },
         "replay refused: "},
        {"frame times changed",
         [](Replay& r) {
             for (ReplayFrame& f : r.frames) f.frameTime *= 1.25f;
         },
         "replay refused: "},
        {"a frame cut", [](Replay& r) { r.frames.pop_back(); }, "not over after its last frame"},
        {"another game's keys",
         [&](Replay& r) {
             for (std::size_t i = 0; i < r.frames.size() && i < another.frames.size(); ++i) {
                 r.frames[i].held = another.frames[i].held;
                 r.frames[i].pressedKey = another.frames[i].pressedKey;
             }
         },
         "replay refused: "},
        {"other counters than the query", [](Replay& r) { r.summary.counters.food += 1; }, "the query"},
        {"another name", [](Replay& r) { r.summary.name = "Eve"; }, "under the name \"Eve\""},
    };
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
    StartServer({"--verify-queue", "1", "--verify-threads", "1", "--max-replay-bytes", "8192",
                 "--verify-cpu-ms", VerifierCpuMs(10000)});
    const Replay game = Ticketed({"game", 4242, Start::AtStartUp, false, 30000});
    const std::string bytes = WriteReplay(game);
    ASSERT_LE(bytes.size(), 8192u);
    const std::string query = QueryOf(game.summary);
    EXPECT_EQ(Post(Port(), query, "", "Content-Length: 8193\r\n").status, 413);
    EXPECT_EQ(Post(Port(), query, "", "Transfer-Encoding: chunked\r\n").status, 411);

    std::vector<std::future<RawReply>> sent;
    for (int i = 0; i < 6; ++i)
        sent.push_back(std::async(std::launch::async, [&] { return Post(Port(), query, bytes); }));
    std::map<std::string, int> answers;
    for (auto& reply : sent) ++answers[reply.get().body];
    // The copies that passed the checks before the first was stored are
    // verified as the same game; any after it find its ticket used.
    const int used = answers["replay refused: its ticket already proved a row\n"];
    EXPECT_GE(answers["VERIFIED\n"], 1);
    EXPECT_GE(answers["replay verifier busy, try again later\n"], 1);
    EXPECT_EQ(answers["VERIFIED\n"] + answers["replay verifier busy, try again later\n"] + used, 6)
        << testing::PrintToString(answers);
    EXPECT_EQ(Rows().size(), 1u);
}

// Frames of 2 ms near the start paid back with 18 ms ones: the game as a
// whole keeps the pace, its first seconds do not.
float MixedPace(int frame) { return frame < 200 ? 0.002f : 0.018f; }

// What a cheater sends, what the server must answer, and the rows that may
// be left (the honest game's, when the attack starts from one).
struct Attack {
    const char* name;
    std::function<RawReply(ReplayServer&)> send;
    int status;
    const char* answer;        // the reply's first words
    SqlRows verifiedAndCount;  // verified rows, rows and replays left
    const char* logged = "";   // why the server kept it unverified, when it did
};
void PrintTo(const Attack& attack, std::ostream* os) { *os << attack.name; }

struct ReplayAttackTest : ReplayServer, testing::TestWithParam<Attack> {
    ReplayAttackTest() : ReplayServer(StoreKind::sqlite) {}
};

constexpr Script shortGame{"attack", 31, Start::AtStartUp, false, 1500};

// An honest game, verified; the attack then sends it changed.
RawReply SendChangedAfterItsOwn(ReplayServer& s, const std::function<void(Replay&)>& change) {
    Replay game = s.Ticketed(shortGame);
    EXPECT_EQ(Post(s.Port(), QueryOf(game.summary), WriteReplay(game)).body, "VERIFIED\n");
    change(game);
    return Post(s.Port(), QueryOf(game.summary), WriteReplay(game));
}

RawReply SendAsPlayed(ReplayServer& s, const Replay& game) {
    return Post(s.Port(), QueryOf(game.summary), WriteReplay(game));
}

TEST_P(ReplayAttackTest, YieldsNoVerifiedRowAndNoSecondRow) {
    StartServer();
    const Attack& attack = GetParam();
    const RawReply reply = attack.send(*this);
    EXPECT_EQ(reply.status, attack.status) << reply.body;
    EXPECT_EQ(reply.body.rfind(attack.answer, 0), 0u) << reply.body;
    EXPECT_EQ(
        db.Query("SELECT coalesce(sum(verified), 0), count(*), (SELECT count(*) FROM replays) FROM scores"),
        attack.verifiedAndCount);
    EXPECT_NE(ReadFile(log).find(attack.logged), std::string::npos) << ReadFile(log);
}

// Verified rows, rows, replays.
const SqlRows noRow{{"0", "0", "0"}}, oneUnverifiedRow{{"0", "1", "1"}}, theHonestRow{{"1", "1", "1"}};

INSTANTIATE_TEST_SUITE_P(
    , ReplayAttackTest,
    testing::Values(
        Attack{"renamed",
               [](ReplayServer& s) {
                   return SendChangedAfterItsOwn(s, [](Replay& r) { r.summary.name = "Thief"; });
               },
               409, "replay refused: its ticket already proved a row", theHonestRow},
        Attack{"retimestamped",
               [](ReplayServer& s) {
                   return SendChangedAfterItsOwn(s, [](Replay& r) { r.summary.recordedAt += 3600; });
               },
               409, "replay refused: its ticket already proved a row", theHonestRow},
        Attack{"chosenStateUnderARealTicket",
               [](ReplayServer& s) {
                   Replay game = Record(shortGame).replay;  // the client's own state
                   game.summary.ticket = s.Ticket();
                   s.Begin(game.summary.ticket, GameMs(game));
                   return SendAsPlayed(s, game);
               },
               403, "replay refused: the ticket is not one this server issued", noRow},
        Attack{"chosenStateWithoutATicket",
               [](ReplayServer& s) { return SendAsPlayed(s, Record(shortGame).replay); }, 200, "ATTACHED",
               oneUnverifiedRow, "begun without a ticket"},
        Attack{"mixedPace",
               [](ReplayServer& s) {
                   Script mixed = shortGame;
                   mixed.frameTime = MixedPace;
                   return SendAsPlayed(s, s.Ticketed(mixed));
               },
               200, "ATTACHED", oneUnverifiedRow, "frames 1 to 100 went faster than real time"},
        Attack{"slowMotion", [](ReplayServer& s) { return SendAsPlayed(s, s.Ticketed(shortGame, 10.0)); },
               200, "ATTACHED", oneUnverifiedRow, "more than its frames"},
        Attack{"slowMotionPassedOffAsAnHourStandingStill",
               [](ReplayServer& s) {
                   Replay game = s.OnNewTicket(shortGame);
                   game.summary.standingStillMs = 3'600'000;
                   s.Begin(game.summary.ticket, GameMs(game) + 3'600'000);
                   return SendAsPlayed(s, game);
               },
               200, "ATTACHED", oneUnverifiedRow, "stood still too long"},
        Attack{"startNeverHeard", [](ReplayServer& s) { return SendAsPlayed(s, s.OnNewTicket(shortGame)); },
               200, "ATTACHED", oneUnverifiedRow, "never heard this game begin"},
        Attack{"forgedTicket",
               [](ReplayServer& s) {
                   const Replay game = ReplayServer::OnTicket(
                       [&] {
                           GameTicket t = s.Ticket();
                           t.mac[5] ^= 1;
                           return t;
                       },
                       shortGame);
                   EXPECT_EQ(RawGet(s.Port(), StartTarget(game.summary.ticket)).status, 403);
                   return SendAsPlayed(s, game);
               },
               403, "replay refused: the ticket is not one this server issued", noRow},
        Attack{"expiredTicket",
               [](ReplayServer& s) {
                   // Minted with the server's own key, a day and an hour ago.
                   TicketKey key{};
                   EXPECT_TRUE(KeyFromHex(ReadFile(s.db.Location() + ".key").substr(0, 64), key));
                   const std::int64_t old = std::time(nullptr) - ticketLifetimeSeconds - 3600;
                   std::uint64_t n = 0;
                   const Replay game = ReplayServer::OnTicket(
                       [&] { return TicketMint(key).Reissue(static_cast<std::uint64_t>(old) << 29 | ++n); },
                       shortGame);
                   EXPECT_EQ(RawGet(s.Port(), StartTarget(game.summary.ticket)).status, 410);
                   return SendAsPlayed(s, game);
               },
               410, "replay refused: the ticket has expired", noRow},
        Attack{"deletedRowFollowedByANewAdd",
               [](ReplayServer& s) {
                   // An administrator deletes a verified cheat; the next
                   // player's row must not inherit its id, mark or replay.
                   const Replay cheat = s.Ticketed(shortGame);
                   EXPECT_EQ(SendAsPlayed(s, cheat).body, "VERIFIED\n");
                   EXPECT_EQ(s.db.Execute("DELETE FROM scores"), "");
                   return RawGet(s.Port(), AddTarget(QueryOf(cheat.summary)));
               },
               200,
               "OK",
               {{"0", "1", "0"}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
