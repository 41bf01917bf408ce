#include "replay/replay_verifier.h"

#include <time.h>

#include <cstdio>
#include <memory>

#include "common/engine_ref.h"
#include "engine/headless.h"
#include "game/rules_version.h"

namespace {

// The game the engine's frame callback drives during a run.
Game* verifiedGame = nullptr;
bool VerifiedFrame() { return verifiedGame->Frame(); }

std::chrono::nanoseconds ThreadCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

std::string Describe(const ReplayCounters& c) {
    return "score " + std::to_string(c.score) + ", level " + std::to_string(c.level) + ", munchets " +
           std::to_string(c.munchets) + ", food " + std::to_string(c.food);
}

// The process's one engine, headless and without a platform, for one run;
// released again (and `hge` cleared) however the run ends.
class EngineForOneRun {
public:
    explicit EngineForOneRun(Game& game) : engine_(hgeCreate(EngineVersion)) {
        engine_->System_SetPlatform(nullptr);
        engine_->Headless_Enable(HeadlessOptions{});
        engine_->System_SetState(StateLogFile, "");
        engine_->System_SetState(StateFrameFunc, &VerifiedFrame);
        engine_->System_SetState(StateRenderFunc, nullptr);
        engine_->System_Initiate();
        hge = engine_;
        verifiedGame = &game;
    }
    ~EngineForOneRun() {
        verifiedGame = nullptr;
        hge = nullptr;
        engine_->System_Shutdown();
        engine_->Release();
    }
    EngineForOneRun(const EngineForOneRun&) = delete;
    EngineForOneRun& operator=(const EngineForOneRun&) = delete;

    Engine* operator->() const { return engine_; }

private:
    Engine* engine_;
};

// The checks that need no game: which rules, which frame times. Empty when
// they pass.
std::string CheckWithoutPlaying(const Replay& replay, const VerifyOptions& options, ReplayCheck& check) {
    const ReplaySummary& s = replay.summary;
    const std::size_t frames = replay.frames.size();
    check.frameTimesInBounds = true;
    std::string outOfBounds;
    for (std::size_t i = 0; i < frames; ++i) {
        const float time = replay.frames[i].frameTime;
        check.gameSeconds += static_cast<double>(time);
        if (!(time >= MinFrameDelta && time <= MaxFrameDelta) && check.frameTimesInBounds) {
            check.frameTimesInBounds = false;
            outOfBounds = "frame " + std::to_string(i + 1) + " lasts " + Number(static_cast<double>(time)) +
                          " s, outside the engine's bounds of " + Number(static_cast<double>(MinFrameDelta)) +
                          " to " + Number(static_cast<double>(MaxFrameDelta)) + " s";
        }
    }
    const double leastSeconds = MinPaceShare * NominalFrameTime * static_cast<double>(frames);
    check.paceKept = check.frameTimesInBounds && check.gameSeconds >= leastSeconds;

    if (s.rulesVersion != RulesVersion)
        return "recorded under rules version " + std::to_string(s.rulesVersion) + ", not " +
               std::to_string(RulesVersion);
    if (frames == 0) return "it holds no frames";
    if (frames > options.maxFrames)
        return "it holds " + std::to_string(frames) + " frames, more than " +
               std::to_string(options.maxFrames);
    if (s.playerCount != 1 && s.playerCount != 2) return "a player count other than 1 or 2";
    if (!replay.carried.empty() && s.beginning != ReplayBeginning::InFirstFrame)
        return "munchets carried into a game begun before the first frame";
    if (!check.frameTimesInBounds) return outOfBounds;
    if (!check.paceKept)
        return "its " + std::to_string(frames) + " frames last " + Number(check.gameSeconds) +
               " s, less than " + Number(leastSeconds) + " s: the game was slowed down";
    return {};
}

}  // namespace

void SetUpReplayStart(Game& game, const Replay& replay) {
    game.Reset();
    game.beginning = GameBeginning{};
    game.playerCount = replay.summary.playerCount;
    game.pendingNewborns = replay.carried;
    if (replay.summary.beginning == ReplayBeginning::BeforeFirstFrame) {
        game.StartGame();
    } else {
        // A finished game's table, emptied: the munchet pass of the first
        // frame draws nothing, and F1, F2, R or Space begins the game.
        game.gameOver = true;
        game.nameEntry = false;
    }
}

ReplayCheck VerifyReplay(const Replay& replay, const VerifyOptions& options) {
    ReplayCheck check;
    const auto refuse = [&check](std::string why) {
        check.verdict = ReplayVerdict::Refused;
        check.reason = std::move(why);
        return check;
    };
    if (std::string why = CheckWithoutPlaying(replay, options, check); !why.empty()) return refuse(why);
    if (hge) {
        check.reason = "the engine is in use in this process";
        return check;
    }

    const ReplaySummary& s = replay.summary;
    const std::size_t frames = replay.frames.size();
    auto game = std::make_unique<Game>();
    EngineForOneRun engine(*game);
    engine->Random_SetState(s.startRandom);
    SetUpReplayStart(*game, replay);
    const std::chrono::nanoseconds cpuStart = ThreadCpuTime();
    for (std::size_t i = 0; i < frames; ++i) {
        if (i % VerifyOptions::CheckInterval == 0 && i > 0) {
            const bool stopped = options.stop && options.stop(check.framesRun);
            if (stopped ||
                (options.cpuBudget.count() > 0 && ThreadCpuTime() - cpuStart > options.cpuBudget)) {
                check.verdict = ReplayVerdict::Stopped;
                check.reason = stopped ? "stopped after " + std::to_string(i) + " frames"
                                       : "out of CPU time after " + std::to_string(i) + " frames";
                return check;
            }
        }
        const bool left = engine->Headless_RunFrame(ToFrameInput(replay.frames[i]));
        check.framesRun += 1;
        check.reached = {game->score, game->level, game->munchets, game->food};
        const auto frame = [i] { return "frame " + std::to_string(i + 1); };
        if (left) return refuse("the game was left with Escape in " + frame());
        if (i == 0 && s.beginning == ReplayBeginning::InFirstFrame && !game->beginning.justBegan)
            return refuse("its first frame begins no game");
        if (i > 0 && game->beginning.justBegan) return refuse("a new game began in " + frame());
        if (i == 0 && game->playerCount != s.playerCount)
            return refuse("a game of " + std::to_string(game->playerCount) + " players, not " +
                          std::to_string(s.playerCount));
        if (game->gameOver && i + 1 < frames)
            return refuse("the game ended in " + frame() + " of " + std::to_string(frames));
    }
    if (options.atEnd) options.atEnd(*game);
    if (!game->gameOver) return refuse("the game is not over after its last frame");
    check.endedAtLastFrame = true;
    if (!(check.reached == s.counters))
        return refuse("the game ended with " + Describe(check.reached) + ", not with the " +
                      Describe(s.counters) + " it claims");
    if (!game->beginning.carried.empty()) {
        check.verdict = ReplayVerdict::Unproven;
        check.reason = "it began with " + std::to_string(game->beginning.carried.size()) +
                       " munchets carried over from the game before, which no replay proves";
        return check;
    }
    check.verdict = ReplayVerdict::Proven;
    return check;
}
