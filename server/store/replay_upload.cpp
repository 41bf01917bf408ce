#include "server/store/replay_upload.h"

#include <nettle/sha2.h>

namespace {

std::string Counters(const ReplayCounters& c) {
    return "score " + std::to_string(c.score) + ", level " + std::to_string(c.level) + ", munchets " +
           std::to_string(c.munchets) + ", food " + std::to_string(c.food);
}

void Append(std::string& bytes, const auto& value) {
    bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

}  // namespace

std::string GameDigest(const Replay& replay) {
    const ReplaySummary& s = replay.summary;
    std::string bytes;
    bytes.reserve(32 + replay.carried.size() * CarriedMunchetBytes + replay.frames.size() * ReplayFrameBytes);
    Append(bytes, s.rulesVersion);
    Append(bytes, s.startRandom.state);
    Append(bytes, s.startRandom.increment);
    Append(bytes, s.playerCount);
    Append(bytes, s.beginning);
    for (const Munchet& m : replay.carried)
        for (const float value : {m.x, m.y, m.targetX, m.targetY, m.heading, m.splitTimer})
            Append(bytes, value);
    for (const ReplayFrame& frame : replay.frames) {
        Append(bytes, frame.frameTime);
        Append(bytes, frame.held);
        Append(bytes, frame.pressedKey);
        Append(bytes, frame.typedChar);
    }
    return Sha256Hex(bytes);
}

ReplayUploadResult ReadReplayUpload(std::string bytes, const ScoreRow& row, std::uint32_t maxFrames) {
    ReplayUploadResult result;
    ReplayReading reading = ReadReplay(bytes, ReplayLimits{maxFrames, bytes.size()});
    if (!reading.ok) {
        result.error = "unreadable replay: " + reading.error;
        return result;
    }
    const Submission& query = row.submission;
    const ReplaySummary& summary = reading.replay.summary;
    // Both names are a player's name (the query's parser and the replay's
    // reader see to it), so quoting them cannot break the one-line answer.
    if (summary.name != query.name) {
        result.error =
            "the replay was sent under the name \"" + summary.name + "\", not \"" + query.name + "\"";
        return result;
    }
    const ReplayCounters queried{query.score, query.level, query.munchets, query.food};
    if (!(summary.counters == queried)) {
        result.error = "the replay claims " + Counters(summary.counters) + ", the query " + Counters(queried);
        return result;
    }
    std::string digest = GameDigest(reading.replay);
    const std::int32_t players = summary.playerCount;
    result.upload = ReplayUpload{std::move(reading.replay),
                                 {row, std::move(bytes), std::move(digest), false, 0, players}};
    return result;
}

std::string Sha256Hex(std::string_view bytes) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, SHA256_DIGEST_SIZE, digest);
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}
