#include "server/web/web_page.h"

#include <algorithm>

#include "server/web/web_text.h"

namespace {

constexpr std::string_view siteTitle = "Munchet Fast Prototype highscores";

// The game keeps two counters that cannot be taken apart afterwards: `food`
// adds 1 for every item a munchet ate and takes 5 x (level + 1) for every
// item saved, at the level it was saved on, and `munchets` adds level + 1 for
// each munchet eaten. A row stores only their final sums and the last level,
// so neither the items saved nor the munchets eaten can be derived honestly
// (even a bound on the items saved needs the level of each save). The page
// shows the counters as submitted and says in plain words what they count.
constexpr std::string_view countersNote =
    "Level is the level reached. Munchets adds the level number for each munchet eaten (one eaten on "
    "level 3 adds 3). Food adds 1 for each item the munchets ate and takes 5 times the level number for "
    "each item saved, so saving food makes it smaller, even negative.";

void AppendHead(std::string& out, std::string_view title, std::string_view jsonLink) {
    out +=
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<meta name=\"color-scheme\" content=\"light dark\">\n<title>";
    AppendHtmlEscaped(out, title);
    out += "</title>\n<link rel=\"stylesheet\" href=\"";
    out += styleLink;
    out += "\">\n";
    if (!jsonLink.empty()) {
        out += "<link rel=\"alternate\" type=\"application/json\" href=\"";
        AppendHtmlEscaped(out, jsonLink);
        out += "\">\n";
    }
    out += "</head>\n<body>\n<header><h1>";
    out += siteTitle;
    out += "</h1></header>\n<main>\n";
}

void AppendFoot(std::string& out) { out += "</main>\n</body>\n</html>\n"; }

// <a href="LINK" EXTRA>TEXT</a> for a query of this page; text is markup.
void AppendPageAnchor(std::string& out, const PageQuery& query, std::string_view extra,
                      std::string_view text) {
    out += "<a href=\"";
    AppendHtmlEscaped(out, PageLink(query));
    out += '"';
    out += extra;
    out += '>';
    out += text;
    out += "</a>";
}

// A player's name as text, isolated so right-to-left or override characters
// in one name cannot reorder the cells around it.
void AppendName(std::string& out, std::string_view name) {
    out += "<bdi>";
    AppendHtmlEscaped(out, name);
    out += "</bdi>";
}

void AppendSearchForm(std::string& out, std::string_view name) {
    out +=
        "<form class=\"search\" method=\"get\" role=\"search\">\n<label for=\"name\">Player name</label>\n"
        "<input type=\"search\" id=\"name\" name=\"name\" maxlength=\"";
    out += std::to_string(maxSearchNameLength);
    out += "\" autocomplete=\"off\" value=\"";
    AppendHtmlEscaped(out, name);
    out += "\">\n<button type=\"submit\">Search</button>\n</form>\n";
}

// The three boards, the one shown marked; on a weekly board, the weeks
// before it and after it (up to the current one).
void AppendBoards(std::string& out, const ScorePage& page) {
    out += "<nav class=\"boards\" aria-label=\"Boards\">\n";
    for (const auto& [board, label] : {std::pair{Board::all, "All time"}, std::pair{Board::week, "This week"},
                                       std::pair{Board::today, "Today"}}) {
        const bool current = page.query.board == board && (board != Board::week || page.currentPeriod);
        AppendPageAnchor(out, PageQuery{1, "", board, 0}, current ? " aria-current=\"page\"" : "", label);
        out += '\n';
    }
    if (page.query.board == Board::week) {
        PageQuery earlier{1, "", Board::week, page.query.periodStart - 7 * secondsPerDay};
        AppendPageAnchor(out, earlier, " rel=\"prev\"", "\u2190 Week before");
        out += '\n';
        if (!page.currentPeriod) {
            PageQuery later{1, "", Board::week, page.query.periodStart + 7 * secondsPerDay};
            AppendPageAnchor(out, later, " rel=\"next\"", "Week after \u2192");
            out += '\n';
        }
    }
    out += "</nav>\n";
}

// "this week (from 2026-12-07)", "today (2026-12-09)", "the week from 2026-11-30".
std::string PeriodWords(const ScorePage& page) {
    const std::string day = PeriodDay(page.query.periodStart);
    if (page.query.board == Board::today) return "today (" + day + ", UTC)";
    return (page.currentPeriod ? "this week (from Monday " : "the week from Monday ") + day +
           (page.currentPeriod ? ", UTC)" : ", UTC");
}

void AppendCount(std::string& out, std::int64_t count) {
    AppendGrouped(out, count);
    out += count == 1 ? " score" : " scores";
}

void AppendTotalLine(std::string& out, const ScorePage& page) {
    out += "<p class=\"total\">";
    const std::string_view name = page.query.name;
    if (name.empty() && page.query.board != Board::all) {
        if (page.totalRows == 0) {
            out += "No scores " + PeriodWords(page) + ".";
        } else {
            AppendCount(out, page.totalRows);
            out += " " + PeriodWords(page) + ".";
        }
    } else if (name.empty()) {
        if (page.totalRows == 0) {
            out += "No scores yet.";
        } else {
            AppendCount(out, page.totalRows);
            out += " in the table.";
        }
    } else {
        if (page.totalRows == 0) {
            out += "No scores by ";
        } else {
            AppendCount(out, page.totalRows);
            out += " by ";
        }
        AppendName(out, name);
        out += ". ";
        AppendPageAnchor(out, PageQuery{}, {}, "Show the whole table");
    }
    out += "</p>\n";
}

void AppendHeaderCell(std::string& out, std::string_view cssClass, std::string_view text) {
    out += "<th scope=\"col\" class=\"";
    out += cssClass;
    out += "\">";
    out += text;
    out += "</th>";
}

// A narrow screen may break a number of eight digits or more after a comma,
// never inside a group; smaller numbers, every real score among them, stay whole.
void AppendNumberCell(std::string& out, std::string_view cssClass, std::int64_t value) {
    out += "<td class=\"";
    out += cssClass;
    out += "\">";
    const bool breakable = value >= 10'000'000 || value <= -10'000'000;
    AppendGrouped(out, value, breakable ? ",<wbr>" : ",");
    out += "</td>";
}

void AppendRow(std::string& out, const RankedRow& row, bool replayColumn, bool playLinks) {
    out += "<tr>";
    AppendNumberCell(out, "rank num", row.rank);
    out += "<th scope=\"row\" class=\"name\">";
    if (row.name.empty()) {
        out += "<span class=\"muted\">(no name)</span>";
    } else if (row.name.size() <= maxSearchNameLength) {
        out += "<a href=\"";
        AppendHtmlEscaped(out, PageLink(PageQuery{1, row.name}));
        out += "\">";
        AppendName(out, row.name);
        out += "</a>";
    } else {
        // Too long to search for (only a copied database holds such names).
        AppendName(out, row.name);
    }
    // Two players share one score: not a feat to rank beside one player's.
    if (row.players == 2) out += " <span class=\"players\">(two players)</span>";
    out += "</th>";
    AppendNumberCell(out, "score num", row.score);
    AppendNumberCell(out, "level num", std::int64_t{row.level} + 1);
    AppendNumberCell(out, "munchets num wide", row.munchets);
    AppendNumberCell(out, "food num wide", row.food);
    out += "<td class=\"date wide\">";
    if (const std::optional<UtcTime> time = FormatUtc(row.unixTime)) {
        out += "<time datetime=\"";
        out += time->dateTime;
        out += "\">";
        out += time->date;
        out += "</time>";
    }
    out += "</td>";
    if (replayColumn) {
        out += "<td class=\"replay\">";
        if (row.verified)
            out += "<span class=\"verified\">\u2713<span class=\"label\">&#xA0;verified</span></span> ";
        if (row.replayId) {
            out += "<a href=\"";
            out += ReplayLink(*row.replayId);
            out += "\" download>replay</a>";
        }
        // Only a proven game is worth watching as the way its score was made.
        if (playLinks && row.verified && row.replayId) {
            out += " <a href=\"";
            out += WatchLink(*row.replayId);
            out += "\">Watch</a>";
        }
        out += "</td>";
    }
    out += "</tr>\n";
}

void AppendCaption(std::string& out, const ScorePage& page) {
    out += "<caption>";
    if (page.query.name.empty() && page.query.board != Board::all) {
        out += "Best scores of " + PeriodWords(page);
    } else if (page.query.name.empty()) {
        out += "Best scores";
    } else {
        out += "Scores of ";
        AppendName(out, page.query.name);
    }
    out += ", page ";
    AppendGrouped(out, page.query.page);
    out += " of ";
    AppendGrouped(out, PageCount(page.totalRows));
    out += "</caption>\n";
}

void AppendTable(std::string& out, const ScorePage& page) {
    const bool replayColumn = std::any_of(page.rows.begin(), page.rows.end(), [](const RankedRow& row) {
        return row.verified || row.replayId.has_value();
    });
    out += "<table>\n";
    AppendCaption(out, page);
    out += "<thead><tr>";
    AppendHeaderCell(out, "rank num", "Rank");
    AppendHeaderCell(out, "name", "Name");
    AppendHeaderCell(out, "score num", "Score");
    AppendHeaderCell(out, "level num", "Level");
    AppendHeaderCell(out, "munchets num wide", "Munchets");
    AppendHeaderCell(out, "food num wide", "Food");
    AppendHeaderCell(out, "date wide", "Date (UTC)");
    if (replayColumn) AppendHeaderCell(out, "replay", "Replay");
    out += "</tr></thead>\n<tbody>\n";
    for (const RankedRow& row : page.rows) AppendRow(out, row, replayColumn, page.playLinks);
    out += "</tbody>\n</table>\n";
}

// Previous and next; past the end of the table "previous" leads to the last page.
void AppendPageLinks(std::string& out, const ScorePage& page) {
    const std::int64_t pageCount = PageCount(page.totalRows);
    const std::int64_t current = page.query.page;
    if (current == 1 && pageCount == 1) return;
    out += "<nav class=\"pages\" aria-label=\"Pages\">\n";
    if (current > 1) {
        PageQuery previous = page.query;
        previous.page = static_cast<std::int32_t>(std::min(current - 1, pageCount));
        AppendPageAnchor(out, previous, " rel=\"prev\"", "\u2190 Previous page");
        out += '\n';
    }
    if (current < pageCount && current < maxWebPage) {
        PageQuery next = page.query;
        next.page = static_cast<std::int32_t>(current + 1);
        AppendPageAnchor(out, next, " rel=\"next\"", "Next page \u2192");
        out += '\n';
    }
    out += "</nav>\n";
}

void AppendPastTheEnd(std::string& out, const ScorePage& page) {
    PageQuery last = page.query;
    last.page = static_cast<std::int32_t>(std::min<std::int64_t>(PageCount(page.totalRows), maxWebPage));
    out += "<p>There are no rows on page ";
    AppendGrouped(out, page.query.page);
    out += ". ";
    AppendPageAnchor(out, last, {}, "Go to the last page");
    out += ".</p>\n";
}

std::string PageTitle(const PageQuery& query) {
    std::string title;
    if (!query.name.empty()) {
        title = "Scores of ";
        title += query.name;
        title += " \u2014 ";
    } else if (query.page > 1) {
        title = "Page " + std::to_string(query.page) + " \u2014 ";
    }
    title += siteTitle;
    return title;
}

}  // namespace

std::string ReplayLink(std::int64_t replayId) {
    return std::string(replayPath) + "?id=" + std::to_string(replayId);
}

std::string WatchLink(std::int64_t replayId) {
    return std::string(playLink) + "?watch=" + std::to_string(replayId);
}

std::int64_t PageCount(std::int64_t totalRows) {
    if (totalRows <= webPageSize) return 1;
    return (totalRows - 1) / webPageSize + 1;
}

std::string RenderScorePage(const ScorePage& page) {
    std::string out;
    out.reserve(4096 + page.rows.size() * 512);
    AppendHead(out, PageTitle(page.query), std::string(apiLink) + PageLink(page.query));
    if (page.playLinks) {
        out += "<p class=\"play\"><a href=\"";
        out += playLink;
        out += "\">Play</a> the game in your browser, no install needed.</p>\n";
    }
    AppendSearchForm(out, page.query.name);
    AppendBoards(out, page);
    AppendTotalLine(out, page);
    if (!page.rows.empty()) {
        AppendTable(out, page);
    } else if (page.totalRows > 0) {
        AppendPastTheEnd(out, page);
    }
    AppendPageLinks(out, page);
    if (!page.rows.empty()) {
        out += "<p class=\"note\">";
        out += countersNote;
        out += "</p>\n";
    }
    AppendFoot(out);
    return out;
}

std::string RenderMessagePage(std::string_view heading, std::string_view message) {
    std::string out;
    std::string title(heading);
    title += " \u2014 ";
    title += siteTitle;
    AppendHead(out, title, {});
    out += "<h2>";
    AppendHtmlEscaped(out, heading);
    out += "</h2>\n<p>";
    AppendHtmlEscaped(out, message);
    out += "</p>\n<p>";
    AppendPageAnchor(out, PageQuery{}, {}, "Back to the highscores");
    out += "</p>\n";
    AppendFoot(out);
    return out;
}
