#include "server/http/connection_table.h"

#include <sys/socket.h>

#include <algorithm>
#include <utility>

#include "server/store/client_address.h"

bool ConnectionTable::Open(Entry& entry, Clock::time_point now) {
    entry.client = LimitKey(entry.address);
    std::lock_guard lock(mutex);
    std::size_t& fromAddress = perAddress[entry.client];
    if (open.size() >= limits.total || (limits.perClient > 0 && fromAddress >= limits.perClient)) {
        if (fromAddress == 0) perAddress.erase(entry.client);
        // The library notices the shut-down socket at once and closes it: a
        // newcomer past a bound is turned away without a wait, and costs the
        // connections already open nothing.
        shutdown(entry.fd, SHUT_RDWR);
        entry.cut = true;
        ++refused.count;
        refused.lastAddress = entry.address;
        return false;
    }
    ++fromAddress;
    entry.phase = Phase::waiting;
    entry.deadline = now + limits.io;
    entry.index = open.size();
    entry.counted = true;
    open.push_back(&entry);
    return true;
}

void ConnectionTable::Close(Entry& entry) {
    std::lock_guard lock(mutex);
    if (!entry.counted) return;
    entry.counted = false;
    Entry* last = open.back();
    open[entry.index] = last;
    last->index = entry.index;
    open.pop_back();
    const auto it = perAddress.find(entry.client);
    if (it != perAddress.end() && --it->second == 0) perAddress.erase(it);
}

void ConnectionTable::ExpectBody(Entry& entry, std::size_t bytes) {
    const std::size_t rate = std::max<std::size_t>(limits.bodyBytesPerSecond, 1);
    const auto share = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(bytes) / static_cast<double>(rate)));
    std::lock_guard lock(mutex);
    if (entry.phase == Phase::receiving) entry.deadline += share;
}

void ConnectionTable::Enter(Entry& entry, Phase phase, Clock::time_point deadline) {
    std::lock_guard lock(mutex);
    entry.phase = phase;
    entry.deadline = deadline;
}

ConnectionTable::Tally ConnectionTable::CutOverdue(Clock::time_point now) {
    Tally cut;
    std::lock_guard lock(mutex);
    for (Entry* entry : open) {
        if (entry->cut || entry->deadline > now) continue;
        // Under the lock the entry is still registered, so the library has
        // not closed its socket yet: the descriptor cannot belong to a newer
        // connection.
        shutdown(entry->fd, SHUT_RDWR);
        entry->cut = true;
        ++cut.count;
        cut.lastAddress = entry->address;
    }
    return cut;
}

ConnectionTable::Tally ConnectionTable::TakeRefused() {
    std::lock_guard lock(mutex);
    return std::exchange(refused, Tally{});
}

std::size_t ConnectionTable::OpenCount() const {
    std::lock_guard lock(mutex);
    return open.size();
}

std::size_t ConnectionTable::BusyCount() const {
    std::lock_guard lock(mutex);
    return static_cast<std::size_t>(
        std::count_if(open.begin(), open.end(), [](const Entry* e) { return e->phase != Phase::waiting; }));
}
