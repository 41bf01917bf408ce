// The verifier plays recorded games again on the real rules: every kind of
// beginning reaches the recorded end, and every kind of tampering is caught.
#include "replay/replay_verifier.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "game/rules_version.h"
#include "tests/replay/replay_support.h"
#include "tests/support/engine_game.h"

namespace {

// Recorded once per script for the whole test program: recording is the
// slow part.
const Recorded& Recording(const Script& script) {
    static std::map<std::string, Recorded> recorded;
    auto found = recorded.find(script.name);
    if (found == recorded.end()) found = recorded.emplace(script.name, Record(script)).first;
    return found->second;
}

const Script soloBot{"soloBot", 4242, Start::AtStartUp};

class ProvenGame : public ::testing::TestWithParam<Script> {};

TEST_P(ProvenGame, ReachesTheRecordedEndAndIsProven) {
    const Recorded& recorded = Recording(GetParam());
    const Replay& replay = recorded.replay;
    ASSERT_FALSE(replay.frames.empty()) << "the game was not recorded";
    std::uint64_t hash = 0;
    VerifyOptions options;
    options.atEnd = [&hash](const Game& game) { hash = HashState(game); };
    const ReplayCheck check = VerifyReplay(replay, options);
    EXPECT_EQ(check.verdict, ReplayVerdict::Proven) << check.reason;
    EXPECT_EQ(check.reached, replay.summary.counters);
    EXPECT_EQ(check.framesRun, replay.frames.size());
    EXPECT_TRUE(check.endedAtLastFrame && check.frameTimesInBounds && check.paceKept);
    EXPECT_EQ(hash, recorded.hash) << "the whole state, not only the counters";
}

// A server takes turns between replays a slice at a time: one frame a slice,
// with another game played in between, is still the very same game.
TEST_P(ProvenGame, PlayedAFrameATurnBesideAnotherGameIsTheSameGame) {
    const Recorded& recorded = Recording(GetParam());
    std::uint64_t hash = 0;
    VerifyOptions options;
    options.atEnd = [&hash](const Game& game) { hash = HashState(game); };
    ReplayRun run(recorded.replay, options);
    ReplayRun other(Recording(soloBot).replay, {});
    while (!run.Finished()) {
        run.Play(std::chrono::nanoseconds(0));
        other.Play(std::chrono::nanoseconds(0));
    }
    EXPECT_EQ(run.Check().verdict, VerifyReplay(recorded.replay).verdict) << run.Check().reason;
    EXPECT_EQ(run.Check().framesRun, recorded.replay.frames.size());
    EXPECT_EQ(hash, recorded.hash);
    EXPECT_GT(run.CpuUsed().count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Games, ProvenGame,
                         ::testing::Values(soloBot, Script{"twoPlayersByF2", 77, Start::ByF2},
                                           Script{"byRAfterAGame", 1999, Start::ByRAfterGame},
                                           Script{"byF1HeldThreeFrames", 31337, Start::ByF1Held},
                                           Script{"withKeysTheRulesIgnore", 5150, Start::AtStartUp, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReplayVerifier, RecordsWhereEachGameBegan) {
    EXPECT_EQ(Recording(soloBot).replay.summary.beginning, ReplayBeginning::BeforeFirstFrame);
    const Replay& byF2 = Recording({"twoPlayersByF2", 77, Start::ByF2}).replay;
    EXPECT_EQ(byF2.summary.beginning, ReplayBeginning::InFirstFrame);
    EXPECT_EQ(byF2.summary.playerCount, 2);
    EXPECT_TRUE(ToFrameInput(byF2.frames.front()).Holds(Key::F2));
    // F1 held three times: the game begins at the last of them, and the
    // frames after it no longer hold F1.
    const Replay& byF1 = Recording({"byF1HeldThreeFrames", 31337, Start::ByF1Held}).replay;
    EXPECT_TRUE(ToFrameInput(byF1.frames.front()).Holds(Key::F1));
    EXPECT_FALSE(ToFrameInput(byF1.frames[1]).Holds(Key::F1));
}

TEST(ReplayVerifier, MunchetsCarriedFromTheGameBeforeAreReplayedButNotProven) {
    const Recorded& recorded = Recording({"withCarried", 8128, Start::WithCarried});
    ASSERT_EQ(recorded.replay.carried.size(), 1u);
    std::uint64_t hash = 0;
    VerifyOptions options;
    options.atEnd = [&hash](const Game& game) { hash = HashState(game); };
    const ReplayCheck check = VerifyReplay(recorded.replay, options);
    EXPECT_EQ(check.verdict, ReplayVerdict::Unproven);
    EXPECT_NE(check.reason.find("carried over"), std::string::npos) << check.reason;
    EXPECT_EQ(check.reached, recorded.replay.summary.counters);
    EXPECT_EQ(hash, recorded.hash);
}

// One change to a recorded game, and the words its refusal must hold.
struct Tampering {
    const char* name;
    std::function<void(Replay&)> change;
    const char* reasonHas;
};

void PrintTo(const Tampering& t, std::ostream* os) { *os << t.name; }

class TamperedReplay : public ::testing::TestWithParam<Tampering> {};

TEST_P(TamperedReplay, IsRefused) {
    Replay replay = Recording(soloBot).replay;
    ASSERT_GT(replay.frames.size(), 100u);
    GetParam().change(replay);
    const ReplayCheck check = VerifyReplay(replay);
    EXPECT_EQ(check.verdict, ReplayVerdict::Refused);
    EXPECT_NE(check.reason.find(GetParam().reasonHas), std::string::npos) << check.reason;
}

std::uint16_t HeldBit(int key) {
    for (std::size_t i = 0; i < HeldKeysTheRulesRead.size(); ++i)
        if (HeldKeysTheRulesRead[i] == key) return static_cast<std::uint16_t>(1u << i);
    return 0;
}

INSTANTIATE_TEST_SUITE_P(
    Changes, TamperedReplay,
    ::testing::Values(
        // A single frame's change may end in the same counters (the game is
        // then the same game as far as a table can tell): change a second's worth.
        Tampering{"aKeyFlipped",
                  [](Replay& r) {
                      for (int i = 30; i < 130; ++i) r.frames[i].held ^= HeldBit(Key::Left);
                  },
                  "the game"},
        Tampering{"frameTimesChanged",
                  [](Replay& r) {
                      for (int i = 30; i < 130; ++i)
                          if (r.frames[i].frameTime < 0.05f) r.frames[i].frameTime *= 1.25f;
                  },
                  "the game"},
        Tampering{"theLastFrameCut", [](Replay& r) { r.frames.pop_back(); }, "not over after its last frame"},
        Tampering{"aFrameCutEarly", [](Replay& r) { r.frames.erase(r.frames.begin() + 20); }, "the game"},
        Tampering{"aFrameAdded", [](Replay& r) { r.frames.push_back(r.frames.back()); }, "ended in frame"},
        Tampering{"anotherRandomState", [](Replay& r) { r.summary.startRandom.state += 1; }, "the game"},
        Tampering{"aHigherScore", [](Replay& r) { r.summary.counters.score += 100; }, "it claims"},
        Tampering{"moreFood", [](Replay& r) { r.summary.counters.food += 1; }, "it claims"},
        Tampering{
            "anotherGamesFrames",
            [](Replay& r) {
                r.frames = Recording({"withKeysTheRulesIgnore", 5150, Start::AtStartUp, true}).replay.frames;
            },
            "the game"},
        Tampering{"twoPlayers", [](Replay& r) { r.summary.playerCount = 2; }, "the game"},
        Tampering{"slowedDown",
                  [](Replay& r) {
                      for (ReplayFrame& f : r.frames) f.frameTime = 0.009f;
                  },
                  "slowed down"},
        Tampering{"aFrameTooLong", [](Replay& r) { r.frames[5].frameTime = 0.25f; },
                  "outside the engine's bounds"},
        Tampering{"aFrameTimeNaN", [](Replay& r) { r.frames[5].frameTime = std::nanf(""); }, "outside"},
        Tampering{"aCarriedMunchetAtNaN",
                  [](Replay& r) {
                      r.summary.beginning = ReplayBeginning::InFirstFrame;
                      r.carried.assign(4096, Munchet{});
                      r.carried[4095].heading = std::nanf("");
                  },
                  "no finite number"},
        Tampering{"escapeHeld", [](Replay& r) { r.frames[50].held |= HeldBit(Key::Escape); }, "Escape"},
        Tampering{"aRestartInside", [](Replay& r) { r.frames[50].held |= HeldBit(Key::F1); },
                  "new game began"},
        Tampering{"otherRules", [](Replay& r) { r.summary.rulesVersion = RulesVersion + 1; },
                  "rules version"},
        Tampering{"beginsInAFrameWithoutAKey",
                  [](Replay& r) { r.summary.beginning = ReplayBeginning::InFirstFrame; }, "begins no game"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplayVerifier, RunsAgainAndAgainWithTheSameAnswerAndLeavesNothingBehind) {
    const Replay& replay = Recording(soloBot).replay;
    const ReplayCheck first = VerifyReplay(replay);
    for (int i = 0; i < 3; ++i) {
        const ReplayCheck again = VerifyReplay(replay);
        EXPECT_EQ(again.verdict, first.verdict);
        EXPECT_EQ(again.reached, first.reached);
    }
    // Another game after them plays as a fresh one.
    HeadlessGame g(1);
    g.game.StartGame();
    g.RunFrames(10);
    EXPECT_EQ(g.game.munchetList.size(), 1u);
}

TEST(ReplayVerifier, StopsWhenAskedOrOutOfCpuTime) {
    const Replay& replay = Recording(soloBot).replay;
    ASSERT_GT(replay.frames.size(), 2 * VerifyOptions::CheckInterval);
    VerifyOptions asked;
    std::uint32_t askedAt = 0;
    asked.stop = [&askedAt](std::uint32_t framesRun) { return (askedAt = framesRun) > 0; };
    ReplayCheck check = VerifyReplay(replay, asked);
    EXPECT_EQ(check.verdict, ReplayVerdict::Stopped);
    EXPECT_EQ(askedAt, VerifyOptions::CheckInterval);
    EXPECT_EQ(check.framesRun, VerifyOptions::CheckInterval);

    VerifyOptions budget;
    budget.cpuBudget = std::chrono::nanoseconds(1);
    check = VerifyReplay(replay, budget);
    EXPECT_EQ(check.verdict, ReplayVerdict::Stopped);
    EXPECT_NE(check.reason.find("CPU time"), std::string::npos) << check.reason;
}

TEST(ReplayVerifier, RefusesLongerGamesThanAllowedWithoutPlayingThem) {
    VerifyOptions shortGames;
    shortGames.maxFrames = 100;
    const ReplayCheck check = VerifyReplay(Recording(soloBot).replay, shortGames);
    EXPECT_EQ(check.verdict, ReplayVerdict::Refused);
    EXPECT_EQ(check.framesRun, 0u);
}

// Runs share nothing: the same replays proven on several threads at once,
// while the process's engine is busy with a game of its own, each reach the
// state they reach alone.
TEST(ReplayVerifier, ProvesOnSeveralThreadsAtOnceWhateverElseRuns) {
    const std::vector<const Recorded*> games{&Recording(soloBot),
                                             &Recording({"twoPlayersByF2", 77, Start::ByF2})};
    EngineGame busy(1);
    busy.game.StartGame();
    std::vector<std::uint64_t> hashes(4);
    std::vector<ReplayVerdict> verdicts(4, ReplayVerdict::NotRun);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < hashes.size(); ++i)
        threads.emplace_back([&, i] {
            VerifyOptions options;
            options.atEnd = [&, i](const Game& game) { hashes[i] = HashState(game); };
            verdicts[i] = VerifyReplay(games[i % 2]->replay, options).verdict;
        });
    busy.RunFrames(100);
    for (std::thread& thread : threads) thread.join();
    for (std::size_t i = 0; i < hashes.size(); ++i) {
        EXPECT_EQ(verdicts[i], ReplayVerdict::Proven) << i;
        EXPECT_EQ(hashes[i], games[i % 2]->hash) << i;
    }
}

// Any change of the rules that moves a float must come with a new
// RulesVersion, or every kept replay would stop verifying: this game's end
// is pinned to the version.
TEST(ReplayVerifier, TheRulesVersionMovesWithTheRules) {
    const Recorded& recorded = Recording(soloBot);
    const std::map<std::uint32_t, std::uint64_t> pinned{{1, 0x88f88b39c9aef058}, {2, 0x88f88b39c9aef058}};
    ASSERT_TRUE(pinned.contains(RulesVersion)) << "pin the hash of this game for the new RulesVersion";
    EXPECT_EQ(recorded.hash, pinned.at(RulesVersion))
        << "the rules changed: bump RulesVersion in game/rules_version.h and pin 0x" << std::hex
        << recorded.hash;
}

}  // namespace
