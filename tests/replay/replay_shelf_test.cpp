// The replays folder: new files written whole, the best and the latest kept,
// everything else in the folder left alone.
#include "replay/replay_shelf.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

namespace fs = std::filesystem;

class Shelf : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("munchet-shelf-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    ReplayShelf Make() {
        return ReplayShelf(
            {(folder / "replays").string(), [this](std::string_view line) { logged += line; }});
    }

    // A game with this score that ended at this time.
    static std::pair<std::string, ReplaySummary> Game(std::int32_t score, std::int64_t endedAt) {
        Replay r;
        r.summary.counters.score = score;
        r.summary.recordedAt = endedAt;
        r.frames.resize(3, ReplayFrame{0.01f, 0, 0, 0});
        return {WriteReplay(r), r.summary};
    }

    std::set<std::int32_t> ScoresKept(ReplayShelf& shelf) {
        std::set<std::int32_t> scores;
        for (const ShelvedReplay& r : shelf.List()) scores.insert(r.summary.counters.score);
        return scores;
    }

    fs::path folder;
    std::string logged;
};

TEST_F(Shelf, KeepsTheBestTwentyAndTheLatestTwenty) {
    ReplayShelf shelf = Make();
    // 40 games of climbing scores, then 20 of low ones: the best are games
    // 21..40, the latest games 41..60.
    std::set<std::int32_t> expected;
    for (int game = 1; game <= 60; ++game) {
        const std::int32_t score = game <= 40 ? game * 1000 : game - 40;
        const auto [bytes, summary] = Game(score, 1700000000 + game);
        ASSERT_TRUE(shelf.Keep(bytes, summary)) << logged;
        if (game > 20) expected.insert(score);
    }
    EXPECT_EQ(ScoresKept(shelf), expected);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "replays"), fs::directory_iterator()), 40);
}

TEST_F(Shelf, GamesOfTheSameSecondGetTheirOwnFiles) {
    ReplayShelf shelf = Make();
    const auto [bytes, summary] = Game(500, 1767225600);  // 2026-01-01 00:00:00 UTC
    const std::optional<std::string> first = shelf.Keep(bytes, summary), second = shelf.Keep(bytes, summary);
    ASSERT_TRUE(first && second) << logged;
    EXPECT_EQ(fs::path(*first).filename(), "munchet-20260101-000000.replay");
    EXPECT_EQ(fs::path(*second).filename(), "munchet-20260101-000000-2.replay");
    EXPECT_EQ(shelf.List().size(), 2u);
}

TEST_F(Shelf, LeavesFilesItDidNotWriteAlone) {
    fs::create_directories(folder / "replays");
    std::ofstream(folder / "replays" / "notes.txt") << "mine";
    std::ofstream(folder / "replays" / "munchet-damaged.replay") << "not a replay";
    ReplayShelf shelf = Make();
    for (int game = 1; game <= 45; ++game) {
        const auto [bytes, summary] = Game(100 - game, 1700000000 + game);  // the best are the oldest
        shelf.Keep(bytes, summary);
    }
    EXPECT_TRUE(fs::exists(folder / "replays" / "notes.txt"));
    EXPECT_TRUE(fs::exists(folder / "replays" / "munchet-damaged.replay"));
    EXPECT_EQ(shelf.List().size(), 40u);
}

TEST_F(Shelf, WithoutAFolderNothingIsKeptAndThatIsLoggedOnce) {
    fs::create_directories(folder);
    std::ofstream(folder / "replays") << "a file where the folder should be";
    ReplayShelf shelf = Make();
    const auto [bytes, summary] = Game(5, 1);
    EXPECT_FALSE(shelf.Keep(bytes, summary));
    EXPECT_FALSE(shelf.Keep(bytes, summary));
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '('), 1) << logged;
    EXPECT_NE(logged.find("none are kept"), std::string::npos) << logged;
}

}  // namespace
