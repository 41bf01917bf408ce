// The score server in this process on an ephemeral loopback port, over a
// real store of either kind that the tests can watch and hold up.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "server/http/score_server.h"
#include "tests/server/test_database.h"

// Passes every call to a real store, counts the page reads and can hold them
// back until released.
class WatchedStore final : public ScoreStore {
public:
    explicit WatchedStore(ScoreStore& real) : real(real) {}

    bool AddBatch(std::span<const ScoreRow> rows, std::string& error) override {
        return real.AddBatch(rows, error);
    }
    bool ReadTop(std::vector<TableRow>& rows, std::string& error) override {
        return real.ReadTop(rows, error);
    }
    bool ReadChangeStamp(std::string& stamp, std::string& error) override {
        return real.ReadChangeStamp(stamp, error);
    }
    bool StoreReplay(const ReplaySubmission& replay, StoredReplay& stored, std::string& error) override {
        return real.StoreReplay(replay, stored, error);
    }
    bool ReadReplay(std::int64_t id, std::optional<std::string>& bytes, std::string& error) override {
        return real.ReadReplay(id, bytes, error);
    }
    bool ReadBans(std::int64_t unixTime, std::vector<Ban>& bans, std::string& error) override {
        return real.ReadBans(unixTime, bans, error);
    }
    bool ReadRanked(const RankedQuery& query, RankedPage& page, std::string& error) override {
        {
            std::unique_lock lock(mutex);
            ++pageReads;
            changed.notify_all();
            changed.wait(lock, [this] { return !holding; });
        }
        return real.ReadRanked(query, page, error);
    }

    int PageReads() {
        std::lock_guard lock(mutex);
        return pageReads;
    }
    void Hold() {
        std::lock_guard lock(mutex);
        holding = true;
    }
    void Release() {
        std::lock_guard lock(mutex);
        holding = false;
        changed.notify_all();
    }
    // Waits (at most 10 s) until `count` page reads have begun.
    bool WaitForPageReads(int count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return pageReads >= count; });
    }

private:
    ScoreStore& real;
    std::mutex mutex;
    std::condition_variable changed;
    int pageReads = 0;
    bool holding = false;
};

// A server on an ephemeral loopback port, with short time-outs and the log
// captured; on SQLite unless a test names another store.
struct ScoreServerTest : testing::Test {
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<ScoreStore> store;
    std::unique_ptr<WatchedStore> watched;  // what the server is given
    std::mutex logMutex;
    std::vector<std::string> logLines;
    std::unique_ptr<ScoreServer> server;
    int port = -1;

    void Start(ScoreServerConfig config, StoreKind kind = StoreKind::sqlite) {
        db = std::make_unique<TestDatabase>(kind);
        ASSERT_EQ(db->Problem(), "");
        std::string error;
        store = db->Open(error);
        ASSERT_TRUE(store) << error;
        watched = std::make_unique<WatchedStore>(*store);
        config.log = [this](std::string_view line) {
            std::lock_guard lock(logMutex);
            logLines.emplace_back(line);
        };
        server = std::make_unique<ScoreServer>(*watched, std::move(config));
        port = server->Start("127.0.0.1", 0, &error);
        ASSERT_GT(port, 0) << error;
    }

    static ScoreServerConfig Quick() {
        ScoreServerConfig config;
        config.rateLimit = 0;
        config.threads = 4;
        config.ioTimeout = std::chrono::milliseconds(600);
        config.idleTimeout = std::chrono::milliseconds(300);
        return config;
    }

    // The log once it holds a line containing `part` (or after 5 s without).
    std::vector<std::string> LogWith(std::string_view part) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (true) {
            {
                std::lock_guard lock(logMutex);
                const bool found = std::any_of(
                    logLines.begin(), logLines.end(),
                    [&](const std::string& line) { return line.find(part) != std::string::npos; });
                if (found || std::chrono::steady_clock::now() > deadline) return logLines;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    void TearDown() override {
        if (watched) watched->Release();  // a failed test may have left page reads held
        if (server) server->Stop();
    }
};
