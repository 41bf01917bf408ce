// While a journal plays back in place of the keyboard, the keyboard is still
// heard (so a watcher can stop a replay), and the game can tell played
// frames from live ones.
#include <gtest/gtest.h>

#include "engine/engine_impl.h"
#include "engine/headless.h"

namespace {

TEST(JournalWatch, TheLiveKeysAreHeardBesideThePlayedOnes) {
    Engine* engine = hgeCreate(EngineVersion);
    engine->Headless_Enable({});
    engine->System_Initiate();
    InputJournal journal;
    journal.Begin({});
    for (int i = 0; i < 2; ++i) journal.Append(FrameInput{}.Hold('A').Lasting(0.01f));
    ASSERT_TRUE(engine->Journal_Play(journal));

    EngineImpl& e = *engine->impl;
    const FrameInput keyboard = FrameInput{}.Hold(Key::Escape).Lasting(0.01f);
    for (int frame = 0; frame < 3; ++frame) {
        FrameInput input = keyboard;
        const bool played = e.NextPlayedFrame(input);
        e.RunFrame(input);
        EXPECT_EQ(played, frame < 2);
        EXPECT_EQ(engine->Journal_IsPlaying(), played);
        EXPECT_EQ(engine->Input_GetKeyState('A'), played) << "the game reads the journal's keys";
        EXPECT_EQ(engine->Input_GetKeyState(Key::Escape), !played);
        EXPECT_TRUE(engine->Input_GetLiveKeyState(Key::Escape)) << "the keyboard is heard in frame " << frame;
        EXPECT_FALSE(engine->Input_GetLiveKeyState('A'));
    }
    engine->Headless_RunFrame(FrameInput{}.Hold('B'));
    EXPECT_FALSE(engine->Journal_IsPlaying());
    EXPECT_TRUE(engine->Input_GetLiveKeyState('B'));
    engine->System_Shutdown();
    engine->Release();
}

}  // namespace
