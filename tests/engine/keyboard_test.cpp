// SDL's keys as the game's virtual-key codes, and the per-frame key state.
#include "engine/sdl/keyboard.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "engine/engine_impl.h"

namespace {

int ByScancode(SDL_Scancode scancode) { return VirtualKeyFromSdl(scancode, SDLK_UNKNOWN); }

TEST(VirtualKeyFromSdl, KeysTheGameUses) {
    EXPECT_EQ(ByScancode(SDL_SCANCODE_ESCAPE), 27);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_RETURN), 13);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_KP_ENTER), 13);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_BACKSPACE), 8);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_DELETE), 46);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_SPACE), 32);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_LSHIFT), 16);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_RSHIFT), 16);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_KP_0), 96);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_LEFT), 37);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_UP), 38);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_RIGHT), 39);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_DOWN), 40);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_F1), 112);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_F2), 113);
}

TEST(VirtualKeyFromSdl, LettersAndDigitsByPosition) {
    for (int i = 0; i < 26; ++i)
        EXPECT_EQ(ByScancode(static_cast<SDL_Scancode>(SDL_SCANCODE_A + i)), 'A' + i) << "letter " << i;
    EXPECT_EQ(ByScancode(SDL_SCANCODE_0), '0');
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(ByScancode(static_cast<SDL_Scancode>(SDL_SCANCODE_1 + i)), '1' + i) << "digit " << i + 1;
    // The key in the W position is W whatever letter the layout prints on it.
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_W, SDLK_z), 'W');
}

TEST(VirtualKeyFromSdl, NumpadZeroWhateverNumLockSays) {
    // With NumLock off the keypad 0 is reported as Insert.
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_KP_0, SDLK_INSERT), 96);
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_KP_0, SDLK_KP_0), 96);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_KP_5), 101);
}

TEST(VirtualKeyFromSdl, KeycodeWhenTheScancodeIsUnknown) {
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_UNKNOWN, SDLK_r), 'R');
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_UNKNOWN, SDLK_7), '7');
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_UNKNOWN, SDLK_ESCAPE), 27);
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_UNKNOWN, SDLK_RETURN), 13);
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_UNKNOWN, SDLK_DELETE), 46);
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_UNKNOWN, SDLK_F2), 113);
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_UNKNOWN, SDLK_LEFT), 37);
}

TEST(VirtualKeyFromSdl, UnknownKeysAreZero) {
    EXPECT_EQ(VirtualKeyFromSdl(SDL_SCANCODE_UNKNOWN, SDLK_UNKNOWN), 0);
    EXPECT_EQ(ByScancode(SDL_SCANCODE_MUTE), 0);
    EXPECT_EQ(VirtualKeyFromSdl(-5, 0), 0);
    EXPECT_EQ(VirtualKeyFromSdl(100000, 0x7fffffff), 0);
}

// The keyboard's effect on what the engine answers the game: each read
// answers from the record the keyboard has built so far.
class FrameKeys : public ::testing::Test {
protected:
    void SetUp() override { real = hgeCreate(EngineVersion); }
    void TearDown() override { real->Release(); }

    void Down(SDL_Scancode scancode, bool repeat = false) {
        keyboard.KeyDown(scancode, SDL_GetKeyFromScancode(scancode), repeat);
    }
    void Up(SDL_Scancode scancode) { keyboard.KeyUp(scancode, SDL_GetKeyFromScancode(scancode)); }
    void NextFrame() { keyboard.BeginFrame(); }
    Engine* engine() {
        real->impl->current = keyboard.Record();
        return real;
    }

    Engine* real = nullptr;
    KeyboardInput keyboard;
};

TEST_F(FrameKeys, FirstKeyOfTheFrameIsReportedForTheWholeFrame) {
    NextFrame();
    Down(SDL_SCANCODE_M);
    Down(SDL_SCANCODE_LEFT);
    EXPECT_EQ(engine()->Input_GetKey(), 'M');
    EXPECT_EQ(engine()->Input_GetKey(), 'M');
    EXPECT_TRUE(engine()->Input_GetKeyState('M'));
    EXPECT_TRUE(engine()->Input_GetKeyState(Key::Left));
    NextFrame();
    EXPECT_EQ(engine()->Input_GetKey(), 0) << "a held key is pressed only once";
    EXPECT_TRUE(engine()->Input_GetKeyState('M'));
    Up(SDL_SCANCODE_M);
    EXPECT_FALSE(engine()->Input_GetKeyState('M'));
}

TEST_F(FrameKeys, AutoRepeatCountsAsAPress) {
    NextFrame();
    Down(SDL_SCANCODE_BACKSPACE);
    NextFrame();
    Down(SDL_SCANCODE_BACKSPACE, true);
    EXPECT_EQ(engine()->Input_GetKey(), Key::Backspace);
}

TEST_F(FrameKeys, ATapWithinOneFrameIsHeldForThatFrame) {
    NextFrame();
    Down(SDL_SCANCODE_ESCAPE);
    Up(SDL_SCANCODE_ESCAPE);
    EXPECT_TRUE(engine()->Input_GetKeyState(Key::Escape));
    EXPECT_EQ(engine()->Input_GetKey(), Key::Escape);
    NextFrame();
    EXPECT_FALSE(engine()->Input_GetKeyState(Key::Escape));
}

TEST_F(FrameKeys, PressedAgainAfterATapStaysHeld) {
    NextFrame();
    Down(SDL_SCANCODE_R);
    Up(SDL_SCANCODE_R);
    Down(SDL_SCANCODE_R);
    NextFrame();
    EXPECT_TRUE(engine()->Input_GetKeyState('R'));
}

TEST_F(FrameKeys, BothShiftKeysMustBeUpForShiftToBeUp) {
    NextFrame();
    Down(SDL_SCANCODE_LSHIFT);
    Down(SDL_SCANCODE_RSHIFT);
    NextFrame();
    Up(SDL_SCANCODE_LSHIFT);
    EXPECT_TRUE(engine()->Input_GetKeyState(Key::Shift));
    Up(SDL_SCANCODE_RSHIFT);
    EXPECT_FALSE(engine()->Input_GetKeyState(Key::Shift));
}

TEST_F(FrameKeys, ReleaseAllLetsGoOfEverything) {
    NextFrame();
    Down(SDL_SCANCODE_W);
    Down(SDL_SCANCODE_G);
    keyboard.ReleaseAll();
    EXPECT_FALSE(engine()->Input_GetKeyState('W'));
    EXPECT_FALSE(engine()->Input_GetKeyState('G'));
    // The releases that come later (the window gets its keyboard back) change nothing.
    NextFrame();
    Up(SDL_SCANCODE_W);
    EXPECT_FALSE(engine()->Input_GetKeyState('W'));
}

TEST_F(FrameKeys, TypedCharacterIsTheFirstOfTheFrame) {
    NextFrame();
    keyboard.Text("ab");
    keyboard.Text("c");
    EXPECT_EQ(engine()->Input_GetChar(), 'a');
    NextFrame();
    EXPECT_EQ(engine()->Input_GetChar(), 0);
    keyboard.Text("\xC3\xA9");  // é: not one byte 32..126
    EXPECT_EQ(engine()->Input_GetChar(), 0);
    NextFrame();
    keyboard.Text("~");
    EXPECT_EQ(engine()->Input_GetChar(), '~');
}

}  // namespace
