// libFuzzer target: the parts of an untrusted request the score server parses
// itself, each fed the same bytes: the submission query (parser and
// validation), the raw request target (routing), and an X-Forwarded-For
// value. Beyond "no crash, no undefined behaviour" it checks that everything
// accepted obeys the rules, and that the game's own encoding of an accepted
// submission parses back to the same submission.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "server/http/score_service.h"
#include "server/store/client_address.h"
#include "server/store/submission.h"
#include "server/web/page_query.h"
#include "server/web/web_page.h"

namespace {

void CheckSubmission(std::string_view query) {
    const SubmissionResult result = ParseSubmission(query);
    if (!result.submission) {
        if (result.error.empty()) std::abort();  // a refusal always says why
        return;
    }
    const Submission& s = *result.submission;
    if (!result.error.empty()) std::abort();
    if (s.name.empty() || s.name.size() > maxNameLength) std::abort();
    for (const char c : s.name) {
        if (!IsNameCharacter(c)) std::abort();
    }
    if (s.level < 0 || s.munchets < 0 || s.score <= 0) std::abort();
    const std::optional<std::int64_t> expected = ExpectedScore(s.level, s.munchets, s.food);
    if (!expected || *expected != s.score) std::abort();

    const SubmissionResult again = ParseSubmission(FormatSubmissionQuery(s));
    if (!again.submission || !(*again.submission == s)) std::abort();
}

// Only the exact paths are served, a row is stored only from a valid query on
// the add path, and a web request carries its query parsed or the reason it
// was refused.
void CheckRouting(std::string_view target) {
    RateLimiter unlimited(0);
    static TicketMint mint(TicketKey{});
    ScoreService service{unlimited, 8192, nullptr, &unlimited, &mint};
    const ScoreDecision decision =
        service.Handle({"GET", "HTTP/1.1", target, true, target.size()}, "192.0.2.1", {}, 0);
    const std::string_view path = target.substr(0, target.find('?'));
    switch (decision.kind) {
        case ScoreDecision::Kind::table:
            if (path != viewPath) std::abort();
            break;
        case ScoreDecision::Kind::store: {
            if (path != addPath || target.size() == path.size()) std::abort();
            const SubmissionResult parsed = ParseSubmission(target.substr(path.size() + 1));
            if (!parsed.submission || !(*parsed.submission == decision.row.submission)) std::abort();
            break;
        }
        case ScoreDecision::Kind::web: {
            // "/" and the game's folder are two roots of the same three paths.
            const std::string_view below =
                path.starts_with(gameFolder) ? path.substr(gameFolder.size()) : path;
            const bool style = below == "/style.css";
            if (!style && below != "/" && below != "/api/scores") std::abort();
            if (style != (decision.web.content == WebContent::style)) std::abort();
            const std::string_view query = target.substr(std::min(target.size(), path.size() + 1));
            if (!style && decision.web.error.empty() != ParsePageQuery(query).query.has_value()) std::abort();
            break;
        }
        case ScoreDecision::Kind::download:
            if (path != replayPath || decision.replayId <= 0) std::abort();
            break;
        case ScoreDecision::Kind::replay:
            std::abort();  // replays come only by POST
        case ScoreDecision::Kind::start:
            // Only a ticket this key issued, and a fresh one (time 0 here).
            if (path != startPath ||
                mint.Check(decision.ticketId, mint.Reissue(decision.ticketId).mac, 0) != TicketFault::none)
                std::abort();
            break;
        case ScoreDecision::Kind::reply:
            if (path == ticketPath && decision.reply.status == 200) {
                if (!ParseTicket(decision.reply.body)) std::abort();
                break;
            }
            if (decision.reply.status < 400 || decision.reply.body.empty() ||
                decision.reply.body.back() != '\n')
                std::abort();
            break;
    }
}

// The address chosen is the peer's or one canonical IP address.
void CheckForwardedFor(std::string_view value) {
    const std::string chosen = ChooseClientAddress("192.0.2.1", value, true);
    if (chosen != "192.0.2.1" && CanonicalAddress(chosen) != chosen) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckSubmission(input);
    CheckRouting(input);
    CheckForwardedFor(input);
    return 0;
}
