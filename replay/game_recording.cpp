#include "replay/game_recording.h"

#include <cstdio>
#include <ctime>

GameRecording::GameRecording(ReplayShelf& shelf, std::function<void(std::string_view line)> log)
    : shelf_(shelf), log_(std::move(log)) {}

void GameRecording::Log(const std::string& line) const {
    if (log_)
        log_(line);
    else
        std::fprintf(stderr, "%s\n", line.c_str());
}

void GameRecording::GameBegan(const Game& game) { recorder_.GameBeganBeforeFrames(game); }

void GameRecording::FrameRan(const Game& game, const FrameInput& input) {
    // A game waiting for its name is sent from inside a frame (Enter); one
    // that will not be sent is kept once the name entry is over, whichever
    // way it ended, before the game that may have begun in this frame.
    if (recorder_.HasFinished() && !game.nameEntry) KeepFinished("");
    if (recorder_.FrameRan(game, input) == ReplayRecorder::Event::TooLong)
        Log("replays: the game under way is longer than a replay may be; it is not kept");
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
    std::string bytes = WriteReplay(*replay);
    if (bytes.empty()) {
        Log("replays: the game just ended cannot be written as a replay");
        return {};
    }
    shelf_.Keep(bytes, replay->summary);
    return bytes;
}
