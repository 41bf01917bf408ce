#include "replay/game_recording.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "common/log_sink.h"
#include "engine/frame_clock.h"

namespace {

// The wall time elapsed (nanoseconds) that the frames' times do not cover,
// in milliseconds; 0 when the frames cover it all.
std::uint32_t StandingStillMs(const std::vector<ReplayFrame>& frames, std::int64_t elapsed) {
    double played = 0;  // seconds; the rules never see this sum
    for (const ReplayFrame& frame : frames) played += frame.frameTime;
    const double still = static_cast<double>(elapsed) * 1e-6 - played * 1e3;
    return static_cast<std::uint32_t>(std::clamp(still, 0.0, 4294967295.0));
}

}  // namespace

GameRecording::GameRecording(ReplayShelf& shelf, std::function<void(std::string_view line)> log,
                             std::function<std::int64_t()> clock)
    : shelf_(shelf), log_(std::move(log)), clock_(clock ? std::move(clock) : MonotonicNanoseconds) {}

void GameRecording::Log(const std::string& line) const { LogTo(log_, line); }

void GameRecording::GameBegan(const Game& game) {
    beganAt_ = clock_();
    recorder_.GameBeganBeforeFrames(game);
}

void GameRecording::FrameRan(const Game& game, const FrameInput& input) {
    // A game waiting for its name is sent after the frame that sent it
    // (Enter) ran and before it is recorded here; one
    // that will not be sent is kept once the name entry is over, whichever
    // way it ended, before the game that may have begun in this frame.
    if (recorder_.HasFinished() && !game.nameEntry) KeepFinished("");
    // The frame that began a game is its first, and its time began before it ran.
    if (game.beginning.justBegan)
        beganAt_ = clock_() - static_cast<std::int64_t>(static_cast<double>(input.frameTime) * 1e9);
    const ReplayRecorder::Event event = recorder_.FrameRan(game, input);
    if (event == ReplayRecorder::Event::TooLong)
        Log("replays: the game under way is longer than a replay may be; it is not kept");
    if (event == ReplayRecorder::Event::Ended) finishedBeganAt_ = beganAt_;
    if (recorder_.HasFinished() && !game.nameEntry) KeepFinished("");
}

std::string GameRecording::ReplayForSubmission(const ScoreSubmission& submission) {
    const std::optional<Replay>& finished = recorder_.Finished();
    if (!finished) return {};
    const ReplayCounters sent{submission.score, submission.level, submission.munchets, submission.food};
    if (!(finished->summary.counters == sent)) return {};
    return KeepFinished(submission.name);
}

void GameRecording::RunEnded() {
    if (recorder_.HasFinished()) KeepFinished("");
}

std::string GameRecording::KeepFinished(std::string name) {
    std::optional<Replay> replay = recorder_.TakeFinished(std::move(name), std::time(nullptr));
    if (!replay) return {};
    replay->summary.standingStillMs = StandingStillMs(replay->frames, clock_() - finishedBeganAt_);
    std::string bytes = WriteReplay(*replay);
    if (bytes.empty()) {
        Log("replays: the game just ended cannot be written as a replay");
        return {};
    }
    shelf_.Keep(bytes, replay->summary);
    return bytes;
}
