// libFuzzer entry point over the replay file's reader: any bytes must read
// without a fault and without inflating past what the header says; a replay
// that reads, written again, must read back the same frames and summary.
#include <zlib.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

#include "replay/replay_file.h"

namespace {

bool SameMunchets(const std::vector<Munchet>& a, const std::vector<Munchet>& b) {
    if (a.size() != b.size()) return false;
    const auto bits = [](float v) { return std::bit_cast<std::uint32_t>(v); };
    for (std::size_t i = 0; i < a.size(); ++i) {
        const Munchet &x = a[i], &y = b[i];
        if (bits(x.x) != bits(y.x) || bits(x.y) != bits(y.y) || bits(x.targetX) != bits(y.targetX) ||
            bits(x.targetY) != bits(y.targetY) || bits(x.heading) != bits(y.heading) ||
            bits(x.splitTimer) != bits(y.splitTimer))
            return false;
    }
    return true;
}

void Check(std::string_view bytes) {
    const ReplayReading reading = ReadReplay(bytes);
    const ReplaySummaryReading summary = ReadReplaySummary(bytes);
    if (!reading.ok) return;
    const Replay& replay = reading.replay;
    if (!summary.ok || replay.frames.size() != replay.summary.frameCount ||
        replay.carried.size() != replay.summary.carriedCount)
        __builtin_trap();
    const ReplayReading again = ReadReplay(WriteReplay(replay));
    if (!again.ok || !(again.replay.frames == replay.frames) ||
        !SameMunchets(again.replay.carried, replay.carried) ||
        again.replay.summary.name != replay.summary.name ||
        !(again.replay.summary.counters == replay.summary.counters) ||
        !(again.replay.summary.startRandom == replay.summary.startRandom))
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes);
    // Again with the check sum made to fit, so that changed bytes reach the
    // header's bounds and the inflating instead of stopping at the sum.
    if (size > 4) {
        std::string sealed = bytes.substr(0, size - 4);
        const uLong crc =
            crc32(0, reinterpret_cast<const Bytef*>(sealed.data()), static_cast<uInt>(sealed.size()));
        for (int shift = 0; shift < 32; shift += 8) sealed.push_back(static_cast<char>(crc >> shift));
        Check(sealed);
    }
    return 0;
}
