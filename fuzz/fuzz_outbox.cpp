// libFuzzer target over the score outbox reader: any bytes must read without
// a fault, every entry read must be one the game could keep, and writing the
// entries the game keeps back must read again as the same entries, sound.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "scores/outbox_format.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const OutboxReading reading = ParseOutbox(text);
    for (const OutboxEntry& entry : reading.entries) check(IsKeepableEntry(entry));
    // The game keeps the newest MaxOutboxEntries, which always fit the file.
    const std::size_t dropped = reading.entries.size() - std::min(reading.entries.size(), MaxOutboxEntries);
    const std::vector<OutboxEntry> kept(reading.entries.begin() + static_cast<std::ptrdiff_t>(dropped),
                                        reading.entries.end());
    const OutboxReading again = ParseOutbox(FormatOutbox(kept));
    check(again.damage.empty());
    check(again.entries == kept);
    return 0;
}
