// Replays waiting beside the score outbox (scores/outbox_file.h) to be sent
// to the score server: the folder score-outbox-replays/ next to
// score-outbox.txt, one file per game:
//   <keptAt>-<hash>.replay   keptAt: UTC seconds since 1970 when it was
//                            kept, 20 digits; hash: 16 hexadecimal digits
//                            of its bytes (FNV-1a), so names sort by age
//   *.replay.tmp             a file while it is written
// Each file holds, in this order:
//   "munchet outbox replay\n"
//   the game's submission as one line "name;score;level;munchets;food\n",
//     its fields as in an outbox entry: the query the replay is sent with
//   the game's replay file (replay/replay_file.h), to the end of the file
// While the game's score waits too, its outbox entry (version 2) names the
// file; a file no entry names is a replay whose score reached the server (or
// may have), waiting to be sent on its own. The lock of the outbox covers
// the folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/score_exchange.h"

// Longer files are damaged: beyond any replay the game writes.
inline constexpr std::size_t MaxOutboxReplayBytes = 32u << 20;

// True for a name the folder may hold (the pattern above, without folders).
bool IsOutboxReplayName(std::string_view name);

// A replay waiting, with the submission it goes with.
struct OutboxReplay {
    ScoreSubmission submission;
    std::string replay;  // the replay file's bytes
};

class OutboxReplays {
public:
    // outboxFolder: the folder of score-outbox.txt.
    explicit OutboxReplays(const std::string& outboxFolder);

    // Writes the replay (not empty) with its submission as a new file,
    // durably. Its name; empty, with the reason in error, when it could not
    // be written.
    std::string Save(const OutboxReplay& waiting, std::int64_t keptAt, std::string& error);
    // What that file name holds; nullopt, with the reason in error, when it
    // is missing or damaged.
    std::optional<OutboxReplay> Load(const std::string& name, std::string& error) const;
    // Removes the file (a missing one is no failure).
    void Remove(const std::string& name) const;
    // The names of the files waiting, oldest first.
    std::vector<std::string> List() const;

    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
};
