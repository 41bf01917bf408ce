#include "server/sqlite/sqlite_tickets.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/whole_file.h"
#include "server/sql/sqlite_connection.h"

namespace sql {

namespace {

std::int64_t Signed(std::uint64_t id) { return static_cast<std::int64_t>(id); }

bool Rollback(sqlite3* db, std::string& error) {
    if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    error = "cannot migrate the score file: " + error;
    return false;
}

}  // namespace

bool MigrateToTickets(sqlite3* db, std::string& error) {
    std::vector<std::string> version;
    if (!Execute(db, "BEGIN IMMEDIATE", error) || !Query(db, "PRAGMA user_version", version, error))
        return Rollback(db, error);
    if (!version.empty() && version.front() != "2") return Execute(db, "COMMIT", error);
    const bool migrated =
        Execute(db, "ALTER TABLE scores ADD COLUMN players INTEGER NOT NULL DEFAULT 1", error) &&
        Execute(db,
                "CREATE TABLE tickets (id INTEGER PRIMARY KEY, started_at INTEGER, score_id INTEGER UNIQUE)",
                error) &&
        Execute(db, "PRAGMA user_version = 3", error) && Execute(db, "COMMIT", error);
    return migrated || Rollback(db, error);
}

bool RecordTicketStart(sqlite3* db, std::uint64_t id, std::int64_t unixMs, std::string& error) {
    Statement insert(db, "INSERT INTO tickets (id, started_at) VALUES (?1, ?2) ON CONFLICT (id) DO NOTHING");
    if (sqlite3_stmt* s = insert.get()) {
        sqlite3_bind_int64(s, 1, Signed(id));
        sqlite3_bind_int64(s, 2, unixMs);
    }
    if (insert.Step() == SQLITE_DONE) return true;
    error = insert.Error("record ticket start");
    return false;
}

bool ReadTicket(sqlite3* db, std::uint64_t id, TicketRecord& record, std::string& error) {
    record = {};
    Statement read(db, "SELECT started_at, score_id IS NOT NULL FROM tickets WHERE id = ?1");
    if (read.get()) sqlite3_bind_int64(read.get(), 1, Signed(id));
    const int rc = read.Step();
    if (rc == SQLITE_ROW) {
        if (sqlite3_column_type(read.get(), 0) != SQLITE_NULL)
            record.startedAtMs = sqlite3_column_int64(read.get(), 0);
        record.used = sqlite3_column_int(read.get(), 1) != 0;
    }
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) return true;
    error = read.Error("read ticket");
    return false;
}

bool TicketUsed(sqlite3* db, std::uint64_t id, bool& used, std::string& error) {
    TicketRecord record;
    if (!ReadTicket(db, id, record, error)) return false;
    used = record.used;
    return true;
}

bool UseTicket(sqlite3* db, std::uint64_t id, std::int64_t scoreId, bool& used, std::string& error) {
    Statement use(db,
                  "INSERT INTO tickets (id, score_id) VALUES (?1, ?2)"
                  " ON CONFLICT (id) DO UPDATE SET score_id = ?2 WHERE score_id IS NULL");
    if (sqlite3_stmt* s = use.get()) {
        sqlite3_bind_int64(s, 1, Signed(id));
        sqlite3_bind_int64(s, 2, scoreId);
    }
    if (use.Step() != SQLITE_DONE) {
        error = use.Error("use ticket");
        return false;
    }
    used = sqlite3_changes(db) == 0;
    return true;
}

}  // namespace sql

namespace {

bool ReadKeyFile(const std::string& path, TicketKey& key, std::string& error) {
    std::string text;
    bool missing = false;
    if (!ReadBoundedFile(path, 256, text, missing, error)) return false;
    const std::string_view hex = std::string_view(text).substr(0, text.find('\n'));
    if (KeyFromHex(hex, key)) return true;
    error = path +
            " holds no ticket key (64 hex digits); restore it from a backup, or remove it to make"
            " a new one (every ticket dealt with the old key is then refused)";
    return false;
}

}  // namespace

bool LoadOrMakeKeyFile(const std::string& path, TicketKey& key, std::string& error) {
    if (access(path.c_str(), F_OK) == 0) return ReadKeyFile(path, key, error);
    TicketKey fresh{};
    if (!FillRandom(fresh)) {
        error = "the kernel gave no random bytes for the ticket key";
        return false;
    }
    // A candidate of its own (mkstemp: a new name, mode 0600) for every
    // opener, of this process or another.
    std::string candidate = path + ".new.XXXXXX";
    const std::string text = KeyToHex(fresh) + "\n";
    const int fd = mkostemp(candidate.data(), O_CLOEXEC);
    const bool written =
        fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && fsync(fd) == 0;
    if (fd >= 0) close(fd);
    // link() never replaces: of processes racing here, one key wins and
    // every process reads that one.
    const bool linked = written && (link(candidate.c_str(), path.c_str()) == 0 || errno == EEXIST);
    const int linkError = errno;  // of the write when that failed
    unlink(candidate.c_str());
    if (!linked) {
        errno = linkError;
        error = SystemError("cannot write the ticket key", path);
        return false;
    }
    const std::size_t slash = path.rfind('/');
    SyncFolder(slash == std::string::npos ? "." : path.substr(0, slash + 1));
    return ReadKeyFile(path, key, error);
}
