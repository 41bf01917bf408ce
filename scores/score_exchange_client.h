// The exchange with the score server at the end of a game, bounded by one
// wall-clock budget, with an outbox that keeps every submission that surely
// did not arrive until a later exchange delivers it.
//
// One exchange, in this order:
//  1. The outbox's entries, oldest first, then the outbox's replays whose
//     score is no longer waiting, then this game's submission and, once its
//     score is stored (or may be), its replay. A replay is POSTed to
//     replay.php with the submission's query and counts as a submission
//     here. A
//     submission is only started while at least a third of the budget is
//     left for it on top of the third kept for the table, and gets all the
//     time but that third: a slow server then answers it rather than turning
//     a kept score into an uncertain one. Sending stops at the first
//     submission that did not get a 2xx or a refusal; the rest, this game's
//     included, stay kept. While another copy of the game holds the outbox
//     (a twelfth of the budget is waited for it), its entries are left
//     alone; this game's score is still sent, and waits for the outbox only
//     when it has to be kept.
//  2. The outbox file is written once, if anything changed.
//  3. The table, with whatever is left of the budget (a third at least),
//     unless no connection could be made: the server is then out of reach.
// Connecting may take min(1 s, budget / 3), so an unreachable server costs
// about a third of the budget.
//
// What becomes of a submission, by what the request gave:
//   2xx                                   Stored; an outbox entry leaves
//   400, and any other 4xx but 408, 429    Refused: the same request would be
//                                          refused again; logged, dropped
//   no connection made (refused, host not resolved or unreachable, a time-out
//   while resolving or connecting), 408, 429, 5xx but 504
//                                          Kept: the server did not store it
//   a failure or time-out after connecting, no status, 1xx, 3xx, 504 (a
//   gateway gave up waiting for a server that may have stored it)
//                                          Uncertain: never sent again, so
//                                          no score is stored twice; an
//                                          outbox entry leaves, logged in full
//   Kept, but no outbox (no folder, the file cannot be written)
//                                          Lost, logged in full
// A status that arrived before a later failure still counts as the answer.
// A replay fares the same, but for 404: the server takes no replays, so
// this one is dropped and no other is sent in this exchange. A kept replay
// waits beside the outbox (scores/outbox_replays.h): named by its score's
// entry while the score waits too, on its own once the score has gone.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "common/log_sink.h"
#include "game/score_exchange.h"

inline constexpr std::chrono::milliseconds DefaultExchangeBudget{3000};
// The budget is held within these bounds.
inline constexpr std::chrono::milliseconds MinExchangeBudget{300};
inline constexpr std::chrono::milliseconds MaxExchangeBudget{60000};

struct ScoreClientSettings {
    std::string host;  // "host[:port]" as IsValidScoreServerHost accepts; requests go to http://host/...
    std::chrono::milliseconds budget = DefaultExchangeBudget;  // wall time of one whole exchange
    // Where the outbox file lives, created when missing. Empty: the player's
    // data folder (UserFolder(UserFolderKind::Data)), looked up at the first
    // exchange.
    std::string outboxFolder;
    // Gets one line (no line feed) for every failed request and every change
    // of the outbox. Null: lines go to stderr.
    LogSink log;
};

class ScoreExchangeClient {
public:
    explicit ScoreExchangeClient(ScoreClientSettings settings);

    // The whole exchange; submission null (or with an empty name): nothing
    // of this game to send; replay: the game's replay file, empty for none.
    // Synchronous; returns within the budget, plus the time the disk takes
    // to flush the outbox. Once stop (when given) reads true, the request
    // under way is given up within StopCheckInterval and nothing more is
    // sent or fetched; what was not surely sent is kept as ever, without
    // waiting for another copy of the game to let go of the outbox.
    ScoreExchangeResult Exchange(const ScoreSubmission* submission, std::string_view replay = {},
                                 const std::atomic<bool>* stop = nullptr);

private:
    struct Round;

    void log(const std::string& line) const;
    std::optional<std::string> outboxFolder();

    ScoreClientSettings settings_;
    bool noFolderLogged_ = false;
    // Entries that left the outbox while the file could not be rewritten:
    // they are left out of what is read until a write succeeds, so this run
    // of the game never sends them twice.
    std::set<std::uint64_t> gone_;
};
