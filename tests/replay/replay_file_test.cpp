// The replay file: what is written reads back bit for bit, a recorded game
// stays small, and every malformed shape is refused with a reason.
#include "replay/replay_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <bit>
#include <cmath>
#include <functional>
#include <limits>

#include "game/rules_version.h"

namespace {

// A replay of every kind of value: odd frame times (NaN and negative zero
// included: the reader keeps bits, the verifier judges them), every key,
// carried munchets, a name at its longest.
Replay Sample(std::size_t frames = 300) {
    Replay r;
    r.summary.rulesVersion = RulesVersion;
    r.summary.startRandom = {0x0123456789abcdefULL, 0xfedcba9876543211ULL};
    r.summary.playerCount = 2;
    r.summary.beginning = ReplayBeginning::InFirstFrame;
    r.summary.name = "A name: 20 chars ok!";
    r.summary.counters = {-3, 7, 123, std::numeric_limits<std::int32_t>::min()};
    r.summary.recordedAt = -5;
    r.summary.ticket = {
        .id = 0x1122334455667788ULL, .issuedAt = 1'800'000'000, .random = r.summary.startRandom};
    for (std::size_t i = 0; i < r.summary.ticket.mac.size(); ++i)
        r.summary.ticket.mac[i] = static_cast<std::uint8_t>(i * 7 + 1);
    r.summary.standingStillMs = 4321;
    for (int i = 0; i < 3; ++i) {
        Munchet m;
        m.x = 1.5f * static_cast<float>(i), m.y = -0.0f, m.targetX = 1e-40f, m.targetY = -3.25f;
        m.heading = 100.0f + static_cast<float>(i), m.splitTimer = -0.5f;
        r.carried.push_back(m);
    }
    for (std::size_t i = 0; i < frames; ++i) {
        ReplayFrame f;
        f.frameTime = i == 7 ? std::nanf("") : i == 8 ? -0.0f : 0.01f + 1e-6f * static_cast<float>(i % 13);
        f.held = static_cast<std::uint16_t>(i * 2654435761u >> 16);
        f.pressedKey = static_cast<std::uint8_t>(i % 5 == 0 ? 0 : i);
        f.typedChar = static_cast<std::uint8_t>(255 - i % 256);
        r.frames.push_back(f);
    }
    return r;
}

bool SameBits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

TEST(ReplayFile, ReadsBackWhatWasWrittenBitForBit) {
    const Replay written = Sample();
    const std::string bytes = WriteReplay(written);
    ASSERT_FALSE(bytes.empty());
    const ReplayReading reading = ReadReplay(bytes);
    ASSERT_TRUE(reading.ok) << reading.error;
    const Replay& read = reading.replay;
    const ReplaySummary &a = written.summary, &b = read.summary;
    EXPECT_EQ(b.rulesVersion, a.rulesVersion);
    EXPECT_EQ(b.startRandom, a.startRandom);
    EXPECT_EQ(b.playerCount, a.playerCount);
    EXPECT_EQ(b.beginning, a.beginning);
    EXPECT_EQ(b.name, a.name);
    EXPECT_EQ(b.counters, a.counters);
    EXPECT_EQ(b.recordedAt, a.recordedAt);
    EXPECT_EQ(b.ticket, a.ticket);
    EXPECT_EQ(b.standingStillMs, a.standingStillMs);
    EXPECT_EQ(b.frameCount, written.frames.size());
    EXPECT_EQ(b.carriedCount, written.carried.size());
    EXPECT_EQ(read.frames, written.frames);
    ASSERT_EQ(read.carried.size(), written.carried.size());
    for (std::size_t i = 0; i < read.carried.size(); ++i) {
        const Munchet &x = written.carried[i], &y = read.carried[i];
        EXPECT_TRUE(SameBits(x.x, y.x) && SameBits(x.y, y.y) && SameBits(x.targetX, y.targetX) &&
                    SameBits(x.targetY, y.targetY) && SameBits(x.heading, y.heading) &&
                    SameBits(x.splitTimer, y.splitTimer));
    }
    // The summary alone reads from the header.
    const ReplaySummaryReading summary =
        ReadReplaySummary(std::string_view(bytes).substr(0, ReplayHeaderBytes + 20));
    ASSERT_TRUE(summary.ok) << summary.error;
    EXPECT_EQ(summary.summary.name, a.name);
    EXPECT_EQ(summary.summary.counters, a.counters);
}

TEST(ReplayFile, KeepsOnlyTheKeysTheRulesRead) {
    FrameInput input;
    input.Hold(Key::Left).Hold('G').Hold('Q').Hold(Key::F2 + 1).Press('M').Type('x').Lasting(0.0123f);
    const FrameInput back = ToFrameInput(ToReplayFrame(input));
    EXPECT_TRUE(back.Holds(Key::Left) && back.Holds('G'));
    EXPECT_FALSE(back.Holds('Q') || back.Holds(Key::F2 + 1));
    EXPECT_EQ(back.pressedKey, 'M');
    EXPECT_EQ(back.typedChar, 'x');
    EXPECT_TRUE(SameBits(back.frameTime, 0.0123f));
    for (int key : HeldKeysTheRulesRead)
        EXPECT_TRUE(ToFrameInput(ToReplayFrame(FrameInput{}.Hold(key))).Holds(key));
}

TEST(ReplayFile, RefusesWhatItCannotWrite) {
    Replay r = Sample(10);
    r.summary.name = "semi;colon";
    EXPECT_TRUE(WriteReplay(r).empty());
    r = Sample(10);
    r.summary.playerCount = 3;
    EXPECT_TRUE(WriteReplay(r).empty());
    r = Sample(0);
    EXPECT_TRUE(WriteReplay(r).empty());
    r = Sample(10);
    r.summary.beginning = ReplayBeginning::BeforeFirstFrame;
    EXPECT_TRUE(WriteReplay(r).empty()) << "carried munchets only into a game begun in a frame";
}

// The CRC over everything before it, recomputed after a change, so that a
// malformed shape is caught by its own check and not merely by the CRC.
void Reseal(std::string& bytes) {
    bytes.resize(bytes.size() - 4);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>(crc >> shift));
}

// Offsets of the header's fields in the sample (name of 20 characters).
constexpr std::size_t VersionAt = 8, PlayersAt = 30, BeginningAt = 31, NameLengthAt = 32, NameAt = 33,
                      FramesAt = NameAt + 20 + 24 + 52, CarriedAt = FramesAt + 4,
                      BodyLengthAt = CarriedAt + 4, BodyAt = BodyLengthAt + 4;

void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

std::string Body(const std::string& bytes) { return bytes.substr(BodyAt, bytes.size() - BodyAt - 4); }

// A body of the given plain bytes, compressed, put in place of the sample's.
void ReplaceBody(std::string& bytes, const std::string& plain) {
    uLongf length = compressBound(static_cast<uLong>(plain.size()));
    std::string body(length, '\0');
    compress(reinterpret_cast<Bytef*>(body.data()), &length, reinterpret_cast<const Bytef*>(plain.data()),
             static_cast<uLong>(plain.size()));
    body.resize(length);
    bytes = bytes.substr(0, BodyAt) + body + "CRC!";
    Put32(bytes, BodyLengthAt, static_cast<std::uint32_t>(body.size()));
}

struct Malformed {
    const char* name;
    std::function<void(std::string&)> change;
    bool reseal;  // recompute the CRC after the change
    const char* errorHas;
};

void PrintTo(const Malformed& m, std::ostream* os) { *os << m.name; }

class MalformedReplay : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedReplay, IsRefusedWithAReason) {
    std::string bytes = WriteReplay(Sample());
    ASSERT_EQ(static_cast<unsigned char>(bytes[NameLengthAt]), 20u);
    GetParam().change(bytes);
    if (GetParam().reseal) Reseal(bytes);
    const ReplayReading reading = ReadReplay(bytes);
    EXPECT_FALSE(reading.ok);
    EXPECT_NE(reading.error.find(GetParam().errorHas), std::string::npos) << reading.error;
}

const std::size_t plainSize = 3 * CarriedMunchetBytes + 300 * ReplayFrameBytes;

INSTANTIATE_TEST_SUITE_P(
    Shapes, MalformedReplay,
    ::testing::Values(
        Malformed{"empty", [](std::string& b) { b.clear(); }, false, "not a Munchet replay"},
        Malformed{"anotherFilesMagic", [](std::string& b) { b[0] = 'X'; }, true, "not a Munchet replay"},
        Malformed{"aLaterVersion", [](std::string& b) { b[VersionAt] = 3; }, true, "format version 3"},
        Malformed{"cutInTheHeader", [](std::string& b) { b.resize(40); }, false, "cut short in its name"},
        Malformed{"cutInTheFrames", [](std::string& b) { b.resize(b.size() - 30); }, false, "cut short"},
        Malformed{"aByteAfterTheEnd", [](std::string& b) { b += 'x'; }, false, "bytes follow its end"},
        Malformed{"aFlippedBit", [](std::string& b) { b[BodyAt + 9] ^= 4; }, false, "check sum"},
        Malformed{"threePlayers", [](std::string& b) { b[PlayersAt] = 3; }, true, "player count"},
        Malformed{"anUnknownBeginning", [](std::string& b) { b[BeginningAt] = 2; }, true, "unknown way"},
        Malformed{"aNameTooLong", [](std::string& b) { b[NameLengthAt] = 21; }, true, "longer than 20"},
        Malformed{"aSemicolonInTheName", [](std::string& b) { b[NameAt] = ';'; }, true, "no name may hold"},
        Malformed{"noFrames", [](std::string& b) { Put32(b, FramesAt, 0); }, true, "no frames"},
        Malformed{"tooManyFrames", [](std::string& b) { Put32(b, FramesAt, MaxReplayFrames + 1); }, true,
                  "more frames than a replay may hold"},
        Malformed{"moreFramesThanTheBodyCanHold", [](std::string& b) { Put32(b, FramesAt, MaxReplayFrames); },
                  true, "than its compressed body can hold"},
        Malformed{"tooManyCarried", [](std::string& b) { Put32(b, CarriedAt, MaxCarriedMunchets + 1); }, true,
                  "carried munchets"},
        Malformed{"aHugeBodyLength", [](std::string& b) { Put32(b, BodyLengthAt, 0xFFFFFFFFu); }, true,
                  "body length"},
        Malformed{"aBodyLengthPastTheEnd", [](std::string& b) { Put32(b, BodyLengthAt, 100000); }, false,
                  "cut short in its frames"},
        Malformed{"aBodyThatIsNoZlib",
                  [](std::string& b) {
                      for (std::size_t i = BodyAt; i < b.size() - 4; ++i) b[i] = 'z';
                  },
                  true, "damaged"},
        Malformed{"aBodyThatInflatesShort", [](std::string& b) { ReplaceBody(b, std::string(plainSize - 1, 'a')); },
                  true, "fewer bytes"},
        Malformed{"aBodyThatInflatesLong", [](std::string& b) { ReplaceBody(b, std::string(plainSize + 1, 'a')); },
                  true, "more bytes"},
        Malformed{"aZipBomb", [](std::string& b) { ReplaceBody(b, std::string(50u << 20, '\0')); }, true,
                  "more bytes"},
        Malformed{"bytesAfterTheStream", [](std::string& b) {
                      const std::string body = Body(b) + "junk";
                      b = b.substr(0, BodyAt) + body + "CRC!";
                      Put32(b, BodyLengthAt, static_cast<std::uint32_t>(body.size()));
                  }, true, "bytes follow its compressed frames"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplayFile, TakesNoLongerGameThanTheReaderAllows) {
    const std::string bytes = WriteReplay(Sample());
    EXPECT_FALSE(ReadReplay(bytes, {.maxFrames = 299}).ok);
    EXPECT_TRUE(ReadReplay(bytes, {.maxFrames = 300}).ok);
    EXPECT_FALSE(ReadReplay(bytes, {.maxFileBytes = bytes.size() - 1}).ok);
}

}  // namespace
