// The score table in a PostgreSQL database, which any number of server
// processes share.
//
// Layout, in the connection's current schema (the first
// schema of its search_path that exists):
//   scores(id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, name TEXT NOT NULL,
//          score BIGINT NOT NULL, level BIGINT NOT NULL, munchets BIGINT NOT NULL,
//          food BIGINT NOT NULL, time BIGINT NOT NULL, client TEXT NOT NULL)
//   with the index scores_rank on (score DESC, id ASC), and
//   the index scores_name on (name, score DESC, id ASC), and
//   munchet_meta(key TEXT PRIMARY KEY, value TEXT NOT NULL) holding the rows
//   ('schema_version', '4') and ('changes', N): N counts the statements that
//   changed scores, kept by the statement trigger scores_changed, which calls
//   the function munchet_count_change().
// The columns are those of the SQLite store; id comes from one sequence that
// every process draws from, so it gives the order of arrival across all of
// them. Replays add a column and a table (pg_replays.h), tickets another
// column and table and the key (pg_tickets.h), and a replay goes with its
// row (pg_replays.h); schema versions 1 to 3, the layouts before them, are
// migrated in place by Open, which also adds the moderation tables where
// missing (moderation_schema.h). Other tables in the
// database are left alone.
//
// Every session sets synchronous_commit = on, so a COMMIT that succeeded is
// flushed to the server's disk (and to synchronous standbys, if any).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/sql/pg_connection.h"
#include "server/store/score_store.h"

// A row with the id it had where it came from.
struct NumberedScoreRow {
    std::int64_t id = 0;  // > 0
    ScoreRow row;
};

// Writes through one connection and reads through another, each behind its
// own mutex. While the database is unreachable every call fails at once with
// a message, and the connections are made again, with a backoff, once it
// answers. Not copyable.
class PgScoreStore final : public ScoreStore {
public:
    PgScoreStore() = default;
    PgScoreStore(const PgScoreStore&) = delete;
    PgScoreStore& operator=(const PgScoreStore&) = delete;
    ~PgScoreStore() override;

    // Connects and creates the tables when absent, under an advisory lock so
    // that processes starting together create them once. Refuses a database
    // whose scores table has another layout, or whose schema version is not
    // ours, and leaves it untouched. False with a message, and closed, when
    // the database is unreachable or refused. shown: the rows ReadTop and
    // ReadRanked see.
    bool Open(const PgSettings& settings, std::string& error, ShownRows shown = ShownRows::all);
    void Close();

    bool AddBatch(std::span<const ScoreRow> rows, std::string& error) override;
    bool ReadTop(std::vector<TableRow>& rows, std::string& error) override;
    bool ReadRanked(const RankedQuery& query, RankedPage& page, std::string& error) override;
    bool ReadChangeStamp(std::string& stamp, std::string& error) override;
    bool StoreReplay(const ReplaySubmission& replay, StoredReplay& stored, std::string& error) override;
    // Through the web page's connection: downloads are the page's traffic.
    bool ReadReplay(std::int64_t id, std::optional<std::string>& bytes, std::string& error) override;
    bool ReadBans(std::int64_t unixTime, std::vector<Ban>& bans, std::string& error) override;
    bool ReadTicketKey(TicketKey& key, std::string& error) override;
    bool RecordTicketStart(std::uint64_t id, std::int64_t unixMs, std::string& error) override;
    // Through the web page's connection, like a download.
    bool ReadTicket(std::uint64_t id, TicketRecord& record, std::string& error) override;

    // Fills chunk with the next rows to import, in the order to keep; leaves
    // it empty at the end. False with a message stops the import.
    using RowSource = std::function<bool(std::vector<NumberedScoreRow>& chunk, std::string& error)>;

    // Copies every row next gives, with its id, into an empty table, all in
    // one transaction: the table gets all of them or none. Refuses a table
    // that holds rows. Rows added afterwards are numbered after the last one.
    bool Import(const RowSource& next, std::int64_t& copied, std::string& error);

private:
    bool Begin(std::string& error);
    bool Insert(std::span<const ScoreRow> rows, const std::int64_t* ids, std::string& error);
    bool Commit(std::string& error);
    // ReadRanked's statements on the page's connection, under its lock.
    bool ReadRankedPage(const RankedQuery& query, RankedPage& page, std::string& error);
    // Runs a read on connection (null: closed), once more on a new
    // connection when the old one turns out to have broken while idle.
    static bool Read(PgConnection* connection, const std::string& sql, std::span<const char* const> params,
                     std::vector<PgResult>& results, std::string& error);

    std::mutex writeMutex;
    std::unique_ptr<PgConnection> writer;
    std::mutex readMutex;
    std::unique_ptr<PgConnection> reader;  // the table cache and the change stamp
    std::mutex pageMutex;
    std::unique_ptr<PgConnection> pageReader;  // the web page's reads
    ShownRows shown = ShownRows::all;          // set by Open
    TicketKey ticketKey{};                     // read by Open
};
