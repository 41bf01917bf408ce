// A replay's upload, from its headers to its answer: its length decides
// whether the body is read at all, the bytes held at once are bounded, and
// the whole body is read, held to its ticket, played again on the verifier's
// threads when it may be proven, and stored. The connection stays parked
// meanwhile and the thread that finishes resumes it with the answer.
#pragma once

#include <microhttpd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "server/http/replay_body_budget.h"
#include "server/http/replay_checker.h"
#include "server/http/route_parts.h"
#include "server/http/served_connection.h"
#include "server/store/ticket_mint.h"

struct ReplayRouteLimits {
    std::size_t maxBytes = 0;     // the largest body taken
    std::uint32_t maxFrames = 0;  // the longest game
    std::size_t heldBytes = 0;    // bodies held at once, together
};

class ReplayRoute {
public:
    // Borrows the checker and the mint, which must outlive it; mint null:
    // the store deals no tickets.
    ReplayRoute(RouteParts parts, ReplayChecker& checker, const TicketMint* mint, ReplayRouteLimits limits)
        : parts(std::move(parts)), checker(checker), mint(mint), limits(limits), bodies(limits.heldBytes) {}

    // The headers are in. An answer queued now closes the connection unread.
    MHD_Result Begin(Connection& connection, MHD_Connection* handle);
    // Some of the body.
    void Append(Connection& connection, const char* data, std::size_t size);
    // The whole body is in.
    MHD_Result Check(Connection& connection);
    // Any time: the body, if one is held, is let go.
    void ReleaseBody(Connection& connection);

private:
    void AdmitTicketed(Connection& connection, ReplayUpload upload, std::int64_t arrivedMs);
    bool StoreUnplayed(Connection& connection, ReplayUpload upload, const std::string& reason,
                       const std::function<void()>& accepted);
    bool StoreChecked(Connection& connection, ReplaySubmission submission,
                      const std::function<void()>& accepted);
    void Checked(Connection& connection, ReplayUpload upload, const ReplayCheck& check,
                 std::chrono::nanoseconds cpu);

    const RouteParts parts;
    ReplayChecker& checker;
    const TicketMint* const mint;
    const ReplayRouteLimits limits;
    ReplayBodyBudget bodies;  // bodyLength of every replay held, together
};
