// Replays of bot games (tests/replay/replay_support.h: "solo", seed 4242, 6000
// frames of play; "two-players", seed 77, begun by F2) written once by an
// optimised gcc build and kept in the tree. Every build that runs the tests
// (sanitizers, clang, another C library) must prove them and reach the very
// same state, or a player and the score server could disagree about which
// games are real.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "replay/replay_verifier.h"
#include "tests/replay/replay_support.h"

namespace {

struct KeptReplay {
    const char* file;    // under tests/replay/data
    std::uint64_t hash;  // HashState after the last frame
};

void PrintTo(const KeptReplay& kept, std::ostream* os) { *os << kept.file; }

class KeptReplays : public ::testing::TestWithParam<KeptReplay> {};

TEST_P(KeptReplays, AreProvenByThisBuildToTheSameState) {
    std::ifstream in(std::string(MUNCHET_SOURCE_DIR) + "/tests/replay/data/" + GetParam().file,
                     std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const ReplayReading reading = ReadReplay(bytes);
    ASSERT_TRUE(reading.ok) << reading.error;
    std::uint64_t hash = 0;
    VerifyOptions options;
    options.atEnd = [&hash](const Game& game) { hash = HashState(game); };
    const ReplayCheck check = VerifyReplay(reading.replay, options);
    EXPECT_EQ(check.verdict, ReplayVerdict::Proven) << check.reason;
    EXPECT_EQ(check.reached, reading.replay.summary.counters);
    EXPECT_EQ(hash, GetParam().hash);
}

INSTANTIATE_TEST_SUITE_P(Files, KeptReplays,
                         ::testing::Values(KeptReplay{"solo.replay", 7064991404760362683u},
                                           KeptReplay{"two-players.replay", 7492951244644069508u}));

}  // namespace
