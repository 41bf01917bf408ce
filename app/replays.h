// Replays in the program. Playing: every game is recorded, each finished one
// is kept in the player's replays folder, and its replay goes to the score
// server with its score. Watching (/REPLAY=FILE): a kept game plays again in
// the window at its own pace through the engine's journal playback, with
// the game's own HUD; Escape on the keyboard quits; nothing is sent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/input_journal.h"
#include "game/game.h"
#include "game/score_exchange.h"
#include "replay/replay_file.h"

// --- Playing ---------------------------------------------------------------
// After start-up's StartGame.
void RecordGameBegan(const Game& game);
// After every frame the game ran (the engine's journal holds its input).
void RecordFrame(const Game& game);
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
void StartWatching(Game& game, const ReplayToWatch& watched);
// The frame callback while watching: the game runs on the replay's frames;
// once they are over it holds still on the last one, until Escape is
// pressed on the keyboard.
bool WatchFrame(Game& game);
