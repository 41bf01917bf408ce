// What replays cost: how fast the verifier plays a game again (game seconds
// per CPU second, on a typical game and on a crowded one), and how large a
// replay file is per minute of play with the frame times a real window loop
// measures.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "../tests/support/headless_game.h"
#include "engine/frame_clock.h"
#include "engine/input_journal.h"
#include "replay/replay_recorder.h"
#include "replay/replay_verifier.h"

namespace {

// Frame times as the engine's pacing really measures them: 10 s of the
// real schedule (sleeping to each deadline), then used over and over.
const std::vector<float>& WindowFrameTimes() {
    static const std::vector<float> times = [] {
        std::vector<float> measured;
        FrameClock clock;
        clock.Start(MonotonicNanoseconds(), 100);
        for (int i = 0; i < 1000; ++i) {
            measured.push_back(clock.BeginFrame(MonotonicNanoseconds()));
            SleepUntil(clock.ScheduleNext(MonotonicNanoseconds()));
        }
        return measured;
    }();
    return times;
}

enum class Play { Typical, Crowded };

// A typical game: one ghost that gathers food with its focus and hunts the
// munchets once its charge is low, for about four minutes, then meets one.
// A crowded game: two ghosts hide in the upper corners, focused, so food
// piles up around them and the munchets multiply undisturbed, until one of
// them wanders into a ghost (or ten minutes pass and a ghost seeks one).
FrameInput Steer(const Game& game, int frame, Play play, bool& hunting) {
    FrameInput input;
    const int minutes = play == Play::Typical ? 4 : 10;
    for (int i = 0; i < game.playerCount; ++i) {
        const Player& p = game.players[static_cast<std::size_t>(i)];
        float tx = 0, ty = 0;
        bool focus = true;
        const Munchet* nearest = nullptr;
        float best = 1e30f;
        for (const Munchet& m : game.munchetList) {
            const float d = (m.x - p.x) * (m.x - p.x) + (m.y - p.y) * (m.y - p.y);
            if (d < best) best = d, nearest = &m;
        }
        if (frame > minutes * 6000 && nearest) {
            tx = nearest->x, ty = nearest->y;
        } else if (play == Play::Crowded) {
            tx = i == 0 ? 440.0f : -440.0f, ty = -320.0f;
        } else {
            if (p.charge < -2.0f) hunting = true;
            if (p.charge > -0.3f) hunting = false;
            focus = !hunting && p.charge > 0;
            if (hunting && nearest) {
                tx = nearest->x, ty = nearest->y;
            } else if (nearest && best < 140.0f * 140.0f) {
                tx = 2 * p.x - nearest->x, ty = 2 * p.y - nearest->y;
            } else {
                tx = 0, ty = -300.0f;  // toward the goal, with the flock in tow
            }
        }
        if (focus) input.Hold(p.focusKey);
        if (tx < p.x - 4) input.Hold(p.leftKey);
        if (tx > p.x + 4) input.Hold(p.rightKey);
        if (ty < p.y - 4) input.Hold(p.upKey);
        if (ty > p.y + 4) input.Hold(p.downKey);
    }
    return input;
}

struct Recorded {
    Replay replay;
    std::size_t mostFood = 0, mostMunchets = 0;
};

Recorded RecordGame(Play play) {
    Recorded recorded;
    HeadlessGame g(play == Play::Typical ? 271828 : 314159);
    ReplayRecorder recorder;
    g.game.StartGame();
    recorder.GameBeganBeforeFrames(g.game);
    const std::vector<float>& times = WindowFrameTimes();
    bool hunting = false;
    for (int frame = 0; !recorder.HasFinished() && frame < 100000; ++frame) {
        FrameInput input = frame == 0 && play == Play::Crowded ? FrameInput{}.Hold(Key::F2)
                                                               : Steer(g.game, frame, play, hunting);
        g.RunFrame(input.Lasting(times[static_cast<std::size_t>(frame) % times.size()]));
        recorder.FrameRan(g.game, g.lastInput);
        recorded.mostFood = std::max(recorded.mostFood, g.game.foodList.size());
        recorded.mostMunchets = std::max(recorded.mostMunchets, g.game.munchetList.size());
    }
    recorded.replay = recorder.TakeFinished("Bench", 0).value_or(Replay{});
    return recorded;
}

const Recorded& Game(Play play) {
    static const Recorded typical = RecordGame(Play::Typical), crowded = RecordGame(Play::Crowded);
    return play == Play::Typical ? typical : crowded;
}

void BM_Verify(benchmark::State& state) {
    const Recorded& recorded = Game(static_cast<Play>(state.range(0)));
    const Replay& replay = recorded.replay;
    ReplayCheck check;
    for (auto _ : state) check = VerifyReplay(replay);
    if (check.verdict != ReplayVerdict::Proven) state.SkipWithError(check.reason.c_str());
    const double iterations = static_cast<double>(state.iterations());
    state.counters["game_s"] = check.gameSeconds;
    state.counters["game_s_per_cpu_s"] =
        benchmark::Counter(check.gameSeconds * iterations, benchmark::Counter::kIsRate);
    state.counters["most_food"] = static_cast<double>(recorded.mostFood);
    state.counters["most_munchets"] = static_cast<double>(recorded.mostMunchets);
}
BENCHMARK(BM_Verify)->ArgName("crowded")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Writing a replay, and its size: bytes per minute of play, compressed and
// as the plain 8 bytes a frame.
void BM_WriteAndSize(benchmark::State& state) {
    const Replay& replay = Game(static_cast<Play>(state.range(0))).replay;
    std::string bytes;
    for (auto _ : state) bytes = WriteReplay(replay);
    double seconds = 0;
    for (const ReplayFrame& f : replay.frames) seconds += static_cast<double>(f.frameTime);
    const double minutes = seconds / 60.0;
    state.counters["minutes"] = minutes;
    state.counters["KB_per_min"] = static_cast<double>(bytes.size()) / 1000.0 / minutes;
    state.counters["plain_KB_per_min"] =
        static_cast<double>(replay.frames.size() * ReplayFrameBytes) / 1000.0 / minutes;
}
BENCHMARK(BM_WriteAndSize)->ArgName("crowded")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
