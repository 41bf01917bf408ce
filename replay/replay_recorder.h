// Follows a Game frame by frame and records the game under way: how it
// began (GameBeginning) and the input of every frame from then on, as the
// rules read it. A game that ends is held as finished until it is taken; a
// game left unfinished (a restart, the end of the run) is simply dropped.
// Cheap enough for every frame of every game: eight bytes a frame, appended.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/frame_input.h"
#include "game/game.h"
#include "replay/replay_file.h"

class ReplayRecorder {
public:
    enum class Event {
        None,
        Ended,    // the game under way ended in this frame: it is now the finished one
        TooLong,  // the game under way outgrew MaxReplayFrames: it is no longer recorded
    };

    // After a StartGame outside any frame (start-up's first game).
    void GameBeganBeforeFrames(const Game& game);
    // After every frame the game ran, with the input it ran with (not after
    // a frame that ended the run: its game was left).
    Event FrameRan(const Game& game, const FrameInput& input);

    bool HasFinished() const { return finished_.has_value(); }
    const std::optional<Replay>& Finished() const { return finished_; }
    // The finished game, given the name it was sent under (empty: none) and
    // the time it is kept at (UTC seconds); nullopt when there is none.
    std::optional<Replay> TakeFinished(std::string name, std::int64_t recordedAt);

private:
    void Begin(const Game& game, ReplayBeginning beginning);

    bool recording_ = false;
    Replay current_;
    std::optional<Replay> finished_;
};
