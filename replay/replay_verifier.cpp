#include "replay/replay_verifier.h"

#include <time.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "game/rules_version.h"

namespace {

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
    for (const Munchet& m : replay.carried) {
        // No game's arithmetic yields these; a crafted file uses them to make
        // every frame of its run as slow as it can.
        for (const float value : {m.x, m.y, m.targetX, m.targetY, m.heading, m.splitTimer})
            if (!std::isfinite(value)) return "a carried munchet holds a value that is no finite number";
    }
    if (!check.frameTimesInBounds) return outOfBounds;
    if (!check.paceKept)
        return "its " + std::to_string(frames) + " frames last " + Number(check.gameSeconds) +
               " s, less than " + Number(leastSeconds) + " s: the game was slowed down";
    return {};
}

}  // namespace

void SetUpReplayStart(Game& game, const Replay& replay) {
    game.Reset();
    game.random.SetState(replay.summary.startRandom);
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

ReplayRun::ReplayRun(const Replay& replay, VerifyOptions options)
    : replay(replay), options(std::move(options)) {
    if (std::string why = CheckWithoutPlaying(replay, this->options, check); !why.empty())
        Finish(ReplayVerdict::Refused, std::move(why));
}

ReplayRun::~ReplayRun() = default;

void ReplayRun::Finish(ReplayVerdict verdict, std::string reason) {
    check.verdict = verdict;
    check.reason = std::move(reason);
    finished = true;
}

void ReplayRun::Play(std::chrono::nanoseconds slice) {
    if (finished) return;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point begun = Clock::now();
    const Clock::time_point sliceEnd =
        slice >= Clock::time_point::max() - begun ? Clock::time_point::max() : begun + slice;
    sliceCpuStart = ThreadCpuTime();
    if (!game) {
        game = std::make_unique<Game>();
        SetUpReplayStart(*game, replay);
    }
    while (!PlayFrame() && Clock::now() < sliceEnd) {
    }
    cpuUsed += ThreadCpuTime() - sliceCpuStart;
    // Between the frame checks, too: a run of slow frames overshoots the
    // bound by a slice, not by CheckInterval frames.
    if (!finished && options.cpuBudget.count() > 0 && cpuUsed > options.cpuBudget)
        Finish(ReplayVerdict::Stopped,
               "out of CPU time after " + std::to_string(check.framesRun) + " frames");
    // A finished run needs its game no more; a verifier holding many runs
    // keeps only the unfinished ones' games.
    if (finished) game.reset();
}

bool ReplayRun::PlayFrame() {
    const ReplaySummary& s = replay.summary;
    const std::size_t frames = replay.frames.size();
    const std::size_t i = check.framesRun;
    if (i % VerifyOptions::CheckInterval == 0 && i > 0) {
        const bool stopped = options.stop && options.stop(check.framesRun);
        if (stopped) {
            Finish(ReplayVerdict::Stopped, "stopped after " + std::to_string(i) + " frames");
            return true;
        }
        if (options.cpuBudget.count() > 0 &&
            cpuUsed + (ThreadCpuTime() - sliceCpuStart) > options.cpuBudget) {
            Finish(ReplayVerdict::Stopped, "out of CPU time after " + std::to_string(i) + " frames");
            return true;
        }
    }
    // Every frame time was checked to lie within the engine's bounds before
    // the first frame, so the game runs on exactly the recorded times.
    const bool left = game->Frame(ToFrameInput(replay.frames[i]));
    check.framesRun += 1;
    check.reached = {game->score, game->level, game->munchets, game->food};
    const auto refuse = [this](std::string why) {
        Finish(ReplayVerdict::Refused, std::move(why));
        return true;
    };
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
    if (i + 1 < frames) return false;
    EndAfterLastFrame();
    return true;
}

void ReplayRun::EndAfterLastFrame() {
    const ReplaySummary& s = replay.summary;
    if (options.atEnd) options.atEnd(*game);
    if (!game->gameOver) return Finish(ReplayVerdict::Refused, "the game is not over after its last frame");
    check.endedAtLastFrame = true;
    if (!(check.reached == s.counters))
        return Finish(ReplayVerdict::Refused, "the game ended with " + Describe(check.reached) +
                                                  ", not with the " + Describe(s.counters) + " it claims");
    if (!game->beginning.carried.empty())
        return Finish(ReplayVerdict::Unproven,
                      "it began with " + std::to_string(game->beginning.carried.size()) +
                          " munchets carried over from the game before, which no replay proves");
    Finish(ReplayVerdict::Proven, {});
}

ReplayCheck VerifyReplay(const Replay& replay, const VerifyOptions& options) {
    ReplayRun run(replay, options);
    run.Play(std::chrono::nanoseconds::max());
    return run.Check();
}
