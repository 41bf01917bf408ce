#include "replay/replay_recorder.h"

#include "game/rules_version.h"

namespace {

// Frames reserved when a game begins: ten minutes at 100 frames per second
// go by without a reallocation.
constexpr std::size_t ReservedFrames = 60000;

}  // namespace

void ReplayRecorder::Begin(const Game& game, ReplayBeginning beginning) {
    current_ = Replay{};
    ReplaySummary& s = current_.summary;
    s.rulesVersion = RulesVersion;
    s.startRandom = game.beginning.random;
    s.ticket = game.beginning.ticket;
    s.ticket.random = s.startRandom;
    s.playerCount = game.playerCount;
    s.beginning = beginning;
    current_.carried = game.beginning.carried;
    current_.frames.reserve(ReservedFrames);
    recording_ = true;
}

void ReplayRecorder::GameBeganBeforeFrames(const Game& game) {
    Begin(game, ReplayBeginning::BeforeFirstFrame);
}

ReplayRecorder::Event ReplayRecorder::FrameRan(const Game& game, const FrameInput& input) {
    if (game.beginning.justBegan) Begin(game, ReplayBeginning::InFirstFrame);
    if (!recording_) return Event::None;
    if (current_.frames.size() == MaxReplayFrames) {
        recording_ = false;
        current_ = Replay{};
        return Event::TooLong;
    }
    current_.frames.push_back(ToReplayFrame(input));
    if (!game.gameOver) return Event::None;
    current_.summary.counters = {game.score, game.level, game.munchets, game.food};
    recording_ = false;
    finished_ = std::move(current_);
    current_ = Replay{};
    return Event::Ended;
}

std::optional<Replay> ReplayRecorder::TakeFinished(std::string name, std::int64_t recordedAt) {
    std::optional<Replay> taken = std::move(finished_);
    finished_.reset();
    if (taken) {
        taken->summary.name = std::move(name);
        taken->summary.recordedAt = recordedAt;
    }
    return taken;
}
