// Plays a replay again on the real rules, headless, and tells whether it is
// a game the rules really produced: it begins as a game begins, every frame
// time is one the engine could have given, the game was not slowed down, it
// ends exactly in its last frame (not before), and it ends with the counters
// the replay claims. What that proves, and what it does not (that a person
// pressed the keys), is said in the README.
//
// Steps a Game of its own directly from the replay's frames: no engine, no
// window, no sound, no platform library. Runs share nothing, so any number
// may go on at once on any threads, each run used by one thread at a time;
// every run starts from a fresh Game and leaves nothing behind.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "game/game.h"
#include "replay/replay_file.h"

// The engine paces the game at 100 frames per second and catches up after a
// late frame, so a game played in real time adds up to at least this share
// of NominalFrameTime per frame; a slowed-down game does not.
inline constexpr double NominalFrameTime = 0.01;  // seconds
inline constexpr double MinPaceShare = 0.95;

struct VerifyOptions {
    // Frames a replay may hold at most (the run is bounded by its frames).
    std::uint32_t maxFrames = MaxReplayFrames;
    // CPU time of the calling thread the run may take; zero: no bound.
    std::chrono::nanoseconds cpuBudget{0};
    // Asked every CheckInterval frames with the frames run so far; true stops
    // the run (a server shutting down, a client gone). May be empty.
    std::function<bool(std::uint32_t framesRun)> stop;
    static constexpr std::uint32_t CheckInterval = 256;
    // Shown the game after its last frame, when every frame was run. May be
    // empty.
    std::function<void(const Game& game)> atEnd;
};

enum class ReplayVerdict {
    Proven,    // the rules produced these counters from these inputs
    Refused,   // not a game the rules produced as claimed (reason says why)
    Unproven,  // played through, but began with munchets carried over from the game before
    Stopped,   // the CPU budget ran out or stop asked: nothing is known
    NotRun,    // no verdict yet: the run has not finished
};

struct ReplayCheck {
    ReplayVerdict verdict = ReplayVerdict::NotRun;
    std::string reason;  // why it is not Proven; empty when it is
    // The counters after the last frame run, and how many ran.
    ReplayCounters reached;
    std::uint32_t framesRun = 0;
    // The frame times added up, seconds (of every frame, run or not).
    double gameSeconds = 0;
    bool frameTimesInBounds = false;  // every one within [MinFrameDelta, MaxFrameDelta]
    bool paceKept = false;            // gameSeconds >= MinPaceShare * NominalFrameTime * frames
    bool endedAtLastFrame = false;    // over after the last frame and after no frame before it

    bool proven() const { return verdict == ReplayVerdict::Proven; }
};

ReplayCheck VerifyReplay(const Replay& replay, const VerifyOptions& options = {});

// VerifyReplay a slice at a time, so that one thread can take turns between
// many replays: between slices the run keeps its game (with its generator).
// Played in any number of slices, on whichever thread, the verdict is the
// one VerifyReplay gives. Borrows the replay, which must outlive the run and
// not change meanwhile; runs of one replay on several threads are fine.
class ReplayRun {
public:
    // Runs the checks that need no game at once: a replay they refuse is
    // Finished before its first slice.
    ReplayRun(const Replay& replay, VerifyOptions options);
    ReplayRun(const ReplayRun&) = delete;
    ReplayRun& operator=(const ReplayRun&) = delete;
    ~ReplayRun();

    // Plays frames until the run ends or `slice` of wall time has passed (at
    // least one frame). Does nothing once Finished.
    void Play(std::chrono::nanoseconds slice);

    bool Finished() const { return finished; }
    // The verdict once Finished; the frames run so far before.
    const ReplayCheck& Check() const { return check; }
    // This thread's CPU time spent in Play, all slices together.
    std::chrono::nanoseconds CpuUsed() const { return cpuUsed; }

private:
    // Plays one frame; true when the run ended in it.
    bool PlayFrame();
    void Finish(ReplayVerdict verdict, std::string reason);
    void EndAfterLastFrame();

    const Replay& replay;
    VerifyOptions options;
    ReplayCheck check;
    std::unique_ptr<Game> game;  // made in the first slice
    std::chrono::nanoseconds cpuUsed{0};
    std::chrono::nanoseconds sliceCpuStart{0};  // the thread's CPU time as the slice began
    bool finished = false;
};

// Puts game where a replay's game began, its random generator set to the
// replay's start state: the game begun before the first frame (one
// StartGame), or a finished game's table with empty lists, so that the first
// frame's keys begin the game, with the carried munchets about to join it.
// Keeps what the rules do not touch (name, table, music volume, wiring).
void SetUpReplayStart(Game& game, const Replay& replay);
