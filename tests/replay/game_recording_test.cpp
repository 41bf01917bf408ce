// Every finished game is kept exactly once, under the name it was sent with
// or none; games left unfinished are not kept.
#include "replay/game_recording.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "engine/input_journal.h"
#include "tests/replay/replay_support.h"

namespace {

namespace fs = std::filesystem;

class Recording : public ::testing::Test {
protected:
    static fs::path FolderOfThisTest() {
        return fs::temp_directory_path() / ("munchet-recording-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void SetUp() override {
        fs::remove_all(folder);
        g.game.StartGame();
        recording.GameBegan(g.game);
    }
    void TearDown() override { fs::remove_all(folder); }

    void Run(FrameInput input) {
        g.RunFrame(input);
        // The wall clock keeps pace with the frames unless a test stalls it.
        wallClock += std::llround(static_cast<double>(g.lastInput.frameTime) * 1e9);
        recording.FrameRan(g.game, g.lastInput);
    }
    // Runs at the first munchet, focus held, until caught; with points when
    // score is given (the name entry opens then).
    void LoseTheGame(std::int32_t score = 0) {
        if (score > 0) g.game.score = score;
        for (int i = 0; i < 20000 && !g.game.gameOver; ++i) {
            const Player& p = g.game.players[0];
            const Munchet& m = g.game.munchetList.front();
            FrameInput input;
            input.Hold(p.focusKey);
            if (m.x < p.x - 2) input.Hold(p.leftKey);
            if (m.x > p.x + 2) input.Hold(p.rightKey);
            if (m.y < p.y - 2) input.Hold(p.upKey);
            if (m.y > p.y + 2) input.Hold(p.downKey);
            Run(input);
        }
        ASSERT_TRUE(g.game.gameOver);
    }
    std::vector<ShelvedReplay> Kept() { return shelf.List(); }

    HeadlessGame g{99};
    fs::path folder = FolderOfThisTest();
    std::string logged;
    ReplayShelf shelf{{folder.string() + "/replays", [this](std::string_view line) { logged += line; }}};
    std::int64_t wallClock = 0;  // nanoseconds
    GameRecording recording{shelf, [this](std::string_view line) { logged += line; },
                            [this] { return wallClock; }};
};

TEST_F(Recording, AGameWithoutPointsIsKeptWithoutANameAsItEnds) {
    LoseTheGame();
    ASSERT_FALSE(g.game.nameEntry);
    ASSERT_EQ(Kept().size(), 1u) << logged;
    EXPECT_EQ(Kept()[0].summary.name, "");
    EXPECT_EQ(Kept()[0].summary.beginning, ReplayBeginning::BeforeFirstFrame);
    Run({});
    EXPECT_EQ(Kept().size(), 1u) << "kept once";
}

TEST_F(Recording, AGameSentIsKeptUnderItsNameAndItsReplayGoesWithIt) {
    LoseTheGame(500);
    ASSERT_TRUE(g.game.nameEntry);
    Run(FrameInput{}.Type('x'));
    EXPECT_TRUE(Kept().empty()) << "waits for the name";
    const ScoreSubmission sent{.name = "Ann",
                               .score = g.game.score,
                               .level = g.game.level,
                               .munchets = g.game.munchets,
                               .food = g.game.food};
    const std::string replay = recording.ReplayForSubmission(sent);
    const ReplayReading reading = ReadReplay(replay);
    ASSERT_TRUE(reading.ok) << reading.error;
    EXPECT_EQ(reading.replay.summary.name, "Ann");
    EXPECT_EQ(reading.replay.summary.counters.score, sent.score);
    ASSERT_EQ(Kept().size(), 1u);
    EXPECT_EQ(Kept()[0].summary.name, "Ann");
    g.game.nameEntry = false;
    Run({});
    recording.RunEnded();
    EXPECT_EQ(Kept().size(), 1u) << "kept once";
    EXPECT_TRUE(recording.ReplayForSubmission(sent).empty()) << "a replay goes with one submission only";
}

TEST_F(Recording, NoReplayGoesWithASubmissionOfOtherCounters) {
    LoseTheGame(500);
    const ScoreSubmission other{"Ann", g.game.score + 1, g.game.level, g.game.munchets, g.game.food};
    EXPECT_TRUE(recording.ReplayForSubmission(other).empty());
    recording.RunEnded();
    ASSERT_EQ(Kept().size(), 1u);
    EXPECT_EQ(Kept()[0].summary.name, "");
}

// The name entry left by a new game, or by the end of the run: kept
// nameless, and the new game is recorded from its own first frame.
TEST_F(Recording, ANameEntryLeftStillKeepsTheGame) {
    LoseTheGame(500);
    Run(FrameInput{}.Hold(Key::F2));
    ASSERT_EQ(Kept().size(), 1u);
    EXPECT_EQ(Kept()[0].summary.name, "");
    LoseTheGame(700);
    recording.RunEnded();
    ASSERT_EQ(Kept().size(), 2u);
    for (const ShelvedReplay& r : Kept())
        EXPECT_EQ(r.summary.playerCount, r.summary.beginning == ReplayBeginning::InFirstFrame ? 2 : 1);
}

TEST_F(Recording, AGameLeftUnfinishedIsNotKept) {
    for (int i = 0; i < 50; ++i) Run({});
    Run(FrameInput{}.Hold(Key::F1));
    for (int i = 0; i < 50; ++i) Run({});
    recording.RunEnded();
    EXPECT_TRUE(Kept().empty());
    LoseTheGame();
    ASSERT_EQ(Kept().size(), 1u);
    EXPECT_EQ(Kept()[0].summary.beginning, ReplayBeginning::InFirstFrame);
}

// The wall time the game stood still: a window frozen in play, or a slow
// name entry, counts; a clock that ran behind the frames counts as none.
struct Stall {
    const char* label;
    bool inPlay;  // else during the name entry
    std::int64_t ms;
    std::uint32_t recorded;
};
void PrintTo(const Stall& stall, std::ostream* os) { *os << stall.label; }

class StandingStill : public Recording, public ::testing::WithParamInterface<Stall> {};

TEST_P(StandingStill, IsTheWallTimeItsFramesDoNotCover) {
    const Stall& stall = GetParam();
    for (int i = 0; i < 50; ++i) Run({});
    if (stall.inPlay) wallClock += stall.ms * 1'000'000;
    LoseTheGame(500);
    if (!stall.inPlay) wallClock += stall.ms * 1'000'000;
    const ScoreSubmission sent{"Ann", g.game.score, g.game.level, g.game.munchets, g.game.food};
    const ReplayReading reading = ReadReplay(recording.ReplayForSubmission(sent));
    ASSERT_TRUE(reading.ok) << reading.error;
    EXPECT_NEAR(reading.replay.summary.standingStillMs, stall.recorded, 1);
}

INSTANTIATE_TEST_SUITE_P(Stalls, StandingStill,
                         ::testing::Values(Stall{"none", true, 0, 0}, Stall{"frozenWindow", true, 4200, 4200},
                                           Stall{"slowNameEntry", false, 9000, 9000},
                                           Stall{"clockBehindTheFrames", true, -2000, 0}));

}  // namespace
