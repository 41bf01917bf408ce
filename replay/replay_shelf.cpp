#include "replay/replay_shelf.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <set>

#include "common/log_sink.h"
#include "common/user_folders.h"
#include "common/whole_file.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view Prefix = "munchet-";
constexpr std::string_view Suffix = ".replay";
// Enough of a file to read its summary.
constexpr std::size_t SummaryBytes = ReplayHeaderBytes + 20;

bool IsShelfName(const std::string& name) {
    return name.size() > Prefix.size() + Suffix.size() && name.starts_with(Prefix) && name.ends_with(Suffix);
}

// "munchet-YYYYMMDD-HHMMSS" for the UTC time; times gmtime cannot take give
// the epoch's.
std::string Stem(std::int64_t time) {
    std::time_t t = static_cast<std::time_t>(time);
    std::tm utc{};
    if (!gmtime_r(&t, &utc)) {
        t = 0;
        gmtime_r(&t, &utc);
    }
    char text[40];
    std::snprintf(text, sizeof text, "munchet-%04d%02d%02d-%02d%02d%02d", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

}  // namespace

ReplayShelf::ReplayShelf(ReplayShelfSettings settings) : settings_(std::move(settings)) {}

void ReplayShelf::Log(const std::string& line) const { LogTo(settings_.log, line); }

std::optional<std::string> ReplayShelf::Folder() {
    std::string error;
    std::optional<std::string> folder;
    if (!settings_.folder.empty()) {
        folder = MadeFolder(settings_.folder, error);
    } else if (const std::optional<std::string> data = UserFolder(UserFolderKind::Data, error)) {
        folder = MadeFolder(*data + "/replays", error);
    }
    if (!folder && !noFolderLogged_) {
        Log("replays: none are kept (" + error + ")");
        noFolderLogged_ = true;
    }
    return folder;
}

std::optional<std::string> ReplayShelf::Keep(std::string_view bytes, const ReplaySummary& summary) {
    const std::optional<std::string> folder = Folder();
    if (!folder) return std::nullopt;
    const std::string stem = *folder + "/" + Stem(summary.recordedAt);
    std::string path;
    std::error_code code;
    for (int n = 1; n <= 1000 && path.empty(); ++n) {
        const std::string candidate = stem + (n == 1 ? "" : "-" + std::to_string(n)) + std::string(Suffix);
        if (!fs::exists(candidate, code)) path = candidate;
    }
    std::string error = "no free name beside " + stem + std::string(Suffix);
    if (path.empty() || !ReplaceFile(path, bytes, error)) {
        Log("replays: the game just ended is not kept: " + error);
        return std::nullopt;
    }
    Prune(*folder);
    return path;
}

std::vector<ShelvedReplay> ReplayShelf::List() {
    std::vector<ShelvedReplay> shelved;
    const std::optional<std::string> folder = Folder();
    if (!folder) return shelved;
    std::error_code code;
    for (fs::directory_iterator it(*folder, code), end; !code && it != end; it.increment(code)) {
        const std::string name = it->path().filename().string();
        if (!IsShelfName(name) || !it->is_regular_file(code)) continue;
        std::string head, error;
        bool missing = false;
        if (!ReadBoundedFile(it->path().string(), SummaryBytes, head, missing, error) || missing) continue;
        ReplaySummaryReading reading = ReadReplaySummary(head);
        if (reading.ok) shelved.push_back({it->path().string(), std::move(reading.summary)});
    }
    return shelved;
}

void ReplayShelf::Prune(const std::string& folder) {
    std::vector<ShelvedReplay> shelved = List();
    std::set<std::string> kept;
    const auto keepFirst = [&](std::size_t count, auto before) {
        std::sort(shelved.begin(), shelved.end(), before);
        for (std::size_t i = 0; i < shelved.size() && i < count; ++i) kept.insert(shelved[i].path);
    };
    // Equal scores: the game that reached it first stays, as on a table.
    keepFirst(ReplaysKeptByScore, [](const ShelvedReplay& a, const ShelvedReplay& b) {
        if (a.summary.counters.score != b.summary.counters.score)
            return a.summary.counters.score > b.summary.counters.score;
        if (a.summary.recordedAt != b.summary.recordedAt) return a.summary.recordedAt < b.summary.recordedAt;
        return a.path < b.path;
    });
    keepFirst(ReplaysKeptByTime, [](const ShelvedReplay& a, const ShelvedReplay& b) {
        if (a.summary.recordedAt != b.summary.recordedAt) return a.summary.recordedAt > b.summary.recordedAt;
        return a.path > b.path;
    });
    bool removed = false;
    for (const ShelvedReplay& replay : shelved) {
        if (kept.contains(replay.path)) continue;
        std::error_code code;
        removed = fs::remove(replay.path, code) || removed;
    }
    if (removed) SyncFolder(folder);
}
