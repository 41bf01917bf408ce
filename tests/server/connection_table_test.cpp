#include "server/http/connection_table.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <list>

namespace {

using namespace std::chrono_literals;
using Clock = ConnectionTable::Clock;

// A connected socket pair standing in for one accepted connection: the table
// holds `server`, and `client` sees what the table does to it.
struct FakeConnection {
    int client = -1;
    ConnectionTable::Entry entry;

    explicit FakeConnection(std::string address) {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0) {
            client = fds[0];
            entry.fd = fds[1];
        }
        entry.address = std::move(address);
    }
    ~FakeConnection() {
        close(client);
        close(entry.fd);
    }

    // True when the table shut the connection down (the client reads end of stream).
    bool ShutDown() const {
        pollfd p{client, POLLIN, 0};
        char byte;
        return poll(&p, 1, 0) == 1 && recv(client, &byte, 1, MSG_DONTWAIT) == 0;
    }
};

const Clock::time_point t0 = Clock::time_point{} + 1000h;

ConnectionTable::Limits Limits(std::size_t total, std::size_t perClient) {
    return {total, perClient, 5s, 2s};
}

TEST(ConnectionTable, TurnsAwayNewcomersPastEitherBoundAtOnce) {
    ConnectionTable table(Limits(4, 2));
    std::list<FakeConnection> connections;
    auto open = [&](const char* address) {
        FakeConnection& c = connections.emplace_back(address);
        return table.Open(c.entry, t0);
    };
    EXPECT_TRUE(open("10.0.0.1"));
    EXPECT_TRUE(open("10.0.0.1"));
    EXPECT_FALSE(open("10.0.0.1")) << "third from one address";
    EXPECT_TRUE(connections.back().ShutDown());
    EXPECT_TRUE(open("10.0.0.2"));
    EXPECT_TRUE(open("10.0.0.3"));
    EXPECT_FALSE(open("10.0.0.4")) << "fifth in all";
    EXPECT_EQ(table.OpenCount(), 4u);
    for (auto it = connections.begin(); it != connections.end(); ++it) {
        if (!it->ShutDown()) continue;
        table.Close(it->entry);  // the library closes refused ones; that must not free a slot
    }
    EXPECT_EQ(table.OpenCount(), 4u);
    const ConnectionTable::Tally refused = table.TakeRefused();
    EXPECT_EQ(refused.count, 2u);
    EXPECT_EQ(refused.lastAddress, "10.0.0.4");
    EXPECT_EQ(table.TakeRefused().count, 0u);

    // A closed connection makes room again, in all and for its address.
    table.Close(connections.front().entry);
    EXPECT_TRUE(open("10.0.0.1"));
    EXPECT_FALSE(connections.back().ShutDown());

    // Addresses of one IPv6 /64 count as one client.
    for (FakeConnection& c : connections) table.Close(c.entry);
    EXPECT_TRUE(open("2001:db8::1"));
    EXPECT_TRUE(open("2001:db8::2:3"));
    EXPECT_FALSE(open("2001:db8::4:5:6"));
    EXPECT_TRUE(open("2001:db8:0:1::1")) << "the next /64";
}

TEST(ConnectionTable, CutsEachPhaseAtItsOwnDeadlineButNeverAWaitForStorage) {
    ConnectionTable table(Limits(10, 0));
    FakeConnection silent("a"), receiving("b"), storing("c"), replying("d"), kept("e");
    for (FakeConnection* c : {&silent, &receiving, &storing, &replying, &kept})
        ASSERT_TRUE(table.Open(c->entry, t0));
    table.RequestBegan(receiving.entry, t0 + 1s);
    table.ExpectBody(receiving.entry, 0);
    table.RequestBegan(storing.entry, t0);
    table.Storing(storing.entry);
    table.Replying(replying.entry, t0 + 3s);
    table.RequestDone(kept.entry, t0 + 1s);
    EXPECT_EQ(table.BusyCount(), 3u);

    EXPECT_EQ(table.CutOverdue(t0 + 2900ms).count, 0u);
    EXPECT_EQ(table.CutOverdue(t0 + 3s).count, 1u) << "idle 2 s after its reply";
    EXPECT_TRUE(kept.ShutDown());
    EXPECT_EQ(table.CutOverdue(t0 + 5s).count, 1u) << "5 s to send the first request";
    EXPECT_TRUE(silent.ShutDown());
    EXPECT_EQ(table.CutOverdue(t0 + 6s).count, 1u) << "5 s from its request line";
    EXPECT_TRUE(receiving.ShutDown());
    const ConnectionTable::Tally last = table.CutOverdue(t0 + 8s);
    EXPECT_EQ(last.count, 1u) << "5 s to take its reply";
    EXPECT_EQ(last.lastAddress, "d");
    EXPECT_EQ(table.CutOverdue(t0 + 1000h).count, 0u) << "each is cut once; a wait for storage never";
    EXPECT_FALSE(storing.ShutDown());
    for (FakeConnection* c : {&silent, &receiving, &storing, &replying, &kept}) table.Close(c->entry);
    EXPECT_EQ(table.OpenCount(), 0u);

    // A body gets a second more for each bodyBytesPerSecond it holds.
    FakeConnection uploading("f");
    ASSERT_TRUE(table.Open(uploading.entry, t0));
    table.RequestBegan(uploading.entry, t0);
    table.ExpectBody(uploading.entry, 3 * 16384);
    EXPECT_EQ(table.CutOverdue(t0 + 7900ms).count, 0u);
    EXPECT_EQ(table.CutOverdue(t0 + 8s).count, 1u);
    table.Close(uploading.entry);
}

}  // namespace
