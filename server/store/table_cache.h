// The body of view.php, kept ready in memory so that a table request never
// waits on storage or behind a commit. It is refreshed from the store after
// every commit and now and then for changes made by other programs. Beside it
// the store's change stamp, read at the same moments, tells the web page
// whether a browser's copy is still current without asking the store.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "server/store/score_store.h"

// The table text: one line "name;score\n" per row, in the rows' order. A
// name byte that the game could not have sent (see IsNameCharacter) is
// written as '?', so a row edited by hand cannot break the line format.
std::string FormatTable(const std::vector<TableRow>& rows);

class TableCache {
public:
    using Text = std::shared_ptr<const std::string>;

    // onChange, if set, is called with every newly published text, on the
    // thread that called Refresh, before Refresh returns.
    explicit TableCache(std::function<void(const Text&)> onChange = {}) : onChange(std::move(onChange)) {}

    // Reads the table from store and publishes it if it differs from the
    // current text. False, with a message, when the store cannot be read; the
    // last good text then stays in place. Any thread; calls are serialised.
    bool Refresh(ScoreStore& store, std::string& error);

    // The current text; nullptr until the first successful Refresh. Any thread.
    Text Current() const;

    // Reads the store's change stamp and keeps it for Stamp(). On failure the
    // kept stamp is dropped, as the rows may have changed unseen, and the
    // message is in error. Any thread.
    bool RefreshStamp(ScoreStore& store, std::string& error);

    // The change stamp as last read; empty until a read succeeds or after one
    // failed, when no reply may claim to be current. Any thread.
    std::string Stamp() const;

    // False when storing these rows cannot change the table as last read:
    // it is full and none of them scores above its last row (a tie ranks
    // after the older row). Lets a commit skip rereading the table; changes
    // made by other programs wait for the next Refresh either way.
    bool CouldChange(std::span<const ScoreRow> added) const;

private:
    std::function<void(const Text&)> onChange;
    std::mutex refreshMutex;     // one Refresh at a time, in order
    std::vector<TableRow> rows;  // scratch for Refresh, reused to keep its capacity
    mutable std::mutex textMutex;
    Text text;
    std::size_t shownRows = 0;     // rows in text
    std::int64_t lowestShown = 0;  // score of its last row, when there is one
    mutable std::mutex stampMutex;
    std::string stamp;
};
