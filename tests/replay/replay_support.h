// Games recorded as the program records them, stepped without an engine:
// the real Game, the bot of the simulation tests, frame times that wander,
// and the recorder following every frame.
#pragma once

#include <cmath>
#include <optional>

#include "engine/input_journal.h"
#include "replay/replay_recorder.h"
#include "tests/game/sim_support.h"

// How the recorded game begins.
enum class Start {
    AtStartUp,     // the program's first game
    ByF1Held,      // F1 held for three frames during a game: the last one begins it
    ByF2,          // F2 during a game: a two-player game
    ByRAfterGame,  // R on the table of a finished game
    WithCarried,   // F1 in a frame in which a munchet of the old game splits
};

struct Script {
    const char* name;
    int seed;
    Start start;
    // Keys the rules never read held now and then: they must change nothing.
    bool noiseKeys = false;
    // The bot turns on the munchets after this many frames of play, so every
    // game ends soon.
    int playFrames = 3000;
    // The generator's state the game begins with (a server's ticket); none: the seed's.
    std::optional<RandomState> random = std::nullopt;
    // The time of each frame as the window loop tells it; none: WanderingFrameTime.
    float (*frameTime)(int frame) = nullptr;
    // Where games take their ticket from; null: they begin without one.
    TicketFunction takeTicket = nullptr;
};

inline void PrintTo(const Script& s, std::ostream* os) { *os << s.name; }

struct Recorded {
    Replay replay;
    std::uint64_t hash = 0;  // HashState after the last frame
};

// Frame times as a window loop gives them: around 10 ms, some much longer
// or shorter (bounded by the engine before they are recorded).
inline float WanderingFrameTime(int frame) {
    switch (frame % 97) {
        case 0:
            return 0.0f;
        case 3:
            return 0.4f;
        default:
            return 0.0045f + 0.0003f * static_cast<float>(frame % 37);
    }
}

class GameRecorder {
public:
    HeadlessGame g;
    ReplayRecorder recorder;
    int frame = 0;

    float (*frameTime)(int frame) = WanderingFrameTime;

    explicit GameRecorder(int seed, std::optional<RandomState> random = std::nullopt,
                          TicketFunction takeTicket = nullptr)
        : g(seed) {
        if (random) g.game.random.SetState(*random);
        g.game.takeTicket = takeTicket;
        g.game.StartGame();
        recorder.GameBeganBeforeFrames(g.game);
    }

    void Run(FrameInput input) {
        g.RunFrame(input.Lasting(frameTime(frame++)));
        recorder.FrameRan(g.game, g.lastInput);
    }

    // The bot plays; after playFrames it seeks the nearest munchet with its
    // focus held (so it can be caught) until the game is over.
    void PlayToTheEnd(int playFrames, bool noiseKeys) {
        Bot bot;
        for (int played = 0; !g.game.gameOver && played < 200000; ++played) {
            FrameInput input = bot.Input(g.game);
            if (played >= playFrames) input = Suicide();
            if (noiseKeys && played % 5 == 0)
                input.Hold('Q').Hold(Key::F2 + 1).Hold('1').Press('Z').Type('z');
            Run(input);
        }
    }

    // From the name entry or the table back to a table with no name typed.
    void LeaveNameEntry() {
        if (g.game.nameEntry) Run(FrameInput{}.Press(Key::Enter));
    }

private:
    FrameInput Suicide() const {
        const Game& game = g.game;
        FrameInput input;
        const Player& p = game.players[0];
        input.Hold(p.focusKey);
        if (game.munchetList.empty()) return input;
        const Munchet& m = game.munchetList.front();
        if (m.x < p.x - 2) input.Hold(p.leftKey);
        if (m.x > p.x + 2) input.Hold(p.rightKey);
        if (m.y < p.y - 2) input.Hold(p.upKey);
        if (m.y > p.y + 2) input.Hold(p.downKey);
        return input;
    }
};

// Plays the script's game from its beginning to its end, recording it.
inline Recorded Record(const Script& script) {
    GameRecorder r(script.seed, script.random, script.takeTicket);
    if (script.frameTime) r.frameTime = script.frameTime;
    Bot bot;
    switch (script.start) {
        case Start::AtStartUp:
            break;
        case Start::ByF1Held:
            for (int i = 0; i < 40; ++i) r.Run(bot.Input(r.g.game));
            for (int i = 0; i < 3; ++i) r.Run(FrameInput{}.Hold(Key::F1));
            break;
        case Start::ByF2:
            for (int i = 0; i < 40; ++i) r.Run(bot.Input(r.g.game));
            r.Run(FrameInput{}.Hold(Key::F2));
            break;
        case Start::ByRAfterGame:
            r.PlayToTheEnd(0, false);
            r.LeaveNameEntry();
            for (int i = 0; i < 20; ++i) r.Run({});
            r.Run(FrameInput{}.Hold('R'));
            break;
        case Start::WithCarried:
            for (int i = 0; i < 40; ++i) r.Run(bot.Input(r.g.game));
            // The first munchet splits in the munchet pass of the next frame,
            // before F1 begins the new game.
            r.g.game.munchetList.front().splitTimer = -1.0f;
            r.Run(FrameInput{}.Hold(Key::F1));
            break;
    }
    r.PlayToTheEnd(script.playFrames, script.noiseKeys);
    Recorded recorded;
    recorded.hash = HashState(r.g.game);
    std::optional<Replay> replay = r.recorder.TakeFinished("Tester", 1767225600);
    if (replay) recorded.replay = std::move(*replay);
    return recorded;
}
