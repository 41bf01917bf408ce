#include "server/web/score_json.h"

#include <charconv>

#include "server/web/web_text.h"

namespace {

void AppendMember(std::string& out, std::string_view key, std::int64_t value) {
    out += '"';
    out += key;
    out += "\":";
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    out += ',';
}

void AppendRow(std::string& out, const RankedRow& row) {
    out += '{';
    AppendMember(out, "rank", row.rank);
    out += "\"name\":";
    AppendJsonString(out, row.name);
    out += ',';
    AppendMember(out, "score", row.score);
    AppendMember(out, "level", row.level);
    AppendMember(out, "munchets", row.munchets);
    AppendMember(out, "food", row.food);
    AppendMember(out, "players", row.players);
    AppendMember(out, "time", row.unixTime);
    out += "\"date\":";
    if (const std::optional<UtcTime> time = FormatUtc(row.unixTime)) {
        AppendJsonString(out, time->dateTime);
    } else {
        out += "null";
    }
    out += ",\"verified\":";
    out += row.verified ? "true" : "false";
    out += ",\"replay\":";
    if (row.replayId) {
        AppendJsonString(out, ReplayLink(*row.replayId));
    } else {
        out += "null";
    }
    out += '}';
}

}  // namespace

std::string RenderScoreJson(const ScorePage& page) {
    std::string out;
    out.reserve(256 + page.rows.size() * 256);
    out += '{';
    AppendMember(out, "page", page.query.page);
    AppendMember(out, "pageSize", webPageSize);
    AppendMember(out, "pageCount", PageCount(page.totalRows));
    AppendMember(out, "total", page.totalRows);
    out += "\"name\":";
    if (page.query.name.empty()) {
        out += "null";
    } else {
        AppendJsonString(out, page.query.name);
    }
    // The period a board covers, as its first and its last day (UTC).
    out += ",\"board\":";
    const Board board = page.query.board;
    AppendJsonString(out, board == Board::all ? "all" : (board == Board::week ? "week" : "today"));
    out += ",\"from\":";
    if (board == Board::all) {
        out += "null,\"to\":null";
    } else {
        const BoardRange range = RangeOf(page.query);
        AppendJsonString(out, PeriodDay(range.since));
        out += ",\"to\":";
        AppendJsonString(out, PeriodDay(range.until - secondsPerDay));
    }
    out += ",\"rows\":[";
    for (std::size_t i = 0; i < page.rows.size(); ++i) {
        if (i > 0) out += ',';
        AppendRow(out, page.rows[i]);
    }
    out += "]}\n";
    return out;
}

std::string RenderJsonError(std::string_view message) {
    std::string out = "{\"error\":";
    AppendJsonString(out, message);
    out += "}\n";
    return out;
}
