// The engine's core seen through its interface: random numbers, the frame
// time and input of headless frames, files and the log.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "engine/engine_impl.h"
#include "engine/headless.h"
#include "tests/engine/picture_files.h"

namespace {

// --- Random numbers ----------------------------------------------------------

TEST(RandomGenerator, MatchesThePublishedPcg32Sequence) {
    // The reference generator's demo stream: seed 42, sequence 54.
    RandomGenerator generator;
    generator.state = 0;
    generator.increment = (54u << 1u) | 1u;
    generator.Next();
    generator.state += 42u;
    generator.Next();
    const std::uint32_t expected[] = {0xa15c02b7, 0x7b47f409, 0xba1d3330, 0x83d2f293, 0xbfa4784b, 0xcbed606e};
    for (const std::uint32_t value : expected) EXPECT_EQ(generator.Next(), value);
}

class Random : public ::testing::Test {
protected:
    void SetUp() override { engine = hgeCreate(EngineVersion); }
    void TearDown() override { engine->Release(); }
    Engine* engine = nullptr;
};

TEST_F(Random, IntBoundsAreInclusiveAndReached) {
    engine->Random_Seed(7);
    std::set<int> seen;
    for (int i = 0; i < 2000; ++i) {
        const int value = engine->Random_Int(-2, 2);
        ASSERT_GE(value, -2);
        ASSERT_LE(value, 2);
        seen.insert(value);
    }
    EXPECT_EQ(seen, (std::set<int>{-2, -1, 0, 1, 2}));
    EXPECT_EQ(engine->Random_Int(4, 4), 4);
    EXPECT_EQ(engine->Random_Int(9, 3), 9) << "an empty range answers its minimum";
    for (int i = 0; i < 100; ++i) {
        const int wide = engine->Random_Int(INT_MIN, INT_MAX);
        (void)wide;  // every int is in range; the draw must just not overflow
    }
}

TEST_F(Random, FloatBoundsAreInclusiveAndReached) {
    engine->Random_Seed(7);
    // A range one float step wide: only its two ends exist, and both must come up.
    const float low = 1.0f, high = std::nextafter(1.0f, 2.0f);
    bool sawLow = false, sawHigh = false;
    for (int i = 0; i < 200; ++i) {
        const float value = engine->Random_Float(low, high);
        ASSERT_TRUE(value == low || value == high) << value;
        sawLow |= value == low;
        sawHigh |= value == high;
    }
    EXPECT_TRUE(sawLow);
    EXPECT_TRUE(sawHigh);
    for (int i = 0; i < 10000; ++i) {
        const float value = engine->Random_Float(-512.0f, 512.0f);
        ASSERT_GE(value, -512.0f);
        ASSERT_LE(value, 512.0f);
    }
    EXPECT_EQ(engine->Random_Float(3.5f, 3.5f), 3.5f);
}

std::vector<int> Draws(Engine* engine, int seed, int count) {
    engine->Random_Seed(seed);
    std::vector<int> values;
    for (int i = 0; i < count; ++i) values.push_back(engine->Random_Int(0, 1'000'000));
    return values;
}

TEST_F(Random, SameSeedSameSequenceOtherSeedOtherSequence) {
    EXPECT_EQ(Draws(engine, 12345, 50), Draws(engine, 12345, 50));
    EXPECT_NE(Draws(engine, 12345, 50), Draws(engine, 12346, 50));
    EXPECT_NE(Draws(engine, 0, 50), Draws(engine, -1, 50));
}

TEST_F(Random, SeedOneGivesThePinnedSequenceEverywhere) {
    // Recorded once; a change here changes every replayed game.
    engine->Random_Seed(1);
    std::vector<int> ints;
    for (int i = 0; i < 6; ++i) ints.push_back(engine->Random_Int(0, 99));
    EXPECT_EQ(ints, (std::vector<int>{51, 58, 39, 5, 28, 62}));
    EXPECT_EQ(engine->Random_Float(0.0f, 1.0f), 0x1.6a879ap-1f);
}

// --- Headless frames -------------------------------------------------------------

struct FrameLog {
    static inline Engine* engine = nullptr;
    static inline std::vector<int> keys, chars;
    static inline std::vector<float> deltas;
    static inline std::vector<bool> escapeHeld;
    static bool Frame() {
        keys.push_back(engine->Input_GetKey());
        keys.push_back(engine->Input_GetKey());
        chars.push_back(engine->Input_GetChar());
        deltas.push_back(engine->Timer_GetDelta());
        escapeHeld.push_back(engine->Input_GetKeyState(Key::Escape));
        return engine->Input_GetKeyState(Key::Escape);
    }
};

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        engine = hgeCreate(EngineVersion);
        FrameLog::engine = engine;
        FrameLog::keys.clear();
        FrameLog::chars.clear();
        FrameLog::deltas.clear();
        FrameLog::escapeHeld.clear();
    }
    void TearDown() override {
        engine->System_Shutdown();
        engine->Release();
    }
    void Start(HeadlessOptions options = {}) {
        engine->Headless_Enable(options);
        engine->System_SetState(StateLogFile, "");
        engine->System_SetState(StateFrameFunc, &FrameLog::Frame);
        ASSERT_TRUE(engine->System_Initiate());
    }
    Engine* engine = nullptr;
};

TEST_F(Headless, DeltaIsTheFixedFrameTime) {
    Start({.frameTime = 0.025f});
    engine->Headless_RunFrame({});
    engine->Headless_RunFrame({});
    EXPECT_EQ(FrameLog::deltas, (std::vector<float>{0.025f, 0.025f}));
}

TEST_F(Headless, KeyAndCharacterBelongToTheirFrame) {
    Start();
    engine->Headless_RunFrame(FrameInput{}.Press(Key::Enter).Type('x'));
    engine->Headless_RunFrame(FrameInput{});
    engine->Headless_RunFrame(FrameInput{}.Type('\t'));
    engine->Headless_RunFrame(FrameInput{}.Type(static_cast<char>(200)));
    engine->Headless_RunFrame(FrameInput{}.Type('~').Press(Key::Left));
    EXPECT_EQ(FrameLog::keys, (std::vector<int>{13, 13, 0, 0, 0, 0, 0, 0, 37, 37}));
    EXPECT_EQ(FrameLog::chars, (std::vector<int>{'x', 0, 0, 0, '~'}));
}

TEST_F(Headless, QueuedFramesRunUntilTheFrameCallbackEndsTheRun) {
    Start();
    engine->Headless_QueueFrame({});
    engine->Headless_QueueFrame(FrameInput{}.Hold(Key::Escape));
    engine->Headless_QueueFrame({});
    EXPECT_TRUE(engine->System_Start());
    EXPECT_EQ(FrameLog::escapeHeld, (std::vector<bool>{false, true}));
    EXPECT_EQ(engine->impl->script.size(), 1u) << "the frame after Escape is not run";
}

TEST_F(Headless, FailedInitiationIsReported) {
    engine->Headless_Enable({.failInitiate = true});
    EXPECT_FALSE(engine->System_Initiate());
    EXPECT_STRNE(engine->System_GetErrorMessage(), "");
    EXPECT_FALSE(engine->System_Start());
}

// --- Files and the log -------------------------------------------------------------

class Files : public ::testing::Test {
protected:
    void SetUp() override { engine = hgeCreate(EngineVersion); }
    void TearDown() override {
        engine->System_Shutdown();
        engine->Release();
    }
    Engine* engine = nullptr;
    TempDirectory dir;
};

TEST_F(Files, MissingFileLoadsAsNull) {
    std::uint32_t size = 99;
    EXPECT_EQ(engine->Resource_Load(dir.File("absent.fnt").c_str(), &size), nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(engine->Resource_Load(nullptr, &size), nullptr);
    EXPECT_EQ(engine->Resource_Load(dir.path.string().c_str(), &size), nullptr) << "a directory";
}

TEST_F(Files, FileLoadsWholeWithItsSize) {
    const std::string path = dir.File("bytes.bin");
    const std::string bytes("a\0b\nc", 5);
    std::ofstream(path, std::ios::binary) << bytes;
    std::uint32_t size = 0;
    void* data = engine->Resource_Load(path.c_str(), &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(std::string(static_cast<const char*>(data), size), bytes);
    engine->Resource_Free(data);
}

TEST_F(Files, MissingTextureGivesNullHandleAndALogLine) {
    const std::string logPath = dir.File("engine.log");
    engine->System_SetState(StateLogFile, logPath.c_str());
    EXPECT_EQ(engine->Texture_Load(dir.File("ghost.png").c_str()), 0u);
    EXPECT_EQ(engine->Texture_GetWidth(0), 0);
    engine->System_Log("after %d", 1);
    engine->System_Shutdown();  // closes the log
    std::ifstream log(logPath);
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("ghost.png"), std::string::npos) << text;
    EXPECT_NE(text.find("after 1\n"), std::string::npos) << text;
}

}  // namespace
