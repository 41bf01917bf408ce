// The player's replays folder: each finished game written as a file of its
// own, and the folder pruned after each new one to the best
// ReplaysKeptByScore games by score and the latest ReplaysKeptByTime by the
// time they ended (a game may be both).
//
// Files in the folder:
//   munchet-YYYYMMDD-HHMMSS.replay     a game that ended at that UTC time, in
//                                      the format of replay/replay_file.h;
//   munchet-YYYYMMDD-HHMMSS-N.replay   N from 2 on, for games that ended in
//                                      the same second;
//   *.replay.tmp                       a file while it is written.
// Files of other names, and files that do not read as replays, are never
// touched nor counted.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/log_sink.h"
#include "replay/replay_file.h"

inline constexpr std::size_t ReplaysKeptByScore = 20;
inline constexpr std::size_t ReplaysKeptByTime = 20;

struct ReplayShelfSettings {
    // Where the files go, created when missing. Empty: the player's data
    // folder's replays/ (UserFolder(UserFolderKind::Data)), looked up at the
    // first save.
    std::string folder;
    // Gets one line (no line feed) for every replay that cannot be written.
    // Null: lines go to stderr.
    LogSink log;
};

struct ShelvedReplay {
    std::string path;
    ReplaySummary summary;
};

class ReplayShelf {
public:
    explicit ReplayShelf(ReplayShelfSettings settings);

    // Writes the replay file bytes (summary: what they hold) as a new file,
    // durably, then prunes the folder. The new file's path; nullopt when it
    // could not be written (logged, and a missing folder only once per run).
    std::optional<std::string> Keep(std::string_view bytes, const ReplaySummary& summary);

    // The replays in the folder, in no particular order (none without one).
    std::vector<ShelvedReplay> List();

private:
    std::optional<std::string> Folder();
    void Log(const std::string& line) const;
    void Prune(const std::string& folder);

    ReplayShelfSettings settings_;
    bool noFolderLogged_ = false;
};
