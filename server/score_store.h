// The boundary between the server and wherever the scores are kept. The HTTP
// side, the group commit and the table cache use only this interface, so a
// storage backend is one class that fills it (SqliteScoreStore today).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "server/submission.h"

inline constexpr int tableRowLimit = 100;  // rows in the table served by view.php

// One accepted submission with what the server records beside it.
struct ScoreRow {
    Submission submission;
    std::int64_t unixTime = 0;  // seconds since 1970 (UTC) when it was accepted
    std::string client;         // the address the request was counted under
};

// One line of the served table.
struct TableRow {
    std::string name;  // as stored; may hold anything an administrator wrote into the file
    std::int64_t score = 0;

    bool operator==(const TableRow&) const = default;
};

// A backend must be safe to call from any thread; the server calls AddBatch
// and ReadTop from its one committing thread.
class ScoreStore {
public:
    virtual ~ScoreStore() = default;

    // Stores every row in one transaction. True only once that transaction is
    // durable: it survives a crash or a power cut. False, with a message in
    // error, when none of the rows was stored. rows are in the order they
    // arrived, which is the order of equal scores in the table.
    virtual bool AddBatch(std::span<const ScoreRow> rows, std::string& error) = 0;

    // The best tableRowLimit rows: highest score first, equal scores in the
    // order they were stored. Sees changes made by other programs, such as an
    // administrator deleting a cheat. False with a message when unreadable.
    virtual bool ReadTop(std::vector<TableRow>& rows, std::string& error) = 0;

    // One row as a batch of one.
    bool Add(const Submission& submission, std::int64_t unixTime, std::string_view client,
             std::string& error) {
        const ScoreRow row{submission, unixTime, std::string(client)};
        return AddBatch({&row, 1}, error);
    }
};
