// The bounded exchange and its outbox against fake score servers on loopback.
#include "scores/score_exchange_client.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "scores/outbox_file.h"
#include "tests/scores/local_http_server.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

const std::string tableLine = "GET /hosted/vlkn/scores/pr/view.php HTTP/1.1";

bool isSubmission(const std::string& line) { return line.find("/add.php?") != std::string::npos; }

ScoreSubmission Game(const std::string& name) { return {name, 1530, 2, 3, 17}; }

// The names of the submissions among request lines, in order.
std::vector<std::string> SentNames(const std::vector<std::string>& lines) {
    std::vector<std::string> names;
    for (const std::string& line : lines) {
        const std::size_t at = line.find("name=");
        if (isSubmission(line)) names.push_back(line.substr(at + 5, line.find('&') - at - 5));
    }
    return names;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

using Handler = std::function<HttpReply(const std::string& line)>;
using Fate = SubmissionFate;

// Submissions answered as given, the table with one row.
Handler Submissions(HttpReply reply) {
    return [reply](const std::string& line) {
        return isSubmission(line) ? reply : HttpReply{200, "top;9\n"};
    };
}
Handler Everything(HttpReply reply) {
    return [reply](const std::string&) { return reply; };
}
Handler Fine() { return Submissions({200, "ok\n"}); }
Handler Silent() { return Everything(SilentReply()); }
Handler TooMany() { return Submissions({429, "later\n"}); }
Handler Failing() { return Everything({500, "oops\n"}); }
Handler GatewayTimeout() { return Submissions({504, "gateway\n"}); }
Handler BadRequest() { return Submissions({400, "bad\n"}); }
Handler Trickle() {
    return Everything(HttpReply{200, "top;9\n", false, milliseconds{0}, milliseconds{1000}});
}
// The first answer comes after the time a submission may take, the rest at once.
Handler SlowThenFine() {
    auto count = std::make_shared<int>(0);
    return [count](const std::string& line) {
        HttpReply reply = Fine()(line);
        if ((*count)++ == 0) reply.delay = milliseconds{2500};
        return reply;
    };
}

class ScoreExchange : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("no_proxy", "127.0.0.1", 1);
        folder =
            fs::temp_directory_path() / ("munchet-exchange-" + std::to_string(getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    ScoreExchangeClient Client(const std::string& host, milliseconds budget = milliseconds{1500}) {
        return ScoreExchangeClient({host, budget, folder.string(),
                                    [this](std::string_view line) { logged += std::string(line) + "\n"; }});
    }
    void Seed(const std::vector<std::string>& names) {
        fs::create_directories(folder);
        std::vector<OutboxEntry> entries;
        for (const std::string& name : names) {
            entries.push_back(OutboxEntry{});
            entries.back().id = entries.size();
            entries.back().submission = Game(name);
        }
        std::string error;
        ASSERT_TRUE(OutboxFile(folder.string()).Save(entries, error)) << error;
    }
    std::vector<std::string> Waiting() const {
        std::vector<std::string> names;
        for (const OutboxEntry& entry : ParseOutbox(ReadFile(folder / "score-outbox.txt")).entries)
            names.push_back(entry.submission.name);
        return names;
    }
    std::size_t Count(const std::string& text) const {
        std::size_t count = 0;
        for (std::size_t at = logged.find(text); at != std::string::npos; at = logged.find(text, at + 1))
            ++count;
        return count;
    }

    fs::path folder;
    std::string logged;
};

// Where the requests go when no handler is given.
enum class Nowhere { Refusing, Unanswered, Unresolvable };

struct Behaviour {
    const char* label;
    Handler (*handler)();  // null: no HTTP server, see nowhere
    Nowhere nowhere;
    std::vector<std::string> sent;     // the submissions the server saw, in order
    std::vector<std::string> waiting;  // the outbox afterwards
    Fate fate;
    bool table;
    std::size_t failedRequests;
};

class ServerBehaviour : public ScoreExchange, public ::testing::WithParamInterface<Behaviour> {};

// Two scores wait from earlier games when this one ends; then the server is
// healthy again for the next exchange, which must deliver exactly what is
// still waiting, in order, and nothing that may already be stored.
TEST_P(ServerBehaviour, EndsWithinTheBudgetAndKeepsExactlyWhatWasNotStored) {
    const Behaviour& b = GetParam();
    Seed({"old1", "old2"});
    std::unique_ptr<LocalHttpServer> server;
    UnansweredPort unanswered;
    std::string host = "127.0.0.1:" + std::to_string(UnusedLoopbackPort());
    if (b.nowhere == Nowhere::Unanswered) host = "127.0.0.1:" + std::to_string(unanswered.port());
    if (b.nowhere == Nowhere::Unresolvable) host = "munchet-nowhere.invalid:8642";
    if (b.handler) {
        server = std::make_unique<LocalHttpServer>(b.handler());
        host = server->host();
    }
    const ScoreSubmission now = Game("now");
    const auto start = std::chrono::steady_clock::now();
    const ScoreExchangeResult result = Client(host, milliseconds{3000}).Exchange(&now);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("[ %s: exchange took %.2f s ]\n", b.label, seconds);
    EXPECT_LE(seconds, 4.5);
    EXPECT_EQ(result.fate, b.fate);
    EXPECT_EQ(result.tableReceived, b.table);
    EXPECT_EQ(result.rows.size(), b.table ? 1u : 0u);
    if (server) {
        EXPECT_EQ(SentNames(server->requestLines()), b.sent);
    }
    EXPECT_EQ(Waiting(), b.waiting);
    EXPECT_EQ(Count(" failed after "), b.failedRequests) << logged;
    server.reset();

    LocalHttpServer healthy(Fine());
    const ScoreExchangeResult next = Client(healthy.host()).Exchange(nullptr);
    EXPECT_EQ(SentNames(healthy.requestLines()), b.waiting);
    EXPECT_EQ(next.fate, SubmissionFate::None);
    EXPECT_TRUE(next.tableReceived);
    EXPECT_FALSE(fs::exists(folder / "score-outbox.txt"));
}

const std::vector<std::string> allKept = {"old1", "old2", "now"};
const std::vector<std::string> firstUncertain = {"old2", "now"};

INSTANTIATE_TEST_SUITE_P(
    Servers, ServerBehaviour,
    ::testing::Values(
        Behaviour{"refusing", nullptr, Nowhere::Refusing, {}, allKept, Fate::Kept, false, 1},
        Behaviour{"no handshake", nullptr, Nowhere::Unanswered, {}, allKept, Fate::Kept, false, 1},
        Behaviour{"not resolved", nullptr, Nowhere::Unresolvable, {}, allKept, Fate::Kept, false, 1},
        Behaviour{"silent", Silent, {}, {"old1"}, firstUncertain, Fate::Kept, false, 2},
        Behaviour{"trickling", Trickle, {}, {"old1"}, firstUncertain, Fate::Kept, false, 2},
        Behaviour{"429", TooMany, {}, {"old1"}, allKept, Fate::Kept, true, 1},
        Behaviour{"500", Failing, {}, {"old1"}, allKept, Fate::Kept, false, 2},
        Behaviour{"504", GatewayTimeout, {}, {"old1"}, firstUncertain, Fate::Kept, true, 1},
        Behaviour{"400", BadRequest, {}, allKept, {}, Fate::Refused, true, 3},
        Behaviour{"slow then fine", SlowThenFine, {}, {"old1"}, firstUncertain, Fate::Kept, true, 1},
        Behaviour{"fine", Fine, {}, allKept, {}, Fate::Stored, true, 0}),
    [](const auto& info) {
        std::string name;
        for (const char* c = info.param.label; *c; ++c) name += std::isalnum(*c) ? *c : '_';
        return name;
    });

TEST_F(ScoreExchange, OneClientSendsTheGamesOwnUrlInEveryExchange) {
    LocalHttpServer server(Fine());
    ScoreExchangeClient client = Client(server.host());
    const ScoreSubmission game{"ab c", 1530, 2, 3, -17};
    EXPECT_EQ(client.Exchange(&game).fate, SubmissionFate::Stored);
    const ScoreSubmission unnamed{"", 1530, 2, 3, 17};
    EXPECT_EQ(client.Exchange(&unnamed).fate, SubmissionFate::None);
    EXPECT_EQ(
        server.requestLines(),
        (std::vector<std::string>{
            "GET /hosted/vlkn/scores/pr/add.php?name=ab%20c&score=1530&level=2&munchets=3&food=-17 HTTP/1.1",
            tableLine, tableLine}));
}

// A game that quits in the middle of an exchange waits for no server: the
// request under way is given up at once, nothing more is asked, and the
// score is kept only when it surely did not arrive.
struct Abandoned {
    const char* label;
    bool connects;  // the server takes the request and never answers; else no handshake
    Fate fate;
    std::vector<std::string> waiting;
};
class AbandonedExchange : public ScoreExchange, public ::testing::WithParamInterface<Abandoned> {};

TEST_P(AbandonedExchange, EndsAtOnceKeepingWhatSurelyDidNotArrive) {
    UnansweredPort unanswered;
    LocalHttpServer silent(SilentReply());
    const std::string host =
        GetParam().connects ? silent.host() : "127.0.0.1:" + std::to_string(unanswered.port());
    std::atomic<bool> stop = false;
    std::thread quitting([&stop] {
        std::this_thread::sleep_for(milliseconds{150});
        stop = true;
    });
    const ScoreSubmission now = Game("now");
    const auto start = std::chrono::steady_clock::now();
    const ScoreExchangeResult result = Client(host, milliseconds{30000}).Exchange(&now, {}, &stop);
    const auto took = std::chrono::steady_clock::now() - start;
    quitting.join();
    // Without the stop the request would wait out its second to connect, or
    // its twenty seconds for an answer.
    EXPECT_LT(took, milliseconds{900});
    EXPECT_EQ(result.fate, GetParam().fate);
    EXPECT_FALSE(result.tableReceived);
    EXPECT_EQ(Waiting(), GetParam().waiting);
    EXPECT_EQ(silent.requestLines().size(), GetParam().connects ? 1u : 0u) << "no table asked for";
    EXPECT_EQ(Count("given up unanswered"), 1u) << logged;
}

INSTANTIATE_TEST_SUITE_P(Servers, AbandonedExchange,
                         ::testing::Values(Abandoned{"no handshake", false, Fate::Kept, {"now"}},
                                           Abandoned{"silent", true, Fate::Uncertain, {}}),
                         [](const auto& info) { return info.param.connects ? "Silent" : "NoHandshake"; });

class DamagedOutbox : public ScoreExchange, public ::testing::WithParamInterface<const char*> {};

TEST_P(DamagedOutbox, IsSetAsideAndItsSoundEntriesStillGo) {
    fs::create_directories(folder);
    const std::string damaged = std::string("1;1;0;first;1530;2;3;17\n") + GetParam();
    std::ofstream(folder / "score-outbox.txt", std::ios::binary) << damaged;
    LocalHttpServer server(Fine());
    EXPECT_TRUE(Client(server.host()).Exchange(nullptr).tableReceived);
    EXPECT_EQ(ReadFile(folder / "score-outbox.damaged-1.txt"), damaged);
    EXPECT_EQ(Count("set aside damaged"), 1u) << logged;
    EXPECT_EQ(SentNames(server.requestLines()), std::vector<std::string>{"first"});
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedOutbox,
                         ::testing::Values("1;2;0;cut", "\x7f\x45LF\n\x01\x02", "1;1;0;dup;1;0;0;0\n"));

TEST_F(ScoreExchange, TheHundredthKeptScoreDropsTheOldest) {
    std::vector<std::string> names;
    for (int i = 1; i <= 100; ++i) names.push_back("p" + std::to_string(i));
    Seed(names);
    const ScoreSubmission now = Game("now");
    const std::string refusing = "127.0.0.1:" + std::to_string(UnusedLoopbackPort());
    EXPECT_EQ(Client(refusing).Exchange(&now).fate, SubmissionFate::Kept);
    const std::vector<std::string> waiting = Waiting();
    ASSERT_EQ(waiting.size(), 100u);
    EXPECT_EQ(waiting.front(), "p2");
    EXPECT_EQ(waiting.back(), "now");
    EXPECT_EQ(Count("dropped entry 1 (\"p1\""), 1u) << logged;
}

TEST_F(ScoreExchange, WithoutAFolderAScoreIsLostAndThatIsLoggedOnce) {
    std::vector<std::pair<const char*, std::string>> saved;
    for (const char* name : {"HOME", "XDG_DATA_HOME"})
        if (const char* value = std::getenv(name)) saved.emplace_back(name, value);
    unsetenv("HOME");
    unsetenv("XDG_DATA_HOME");
    ScoreExchangeClient client({"127.0.0.1:" + std::to_string(UnusedLoopbackPort()), milliseconds{1500}, "",
                                [this](std::string_view line) { logged += std::string(line) + "\n"; }});
    const ScoreSubmission now = Game("now");
    EXPECT_EQ(client.Exchange(&now).fate, SubmissionFate::Lost);
    EXPECT_EQ(client.Exchange(&now).fate, SubmissionFate::Lost);
    for (const auto& [name, value] : saved) setenv(name, value.c_str(), 1);
    EXPECT_EQ(Count("score outbox: none"), 1u) << logged;
    EXPECT_EQ(Count("\"now\" score 1530 level 2 munchets 3 food 17) is lost"), 2u) << logged;
}

// The outbox cannot be rewritten (its temporary file's name is taken by a
// folder): a score that needs keeping is lost, and an entry that was sent is
// not sent again by this run although the file still holds it.
TEST_F(ScoreExchange, AnUnwritableOutboxLosesTheScoreButNeverResends) {
    Seed({"old1"});
    fs::create_directories(folder / "score-outbox.txt.tmp");
    LocalHttpServer server([](const std::string& line) {
        return line.find("name=now") != std::string::npos ? HttpReply{503, "busy\n"} : HttpReply{200, "ok\n"};
    });
    ScoreExchangeClient client = Client(server.host());
    const ScoreSubmission now = Game("now");
    EXPECT_EQ(client.Exchange(&now).fate, SubmissionFate::Lost);
    EXPECT_EQ(Waiting(), std::vector<std::string>{"old1"});
    client.Exchange(nullptr);
    fs::remove(folder / "score-outbox.txt.tmp");
    client.Exchange(nullptr);
    EXPECT_EQ(SentNames(server.requestLines()), (std::vector<std::string>{"old1", "now"}));
    EXPECT_FALSE(fs::exists(folder / "score-outbox.txt"));
}

// Another copy of the game holds the outbox: this one leaves it alone but
// still sends its own score.
TEST_F(ScoreExchange, ALockedOutboxIsLeftToItsHolder) {
    Seed({"old1"});
    const int other = ::open((folder / "score-outbox.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    LocalHttpServer server(Fine());
    const ScoreSubmission now = Game("now");
    EXPECT_EQ(Client(server.host(), milliseconds{600}).Exchange(&now).fate, SubmissionFate::Stored);
    ::close(other);
    Client(server.host()).Exchange(nullptr);
    EXPECT_EQ(SentNames(server.requestLines()), (std::vector<std::string>{"now", "old1"}));
    EXPECT_EQ(Count("another copy of the game"), 1u) << logged;
}

}  // namespace
