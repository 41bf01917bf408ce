#include "scores/outbox_replays.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "common/whole_file.h"
#include "scores/outbox_format.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view Header = "munchet outbox replay\n";
constexpr std::string_view Suffix = ".replay";
constexpr std::size_t TimeDigits = 20, HashDigits = 16;

bool IsDigits(std::string_view text, bool hexadecimal) {
    return std::all_of(text.begin(), text.end(), [hexadecimal](char c) {
        return (c >= '0' && c <= '9') || (hexadecimal && c >= 'a' && c <= 'f');
    });
}

std::uint64_t Fnv1a(std::string_view bytes) {
    std::uint64_t hash = 1469598103934665603ULL;
    for (char c : bytes) hash = (hash ^ static_cast<std::uint8_t>(c)) * 1099511628211ULL;
    return hash;
}

}  // namespace

bool IsOutboxReplayName(std::string_view name) {
    if (name.size() != TimeDigits + 1 + HashDigits + Suffix.size() || !name.ends_with(Suffix)) return false;
    return IsDigits(name.substr(0, TimeDigits), false) && name[TimeDigits] == '-' &&
           IsDigits(name.substr(TimeDigits + 1, HashDigits), true);
}

OutboxReplays::OutboxReplays(const std::string& outboxFolder)
    : folder_(outboxFolder + "/score-outbox-replays") {}

std::string OutboxReplays::Save(const OutboxReplay& waiting, std::int64_t keptAt, std::string& error) {
    if (::mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + folder_ + ": " + std::strerror(errno);
        return {};
    }
    std::string bytes(Header);
    bytes += FormatSubmissionLine(waiting.submission) + '\n';
    bytes += waiting.replay;
    if (bytes.size() > MaxOutboxReplayBytes) {
        error = "the replay is longer than the outbox keeps";
        return {};
    }
    char name[64];
    std::snprintf(name, sizeof name, "%020" PRIi64 "-%016" PRIx64 ".replay",
                  std::max<std::int64_t>(keptAt, 0), Fnv1a(bytes));
    if (!ReplaceFile(folder_ + "/" + name, bytes, error)) return {};
    return name;
}

std::optional<OutboxReplay> OutboxReplays::Load(const std::string& name, std::string& error) const {
    const auto fail = [&error](const char* why) -> std::optional<OutboxReplay> {
        error = why;
        return std::nullopt;
    };
    if (!IsOutboxReplayName(name)) return fail("not a name of the outbox's replays");
    std::string bytes;
    bool missing = false;
    if (!ReadBoundedFile(folder_ + "/" + name, MaxOutboxReplayBytes, bytes, missing, error))
        return std::nullopt;
    if (missing) return fail("missing");
    if (bytes.size() > MaxOutboxReplayBytes) return fail("too long");
    if (!bytes.starts_with(Header)) return fail("no header");
    std::string_view rest(bytes);
    rest.remove_prefix(Header.size());
    const std::size_t lineEnd = rest.find('\n');
    if (lineEnd == std::string_view::npos) return fail("no submission line");
    std::string reason;
    std::optional<ScoreSubmission> submission = ParseSubmissionLine(rest.substr(0, lineEnd), reason);
    if (!submission) {
        error = "submission line: " + reason;
        return std::nullopt;
    }
    if (lineEnd + 1 == rest.size()) return fail("no replay");
    return OutboxReplay{std::move(*submission), std::string(rest.substr(lineEnd + 1))};
}

void OutboxReplays::Remove(const std::string& name) const {
    if (!IsOutboxReplayName(name)) return;
    if (::unlink((folder_ + "/" + name).c_str()) == 0) SyncFolder(folder_);
}

std::vector<std::string> OutboxReplays::List() const {
    std::vector<std::string> names;
    std::error_code code;
    for (fs::directory_iterator it(folder_, code), end; !code && it != end; it.increment(code)) {
        std::string name = it->path().filename().string();
        if (IsOutboxReplayName(name)) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}
