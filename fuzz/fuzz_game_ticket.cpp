// libFuzzer target over a game ticket's text, as the score server's answer
// or the kept ticket file brings it: any bytes must parse without a fault,
// and a ticket read must be written back as exactly the text it came from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/game_ticket.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<GameTicket> ticket = ParseTicket(text);
    if (!ticket) return 0;
    if (text.ends_with('\n')) text.remove_suffix(1);
    if (!ticket->Held() || (ticket->random.increment & 1) == 0 || FormatTicket(*ticket) != text) std::abort();
    return 0;
}
