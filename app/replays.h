// Replays in the program. Playing: every game is recorded, each finished one
// is kept in the player's replays folder, and its replay goes to the score
// server with its score. Watching (/REPLAY=FILE): a kept game plays again in
// the window at its own pace through the engine's journal playback, with
// the game's own HUD; Escape on the keyboard quits; nothing is sent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/game_audio.h"
#include "engine/input_journal.h"
#include "game/game.h"
#include "game/score_exchange.h"
#include "replay/replay_file.h"

// --- Playing ---------------------------------------------------------------
// After start-up's StartGame; the replays log through engine until the run
// ends.
void RecordGameBegan(Engine& engine, const Game& game);
// After every frame the game ran, with the input it ran on.
void RecordFrame(const Game& game, const FrameInput& input);
// The run ends: a finished game still waiting for a name is kept.
void RecordRunEnded();
// The finished game's replay file, to go to the score server with its
// submission; empty when there is none.
std::string ReplayForSubmission(const ScoreSubmission& submission);

// --- Watching --------------------------------------------------------------
struct ReplayToWatch {
    Replay replay;
    InputJournal journal;  // its frames, for Journal_Play
};
// Reads a replay file to watch; nullopt with a sentence for the player in
// error when it cannot be read, is no replay, or was recorded under other
// rules.
std::optional<ReplayToWatch> LoadReplayToWatch(const std::string& path, std::string& error);
// Once the engine is up, before System_Start: plays the journal back and puts
// game where the replay's game began.
void StartWatching(Engine& engine, Game& game, const ReplayToWatch& watched);
// The frame callback while watching: the game runs on the replay's frames,
// sounding through audio; once they are over it holds still on the last
// one, until Escape is pressed on the keyboard.
bool WatchFrame(Engine& engine, Game& game, const GameAudio& audio);
