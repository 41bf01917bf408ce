// The boundary between the server and wherever the scores are kept. The HTTP
// side, the group commit and the table cache use only this interface, so a
// storage backend is one class that fills it (SqliteScoreStore today).
#pragma once

#include <climits>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "server/store/bans.h"
#include "server/store/submission.h"
#include "server/store/ticket_mint.h"

inline constexpr int tableRowLimit = 100;  // rows in the table served by view.php

// One accepted submission with what the server records beside it.
struct ScoreRow {
    Submission submission;
    std::int64_t unixTime = 0;  // seconds since 1970 (UTC) when it was accepted
    std::string client;         // the address the request was counted under
};

// One line of the served table.
struct TableRow {
    std::string name;  // as stored; may hold anything an administrator wrote into the file
    std::int64_t score = 0;

    bool operator==(const TableRow&) const = default;
};

// One stored game as the page shows it.
struct RankedRow {
    // 1-based place in the whole table: best score first, equal scores in arrival order.
    std::int64_t rank = 0;
    std::string name;                      // as stored: untrusted bytes, any length
    std::int32_t score = 0;                // the counters as submitted
    std::int32_t level = 0;                // level reached; 0 is the first level (the game shows it as 1)
    std::int32_t munchets = 0;             // +(level + 1) for each munchet eaten
    std::int32_t food = 0;                 // +1 per item the munchets ate, -5 x (level + 1) per item saved
    std::int64_t unixTime = 0;             // when it was stored, seconds since 1970 UTC
    bool verified = false;                 // a replay of the game reproduced this score
    std::optional<std::int64_t> replayId;  // the game's replay can be downloaded under this id
    std::int32_t players = 1;              // 2: a two-player game, as its replay said

    bool operator==(const RankedRow&) const = default;
};

// A game's replay, checked, on its way to the store.
struct ReplaySubmission {
    ScoreRow row;                // the game's name and counters, the client and the time it arrived
    std::string bytes;           // the replay file exactly as received
    std::string digest;          // GameDigest of the replay (replay_upload.h): recognises a resend
    bool verified = false;       // playing it again proved the counters
    std::uint64_t ticketId = 0;  // the game's ticket, checked genuine; 0: a ticketless game
    std::int32_t players = 1;    // 1 or 2, as the replay says
};

// What the store knows of one ticket.
struct TicketRecord {
    std::optional<std::int64_t> startedAtMs;  // when start.php first heard of its game, ms since 1970
    bool used = false;                        // a row holds its game
};

// A stored game's row matches a replay when it holds the same name and
// counters, came from the same client, holds no replay yet and was stored at
// most this long before the replay arrived: the add.php of the same game.
inline constexpr std::int64_t replayMatchWindowSeconds = 600;

struct StoredReplay {
    enum class Placement {
        attached,       // to the row the game's add.php had stored
        inserted,       // a new row for the game (its add.php never arrived)
        alreadyStored,  // a resend: this very game was stored before; nothing changed
        ticketUsed,     // its ticket holds another row's game already; nothing changed
    };
    Placement placement = Placement::inserted;
    std::int64_t scoreId = 0;   // the game's row
    std::int64_t replayId = 0;  // where GET replay.php?id= finds the bytes
    bool verified = false;      // the row's flag as stored now
};

// Which stored games to read in rank order (score descending, then earlier row first).
struct RankedQuery {
    std::string name;         // exact name to select; empty: the whole table
    std::int64_t offset = 0;  // rows to skip, >= 0
    int limit = 25;           // rows to return at most, >= 0
    // Only rows stored in [since, until) (seconds since 1970 UTC), ranked
    // among themselves: a weekly or daily board. Applies to the whole
    // table; a query by name reads every period.
    std::int64_t since = INT64_MIN;
    std::int64_t until = INT64_MAX;
};

// One page of games in rank order, each with its place in the whole table.
struct RankedPage {
    std::int64_t total = 0;  // rows matching the query, all pages together
    std::vector<RankedRow> rows;
};

// Which rows view.php and the web page show: every stored game, or only
// those whose replay proved their counters (the server's --require-replay).
// Rows an operator hid (moderation_schema.h) are left out either way.
enum class ShownRows { all, verifiedOnly };

// A backend must be safe to call from any thread; the server calls AddBatch
// and ReadTop from its one committing thread.
class ScoreStore {
public:
    virtual ~ScoreStore() = default;

    // Stores every row in one transaction. True only once that transaction is
    // durable: it survives a crash or a power cut. False, with a message in
    // error, when none of the rows was stored. rows are in the order they
    // arrived, which is the order of equal scores in the table.
    virtual bool AddBatch(std::span<const ScoreRow> rows, std::string& error) = 0;

    // The best tableRowLimit rows: highest score first, equal scores in the
    // order they were stored. Sees changes made by other programs, such as an
    // administrator deleting a cheat. False with a message when unreadable.
    virtual bool ReadTop(std::vector<TableRow>& rows, std::string& error) = 0;

    // One page of the stored games in rank order with their ranks in the whole
    // table. Any thread. False with a message when unreadable.
    virtual bool ReadRanked(const RankedQuery& query, RankedPage& page, std::string& error) = 0;

    // A short text that changes whenever the stored rows change, by this
    // process or any other, and never repeats after a restart. Called by the
    // committing thread after each commit and every refresh period; the web
    // page's ETag is built from the last stamp read.
    virtual bool ReadChangeStamp(std::string& stamp, std::string& error) = 0;

    // Stores a replay in one transaction, durable when true: attached to the
    // newest row that matches it (see replayMatchWindowSeconds), that row's
    // verified flag set from replay.verified; or in a new row when none
    // matches. A replay whose digest is stored already changes nothing, so
    // one game never makes two rows however often it is sent; nor does one
    // whose ticket another row used. The ticket is marked used by the row.
    // False with a message when nothing was stored.
    virtual bool StoreReplay(const ReplaySubmission& replay, StoredReplay& stored, std::string& error) = 0;

    // The bytes of the replay stored under id; bytes is nullopt when no such
    // replay is stored. Any thread. False with a message when unreadable.
    virtual bool ReadReplay(std::int64_t id, std::optional<std::string>& bytes, std::string& error) = 0;

    // The bans in force at unixTime (seconds since 1970), oldest first, as
    // `munchet-scores admin ban` left them. Any thread. False with a message
    // when unreadable.
    virtual bool ReadBans(std::int64_t unixTime, std::vector<Ban>& bans, std::string& error) = 0;
    // The key tickets are issued and checked with: made at random when the
    // store was first opened, and the same for every process sharing it.
    virtual bool ReadTicketKey(TicketKey& key, std::string& error) {
        (void)key;
        error = "this store keeps no ticket key";
        return false;
    }

    // Records, durably, that the game of ticket id began at unixMs (ms since
    // 1970); a ticket whose start is recorded already keeps its first one.
    virtual bool RecordTicketStart(std::uint64_t id, std::int64_t unixMs, std::string& error) {
        (void)id, (void)unixMs;
        error = "this store keeps no tickets";
        return false;
    }

    // What is stored of ticket id; a ticket never heard of reads as a
    // default TicketRecord. Any thread.
    virtual bool ReadTicket(std::uint64_t id, TicketRecord& record, std::string& error) {
        (void)id, (void)record;
        error = "this store keeps no tickets";
        return false;
    }

    // One row as a batch of one.
    bool Add(const Submission& submission, std::int64_t unixTime, std::string_view client,
             std::string& error) {
        const ScoreRow row{submission, unixTime, std::string(client)};
        return AddBatch({&row, 1}, error);
    }
};
