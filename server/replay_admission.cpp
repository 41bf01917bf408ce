#include "server/replay_admission.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

ReplayAdmission Attach(std::string reason) { return {ReplayAdmission::Kind::attach, 200, std::move(reason)}; }

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

}  // namespace

ReplayAdmission AdmitTicket(const ReplaySummary& summary, const TicketMint& mint, std::int64_t unixTime) {
    if (!summary.ticket.Held()) return Attach("a game begun without a ticket is not played again");
    const TicketFault fault = mint.Check(summary.ticket, unixTime);
    if (fault == TicketFault::none) return {ReplayAdmission::Kind::verify, 200, {}};
    return {ReplayAdmission::Kind::refuse, fault == TicketFault::expired ? 410 : 403,
            "replay refused: " + std::string(TicketFaultText(fault))};
}

std::int64_t FirstHurriedWindow(const Replay& replay) {
    const std::vector<ReplayFrame>& frames = replay.frames;
    // Prefix sums in double: exact enough for any window of a 6-hour game.
    std::vector<double> before(frames.size() + 1, 0.0);
    for (std::size_t i = 0; i < frames.size(); ++i) before[i + 1] = before[i] + frames[i].frameTime;
    for (std::size_t i = 0; i + paceWindowFrames <= frames.size(); ++i) {
        const double window = before[i + paceWindowFrames] - before[i];
        if (!(window >= paceWindowSeconds)) return static_cast<std::int64_t>(i);
    }
    return -1;
}

ReplayAdmission AdmitTicketedGame(const Replay& replay, const TicketRecord& ticket, std::int64_t arrivedMs) {
    if (ticket.used)
        return {ReplayAdmission::Kind::refuse, 409, "replay refused: its ticket already proved a row"};
    if (!ticket.startedAtMs) return Attach("the server never heard this game begin");
    const std::int64_t hurried = FirstHurriedWindow(replay);
    if (hurried >= 0)
        return Attach("frames " + std::to_string(hurried + 1) + " to " +
                      std::to_string(hurried + paceWindowFrames) + " went faster than real time");
    const std::uint32_t stood = replay.summary.standingStillMs;
    if (stood > maxStandingStillMs) return Attach("it claims to have stood still too long");
    double gameSeconds = 0;
    for (const ReplayFrame& frame : replay.frames) gameSeconds += frame.frameTime;
    const auto gameMs = static_cast<std::int64_t>(std::llround(gameSeconds * 1000.0));
    const std::int64_t seenMs = arrivedMs - *ticket.startedAtMs;
    if (seenMs < gameMs - clockSlackMs)
        return Attach("its frames add up to " + Seconds(gameMs / 1000.0) + ", but only " +
                      Seconds(seenMs / 1000.0) + " passed since it began");
    if (seenMs > gameMs + stood + afterGameMs + clockSlackMs)
        return Attach(Seconds(seenMs / 1000.0) + " passed since it began, more than its frames (" +
                      Seconds(gameMs / 1000.0) + ") and its pauses account for");
    return {ReplayAdmission::Kind::verify, 200, {}};
}
