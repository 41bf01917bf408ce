#include "server/pg/pg_score_store.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <climits>

#include "server/pg/pg_replays.h"
#include "server/pg/pg_tickets.h"
#include "server/sql/moderation_schema.h"
#include "server/store/spread_ranks.h"

namespace {

constexpr const char* firstSchemaVersion = "1";   // before replays
constexpr const char* replaySchemaVersion = "2";  // before tickets
constexpr const char* ticketSchemaVersion = "3";  // before replays went with their rows
constexpr const char* schemaVersion = "4";
// Taken for the schema's set-up by every process that opens the database.
constexpr const char* schemaLockKey = "7310012931372148017";
constexpr const char* firstColumns =
    "id bigint, name text, score bigint, level bigint, munchets bigint, food bigint, time bigint, client "
    "text";
constexpr const char* replayColumn = ", verified boolean";
constexpr const char* ticketColumn = ", players bigint";
// Rows in one INSERT: seven parameters each, well under the protocol's 65535.
constexpr std::size_t rowsPerInsert = 1000;

bool Fail(PgConnection& connection, std::string& error, std::string message) {
    std::string ignored;
    if (connection.Connected()) connection.Run("ROLLBACK", ignored);
    error = std::move(message);
    return false;
}

// The web page's reads by name, and a count of the statements that changed
// scores, whoever ran them. The count is a row that each change updates in
// its own transaction, so it moves exactly when the change becomes visible,
// never before. Idempotent; runs under the schema lock.
bool AddPageIndexAndChangeCount(PgConnection& db, std::string& error) {
    // Present already on every start but the first: then no DDL, so that
    // processes starting together hold the schema lock only for a moment.
    std::string present;
    if (!db.Value("SELECT (SELECT count(*) FROM munchet_meta WHERE key = 'changes')"
                  " + (SELECT count(*) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid"
                  " JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = current_schema()"
                  " AND c.relname = 'scores' AND t.tgname = 'scores_changed')"
                  " + (SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
                  " WHERE n.nspname = current_schema() AND c.relname = 'scores_name')",
                  {}, present, error)) {
        return false;
    }
    if (present == "3") return true;
    std::string schema;
    if (!db.Value("SELECT quote_ident(current_schema())", {}, schema, error)) return false;
    return db.Run(
        "CREATE INDEX IF NOT EXISTS scores_name ON scores (name, score DESC, id ASC);"
        "INSERT INTO munchet_meta VALUES ('changes', '0') ON CONFLICT (key) DO NOTHING;"
        "CREATE OR REPLACE FUNCTION munchet_count_change() RETURNS trigger LANGUAGE plpgsql AS $$"
        " BEGIN UPDATE " +
            schema +
            ".munchet_meta SET value = (value::bigint + 1)::text WHERE key = 'changes';"
            " RETURN NULL; END $$;"
            "CREATE OR REPLACE TRIGGER scores_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE"
            " ON scores FOR EACH STATEMENT EXECUTE FUNCTION munchet_count_change()",
        error);
}

// Tells whether the current schema is new (neither table yet) or ours, and
// creates the tables in a new one. Runs under the advisory lock in one
// transaction, so a second process waits and then finds them made.
bool SetUpSchema(PgConnection& db, std::string& error) {
    std::string locked, schema, tables, version, columns;
    if (!db.Run("BEGIN", error) ||
        !db.Value(std::string("SELECT pg_advisory_xact_lock(") + schemaLockKey + ")", {}, locked, error) ||
        !db.Value("SELECT coalesce(current_schema(), '')", {}, schema, error) ||
        !db.Value("SELECT coalesce(string_agg(c.relname, ',' ORDER BY c.relname), '') FROM pg_class c"
                  " JOIN pg_namespace n ON n.oid = c.relnamespace"
                  " WHERE n.nspname = current_schema() AND c.relname IN ('munchet_meta', 'scores')",
                  {}, tables, error)) {
        return Fail(db, error, "cannot read the database's tables: " + error);
    }
    if (schema.empty())
        return Fail(db, error, "no schema of the search_path exists to hold the scores table");
    if (tables.empty()) {
        // Made as the first layout was, then migrated like any database of it.
        if (!db.Run("CREATE TABLE scores ("
                    " id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
                    " name TEXT NOT NULL,"
                    " score BIGINT NOT NULL,"
                    " level BIGINT NOT NULL,"
                    " munchets BIGINT NOT NULL,"
                    " food BIGINT NOT NULL,"
                    " time BIGINT NOT NULL,"
                    " client TEXT NOT NULL);"
                    "CREATE INDEX scores_rank ON scores (score DESC, id ASC);"
                    "CREATE TABLE munchet_meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
                    "INSERT INTO munchet_meta VALUES ('schema_version', '" +
                        std::string(firstSchemaVersion) + "')",
                    error)) {
            return Fail(db, error, "cannot create the scores table in schema " + schema + ": " + error);
        }
        version = firstSchemaVersion;
    } else {
        if (tables == "scores")
            return Fail(db, error,
                        "table " + schema + ".scores belongs to another program (no munchet_meta)");
        if (!db.Value("SELECT coalesce((SELECT value FROM munchet_meta WHERE key = 'schema_version'), '?')",
                      {}, version, error)) {
            return Fail(db, error, "cannot read munchet_meta: " + error);
        }
        if (version != schemaVersion && version != ticketSchemaVersion && version != replaySchemaVersion &&
            version != firstSchemaVersion)
            return Fail(db, error, "database has an unknown layout (schema version " + version + ")");
        if (tables == "munchet_meta") return Fail(db, error, "table " + schema + ".scores is missing");
        if (!db.Value("SELECT coalesce(string_agg(column_name || ' ' || data_type, ', ' ORDER BY"
                      " ordinal_position), '') FROM information_schema.columns"
                      " WHERE table_schema = current_schema() AND table_name = 'scores'",
                      {}, columns, error)) {
            return Fail(db, error, "cannot read the columns of scores: " + error);
        }
        const std::string expected =
            std::string(firstColumns) + (version != firstSchemaVersion ? replayColumn : "") +
            (version == schemaVersion || version == ticketSchemaVersion ? ticketColumn : "");
        if (columns != expected)
            return Fail(db, error, "table " + schema + ".scores has another layout (" + columns + ")");
    }
    return (AddPageIndexAndChangeCount(db, error) &&
            (version != firstSchemaVersion || pg::MigrateToReplays(db, error)) &&
            (version == schemaVersion || version == ticketSchemaVersion || pg::MigrateToTickets(db, error)) &&
            (version == schemaVersion || pg::MigrateToReplayCascade(db, error)) &&
            pg::AddModeration(db, error) && db.Run("COMMIT", error)) ||
           Fail(db, error, "cannot bring schema " + schema + " up to date: " + error);
}

bool ParseInt(const char* text, std::int64_t& value) {
    const char* end = text + std::char_traits<char>::length(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end;
}

// The INSERT for n rows: "($1, ..., $7), ($8, ...)" or, with ids, eight a row.
std::string InsertStatement(std::size_t rows, bool withIds) {
    const std::size_t columns = withIds ? 8 : 7;
    std::string sql = withIds
                          ? "INSERT INTO scores (id, name, score, level, munchets, food, time, client)"
                            " OVERRIDING SYSTEM VALUE VALUES "
                          : "INSERT INTO scores (name, score, level, munchets, food, time, client) VALUES ";
    std::size_t parameter = 1;
    for (std::size_t r = 0; r < rows; ++r) {
        sql += r == 0 ? "(" : ",(";
        for (std::size_t c = 0; c < columns; ++c) {
            if (c > 0) sql += ',';
            sql += '$';
            sql += std::to_string(parameter++);
        }
        sql += ')';
    }
    return sql;
}

}  // namespace

PgScoreStore::~PgScoreStore() { Close(); }

bool PgScoreStore::Open(const PgSettings& settings, std::string& error, ShownRows shownRows) {
    Close();
    const std::string session =
        "SET synchronous_commit = on; SET statement_timeout = " + std::to_string(settings.timeout.count()) +
        "; SET idle_in_transaction_session_timeout = " + std::to_string(2 * settings.timeout.count());
    const auto prepare = [session](PgConnection& connection, std::string& message) {
        return connection.Run(session, message);
    };
    const auto backoff = std::make_shared<PgBackoff>();
    auto freshWriter = std::make_unique<PgConnection>(settings, prepare, backoff);
    auto freshReader = std::make_unique<PgConnection>(settings, prepare, backoff);
    auto freshPageReader = std::make_unique<PgConnection>(settings, prepare, backoff);
    TicketKey key{};
    if (!freshWriter->Connect(error) || !SetUpSchema(*freshWriter, error) ||
        !pg::ReadOrMakeTicketKey(*freshWriter, key, error) || !freshReader->Connect(error) ||
        !freshPageReader->Connect(error)) {
        return false;
    }
    std::scoped_lock lock(writeMutex, readMutex, pageMutex);
    writer = std::move(freshWriter);
    reader = std::move(freshReader);
    pageReader = std::move(freshPageReader);
    shown = shownRows;
    ticketKey = key;
    return true;
}

void PgScoreStore::Close() {
    std::scoped_lock lock(writeMutex, readMutex, pageMutex);
    writer.reset();
    reader.reset();
    pageReader.reset();
}

bool PgScoreStore::Begin(std::string& error) {
    const bool hadConnection = writer->Connected();
    if (writer->Run("BEGIN", error)) return true;
    // A connection that broke while idle (the database restarted, a proxy
    // timed it out) is only found out now; nothing was sent for this batch
    // yet, so one more try on a new connection is safe.
    return hadConnection && !writer->Connected() && writer->Run("BEGIN", error);
}

bool PgScoreStore::Insert(std::span<const ScoreRow> rows, const std::int64_t* ids, std::string& error) {
    std::vector<std::string> numbers;
    std::vector<const char*> params;
    for (std::size_t start = 0; start < rows.size(); start += rowsPerInsert) {
        const std::span<const ScoreRow> chunk =
            rows.subspan(start, std::min(rowsPerInsert, rows.size() - start));
        numbers.clear();
        params.clear();
        numbers.reserve(6 * chunk.size());  // no reallocation: params points into it
        for (std::size_t r = 0; r < chunk.size(); ++r) {
            const ScoreRow& row = chunk[r];
            const Submission& s = row.submission;
            if (ids) params.push_back(numbers.emplace_back(std::to_string(ids[start + r])).c_str());
            params.push_back(s.name.c_str());
            for (const std::int64_t value : {std::int64_t{s.score}, std::int64_t{s.level},
                                             std::int64_t{s.munchets}, std::int64_t{s.food}, row.unixTime}) {
                params.push_back(numbers.emplace_back(std::to_string(value)).c_str());
            }
            params.push_back(row.client.c_str());
        }
        std::vector<PgResult> results;
        if (!writer->Run(InsertStatement(chunk.size(), ids != nullptr), params, results, error)) return false;
    }
    return true;
}

bool PgScoreStore::Commit(std::string& error) {
    std::vector<PgResult> results;
    if (!writer->Run("COMMIT", {}, results, error)) return false;
    // COMMIT of a transaction the server had already aborted answers ROLLBACK.
    if (results.size() == 1 && std::string_view(PQcmdStatus(results.front().get())) == "COMMIT") return true;
    error = "the transaction was rolled back";
    return false;
}

bool PgScoreStore::AddBatch(std::span<const ScoreRow> rows, std::string& error) {
    std::lock_guard lock(writeMutex);
    if (!writer) {
        error = "database is closed";
        return false;
    }
    if (rows.empty()) return true;
    // A COMMIT whose answer never came may still have been carried out: the
    // rows are then stored although their clients are told they were not.
    // The other way round cannot happen.
    if (!Begin(error)) return false;
    if (!Insert(rows, nullptr, error)) return Fail(*writer, error, error);
    return Commit(error);
}

bool PgScoreStore::ReadTop(std::vector<TableRow>& rows, std::string& error) {
    std::lock_guard lock(readMutex);
    rows.clear();
    const std::string sql = std::string("SELECT name, score FROM scores WHERE ") +
                            moderation::shownCondition +
                            (shown == ShownRows::verifiedOnly ? " AND verified" : "") +
                            " ORDER BY score DESC, id ASC LIMIT " + std::to_string(tableRowLimit);
    std::vector<PgResult> results;
    if (!Read(reader.get(), sql, {}, results, error)) return false;
    const pg_result* result = results.front().get();
    for (int i = 0; i < PQntuples(result); ++i) {
        TableRow row{
            std::string(PQgetvalue(result, i, 0), static_cast<std::size_t>(PQgetlength(result, i, 0))), 0};
        if (!ParseInt(PQgetvalue(result, i, 1), row.score)) {
            rows.clear();
            error = "unreadable score in the table";
            return false;
        }
        rows.push_back(std::move(row));
    }
    return true;
}

bool PgScoreStore::Read(PgConnection* connection, const std::string& sql, std::span<const char* const> params,
                        std::vector<PgResult>& results, std::string& error) {
    if (!connection) {
        error = "database is closed";
        return false;
    }
    // A read changes nothing, so one that found its connection broken while
    // idle is simply asked again on a new one.
    const bool hadConnection = connection->Connected();
    return connection->Run(sql, params, results, error) ||
           (hadConnection && !connection->Connected() && connection->Run(sql, params, results, error));
}

bool PgScoreStore::ReadRanked(const RankedQuery& query, RankedPage& page, std::string& error) {
    std::lock_guard lock(pageMutex);
    page = {};
    const bool byName = !query.name.empty();
    // A name holding a NUL byte cannot be stored here, so it matches no row.
    if (query.name.find('\0') != std::string::npos) return true;
    // One name's rows are ranked by more statements than the page's own, all
    // in one snapshot with it.
    std::vector<PgResult> results;
    if (byName &&
        !Read(pageReader.get(), "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", {}, results, error))
        return false;
    if (ReadRankedPage(query, page, error)) {
        if (!byName) return true;
        std::vector<PgResult> committed;
        if (pageReader->Run("COMMIT", {}, committed, error)) return true;
    }
    page = {};
    if (byName) Fail(*pageReader, error, error);
    return false;
}

bool PgScoreStore::ReadRankedPage(const RankedQuery& query, RankedPage& page, std::string& error) {
    const bool byName = !query.name.empty();
    // The count and the rows in one statement, so they come from one
    // snapshot. Over the whole table a row's rank is its place in the order
    // read; one name's rows lie anywhere in it (spread_ranks.h). A board of
    // one period ranks its rows among themselves; a name reads every period.
    const std::string shownRows = std::string(" AND ") + moderation::shownCondition +
                                  (shown == ShownRows::verifiedOnly ? " AND verified" : "");
    const std::string also = shownRows + (byName ? "" : " AND scores.time >= $4 AND scores.time < $5");
    const std::string where = (byName ? " WHERE name = $1" : " WHERE $1 = ''") + also;
    const std::string sql =
        "WITH page AS (SELECT id, name, score, level, munchets, food, time, verified, players FROM scores" +
        where +
        " ORDER BY score DESC, id ASC LIMIT $2 OFFSET $3)"
        " SELECT total.n, p.name, p.score, p.level, p.munchets, p.food, p.time, p.id, p.verified, r.id, "
        "p.players FROM (SELECT count(*) AS n FROM scores" +
        where +
        ") AS total"
        " LEFT JOIN page p ON true LEFT JOIN replays r ON r.score_id = p.id ORDER BY p.score DESC, p.id ASC";
    const std::string limit = std::to_string(query.limit < 0 ? 0 : query.limit);
    const std::int64_t offset = query.offset < 0 ? 0 : query.offset;
    const std::string offsetText = std::to_string(offset);
    const std::string since = std::to_string(query.since);
    const std::string until = std::to_string(query.until);
    const char* all[] = {query.name.c_str(), limit.c_str(), offsetText.c_str(), since.c_str(), until.c_str()};
    const std::span<const char* const> params(all, byName ? 3 : 5);
    std::vector<PgResult> results;
    if (!(byName ? pageReader->Run(sql, params, results, error)
                 : Read(pageReader.get(), sql, params, results, error)))
        return false;
    const pg_result* result = results.front().get();
    // The page shows the nearest value a counter can hold, never a wrapped one.
    const auto counter = [&](int row, int column, std::int32_t& value) {
        std::int64_t wide = 0;
        if (!ParseInt(PQgetvalue(result, row, column), wide)) return false;
        value = static_cast<std::int32_t>(std::clamp<std::int64_t>(wide, INT32_MIN, INT32_MAX));
        return true;
    };
    std::vector<RankPlace> places;
    bool readable = PQntuples(result) > 0 && ParseInt(PQgetvalue(result, 0, 0), page.total);
    for (int i = 0; readable && i < PQntuples(result); ++i) {
        if (PQgetisnull(result, i, 1)) continue;  // the count alone: no row on this page
        RankedRow& row = page.rows.emplace_back();
        RankPlace& place = places.emplace_back();
        row.name = std::string(PQgetvalue(result, i, 1), static_cast<std::size_t>(PQgetlength(result, i, 1)));
        row.rank = offset + i + 1;
        readable = counter(i, 2, row.score) && ParseInt(PQgetvalue(result, i, 2), place.score) &&
                   counter(i, 3, row.level) && counter(i, 4, row.munchets) && counter(i, 5, row.food) &&
                   ParseInt(PQgetvalue(result, i, 6), row.unixTime) &&
                   ParseInt(PQgetvalue(result, i, 7), place.id);
        row.verified = std::string_view(PQgetvalue(result, i, 8)) == "t";
        std::int64_t replayId = 0;
        if (!PQgetisnull(result, i, 9)) {
            readable = readable && ParseInt(PQgetvalue(result, i, 9), replayId);
            row.replayId = replayId;
        }
        readable = readable && counter(i, 10, row.players);
    }
    if (!readable) {
        error = "unreadable row in the table";
        return false;
    }
    if (!byName) return true;
    // Rows ahead of ($1 score, $2 id), or between ($1, $2) and the later
    // ($3, $4), in rank order: each part a range of scores_rank.
    const std::string above =
        "SELECT (SELECT count(*) FROM scores WHERE score > $1::bigint" + shownRows +
        ") + (SELECT count(*) FROM scores WHERE score = $1::bigint AND id < $2::bigint" + shownRows + ")";
    const std::string between =
        "SELECT CASE WHEN $1::bigint = $3::bigint"
        " THEN (SELECT count(*) FROM scores WHERE score = $1::bigint AND id > $2::bigint AND id < "
        "$4::bigint" +
        shownRows + ") ELSE (SELECT count(*) FROM scores WHERE score = $1::bigint AND id > $2::bigint" +
        shownRows + ") + (SELECT count(*) FROM scores WHERE score < $1::bigint AND score > $3::bigint" +
        shownRows + ") + (SELECT count(*) FROM scores WHERE score = $3::bigint AND id < $4::bigint" +
        shownRows + ") END";
    return RankSpreadRows(
        page.rows, places,
        [&](const RankPlace* after, const RankPlace& place, std::int64_t& count, std::string& message) {
            std::vector<std::string> numbers;
            if (after) numbers = {std::to_string(after->score), std::to_string(after->id)};
            numbers.push_back(std::to_string(place.score));
            numbers.push_back(std::to_string(place.id));
            std::vector<const char*> values;
            for (const std::string& number : numbers) values.push_back(number.c_str());
            std::vector<PgResult> counted;
            if (!pageReader->Run(after ? between : above, values, counted, message)) return false;
            if (PQntuples(counted.front().get()) == 1 &&
                ParseInt(PQgetvalue(counted.front().get(), 0, 0), count))
                return true;
            message = "unreadable rank";
            return false;
        },
        error);
}

bool PgScoreStore::ReadChangeStamp(std::string& stamp, std::string& error) {
    std::lock_guard lock(readMutex);
    // The count lives in the database, so every process sharing it gives
    // the same stamp for the same rows; the server's start time keeps a
    // restored backup from repeating an old one.
    std::vector<PgResult> results;
    if (!Read(reader.get(),
              "SELECT extract(epoch FROM pg_postmaster_start_time())::bigint::text || '.' || value"
              " FROM munchet_meta WHERE key = 'changes'",
              {}, results, error)) {
        return false;
    }
    if (PQntuples(results.front().get()) != 1) {
        error = "the change count is missing from munchet_meta";
        return false;
    }
    stamp = PQgetvalue(results.front().get(), 0, 0);
    return true;
}

bool PgScoreStore::ReadBans(std::int64_t unixTime, std::vector<Ban>& bans, std::string& error) {
    std::lock_guard lock(readMutex);
    bans.clear();
    const std::string now = std::to_string(unixTime);
    const char* params[] = {now.c_str()};
    std::vector<PgResult> results;
    if (!Read(reader.get(), moderation::activeBansSql, params, results, error)) return false;
    const pg_result* result = results.front().get();
    for (int i = 0; i < PQntuples(result); ++i) {
        SqlRow row;
        for (int c = 0; c < PQnfields(result); ++c)
            row.push_back(PQgetisnull(result, i, c) ? SqlValue() : SqlValue(PQgetvalue(result, i, c)));
        if (!moderation::ParseBan(row, bans.emplace_back())) {
            bans.clear();
            error = "unreadable row in bans";
            return false;
        }
    }
    return true;
}

bool PgScoreStore::Import(const RowSource& next, std::int64_t& copied, std::string& error) {
    std::lock_guard lock(writeMutex);
    copied = 0;
    if (!writer) {
        error = "database is closed";
        return false;
    }
    std::string count;
    // Servers already running on the database wait until the copy is in.
    if (!Begin(error) || !writer->Run("LOCK TABLE scores IN SHARE ROW EXCLUSIVE MODE", error) ||
        !writer->Value("SELECT count(*) FROM scores", {}, count, error)) {
        return Fail(*writer, error, error);
    }
    if (count != "0")
        return Fail(*writer, error,
                    "the scores table already holds " + count + " rows; import only into an empty one");
    std::vector<NumberedScoreRow> chunk;
    std::vector<ScoreRow> rows;
    std::vector<std::int64_t> ids;
    while (true) {
        chunk.clear();
        if (!next(chunk, error)) return Fail(*writer, error, error);
        if (chunk.empty()) break;
        rows.clear();
        ids.clear();
        for (NumberedScoreRow& numbered : chunk) {
            ids.push_back(numbered.id);
            rows.push_back(std::move(numbered.row));
        }
        if (!Insert(rows, ids.data(), error)) return Fail(*writer, error, error);
        copied += static_cast<std::int64_t>(rows.size());
    }
    std::string last;
    if (!writer->Value(
            "SELECT setval(pg_get_serial_sequence('scores', 'id'), greatest(max(id), 1), max(id) IS NOT NULL)"
            " FROM scores",
            {}, last, error) ||
        !Commit(error)) {
        copied = 0;
        return Fail(*writer, error, error);
    }
    return true;
}

bool PgScoreStore::StoreReplay(const ReplaySubmission& replay, StoredReplay& stored, std::string& error) {
    std::lock_guard lock(writeMutex);
    if (!writer) {
        error = "database is closed";
        return false;
    }
    pg::ReplayPlacement placement(
        *writer, [this](std::string& message) { return Begin(message); },
        [this](std::string& message) { return Commit(message); });
    return PlaceReplay(placement, replay, stored, error);
}

bool PgScoreStore::ReadTicketKey(TicketKey& key, std::string& error) {
    std::lock_guard lock(writeMutex);
    if (!writer) {
        error = "database is closed";
        return false;
    }
    key = ticketKey;
    return true;
}

bool PgScoreStore::RecordTicketStart(std::uint64_t id, std::int64_t unixMs, std::string& error) {
    std::lock_guard lock(writeMutex);
    if (!writer) {
        error = "database is closed";
        return false;
    }
    // One statement in its own transaction, safe to send again on a new
    // connection: a start recorded twice keeps the first.
    const bool hadConnection = writer->Connected();
    return pg::RecordTicketStart(*writer, id, unixMs, error) ||
           (hadConnection && !writer->Connected() && pg::RecordTicketStart(*writer, id, unixMs, error));
}

bool PgScoreStore::ReadTicket(std::uint64_t id, TicketRecord& record, std::string& error) {
    std::lock_guard lock(pageMutex);
    if (!pageReader) {
        error = "database is closed";
        return false;
    }
    const bool hadConnection = pageReader->Connected();
    return pg::ReadTicket(*pageReader, id, record, error) ||
           (hadConnection && !pageReader->Connected() && pg::ReadTicket(*pageReader, id, record, error));
}

bool PgScoreStore::ReadReplay(std::int64_t id, std::optional<std::string>& bytes, std::string& error) {
    std::lock_guard lock(pageMutex);
    bytes.reset();
    const std::string idText = std::to_string(id);
    const char* params[] = {idText.c_str()};
    std::vector<PgResult> results;
    if (!Read(pageReader.get(), pg::readReplaySql, params, results, error)) return false;
    const pg_result* result = results.front().get();
    if (PQntuples(result) == 0) return true;
    bytes = pg::FromHex({PQgetvalue(result, 0, 0), static_cast<std::size_t>(PQgetlength(result, 0, 0))});
    if (bytes) return true;
    error = "unreadable replay";
    return false;
}
