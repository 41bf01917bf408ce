#include "app/replays.h"

#include "common/whole_file.h"
#include "game/rules_version.h"
#include "replay/game_recording.h"
#include "replay/replay_verifier.h"

namespace {

// The engine of the run being recorded, from its first game to its end: the
// replays' lines go to its log.
Engine* logEngine = nullptr;

void LogLine(std::string_view line) {
    if (logEngine)
        logEngine->System_Log("%.*s", static_cast<int>(line.size()), line.data());
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

void RecordGameBegan(Engine& engine, const Game& game) {
    logEngine = &engine;
    Recording().GameBegan(game);
}

void RecordFrame(const Game& game, const FrameInput& input) { Recording().FrameRan(game, input); }

void RecordRunEnded() {
    Recording().RunEnded();
    logEngine = nullptr;
}

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

void StartWatching(Engine& engine, Game& game, const ReplayToWatch& watched) {
    watchedFrames = watched.journal.frames;
    watchOverTold = false;
    engine.Journal_Play(watched.journal);
    game.playerName = watched.replay.summary.name;
    SetUpReplayStart(game, watched.replay);
}

bool WatchFrame(Engine& engine, Game& game, const GameAudio& audio) {
    if (engine.Input_GetLiveKeyState(Key::Escape)) return true;
    if (engine.Journal_IsPlaying()) {
        if (game.Frame(engine.Input_GetFrame())) return true;
        audio.Play(engine, game.effects);
        return false;
    }
    if (!watchOverTold) {
        engine.System_Log("Replay: its %u frames are over; the game holds still (Escape quits)",
                          watchedFrames);
        watchOverTold = true;
    }
    return false;
}
