// A replay made to be as slow to play as the file format allows while it
// passes every check that needs no playing: the most carried munchets there
// may be, far off the field so that none reaches the player, who stands
// still until the frames run out. What an attacker sends to hold the
// verifier, built with the game's own writer.
#pragma once

#include <cstdint>
#include <string>

#include "game/rules_version.h"
#include "replay/replay_file.h"
#include "server/store/submission.h"

inline Replay HeavyReplay(std::uint32_t frames) {
    Replay replay;
    ReplaySummary& s = replay.summary;
    s.rulesVersion = RulesVersion;
    s.beginning = ReplayBeginning::InFirstFrame;
    s.name = "Flood";
    s.counters = {100, 0, 1, 0};  // as the server checks a query: 100 a munchet
    Munchet faraway;
    faraway.x = faraway.targetX = 1e6f;
    faraway.y = faraway.targetY = 1e6f;
    faraway.splitTimer = 1e6f;
    replay.carried.assign(MaxCarriedMunchets, faraway);
    replay.frames.assign(frames, ToReplayFrame(FrameInput{}.Lasting(0.01f)));
    replay.frames.front() = ToReplayFrame(FrameInput{}.Press(Key::F1).Lasting(0.01f));
    return replay;
}

// The replay.php query a replay is sent with.
inline std::string ReplayQuery(const ReplaySummary& s) {
    return "/hosted/vlkn/scores/pr/replay.php?" +
           FormatSubmissionQuery(
               {s.name, s.counters.score, s.counters.level, s.counters.munchets, s.counters.food});
}
