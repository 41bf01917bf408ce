// The ticket in hand: kept between runs, fetched from a fake score server on
// loopback, taken by the games that begin; a damaged file, an expired ticket
// or a hostile answer leaves the game without one, never worse.
#include "scores/ticket_keeper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "tests/scores/local_http_server.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr std::int64_t Now = 1'800'000'000;

GameTicket Ticket(std::uint64_t id, std::int64_t issuedAt) {
    GameTicket ticket;
    ticket.id = id;
    ticket.issuedAt = issuedAt;
    ticket.random = {0x0123456789abcdefULL * id, 2 * id + 1};
    ticket.mac.fill(static_cast<std::uint8_t>(id));
    return ticket;
}
const GameTicket Kept = Ticket(5, Now - 3600);
const GameTicket Expired = Ticket(6, Now - 23 * 3600);
const GameTicket Fresh = Ticket(9, Now);

std::string Line(const GameTicket& ticket) { return FormatTicket(ticket) + "\n"; }

std::string StartLine(const GameTicket& ticket) {
    const std::string mac = FormatTicket(ticket).substr(FormatTicket(ticket).rfind(' ') + 1);
    return "GET /hosted/vlkn/scores/pr/start.php?ticket=" + std::to_string(ticket.id) + "&mac=" + mac +
           " HTTP/1.1";
}

class Tickets : public ::testing::Test {
protected:
    void SetUp() override { setenv("no_proxy", "127.0.0.1", 1); }

    // ticket.php answers answer; start.php takes every start.
    void Serve(HttpReply answer) {
        server = std::make_unique<LocalHttpServer>([answer](const std::string& line) {
            return line.find("/ticket.php") != std::string::npos ? answer : HttpReply{200, "OK\n"};
        });
    }
    std::unique_ptr<TicketKeeper> Keeper() {
        const std::string host =
            server ? server->host() : "127.0.0.1:" + std::to_string(UnusedLoopbackPort());
        auto keeper =
            std::make_unique<TicketKeeper>(TicketSettings{host, milliseconds{1500}, dir.path.string(),
                                                          [this](std::string_view line) {
                                                              std::lock_guard guard(mutex);
                                                              logged += std::string(line) + "\n";
                                                          },
                                                          [this] { return clock.load(); }});
        keeper->Start();
        Settle(*keeper);
        return keeper;
    }
    static void Settle(TicketKeeper& keeper) {
        EXPECT_TRUE(keeper.WaitIdle(std::chrono::steady_clock::now() + std::chrono::seconds(10)));
    }
    void Keep(const std::string& text) { std::ofstream(dir.File("game-ticket.txt")) << text; }
    bool Exists(const char* name) const { return fs::exists(dir.File(name)); }
    std::vector<std::string> Lines() const {
        return server ? server->requestLines() : std::vector<std::string>{};
    }
    std::string Logged() {
        std::lock_guard guard(mutex);
        return logged;
    }

    ScratchDir dir;
    std::unique_ptr<LocalHttpServer> server;
    std::mutex mutex;
    std::string logged;
    std::atomic<std::int64_t> clock = Now;  // UTC seconds the keeper is told
};

struct Shape {
    const char* label;
    std::string kept;                 // the file from the last run; empty: none
    std::optional<HttpReply> answer;  // ticket.php's; none: no server at all
    std::optional<GameTicket> taken;  // what the first game plays with
    const char* logged;               // a line that says why, when it matters
};
void PrintTo(const Shape& shape, std::ostream* os) { *os << shape.label; }

class TicketShapes : public Tickets, public ::testing::WithParamInterface<Shape> {};

TEST_P(TicketShapes, GiveTheFirstGameAGoodTicketOrNone) {
    const Shape& shape = GetParam();
    if (!shape.kept.empty()) Keep(shape.kept);
    if (shape.answer) Serve(*shape.answer);
    auto keeper = Keeper();
    const GameTicket taken = keeper->Take();
    EXPECT_EQ(taken, shape.taken.value_or(GameTicket{}));
    EXPECT_FALSE(Exists("game-ticket.txt")) << "a ticket in play is in no file";
    Settle(*keeper);
    EXPECT_NE(Logged().find(shape.logged), std::string::npos) << Logged();
    const std::vector<std::string> lines = Lines();
    if (taken.Held() && shape.answer) {
        EXPECT_EQ(std::count(lines.begin(), lines.end(), StartLine(taken)), 1)
            << "the server hears the start";
    }
    EXPECT_EQ(keeper->Take(), taken) << "a game begun again at once plays the same ticket";
}

const HttpReply Good{200, Line(Fresh)};

INSTANTIATE_TEST_SUITE_P(
    Shapes, TicketShapes,
    ::testing::Values(Shape{"fetched", "", Good, Fresh, ""},
                      Shape{"keptFromAnOfflineRun", Line(Kept), std::nullopt, Kept,
                            "server did not hear that the game of game ticket 5 began"},
                      Shape{"keptButExpiring", Line(Expired), Good, Fresh, "dropped kept game ticket 6"},
                      Shape{"damagedFile", "T1 5 oops\n", std::nullopt, std::nullopt, "set aside damaged"},
                      Shape{"notATicket", "", HttpReply{200, "<html>ticket</html>"}, std::nullopt,
                            "the answer is no ticket"},
                      Shape{"twoTickets", "", HttpReply{200, Line(Fresh) + Line(Kept)}, std::nullopt,
                            "the answer is no ticket"},
                      Shape{"endlessAnswer", "", HttpReply{200, std::string(100000, 'T')}, std::nullopt,
                            "longer than a ticket"},
                      Shape{"refused", "", HttpReply{429, "too many tickets\n"}, std::nullopt,
                            "HTTP status 429: too many tickets"},
                      Shape{"redirected", "", HttpReply{302, Line(Fresh)}, std::nullopt, "HTTP status 302"}));

TEST_F(Tickets, AnUnusedTicketWaitsForTheNextRunAndGoesToOneCopyOnly) {
    Serve(Good);
    Keeper().reset();
    EXPECT_TRUE(Exists("game-ticket.txt")) << Logged();
    server.reset();
    auto first = Keeper();
    auto second = Keeper();
    EXPECT_EQ(first->Take(), Fresh);
    EXPECT_FALSE(second->Take().Held());
}

TEST_F(Tickets, AnAgeingTicketMakesWayForAFreshOne) {
    std::atomic<int> dealt = 0;
    server = std::make_unique<LocalHttpServer>([&dealt](const std::string&) {
        return HttpReply{200, Line(dealt++ == 0 ? Fresh : Ticket(10, Now + 22 * 3600))};
    });
    auto keeper = Keeper();
    clock = Now + 22 * 3600;
    keeper->Refill();
    Settle(*keeper);
    EXPECT_EQ(keeper->Take().id, 10u);
}

TEST_F(Tickets, AnExchangeFetchesTheTicketAnEarlierFailureMissed) {
    std::atomic<bool> healthy = false;
    server = std::make_unique<LocalHttpServer>([&healthy](const std::string&) {
        return healthy ? Good : HttpReply{503, "busy\n"};
    });
    auto keeper = Keeper();
    EXPECT_FALSE(keeper->Take().Held());
    Settle(*keeper);
    healthy = true;
    keeper->Refill();
    Settle(*keeper);
    std::this_thread::sleep_for(RetakeWindow);
    EXPECT_EQ(keeper->Take(), Fresh);
}

}  // namespace
