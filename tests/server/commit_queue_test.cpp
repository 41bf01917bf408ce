#include "server/http/commit_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace {

using namespace std::chrono_literals;

// Keeps rows in memory and can hold a commit back, to let rows queue up behind it.
class GatedStore final : public ScoreStore {
public:
    bool AddBatch(std::span<const ScoreRow> batch, std::string& error) override {
        std::unique_lock lock(mutex);
        ++entered;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
        batchSizes.push_back(batch.size());
        if (failNext || failAll) {
            failNext = false;
            error = "disk on fire";
            return false;
        }
        rows.insert(rows.end(), batch.begin(), batch.end());
        return true;
    }
    bool ReadTop(std::vector<TableRow>& top, std::string&) override {
        std::lock_guard lock(mutex);
        top.clear();
        for (const ScoreRow& row : rows) top.push_back({row.submission.name, row.submission.score});
        std::stable_sort(top.begin(), top.end(),
                         [](const TableRow& a, const TableRow& b) { return a.score > b.score; });
        return true;
    }
    bool ReadRanked(const RankedQuery&, RankedPage&, std::string& error) override {
        error = "the commit queue never reads pages";
        return false;
    }
    bool StoreReplay(const ReplaySubmission&, StoredReplay&, std::string& error) override {
        error = "no replays here";
        return false;
    }
    bool ReadReplay(std::int64_t, std::optional<std::string>&, std::string& error) override {
        error = "no replays here";
        return false;
    }
    bool ReadBans(std::int64_t, std::vector<Ban>& bans, std::string&) override {
        bans.clear();
        return true;
    }
    bool ReadChangeStamp(std::string& stamp, std::string&) override {
        std::lock_guard lock(mutex);
        stamp = std::to_string(rows.size());
        return true;
    }

    void Hold() {
        std::lock_guard lock(mutex);
        open = false;
    }
    void FailNext() {
        std::lock_guard lock(mutex);
        failNext = true;
    }
    void Release() {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
    void WaitForCommits(int count) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return entered >= count; });
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool open = true;
    bool failNext = false;
    bool failAll = false;
    int entered = 0;
    std::vector<std::size_t> batchSizes;
    std::vector<ScoreRow> rows;
};

ScoreRow Row(int munchets) {
    return {Submission{"p" + std::to_string(munchets), 100 * munchets, 0, munchets, 0}, 1700000000,
            "10.0.0.1"};
}

struct CommitQueueTest : testing::Test {
    GatedStore store;
    TableCache cache;
    std::vector<std::string> log;
    std::mutex answersMutex;
    std::vector<std::pair<int, bool>> answers;  // munchets, stored
    std::vector<std::string> tablesSeen;        // the table as each answer was given
    std::vector<std::string> stampsSeen;        // and the change stamp
    CommitQueue queue{store, cache, [this](std::string_view line) { log.emplace_back(line); }, 50ms};

    void Submit(int munchets) {
        ASSERT_TRUE(queue.Submit(Row(munchets), [this, munchets](bool stored) {
            std::lock_guard lock(answersMutex);
            answers.emplace_back(munchets, stored);
            const TableCache::Text table = cache.Current();
            tablesSeen.push_back(table ? *table : "");
            stampsSeen.push_back(cache.Stamp());
        }));
    }
};

TEST_F(CommitQueueTest, RowsThatArriveDuringACommitShareTheNextOne) {
    store.Hold();
    Submit(1);
    store.WaitForCommits(1);
    for (int m = 2; m <= 11; ++m) Submit(m);
    store.Release();
    queue.Close();
    EXPECT_EQ(store.batchSizes, (std::vector<std::size_t>{1, 10}));
    EXPECT_EQ(queue.Commits(), 2u);
    EXPECT_EQ(queue.StoredRows(), 11u);
    ASSERT_EQ(answers.size(), 11u);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(answers[i], std::make_pair(i + 1, true));
    // Each answer came after the table and the change stamp showed the row it answers.
    for (int i = 0; i < 11; ++i) {
        EXPECT_NE(tablesSeen[i].find("p" + std::to_string(i + 1) + ";"), std::string::npos) << tablesSeen[i];
        EXPECT_EQ(stampsSeen[i], i == 0 ? "1" : "11");
    }
}

TEST_F(CommitQueueTest, AFailedCommitAnswersEveryRowOfItWithFailure) {
    store.Hold();
    Submit(1);
    store.WaitForCommits(1);
    store.FailNext();  // the commit under way fails
    Submit(2);
    store.Release();
    store.WaitForCommits(2);
    queue.Close();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0], std::make_pair(1, false));
    EXPECT_EQ(answers[1], std::make_pair(2, true));
    EXPECT_EQ(store.rows.size(), 1u);
    EXPECT_EQ(queue.StoredRows(), 1u);
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.front().find("disk on fire"), std::string::npos);
}

TEST_F(CommitQueueTest, StorageThatStaysDownIsLoggedOnceASecondNotOnceACommit) {
    {
        std::lock_guard lock(store.mutex);
        store.failAll = true;
    }
    for (int m = 1; m <= 40; ++m) {
        Submit(m);
        store.WaitForCommits(m);
    }
    {
        std::lock_guard lock(store.mutex);
        store.failAll = false;
    }
    Submit(41);
    queue.Close();
    ASSERT_EQ(answers.size(), 41u);
    EXPECT_EQ(answers.back(), std::make_pair(41, true));
    ASSERT_EQ(log.size(), 2u) << log.back();
    EXPECT_EQ(log.front(), "storage error: disk on fire");
    EXPECT_EQ(log.back(), "storage works again (39 more failed commits since the last line)");
}

TEST_F(CommitQueueTest, CloseStoresWhatIsQueuedThenRefusesMore) {
    store.Hold();
    Submit(1);
    store.WaitForCommits(1);
    Submit(2);
    Submit(3);
    std::thread closer([this] { queue.Close(); });
    std::this_thread::sleep_for(50ms);
    store.Release();
    closer.join();
    EXPECT_EQ(answers.size(), 3u);
    EXPECT_EQ(store.rows.size(), 3u);
    bool ran = false;
    EXPECT_FALSE(queue.Submit(
        Row(4), [&](bool) { ran = true; }, [&] { ran = true; }));
    EXPECT_FALSE(ran);
}

TEST_F(CommitQueueTest, PicksUpChangesMadeOutsideWhileIdle) {
    {
        std::lock_guard lock(store.mutex);
        store.rows.push_back(Row(7));  // as if another program wrote the row
    }
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while ((!cache.Current() || cache.Current()->empty()) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(cache.Current());
    EXPECT_EQ(*cache.Current(), "p7;700\n");
}

TEST_F(CommitQueueTest, PicksUpChangesMadeOutsideUnderSteadyLoad) {
    for (int m = 1000; m < 1000 + tableRowLimit; ++m) Submit(m);
    const auto answered = [&] {
        std::lock_guard lock(answersMutex);
        return answers.size();
    };
    for (int i = 0; i < 500 && answered() < tableRowLimit; ++i) std::this_thread::sleep_for(10ms);
    // Rows that cannot enter the full table keep the queue busy, never idle
    // for a whole refresh period; a row written elsewhere must still show.
    const auto outsideRowShown = [&] {
        const TableCache::Text table = cache.Current();
        return table && table->starts_with("p5000;");
    };
    {
        std::lock_guard lock(store.mutex);
        store.rows.push_back(Row(5000));
    }
    for (int m = 1; m < 500 && !outsideRowShown(); ++m) {
        Submit(m);
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(outsideRowShown());
}

TEST(TableCache, KnowsWhichRowsCannotEnterAFullTable) {
    GatedStore store;
    TableCache cache;
    const auto couldChange = [&](int munchets) {
        const ScoreRow row = Row(munchets);
        return cache.CouldChange({&row, 1});
    };
    std::string error;
    for (int m = 1; m < tableRowLimit; ++m) store.rows.push_back(Row(m + 1));  // scores 200 and up
    ASSERT_TRUE(cache.Refresh(store, error));
    EXPECT_TRUE(couldChange(1)) << "a table of 99 rows takes any row";
    store.rows.push_back(Row(1000));
    ASSERT_TRUE(cache.Refresh(store, error));
    EXPECT_FALSE(couldChange(1));
    EXPECT_FALSE(couldChange(2)) << "a tie ranks after the older row";
    EXPECT_TRUE(couldChange(3));
}

}  // namespace
