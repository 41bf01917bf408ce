// A verified game of some fifteen seconds on a running munchet-scores, and
// the same game watched natively as the program watches a replay
// (app/replays.h): the same pictures, font and sounds loaded in the same
// order, the same HUD, and each frame's scene reduced to the engine's digest,
// as the browser reports it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "app/game_audio.h"
#include "app/load_resources.h"
#include "engine/quad_digest.h"
#include "replay/replay_verifier.h"
#include "server/store/submission.h"
#include "tests/replay/replay_support.h"
#include "tests/server/ticketed_game.h"
#include "tests/support/engine_game.h"
// After the simulation tests' helpers: its Draw functions would hide their Draw type.
#include "render/render.h"
#include "render/scene.h"

// True once the page's frame loop has ended (a watch over, or the player
// quit), false after half a second of waiting for it.
inline constexpr const char* pageEnded =
    "Promise.race([munchet.ended.then(() => true), new Promise(no => setTimeout(no, 500, false))])";

struct VerifiedRow {
    Replay replay;
    std::string replayId;  // replay.php?id=, empty when the server did not prove it
};

// Plays a game of some fifteen seconds on a ticket of the server's and sends it
// with its replay, as the program does; db is the server's SQLite file. The
// ticket picks the game, and one with no score is no row: a few tries, each
// letting the bot play longer.
inline VerifiedRow MakeVerifiedRow(int port, const std::string& db) {
    VerifiedRow row;
    for (int playFrames = 800; playFrames <= 3000 && row.replayId.empty(); playFrames += 300) {
        row.replay = TicketedGame(
            port,
            [&](const RandomState& random) {
                return Record({.name = "watched",
                               .seed = 2323,
                               .start = Start::AtStartUp,
                               .playFrames = playFrames,
                               .random = random})
                    .replay;
            },
            [&](const std::string& sql) { return ExecuteOutside(db, sql.c_str()); });
        const ReplaySummary& s = row.replay.summary;
        if (s.counters.score <= 0) continue;
        const std::string query = FormatSubmissionQuery(
            {s.name, s.counters.score, s.counters.level, s.counters.munchets, s.counters.food});
        if (RawPost(port, "/hosted/vlkn/scores/pr/replay.php?" + query, WriteReplay(row.replay)).body !=
            "VERIFIED\n")
            return row;
        const std::vector<std::string> ids = QueryOutside(
            db, "SELECT max(r.id) FROM replays r JOIN scores s ON s.id = r.score_id WHERE s.verified = 1");
        if (!ids.empty()) row.replayId = ids.front();
    }
    return row;
}

// A digest as the page gives it: eight lower-case hex digits.
inline std::string DigestText(std::uint32_t digest) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", digest);
    return text;
}

// The program's screen natively, as a fresh browser shows it: the same
// pictures, font and sounds loaded in the same order, no name or music volume
// kept yet. Takes the process's one engine (headless, no platform: texture
// handles in load order, as every backend numbers them). Runs from the source
// tree, for data/.
struct NativeScreen {
    EngineGame run;
    Scene scene;  // after the engine, so gone before it: its sprites draw through it
    GameAudio audio;

    NativeScreen() {
        LoadResources(*run.engine, scene, audio);
        run.game.musicVolume = Game::StartVolume;
        audio.StartMusic(*run.engine, run.game.musicVolume);
        run.afterFrame = [this] { audio.Play(*run.engine, run.game.effects); };
        run.render = [this] { RenderScene(scene, run.game, audio.MusicGliding(*run.engine)); };
    }

    // One frame of the game; the digest of the scene it drew.
    std::string Frame(const FrameInput& input) {
        run.RunFrame(input);
        const std::vector<Quad>& quads = run.LastFrame().quads;
        return DigestText(QuadsDigest(quads.data(), quads.size()));
    }
};

// The first frame the program draws on start-up when its generator is seeded
// with this second of the clock and it has no ticket kept: the start-up
// game's, no key held, told one period (0.01 s).
inline std::string FirstFrameNatively(std::uint32_t clockSeconds) {
    NativeScreen screen;
    Game& game = screen.run.game;
    game.random.Seed(clockSeconds);
    game.Reset();
    game.StartGame();
    return screen.Frame(FrameInput{}.Lasting(0.01f));
}

struct NativeWatch {
    std::vector<std::string> digests;  // one per frame, in order
    ReplayCounters counters;           // after the last frame
    std::uint64_t stateHash = 0;       // HashState after the last frame
};

// The replay watched as the program watches it, from its first frame to its last.
inline NativeWatch WatchNatively(const Replay& replay) {
    NativeScreen screen;
    Game& game = screen.run.game;
    game.playerName = replay.summary.name;
    SetUpReplayStart(game, replay);
    NativeWatch watch;
    for (const ReplayFrame& frame : replay.frames) watch.digests.push_back(screen.Frame(ToFrameInput(frame)));
    watch.counters = {game.score, game.level, game.munchets, game.food};
    watch.stateHash = HashState(game);
    return watch;
}
