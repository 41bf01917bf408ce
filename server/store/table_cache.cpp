#include "server/store/table_cache.h"

#include <algorithm>

std::string FormatTable(const std::vector<TableRow>& rows) {
    std::string text;
    for (const TableRow& row : rows) {
        for (const char c : row.name) text.push_back(IsNameCharacter(c) ? c : '?');
        text.push_back(';');
        text += std::to_string(row.score);
        text.push_back('\n');
    }
    return text;
}

bool TableCache::Refresh(ScoreStore& store, std::string& error) {
    std::lock_guard refreshing(refreshMutex);
    if (!store.ReadTop(rows, error)) return false;
    auto fresh = std::make_shared<const std::string>(FormatTable(rows));
    {
        std::lock_guard lock(textMutex);
        shownRows = rows.size();
        lowestShown = rows.empty() ? 0 : rows.back().score;
        if (text && *text == *fresh) return true;
        text = fresh;
    }
    if (onChange) onChange(fresh);
    return true;
}

TableCache::Text TableCache::Current() const {
    std::lock_guard lock(textMutex);
    return text;
}

bool TableCache::RefreshStamp(ScoreStore& store, std::string& error) {
    std::string fresh;
    const bool read = store.ReadChangeStamp(fresh, error);
    std::lock_guard lock(stampMutex);
    stamp = read ? std::move(fresh) : std::string();
    return read;
}

std::string TableCache::Stamp() const {
    std::lock_guard lock(stampMutex);
    return stamp;
}

bool TableCache::CouldChange(std::span<const ScoreRow> added) const {
    std::lock_guard lock(textMutex);
    if (!text || shownRows < static_cast<std::size_t>(tableRowLimit)) return true;
    return std::any_of(added.begin(), added.end(),
                       [this](const ScoreRow& row) { return row.submission.score > lowestShown; });
}
