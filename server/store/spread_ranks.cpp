#include "server/store/spread_ranks.h"

bool RankSpreadRows(std::span<RankedRow> rows, std::span<const RankPlace> places,
                    const CountRowsBetween& count, std::string& error) {
    for (std::size_t i = 0; i < rows.size() && i < places.size(); ++i) {
        std::int64_t between = 0;
        if (!count(i == 0 ? nullptr : &places[i - 1], places[i], between, error)) return false;
        rows[i].rank = (i == 0 ? 1 : rows[i - 1].rank + 1) + between;
    }
    return true;
}
