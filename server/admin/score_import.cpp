#include "server/admin/score_import.h"

#include <sqlite3.h>

namespace {

constexpr std::size_t rowsPerChunk = 1000;

// Closes the file, and ends the read snapshot with it, on every way out.
struct ReadOnlyFile {
    sqlite3* db = nullptr;
    sqlite3_stmt* rows = nullptr;
    ~ReadOnlyFile() {
        sqlite3_finalize(rows);
        sqlite3_close_v2(db);
    }
    std::string Error(const std::string& path) const {
        return path + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
    }
};

bool Text(sqlite3_stmt* statement, int column, std::string& text) {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    text.assign(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
    return text.find('\0') == std::string::npos;
}

bool Int32(sqlite3_stmt* statement, int column, std::int32_t& value) {
    const sqlite3_int64 wide = sqlite3_column_int64(statement, column);
    value = static_cast<std::int32_t>(wide);
    return sqlite3_column_type(statement, column) == SQLITE_INTEGER && wide == value;
}

// The next row into numbered; false with a message when it cannot be copied as it is.
bool ReadRow(sqlite3_stmt* statement, NumberedScoreRow& numbered, std::string& error) {
    numbered.id = sqlite3_column_int64(statement, 0);
    Submission& s = numbered.row.submission;
    const bool ok = Text(statement, 1, s.name) && Int32(statement, 2, s.score) &&
                    Int32(statement, 3, s.level) && Int32(statement, 4, s.munchets) &&
                    Int32(statement, 5, s.food) && sqlite3_column_type(statement, 6) == SQLITE_INTEGER &&
                    Text(statement, 7, numbered.row.client);
    numbered.row.unixTime = sqlite3_column_int64(statement, 6);
    if (!ok) error = "row " + std::to_string(numbered.id) + " holds a value PostgreSQL cannot take as it is";
    return ok;
}

}  // namespace

bool ImportSqliteScores(const std::string& path, PgScoreStore& target, std::int64_t& copied,
                        std::string& error) {
    copied = 0;
    ReadOnlyFile file;
    std::string version;
    if (sqlite3_open_v2(path.c_str(), &file.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_exec(file.db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_exec(
            file.db, "PRAGMA user_version",
            [](void* out, int, char** values, char**) {
                *static_cast<std::string*>(out) = values[0] ? values[0] : "";
                return 0;
            },
            &version, nullptr) != SQLITE_OK) {
        error = "cannot read " + file.Error(path);
        return false;
    }
    // Version 2 adds replays beside the same columns; the games are copied
    // alone, unverified.
    if (version != "1" && version != "2" && version != "3" && version != "4") {
        error = path + " is not a score database of munchet-scores (user_version " + version + ")";
        return false;
    }
    if (sqlite3_prepare_v2(
            file.db, "SELECT id, name, score, level, munchets, food, time, client FROM scores ORDER BY id",
            -1, &file.rows, nullptr) != SQLITE_OK) {
        error = "cannot read " + file.Error(path);
        return false;
    }
    bool finished = false;  // stepping a finished statement would start it over
    const auto next = [&](std::vector<NumberedScoreRow>& chunk, std::string& message) {
        int rc = SQLITE_ROW;
        while (!finished && chunk.size() < rowsPerChunk && (rc = sqlite3_step(file.rows)) == SQLITE_ROW) {
            if (!ReadRow(file.rows, chunk.emplace_back(), message)) return false;
        }
        finished = finished || rc == SQLITE_DONE;
        if (rc == SQLITE_ROW || rc == SQLITE_DONE) return true;
        message = "cannot read " + file.Error(path);
        return false;
    };
    return target.Import(next, copied, error);
}
