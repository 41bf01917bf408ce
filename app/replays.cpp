#include "app/replays.h"

#include "common/engine_ref.h"
#include "common/whole_file.h"
#include "game/rules_version.h"
#include "replay/game_recording.h"
#include "replay/replay_verifier.h"

namespace {

void LogLine(std::string_view line) {
    if (hge)
        hge->System_Log("%.*s", static_cast<int>(line.size()), line.data());
    else
        std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

GameRecording& Recording() {
    static ReplayShelf shelf({"", LogLine});
    static GameRecording recording(shelf, LogLine);
    return recording;
}

// Frames of the replay being watched, and whether their end was told.
std::uint32_t watchedFrames = 0;
bool watchOverTold = false;

}  // namespace

void RecordGameBegan(const Game& game) { Recording().GameBegan(game); }

void RecordFrame(const Game& game) { Recording().FrameRan(game, hge->Journal_Get().last); }

void RecordRunEnded() { Recording().RunEnded(); }

std::string ReplayForSubmission(const ScoreSubmission& submission) {
    return Recording().ReplayForSubmission(submission);
}

std::optional<ReplayToWatch> LoadReplayToWatch(const std::string& path, std::string& error) {
    std::string bytes;
    bool missing = false;
    if (!ReadBoundedFile(path, MaxReplayFileBytes, bytes, missing, error)) return std::nullopt;
    if (missing) {
        error = path + " does not exist";
        return std::nullopt;
    }
    ReplayReading reading = ReadReplay(bytes);
    if (!reading.ok) {
        error = path + " is not a replay this game can play: " + reading.error;
        return std::nullopt;
    }
    const ReplaySummary& s = reading.replay.summary;
    if (s.rulesVersion != RulesVersion) {
        error = path + " was recorded under the rules of version " + std::to_string(s.rulesVersion) +
                "; this game plays version " + std::to_string(RulesVersion) +
                " and would not play it the same";
        return std::nullopt;
    }
    ReplayToWatch watched{std::move(reading.replay), {}};
    watched.journal.Begin(s.startRandom);
    for (const ReplayFrame& frame : watched.replay.frames) {
        const FrameInput input = ToFrameInput(frame);
        if (!(input.frameTime >= MinFrameDelta && input.frameTime <= MaxFrameDelta)) {
            error = path + " holds a frame time the engine never gives (" + std::to_string(input.frameTime) +
                    " s)";
            return std::nullopt;
        }
        watched.journal.Append(input);
    }
    return watched;
}

void StartWatching(Game& game, const ReplayToWatch& watched) {
    watchedFrames = watched.journal.frames;
    watchOverTold = false;
    hge->Journal_Play(watched.journal);
    game.playerName = watched.replay.summary.name;
    SetUpReplayStart(game, watched.replay);
}

bool WatchFrame(Game& game) {
    if (hge->Input_GetLiveKeyState(Key::Escape)) return true;
    if (hge->Journal_IsPlaying()) return game.Frame();
    if (!watchOverTold) {
        hge->System_Log("Replay: its %u frames are over; the game holds still (Escape quits)", watchedFrames);
        watchOverTold = true;
    }
    return false;
}
