#include "server/web/page_query.h"

#include <gtest/gtest.h>

namespace {

struct QueryCase {
    std::string raw;
    std::optional<PageQuery> expected;  // nothing: refused
};

void PrintTo(const QueryCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.raw.substr(0, 80)); }

class PageQueries : public ::testing::TestWithParam<QueryCase> {};

TEST_P(PageQueries, ParseOrRefuse) {
    const QueryCase& c = GetParam();
    const PageQueryResult result = ParsePageQuery(c.raw);
    EXPECT_EQ(result.query, c.expected) << c.raw << " -> " << result.error;
    EXPECT_EQ(result.error.empty(), result.query.has_value()) << c.raw;
    // What is accepted survives its own link.
    if (result.query) {
        EXPECT_EQ(ParsePageQuery(PageLink(*result.query).substr(1)).query, result.query);
    }
}

const std::string longest(maxSearchNameLength, 'n');

INSTANTIATE_TEST_SUITE_P(
    Shapes, PageQueries,
    ::testing::Values(QueryCase{"", PageQuery{}}, QueryCase{"page=3", PageQuery{3, ""}},
                      QueryCase{"page=%33&name=a+b%2Bc", PageQuery{3, "a b+c"}},
                      QueryCase{"name=%3Cscript%3E&utm_source=x&page=1", PageQuery{1, "<script>"}},
                      QueryCase{"name=&page=2", PageQuery{2, ""}}, QueryCase{"&&page=2&", PageQuery{2, ""}},
                      QueryCase{"name", PageQuery{}}, QueryCase{"page=1000000", PageQuery{1000000, ""}},
                      QueryCase{"page=007", PageQuery{7, ""}},
                      QueryCase{"name=" + longest, PageQuery{1, longest}},
                      QueryCase{"other=%zz", PageQuery{}},
                      // boards: any day of a week names its Monday (2026-12-07)
                      QueryCase{"board=today&page=2", PageQuery{2, "", Board::today, 0}},
                      QueryCase{"board=week", PageQuery{1, "", Board::week, 0}},
                      QueryCase{"week=2026-12-13", PageQuery{1, "", Board::week, 1796601600}},
                      QueryCase{"board=week&week=2026-12-07", PageQuery{1, "", Board::week, 1796601600}},
                      QueryCase{"week=2027-01-01", PageQuery{1, "", Board::week, 1798416000}},
                      QueryCase{"board=all&name=x", PageQuery{1, "x"}},
                      // refused
                      QueryCase{"page=0", {}}, QueryCase{"page=-1", {}}, QueryCase{"page=+1", {}},
                      QueryCase{"page=1000001", {}}, QueryCase{"page=99999999999999999999", {}},
                      QueryCase{"page=", {}}, QueryCase{"page=2x", {}}, QueryCase{"page=%20%32", {}},
                      QueryCase{"page=1&page=2", {}}, QueryCase{"name=a&name=b", {}},
                      QueryCase{"name=%zz", {}}, QueryCase{"name=" + longest + "n", {}},
                      QueryCase{"x=" + std::string(maxWebQueryLength, 'x'), {}}, QueryCase{"board=month", {}},
                      QueryCase{"board=week&name=x", {}}, QueryCase{"board=today&week=2026-12-07", {}},
                      QueryCase{"week=2026-13-01", {}}, QueryCase{"week=26-12-07", {}},
                      QueryCase{"week=2026-12-07&week=2026-12-14", {}}));

}  // namespace
