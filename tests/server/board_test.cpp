// The weekly and daily boards over a real store of each kind, the clock
// injected: a board rolls over at Monday 00:00 and at midnight UTC, and a past
// week stays browsable.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "server/web/web_reply.h"
#include "tests/server/test_database.h"

namespace {

constexpr std::int64_t monday = 1796601600;  // 2026-12-07T00:00:00Z, a Monday

struct BoardOnEachStore : StoreOnEachKind {
    void Add(const std::string& name, int munchets, std::int64_t time) {
        std::string error;
        ASSERT_TRUE(store->Add({name, 100 * munchets, 0, munchets, 0}, time, "192.0.2.1", error)) << error;
    }
    // The JSON board asked for with rawQuery at the moment now: its names in rank order, and its span.
    std::string Board(const std::string& rawQuery, std::int64_t now) {
        WebRequest request{WebContent::json, *ParsePageQuery(rawQuery).query, {}, now};
        ResolveBoard(request.query, now);
        std::string error;
        const nlohmann::json json = nlohmann::json::parse(AnswerFromStore(request, "", *store, error).body);
        std::string text = json["from"].is_null()
                               ? "all:"
                               : json["from"].get<std::string>() + ".." + json["to"].get<std::string>() + ":";
        for (const auto& row : json["rows"])
            text += " " + std::to_string(row["rank"].get<int>()) + row["name"].get<std::string>();
        return text;
    }
};

MUNCHET_ON_BOTH_STORES(BoardOnEachStore);

TEST_P(BoardOnEachStore, RollsOverAtTheUtcBoundariesAndKeepsPastWeeks) {
    Add("OLD", 9, monday - 1);  // Sunday 23:59:59, the week before
    Add("NEW", 1, monday);      // the first second of the week
    EXPECT_EQ(Board("board=week", monday - 1), "2026-11-30..2026-12-06: 1OLD");
    EXPECT_EQ(Board("board=week", monday), "2026-12-07..2026-12-13: 1NEW");
    Add("LATER", 5, monday + 86400);  // Tuesday
    EXPECT_EQ(Board("board=week", monday + 7 * 86400 - 1), "2026-12-07..2026-12-13: 1LATER 2NEW");
    EXPECT_EQ(Board("board=today", monday + 86400 - 1), "2026-12-07..2026-12-07: 1NEW");
    EXPECT_EQ(Board("board=today", monday + 86400), "2026-12-08..2026-12-08: 1LATER");
    EXPECT_EQ(Board("week=2026-12-02", monday + 30 * 86400), "2026-11-30..2026-12-06: 1OLD");
    EXPECT_EQ(Board("", monday), "all: 1OLD 2LATER 3NEW");
}

}  // namespace
