// The rank of rows that lie anywhere in the table (one name's rows), by one
// rule for every store: 1 + the shown rows ahead of the row in rank order
// (higher score first, equal scores in the order stored). The first row's
// rank counts the rows ahead of it, each next one's the rows between it and
// the one before, so a page walks the rank order once, down to its last
// row, rather than once for every row.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "server/store/score_store.h"

// Where a stored row stands in rank order.
struct RankPlace {
    std::int64_t score = 0;  // as stored, beyond 32 bits too
    std::int64_t id = 0;
};

// The store's count of shown rows strictly between after and place in rank
// order, after ahead of place; after null: every shown row ahead of place.
// False with a message.
using CountRowsBetween = std::function<bool(const RankPlace* after, const RankPlace& place,
                                            std::int64_t& count, std::string& error)>;

// Sets each row's rank; rows are in rank order, with their places index by
// index, all read from one snapshot that count reads too.
bool RankSpreadRows(std::span<RankedRow> rows, std::span<const RankPlace> places,
                    const CountRowsBetween& count, std::string& error);
