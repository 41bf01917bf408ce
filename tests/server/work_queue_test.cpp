#include "server/http/work_queue.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

// Each piece of work is a count of turns it still needs: a turn takes one
// off and hands the rest back, as the replay checker does with a slice.
using Turns = std::deque<int>;

class WorkQueueTest : public testing::TestWithParam<int> {
protected:
    WorkQueue<Turns> queue;
    std::atomic<int> turns{0};
    std::atomic<int> finished{0};

    void Start() {
        queue.Start(GetParam(), {.ready = [](const Turns& waiting) { return !waiting.empty(); },
                                 .take =
                                     [this](Turns& waiting, WorkQueue<Turns>::Lock& lock) {
                                         const int left = waiting.front() - 1;
                                         waiting.pop_front();
                                         lock.unlock();
                                         ++turns;
                                         lock.lock();
                                         if (left > 0) {
                                             waiting.push_back(left);
                                         } else {
                                             ++finished;
                                         }
                                     },
                                 .idleUntil = {},
                                 .idle = {},
                                 .started = {}});
    }
};

TEST_P(WorkQueueTest, CloseFinishesWorkHandedBackThenRefusesMore) {
    Start();
    for (int i = 1; i <= 40; ++i)
        EXPECT_TRUE(queue.Put([&](Turns& waiting) {
            waiting.push_back(i % 5 + 1);
            return true;
        }));
    EXPECT_FALSE(queue.Put([](Turns&) { return false; })) << "a full queue takes nothing";
    queue.Close();
    EXPECT_EQ(finished, 40);
    EXPECT_EQ(turns, 8 * (1 + 2 + 3 + 4 + 5));
    EXPECT_FALSE(queue.Put([](Turns& waiting) {
        waiting.push_back(1);
        return true;
    }));
    EXPECT_TRUE(queue.Locked([](const Turns& waiting) { return waiting.empty(); }));
}

INSTANTIATE_TEST_SUITE_P(Threads, WorkQueueTest, testing::Values(1, 2, 4));

}  // namespace
