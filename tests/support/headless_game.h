// A real Game stepped frame by frame as the program steps it, but with no
// engine at all: a fixed seed, a fixed frame time and scripted keys make
// every run the same. Games share nothing, so any number may run side by
// side in one process, on any threads.
#pragma once

#include "engine/frame_input.h"
#include "engine/headless.h"
#include "engine/input_journal.h"
#include "game/game.h"

struct HeadlessGame {
    Game game;
    // The input the last frame ran on, its frame time as the game saw it.
    FrameInput lastInput;

    // options.frameTime: what a frame lasts whose input leaves it 0.
    explicit HeadlessGame(int seed = 1234, HeadlessOptions options = {})
        : frameTime(BoundFrameTime(options.frameTime)) {
        game.random.Seed(static_cast<std::uint32_t>(seed));
    }

    // One frame; true when it asked to end the run.
    bool RunFrame(FrameInput input = {}) {
        if (input.frameTime == 0) input.frameTime = frameTime;
        input.frameTime = BoundFrameTime(input.frameTime);
        lastInput = input;
        return game.Frame(input);
    }
    // n frames with the same input.
    void RunFrames(int n, const FrameInput& input = {}) {
        for (int i = 0; i < n; ++i) RunFrame(input);
    }
    // Every frame of journal, in order, until one ends the run. The game
    // must stand where it stood when the journal began, its generator set
    // to journal.startRandom.
    void PlayJournal(const InputJournal& journal) {
        JournalReader reader(journal);
        FrameInput input;
        while (reader.Next(input) == JournalReader::Result::Frame)
            if (RunFrame(input)) return;
    }

private:
    float frameTime;
};
