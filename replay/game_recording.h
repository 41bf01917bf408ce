// The game's side of replays: every game of a run recorded, and every
// finished one kept in the replays folder exactly once:
//  - a game whose score is sent to the score server is kept under the name
//    it is sent with, and its replay travels with the submission;
//  - any other finished game (its score not above 0, the name left empty,
//    the name entry left with F1, F2 or Escape) is kept without a name as
//    soon as that is clear.
// A game left unfinished (F1, F2 during play, Escape) is not kept.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "game/game.h"
#include "game/score_exchange.h"
#include "replay/replay_recorder.h"
#include "replay/replay_shelf.h"

class GameRecording {
public:
    // log: one line for every game that is not kept (null: stderr).
    GameRecording(ReplayShelf& shelf, std::function<void(std::string_view line)> log);

    // After start-up's StartGame, before the first frame.
    void GameBegan(const Game& game);
    // After every frame the game ran, with the input it ran with.
    void FrameRan(const Game& game, const FrameInput& input);
    // The replay file that goes with submission: the finished game, named as
    // sent and kept. Empty when no finished game waits or its counters are
    // not the submission's.
    std::string ReplayForSubmission(const ScoreSubmission& submission);
    // The run ends: a finished game still waiting for its name is kept.
    void RunEnded();

private:
    std::string KeepFinished(std::string name);
    void Log(const std::string& line) const;

    ReplayShelf& shelf_;
    std::function<void(std::string_view line)> log_;
    ReplayRecorder recorder_;
};
