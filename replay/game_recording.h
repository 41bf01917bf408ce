// The game's side of replays: every game of a run recorded, and every
// finished one kept in the replays folder exactly once:
//  - a game whose score is sent to the score server is kept under the name
//    it is sent with, and its replay travels with the submission;
//  - any other finished game (its score not above 0, the name left empty,
//    the name entry left with F1, F2 or Escape) is kept without a name as
//    soon as that is clear.
// A game left unfinished (F1, F2 during play, Escape) is not kept.
//
// Each replay records the ticket its game began with (game/game.h) and how
// long the game stood still: the wall time from its first frame to the
// moment its replay is written (sent with its score, or kept unsent) that
// its frame times do not account for. A frozen window, the name entry after
// the last frame and the wait for the score exchange all count, which is
// what the score server must allow for when it compares the game's frame
// times with its own clock.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/log_sink.h"
#include "game/game.h"
#include "game/score_exchange.h"
#include "replay/replay_recorder.h"
#include "replay/replay_shelf.h"

class GameRecording {
public:
    // log: one line for every game that is not kept (null: stderr);
    // clock: the monotonic clock in nanoseconds (null: the engine's).
    GameRecording(ReplayShelf& shelf, LogSink log, std::function<std::int64_t()> clock = nullptr);

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
    LogSink log_;
    ReplayRecorder recorder_;
    std::function<std::int64_t()> clock_;
    // When the time of the first frame of the game under way, and of the
    // finished one, began (clock_).
    std::int64_t beganAt_ = 0;
    std::int64_t finishedBeganAt_ = 0;
};
