// The input record, its journal and the random state: what a replay rests on.
#include "engine/input_journal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/engine_impl.h"
#include "engine/headless.h"

namespace {

constexpr float Inf = std::numeric_limits<float>::infinity();

TEST(BoundFrameTime, KeepsWhatIsWithinTheBoundsAndHoldsTheRest) {
    const struct {
        float given, told;
    } cases[] = {{0.001f, 0.001f}, {0.01f, 0.01f},         {1.0f / 60, 1.0f / 60},
                 {0.1f, 0.1f},     {0.0004f, 0.001f},      {0.5f, 0.1f},
                 {Inf, 0.1f},      {0.0f, 0.001f},         {-0.01f, 0.001f},
                 {-Inf, 0.001f},   {std::nanf(""), 0.001f}};
    for (const auto& c : cases) EXPECT_EQ(BoundFrameTime(c.given), c.told) << c.given;
}

// Frames that exercise every field: keys going down and up across the word
// boundaries of the held set, presses, typed bytes, changing frame times.
std::vector<FrameInput> VariedFrames() {
    std::vector<FrameInput> frames;
    FrameInput f = FrameInput{}.Lasting(0.01f);
    for (int i = 0; i < 300; ++i) {
        if (i % 7 == 0) f.Hold((i * 37) % 256);
        if (i % 11 == 0) f.Release((i * 53) % 256);
        f.pressedKey = i % 5 == 0 ? static_cast<std::uint8_t>(1 + i % 255) : 0;
        f.typedChar = i % 3 == 0 ? static_cast<std::uint8_t>(200 + i % 50) : 0;
        if (i % 13 == 0) f.frameTime = BoundFrameTime(0.001f * static_cast<float>(1 + i % 100));
        frames.push_back(f);
    }
    frames.push_back(FrameInput{}.Lasting(0.1f));  // every key up at once
    return frames;
}

TEST(InputJournal, ReadsBackEveryFrameExactly) {
    InputJournal journal;
    journal.Begin({123, 457});
    const std::vector<FrameInput> frames = VariedFrames();
    for (const FrameInput& f : frames) journal.Append(f);
    EXPECT_EQ(journal.frames, frames.size());
    std::string error;
    EXPECT_TRUE(CheckJournal(journal, error)) << error;

    JournalReader reader(journal);
    FrameInput read;
    for (const FrameInput& f : frames) {
        ASSERT_EQ(reader.Next(read), JournalReader::Result::Frame) << reader.error;
        EXPECT_EQ(read, f) << "frame " << reader.FramesRead();
    }
    EXPECT_EQ(reader.Next(read), JournalReader::Result::End);
}

TEST(InputJournal, AFrameTakenOutLeavesTheOthersAsIfItNeverCame) {
    const std::vector<FrameInput> frames = VariedFrames();
    InputJournal kept, alone;
    kept.Begin({1, 2});
    alone.Begin({1, 2});
    kept.DropLast();  // nothing to take out yet
    for (const FrameInput& f : frames) {
        kept.Append(f);
        alone.Append(f);
        // A frame unlike its neighbours, as one the game stood still in.
        kept.Append(FrameInput{}.Hold(Key::Escape).Press(Key::Enter).Type('q').Lasting(0.05f));
        kept.DropLast();
        kept.DropLast();  // only the last one: f stays
    }
    EXPECT_EQ(kept.frames, alone.frames);
    EXPECT_EQ(kept.bytes, alone.bytes);
}

TEST(InputJournal, SteadyFramesTakeOneByteAndAllocateNothing) {
    InputJournal journal;
    journal.Begin({});
    const FrameInput held = FrameInput{}.Hold(Key::Left).Hold(Key::Shift).Lasting(0.01f);
    journal.Append(held);
    const std::size_t first = journal.bytes.size();
    EXPECT_EQ(first, 1u + 1u + 2u + 4u) << "flags, count, two keys, frame time";
    const std::uint8_t* buffer = journal.bytes.data();
    for (int i = 0; i < 10000; ++i) journal.Append(held);
    EXPECT_EQ(journal.bytes.size(), first + 10000);
    EXPECT_EQ(journal.bytes.data(), buffer) << "the buffer was reallocated";
    journal.Append(FrameInput{held}.Lasting(0.0125f));
    EXPECT_EQ(journal.bytes.size(), first + 10000 + 5) << "a new frame time costs four bytes";
}

TEST(InputJournal, MalformedBytesEndTheReadingWithAReason) {
    // A valid first frame (frame time 0.01) followed by each broken one.
    const std::vector<std::uint8_t> start = {8, 0x0a, 0xd7, 0x23, 0x3c};
    const struct {
        const char* what;
        std::vector<std::uint8_t> frame;
    } cases[] = {
        {"unknown flag", {16}},
        {"held count cut", {1}},
        {"held keys cut", {1, 2, 10, 11}},
        {"keys not rising", {1, 1, 20, 20}},
        {"keys falling", {1, 1, 30, 20}},
        {"pressed key missing", {2}},
        {"pressed key 0", {2, 0}},
        {"typed 0", {4, 0}},
        {"time cut", {8, 0, 0}},
        {"time NaN", {8, 0, 0, 0xc0, 0x7f}},
        {"time 0.5", {8, 0, 0, 0, 0x3f}},
        {"time 0", {8, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        InputJournal journal;
        journal.bytes = start;
        for (const std::uint8_t byte : c.frame) journal.bytes.push_back(byte);
        journal.frames = 2;
        JournalReader reader(journal);
        FrameInput frame;
        EXPECT_EQ(reader.Next(frame), JournalReader::Result::Frame) << c.what;
        EXPECT_EQ(reader.Next(frame), JournalReader::Result::Malformed) << c.what;
        EXPECT_NE(reader.error, "") << c.what;
        EXPECT_EQ(reader.Next(frame), JournalReader::Result::Malformed) << c.what << ": it stays broken";
        std::string error;
        EXPECT_FALSE(CheckJournal(journal, error)) << c.what;
    }

    InputJournal noTime;
    noTime.bytes = {0};
    noTime.frames = 1;
    std::string error;
    EXPECT_FALSE(CheckJournal(noTime, error)) << "the first frame must say how long it lasts";
    InputJournal miscounted;
    miscounted.bytes = start;
    miscounted.frames = 2;
    EXPECT_FALSE(CheckJournal(miscounted, error));
    EXPECT_NE(error.find("1 frames"), std::string::npos) << error;
}

TEST(RandomState, SettingItBackRepeatsTheDraws) {
    Engine* engine = hgeCreate(EngineVersion);
    engine->Random_Seed(99);
    engine->Random_Int(0, 10);
    const RandomState saved = engine->Random_GetState();
    std::vector<float> first, again;
    for (int i = 0; i < 20; ++i) first.push_back(engine->Random_Float(-1, 1));
    engine->Random_SetState(saved);
    for (int i = 0; i < 20; ++i) again.push_back(engine->Random_Float(-1, 1));
    EXPECT_EQ(first, again);
    engine->Random_SetState({5, 8});
    EXPECT_EQ(engine->Random_GetState(), (RandomState{5, 9})) << "the increment is made odd";
    engine->Release();
}

// What the frame callback was told, frame by frame.
struct Seen {
    static inline Engine* engine = nullptr;
    static inline std::vector<FrameInput> frames;
    static inline std::vector<float> draws;
    static bool Frame() {
        FrameInput f;
        for (int key = 0; key < FrameInput::KeyCount; ++key)
            if (engine->Input_GetKeyState(key)) f.Hold(key);
        f.pressedKey = static_cast<std::uint8_t>(engine->Input_GetKey());
        f.typedChar = static_cast<std::uint8_t>(engine->Input_GetChar());
        f.frameTime = engine->Timer_GetDelta();
        frames.push_back(f);
        draws.push_back(engine->Random_Float(0, 1));
        return false;
    }
};

// A headless engine whose frames are watched by Seen.
struct Watched {
    Engine* engine = hgeCreate(EngineVersion);
    explicit Watched(float frameTime = 0.01f) {
        Seen::engine = engine;
        Seen::frames.clear();
        Seen::draws.clear();
        engine->Headless_Enable({.frameTime = frameTime});
        engine->System_SetState(StateLogFile, "");
        engine->System_SetState(StateFrameFunc, &Seen::Frame);
        engine->System_Initiate();
    }
    ~Watched() {
        engine->System_Shutdown();
        engine->Release();
    }
};

TEST(JournalPlay, GivesTheRecordedFramesAndDrawsThenTheQueueTakesOver) {
    InputJournal recorded;
    std::vector<FrameInput> seen;
    std::vector<float> draws;
    {
        Watched run(0.02f);
        run.engine->Random_Seed(5);
        run.engine->Journal_Begin();
        run.engine->Headless_RunFrame(FrameInput{}.Press('M').Type('m'));
        run.engine->Headless_RunFrame(FrameInput{}.Hold(Key::Left).Lasting(0.5f));
        run.engine->Headless_RunFrame(FrameInput{}.Hold(Key::Left).Lasting(std::nanf("")));
        run.engine->Headless_RunFrame(FrameInput{}.Type('\t').Lasting(0.0125f));
        recorded = run.engine->Journal_Get();
        seen = Seen::frames;
        draws = Seen::draws;
    }
    EXPECT_EQ(seen[0].frameTime, 0.02f) << "the run's own frame time";
    EXPECT_EQ(seen[1].frameTime, MaxFrameDelta);
    EXPECT_EQ(seen[2].frameTime, MinFrameDelta);
    EXPECT_EQ(seen[3].typedChar, 0) << "Input_GetChar filters; the journal keeps the byte";

    Watched replay;
    replay.engine->Random_Seed(77);
    replay.engine->Headless_QueueFrame(FrameInput{}.Hold('Z'));
    ASSERT_TRUE(replay.engine->Journal_Play(recorded));
    EXPECT_TRUE(replay.engine->System_Start());
    ASSERT_EQ(Seen::frames.size(), seen.size() + 1);
    EXPECT_EQ(std::vector<FrameInput>(Seen::frames.begin(), Seen::frames.end() - 1), seen);
    EXPECT_EQ(std::vector<float>(Seen::draws.begin(), Seen::draws.end() - 1), draws);
    EXPECT_TRUE(Seen::frames.back().Holds('Z'));
    // The replay journalled itself: the same frames again, then the queued one.
    const InputJournal& again = replay.engine->Journal_Get();
    EXPECT_EQ(again.startRandom, recorded.startRandom);
    EXPECT_EQ(again.frames, recorded.frames + 1);
    EXPECT_TRUE(std::equal(recorded.bytes.begin(), recorded.bytes.end(), again.bytes.begin()));
}

TEST(JournalPlay, AMalformedJournalIsRefusedAndChangesNothing) {
    Watched run;
    run.engine->Random_Seed(3);
    const RandomState before = run.engine->Random_GetState();
    InputJournal broken;
    broken.bytes = {8, 0, 0};
    broken.frames = 1;
    EXPECT_FALSE(run.engine->Journal_Play(broken));
    EXPECT_EQ(run.engine->Random_GetState(), before);
    run.engine->System_Start();
    EXPECT_TRUE(Seen::frames.empty());
}

}  // namespace
