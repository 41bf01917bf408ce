#include "scores/ticket_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/whole_file.h"

namespace {

// Anything longer is no ticket.
constexpr std::size_t MaxTicketFileBytes = 1024;

std::string TicketPath(const std::string& folder) { return folder + "/game-ticket.txt"; }

// The file's ticket, left in place.
KeptTicket ReadKeptTicket(const std::string& folder) {
    KeptTicket kept;
    const std::string path = TicketPath(folder);
    std::string text, error;
    bool missing = false;
    if (!ReadBoundedFile(path, MaxTicketFileBytes, text, missing, error)) {
        kept.note = "game ticket: not read: " + error;
        return kept;
    }
    if (missing) return kept;
    kept.ticket = ParseTicket(text);
    if (kept.ticket) return kept;
    const std::string aside = folder + "/game-ticket.damaged.txt";
    if (::rename(path.c_str(), aside.c_str()) != 0)
        kept.note =
            "game ticket: " + path + " holds no ticket and " + SystemError("cannot be set aside", aside);
    else
        kept.note = "game ticket: set aside damaged " + path + " as " + aside;
    return kept;
}

}  // namespace

KeptTicket TakeKeptTicket(const std::string& folder) {
    KeptTicket kept = ReadKeptTicket(folder);
    // Not flushed to the disk: the first game must not wait for it, and a
    // ticket that comes back after a crash is at worst refused by the server.
    if (kept.ticket && ::unlink(TicketPath(folder).c_str()) != 0 && errno != ENOENT) {
        kept.note = SystemError("game ticket: cannot take it out of", TicketPath(folder));
        kept.ticket.reset();  // another copy of the game would play it too
    }
    return kept;
}

bool KeepTicket(const std::string& folder, const GameTicket& ticket, std::string& error) {
    const KeptTicket kept = ReadKeptTicket(folder);
    if (kept.ticket && kept.ticket->issuedAt > ticket.issuedAt) return true;
    return ReplaceFile(TicketPath(folder), FormatTicket(ticket) + "\n", error);
}
