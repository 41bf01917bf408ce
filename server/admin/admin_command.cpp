#include "server/admin/admin_command.h"

#include <charconv>
#include <ctime>
#include <map>
#include <optional>
#include <thread>

#include "server/admin/admin_database.h"
#include "server/admin/moderation_actions.h"
#include "server/admin/replay_recheck.h"
#include "server/store/bans.h"

namespace {

// Longer than a server's period between reads of the bans (ScoreServerConfig::screenPeriod).
constexpr auto banSettleTime = std::chrono::milliseconds(1500);

// The command line after "admin": options and their values, and the words.
struct AdminArgs {
    std::string db = "munchet-scores.db";
    int dbTimeoutSeconds = 5;
    std::vector<std::string> words;                           // the command and its operands
    std::map<std::string, std::optional<std::string>> flags;  // --name VALUE, --hide (no value)
};

constexpr const char* valueOptions[] = {"--reason", "--expires", "--name", "--address",
                                        "--since",  "--until",   "--limit"};
constexpr const char* plainOptions[] = {"--verified", "--unverified", "--hidden",
                                        "--shown",    "--top",        "--hide"};

bool ParseInt64(std::string_view text, std::int64_t& value) {
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    return problem == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ParseArgs(const std::vector<std::string_view>& args, AdminArgs& parsed, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string arg(args[i]);
        bool takesValue = arg == "--db" || arg == "--db-timeout";
        for (const char* option : valueOptions) takesValue = takesValue || arg == option;
        bool plain = false;
        for (const char* option : plainOptions) plain = plain || arg == option;
        if (plain) {
            parsed.flags[arg] = std::nullopt;
            continue;
        }
        if (!takesValue) {
            if (arg.starts_with("--")) {
                error = "unknown option: " + arg;
                return false;
            }
            parsed.words.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        const std::string value(args[++i]);
        std::int64_t seconds = 0;
        if (arg == "--db") {
            parsed.db = value;
        } else if (arg == "--db-timeout") {
            if (!ParseInt64(value, seconds) || seconds < 1 || seconds > 600) {
                error = "bad value for --db-timeout: " + value;
                return false;
            }
            parsed.dbTimeoutSeconds = static_cast<int>(seconds);
        } else {
            parsed.flags[arg] = value;
        }
    }
    if (parsed.words.empty()) {
        error = "admin needs a command";
        return false;
    }
    return true;
}

std::string UtcText(std::int64_t unixTime) {
    const auto time = static_cast<std::time_t>(unixTime);
    std::tm utc{};
    char text[32];
    if (!gmtime_r(&time, &utc) || !std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc))
        return "@" + std::to_string(unixTime);
    return text;
}

// Stored text is untrusted: nothing in it may reach the terminal as a control.
std::string Printable(std::string_view text) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 32 && byte < 127 && c != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 15];
        }
    }
    return out;
}

class Command {
public:
    Command(AdminArgs args, std::FILE* out, std::FILE* err) : args(std::move(args)), out(out), err(err) {}

    int Run() {
        const std::string& name = args.words.front();
        const bool known = name == "list" || name == "hide" || name == "unhide" || name == "delete" ||
                           name == "ban" || name == "unban" || name == "bans" || name == "log" ||
                           name == "backup" || name == "reverify";
        if (!known) return Usage("unknown admin command: " + name);
        std::string error;
        if (!db.Open(args.db, std::chrono::seconds(args.dbTimeoutSeconds), error)) return Fail(error);
        if (name == "list") return List();
        if (name == "hide" || name == "unhide" || name == "delete") return ChangeRow(name);
        if (name == "ban") return Ban();
        if (name == "unban") return Unban();
        if (name == "bans") return Bans();
        if (name == "log") return Log();
        if (name == "backup") return Backup();
        return Reverify();
    }

private:
    int Usage(const std::string& message) {
        std::fprintf(err, "munchet-scores admin: %s\n%s", message.c_str(), AdminUsage().c_str());
        return 2;
    }
    int Fail(const std::string& message) {
        std::fprintf(err, "munchet-scores admin: %s\n", Printable(message).c_str());
        return 1;
    }
    int Done(bool ok, const std::string& done, const std::string& error) {
        if (!ok) return Fail(error);
        std::fprintf(out, "%s\n", Printable(done).c_str());
        return 0;
    }

    std::optional<std::string> Flag(const char* name) const {
        const auto found = args.flags.find(name);
        return found == args.flags.end() ? std::nullopt : found->second;
    }
    bool Has(const char* name) const { return args.flags.contains(name); }
    std::string Reason() const { return Flag("--reason").value_or(""); }

    // The one operand after the command, as an id.
    std::optional<std::int64_t> IdOperand() const {
        std::int64_t id = 0;
        if (args.words.size() != 2 || !ParseInt64(args.words[1], id) || id <= 0) return std::nullopt;
        return id;
    }

    int List() {
        RowFilter filter;
        filter.name = Flag("--name");
        filter.address = Flag("--address");
        filter.byScore = Has("--top");
        if (Has("--verified") || Has("--unverified")) filter.verified = Has("--verified");
        if (Has("--hidden") || Has("--shown")) filter.hidden = Has("--hidden");
        std::int64_t value = 0;
        for (const auto& [option, field] :
             {std::pair{"--since", &filter.since}, std::pair{"--until", &filter.until}}) {
            if (const auto text = Flag(option)) {
                if (!ParseAdminTime(*text, value))
                    return Usage(std::string("bad time for ") + option + ": " + *text);
                *field = value;
            }
        }
        if (const auto text = Flag("--limit")) {
            if (!ParseInt64(*text, value) || value < 1 || value > 1000000)
                return Usage("bad --limit: " + *text);
            filter.limit = static_cast<int>(value);
        }
        if (filter.address && filter.address->find('/') != std::string::npos) {
            std::string error;
            const auto prefix = CanonicalBanValue(BanKind::prefix, *filter.address, error);
            if (!prefix) return Usage(error);
            filter.address = prefix;
        }
        std::vector<AdminRow> rows;
        std::string error;
        if (!moderation::ListRows(db.Session(), filter, rows, error)) return Fail(error);
        std::fprintf(out, "%8s  %-19s  %-16s %10s %5s  %-15s  %s\n", "ID", "TIME (UTC)", "NAME", "SCORE",
                     "LEVEL", "CLIENT", "FLAGS");
        for (const AdminRow& row : rows) {
            std::string flags = row.verified ? "verified" : "";
            if (row.hidden)
                flags +=
                    std::string(flags.empty() ? "" : " ") +
                    (row.hiddenByBan ? "hidden(ban " + std::to_string(*row.hiddenByBan) + ")" : "hidden");
            if (row.replayId)
                flags += (flags.empty() ? "replay " : " replay ") + std::to_string(*row.replayId);
            std::fprintf(out, "%8lld  %-19s  %-16s %10lld %5lld  %-15s  %s\n", static_cast<long long>(row.id),
                         UtcText(row.unixTime).c_str(), Printable(row.name).c_str(),
                         static_cast<long long>(row.score), static_cast<long long>(row.level + 1),
                         Printable(row.client).c_str(), flags.c_str());
        }
        return 0;
    }

    int ChangeRow(const std::string& name) {
        const std::optional<std::int64_t> id = IdOperand();
        if (!id) return Usage(name + " needs one row id");
        if (name == "delete" && Reason().empty()) return Usage("delete needs --reason TEXT");
        std::string done, error;
        const auto now = static_cast<std::int64_t>(std::time(nullptr));
        bool ok;
        if (name == "hide") {
            ok = moderation::Hide(db.Session(), *id, Reason(), now, done, error);
        } else if (name == "unhide") {
            ok = moderation::Unhide(db.Session(), *id, Reason(), now, done, error);
        } else {
            ok = moderation::Delete(db.Session(), *id, Reason(), now, done, error);
        }
        return Done(ok, done, error);
    }

    int Ban() {
        if (args.words.size() != 3) return Usage("ban needs a kind (name, address or prefix) and a value");
        const std::optional<BanKind> kind = ParseBanKind(args.words[1]);
        if (!kind) return Usage("unknown ban kind: " + args.words[1] + " (name, address or prefix)");
        if (Reason().empty()) return Usage("ban needs --reason TEXT");
        std::string error;
        const std::optional<std::string> value = CanonicalBanValue(*kind, args.words[2], error);
        if (!value) return Usage(error);
        const auto now = static_cast<std::int64_t>(std::time(nullptr));
        ::Ban ban;
        ban.kind = *kind;
        ban.value = *value;
        ban.reason = Reason();
        if (const auto expires = Flag("--expires")) {
            std::int64_t until = 0;
            if (!ParseExpiry(*expires, now, until) || until <= now)
                return Usage("bad --expires: " + *expires);
            ban.expires = until;
        }
        std::string done;
        if (!moderation::AddBan(db.Session(), ban, now, done, error)) return Fail(error);
        std::fprintf(out, "%s\n", Printable(done).c_str());
        std::fflush(out);
        // A server takes the ban in at its next read of the bans; what it
        // stored until then is hidden once that read is surely past.
        std::this_thread::sleep_for(banSettleTime);
        return moderation::HideLateRows(db.Session(), ban.id, error) ? 0 : Fail(error);
    }

    int Unban() {
        const std::optional<std::int64_t> id = IdOperand();
        if (!id) return Usage("unban needs one ban id (see admin bans)");
        std::string done, error;
        const auto now = static_cast<std::int64_t>(std::time(nullptr));
        return Done(moderation::RevokeBan(db.Session(), *id, Reason(), now, done, error), done, error);
    }

    int Bans() {
        std::vector<::Ban> bans;
        std::string error;
        if (!moderation::ListBans(db.Session(), bans, error)) return Fail(error);
        const auto now = static_cast<std::int64_t>(std::time(nullptr));
        for (const ::Ban& ban : bans) {
            std::string state = "in force";
            if (ban.revoked) {
                state = "revoked " + UtcText(*ban.revoked);
            } else if (ban.expires) {
                state = (*ban.expires <= now ? "expired " : "until ") + UtcText(*ban.expires);
            }
            std::fprintf(out, "%6lld  %s  %-7s %-24s %-30s %s\n", static_cast<long long>(ban.id),
                         UtcText(ban.created).c_str(), std::string(BanKindName(ban.kind)).c_str(),
                         Printable(ban.value).c_str(), state.c_str(), Printable(ban.reason).c_str());
        }
        return 0;
    }

    int Log() {
        std::int64_t limit = 100;
        if (const auto text = Flag("--limit")) {
            if (!ParseInt64(*text, limit) || limit < 1 || limit > 1000000)
                return Usage("bad --limit: " + *text);
        }
        std::vector<AuditEntry> entries;
        std::string error;
        if (!moderation::ReadAudit(db.Session(), static_cast<int>(limit), entries, error)) return Fail(error);
        for (const AuditEntry& entry : entries)
            std::fprintf(out, "%s  %-8s %s: %s\n", UtcText(entry.unixTime).c_str(), entry.action.c_str(),
                         Printable(entry.target).c_str(), Printable(entry.reason).c_str());
        return 0;
    }

    int Backup() {
        if (args.words.size() != 2) return Usage("backup needs the path of a new file");
        std::string error;
        if (!db.Backup(args.words[1], error)) return Fail(error);
        std::fprintf(out, "copied %s into %s\n", args.db.c_str(), args.words[1].c_str());
        return 0;
    }

    int Reverify() {
        if (args.words.size() != 1) return Usage("reverify takes no operand");
        RecheckReport report;
        std::string error;
        const auto now = static_cast<std::int64_t>(std::time(nullptr));
        const bool ok = RecheckStoredReplays(db.Session(), Has("--hide"), now, report, error);
        for (const RecheckedRow& row : report.failed)
            std::fprintf(out, "row %lld (%s, %lld): %s%s\n", static_cast<long long>(row.scoreId),
                         Printable(row.name).c_str(), static_cast<long long>(row.score),
                         Printable(row.reason).c_str(), row.hidden ? "; hidden" : "");
        if (!ok) return Fail(error);
        std::fprintf(out, "%zu replays played again: %zu still prove their rows, %zu no longer do\n",
                     report.played, report.played - report.failed.size(), report.failed.size());
        return 0;
    }

    AdminArgs args;
    std::FILE* out;
    std::FILE* err;
    AdminDatabase db;
};

}  // namespace

bool ParseAdminTime(std::string_view text, std::int64_t& unixTime) {
    if (text.starts_with('@')) return ParseInt64(text.substr(1), unixTime);
    std::tm utc{};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char separator = 'T';
    int used = 0;
    const std::string terminated(text);
    const int fields = std::sscanf(terminated.c_str(), "%4d-%2d-%2d%n%c%2d:%2d%n:%2d%n", &year, &month, &day,
                                   &used, &separator, &hour, &minute, &used, &second, &used);
    const bool shapeOk =
        (fields == 3 || fields == 6 || fields == 7) && (separator == 'T' || separator == ' ');
    if (!shapeOk || static_cast<std::size_t>(used) != text.size() || month < 1 || month > 12 || day < 1 ||
        day > 31 || hour > 23 || minute > 59 || second > 60)
        return false;
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    unixTime = static_cast<std::int64_t>(timegm(&utc));
    return true;
}

bool ParseExpiry(std::string_view text, std::int64_t now, std::int64_t& unixTime) {
    if (text.size() >= 2) {
        std::int64_t count = 0;
        const char unit = text.back();
        const std::int64_t seconds = unit == 'm'   ? 60
                                     : unit == 'h' ? 3600
                                     : unit == 'd' ? 86400
                                     : unit == 'w' ? 7 * 86400
                                                   : 0;
        if (seconds > 0 && ParseInt64(text.substr(0, text.size() - 1), count) && count > 0 &&
            count <= std::int64_t{100} * 366 * 86400 / seconds) {
            unixTime = now + count * seconds;
            return true;
        }
    }
    return ParseAdminTime(text, unixTime);
}

int RunAdminCommand(const std::vector<std::string_view>& args, std::FILE* out, std::FILE* err) {
    AdminArgs parsed;
    std::string error;
    if (!ParseArgs(args, parsed, error)) {
        std::fprintf(err, "munchet-scores admin: %s\n%s", error.c_str(), AdminUsage().c_str());
        return 2;
    }
    return Command(std::move(parsed), out, err).Run();
}

std::string AdminUsage() {
    return "usage: munchet-scores admin [--db PATH|URI] [--db-timeout SECONDS] COMMAND ...\n"
           "Moderates the score database while servers run on it; every change is in the\n"
           "audit log, and running servers show it within a second.\n"
           "\n"
           "  list [--name NAME] [--address ADDR|PREFIX] [--since TIME] [--until TIME]\n"
           "       [--verified|--unverified] [--hidden|--shown] [--top] [--limit N]\n"
           "                       stored rows, newest first (--top: best first), 50 at most\n"
           "  hide ID [--reason TEXT]     leave a row out of view.php, the web page and JSON\n"
           "  unhide ID [--reason TEXT]   show a hidden row again\n"
           "  delete ID --reason TEXT     remove a row and its replay for good\n"
           "  ban name|address|prefix VALUE --reason TEXT [--expires WHEN]\n"
           "                       refuse submissions (403) and hide the rows of a name, an\n"
           "                       address or a block (203.0.113.0/24); WHEN: 12h, 7d, 4w or\n"
           "                       a time\n"
           "  unban BAN_ID [--reason TEXT]  lift a ban and show the rows it hid\n"
           "  bans                 every ban, in force or not\n"
           "  log [--limit N]      the audit log: each change with its time and reason\n"
           "  backup PATH          SQLite: a consistent copy of the live database into the\n"
           "                       new file PATH (PostgreSQL: use pg_dump)\n"
           "  reverify [--hide]    play every stored replay again on the current rules and\n"
           "                       list (with --hide, hide) the rows they no longer prove\n"
           "TIME: 2026-12-09, 2026-12-09T18:30 or 2026-12-09T18:30:00 (UTC), or @SECONDS.\n";
}
