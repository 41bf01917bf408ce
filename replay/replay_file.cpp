#include "replay/replay_file.h"

#include <zlib.h>

#include <cstring>

#include "common/player_name.h"
#include "engine/bit_cast.h"
#include "game/rules_version.h"

namespace {

constexpr std::string_view Magic = "MUNCHREP";
// Deflate's densest stream holds 258 bytes in a code of two bits, plus
// block headers: 1032 to one is the most any body can inflate to.
constexpr std::size_t MaxDeflateRatio = 1032;

std::uint32_t BitsOf(float value) { return BitCast<std::uint32_t>(value); }

class ByteWriter {
public:
    std::string bytes;

    void Raw(std::string_view text) { bytes.append(text); }
    template <typename Unsigned>
    void Put(Unsigned value) {
        for (std::size_t i = 0; i < sizeof(Unsigned); ++i)
            bytes.push_back(static_cast<char>(static_cast<std::uint8_t>(value >> (8 * i))));
    }
    void Signed32(std::int32_t value) { Put(static_cast<std::uint32_t>(value)); }
    void Signed64(std::int64_t value) { Put(static_cast<std::uint64_t>(value)); }
};

// Reads forward through bytes; every read says whether the bytes were there.
class ByteReader {
public:
    explicit ByteReader(std::string_view in) : in_(in) {}

    bool Raw(std::size_t count, std::string_view& out) {
        if (in_.size() - at_ < count) return false;
        out = in_.substr(at_, count);
        at_ += count;
        return true;
    }
    template <typename Unsigned>
    bool Get(Unsigned& value) {
        std::string_view raw;
        if (!Raw(sizeof(Unsigned), raw)) return false;
        value = 0;
        for (std::size_t i = 0; i < sizeof(Unsigned); ++i)
            value |=
                static_cast<Unsigned>(static_cast<Unsigned>(static_cast<std::uint8_t>(raw[i])) << (8 * i));
        return true;
    }
    bool Signed32(std::int32_t& value) {
        std::uint32_t bits = 0;
        if (!Get(bits)) return false;
        value = static_cast<std::int32_t>(bits);
        return true;
    }
    bool Signed64(std::int64_t& value) {
        std::uint64_t bits = 0;
        if (!Get(bits)) return false;
        value = static_cast<std::int64_t>(bits);
        return true;
    }
    std::size_t at() const { return at_; }

private:
    std::string_view in_;
    std::size_t at_ = 0;
};

bool IsRecordableName(std::string_view name) {
    if (name.size() > MaxPlayerNameLength) return false;
    for (char c : name)
        if (!IsPlayerNameCharacter(c)) return false;
    return true;
}

std::size_t InflatedSize(std::uint32_t frames, std::uint32_t carried) {
    return std::size_t{carried} * CarriedMunchetBytes + std::size_t{frames} * ReplayFrameBytes;
}

std::uint32_t Crc(std::string_view bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes lengths as uInt: fed in pieces that surely fit.
    while (!bytes.empty()) {
        const std::size_t piece = std::min<std::size_t>(bytes.size(), 1u << 30);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(piece));
        bytes.remove_prefix(piece);
    }
    return static_cast<std::uint32_t>(crc);
}

// The body before compression, laid out as the header comment says.
std::string PlainBody(const Replay& replay) {
    const std::size_t frames = replay.frames.size();
    std::string body(
        InflatedSize(static_cast<std::uint32_t>(frames), static_cast<std::uint32_t>(replay.carried.size())),
        '\0');
    std::size_t at = 0;
    const auto putFloat = [&](float value) {
        const std::uint32_t bits = BitsOf(value);
        for (int shift = 0; shift < 32; shift += 8) body[at++] = static_cast<char>(bits >> shift);
    };
    for (const Munchet& m : replay.carried) {
        for (float value : {m.x, m.y, m.targetX, m.targetY, m.heading, m.splitTimer}) putFloat(value);
    }
    const auto column = [&](auto byteOf) {
        for (const ReplayFrame& frame : replay.frames) body[at++] = static_cast<char>(byteOf(frame));
    };
    for (int shift = 0; shift < 32; shift += 8)
        column([shift](const ReplayFrame& f) { return BitsOf(f.frameTime) >> shift; });
    column([](const ReplayFrame& f) { return f.held; });
    column([](const ReplayFrame& f) { return f.held >> 8; });
    column([](const ReplayFrame& f) { return f.pressedKey; });
    column([](const ReplayFrame& f) { return f.typedChar; });
    return body;
}

// Inflates exactly `size` bytes from compressed, never writing past them.
bool Inflate(std::string_view compressed, std::size_t size, std::string& out, std::string& error) {
    out.assign(size, '\0');
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        error = "zlib could not start inflating";
        return false;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(size);
    // Z_FINISH with room for exactly what the header promised: a stream that
    // holds more stops with Z_BUF_ERROR instead of growing anything.
    const int result = inflate(&stream, Z_FINISH);
    const bool whole = result == Z_STREAM_END && stream.avail_out == 0 && stream.avail_in == 0;
    if (!whole) {
        if (result == Z_STREAM_END && stream.avail_out > 0)
            error = "its frames inflate to fewer bytes than its header says";
        else if (result == Z_STREAM_END)
            error = "bytes follow its compressed frames";
        else if (stream.avail_out == 0)
            error = "its frames inflate to more bytes than its header says";
        else
            error =
                std::string("its compressed frames are damaged (") + (stream.msg ? stream.msg : "zlib") + ")";
    }
    inflateEnd(&stream);
    return whole;
}

void ReadBody(std::string_view body, Replay& replay) {
    std::size_t at = 0;
    const auto getFloat = [&]() {
        std::uint32_t bits = 0;
        for (int shift = 0; shift < 32; shift += 8)
            bits |= std::uint32_t{static_cast<std::uint8_t>(body[at++])} << shift;
        return BitCast<float>(bits);
    };
    replay.carried.resize(replay.summary.carriedCount);
    for (Munchet& m : replay.carried) {
        for (float* value : {&m.x, &m.y, &m.targetX, &m.targetY, &m.heading, &m.splitTimer})
            *value = getFloat();
    }
    const std::size_t frames = replay.summary.frameCount;
    replay.frames.assign(frames, ReplayFrame{});
    const auto byteAt = [&](std::size_t columnIndex, std::size_t frame) {
        return std::uint32_t{static_cast<std::uint8_t>(body[at + columnIndex * frames + frame])};
    };
    for (std::size_t i = 0; i < frames; ++i) {
        ReplayFrame& f = replay.frames[i];
        const std::uint32_t bits = byteAt(0, i) | byteAt(1, i) << 8 | byteAt(2, i) << 16 | byteAt(3, i) << 24;
        f.frameTime = BitCast<float>(bits);
        f.held = static_cast<std::uint16_t>(byteAt(4, i) | byteAt(5, i) << 8);
        f.pressedKey = static_cast<std::uint8_t>(byteAt(6, i));
        f.typedChar = static_cast<std::uint8_t>(byteAt(7, i));
    }
}

bool ReadTicketAndStandingStill(ByteReader& reader, ReplaySummary& summary) {
    GameTicket& ticket = summary.ticket;
    std::string_view mac;
    if (!reader.Get(ticket.id) || !reader.Signed64(ticket.issuedAt) || !reader.Raw(ticket.mac.size(), mac) ||
        !reader.Get(summary.standingStillMs))
        return false;
    std::memcpy(ticket.mac.data(), mac.data(), mac.size());
    ticket.random = summary.startRandom;
    return true;
}

// Reads the header up to the body; reader is left at the body's first byte.
bool ReadHeader(ByteReader& reader, ReplaySummary& summary, std::uint32_t& bodyLength, std::string& error) {
    const auto fail = [&error](const char* why) {
        error = why;
        return false;
    };
    std::string_view magic;
    if (!reader.Raw(Magic.size(), magic) || magic != Magic) return fail("not a Munchet replay");
    std::uint16_t version = 0;
    if (!reader.Get(version)) return fail("cut short in its header");
    if (version != ReplayFormatVersion && version != 1) {
        error = "a replay of format version " + std::to_string(version) + ", which this game cannot read";
        return false;
    }
    std::uint8_t players = 0, beginning = 0, nameLength = 0;
    if (!reader.Get(summary.rulesVersion) || !reader.Get(summary.startRandom.state) ||
        !reader.Get(summary.startRandom.increment) || !reader.Get(players) || !reader.Get(beginning) ||
        !reader.Get(nameLength))
        return fail("cut short in its header");
    if (players != 1 && players != 2) return fail("a player count other than 1 or 2");
    if (beginning > 1) return fail("an unknown way for its game to begin");
    if (nameLength > MaxPlayerNameLength) return fail("a name longer than 20 characters");
    std::string_view name;
    if (!reader.Raw(nameLength, name)) return fail("cut short in its name");
    if (!IsRecordableName(name)) return fail("a character no name may hold");
    summary.playerCount = players;
    summary.beginning = static_cast<ReplayBeginning>(beginning);
    summary.name = std::string(name);
    ReplayCounters& c = summary.counters;
    if (!reader.Signed32(c.score) || !reader.Signed32(c.level) || !reader.Signed32(c.munchets) ||
        !reader.Signed32(c.food) || !reader.Signed64(summary.recordedAt))
        return fail("cut short in its header");
    if (version >= 2 && !ReadTicketAndStandingStill(reader, summary)) return fail("cut short in its header");
    if (!reader.Get(summary.frameCount) || !reader.Get(summary.carriedCount) || !reader.Get(bodyLength))
        return fail("cut short in its header");
    if (summary.frameCount == 0) return fail("no frames");
    if (summary.frameCount > MaxReplayFrames) return fail("more frames than a replay may hold");
    if (summary.carriedCount > MaxCarriedMunchets)
        return fail("more carried munchets than a replay may hold");
    if (summary.carriedCount > 0 && summary.beginning != ReplayBeginning::InFirstFrame)
        return fail("munchets carried into a game begun before the first frame");
    if (bodyLength == 0 || bodyLength > MaxReplayBodyBytes) return fail("a body length out of bounds");
    // Deflate packs at most about a thousand bytes into one: a header that
    // claims more is refused before anything is allocated for it.
    if (InflatedSize(summary.frameCount, summary.carriedCount) > std::size_t{bodyLength} * MaxDeflateRatio)
        return fail("more frames than its compressed body can hold");
    return true;
}

}  // namespace

bool ReplayFrame::operator==(const ReplayFrame& other) const {
    return BitsOf(frameTime) == BitsOf(other.frameTime) && held == other.held &&
           pressedKey == other.pressedKey && typedChar == other.typedChar;
}

std::string WriteReplay(const Replay& replay) {
    const ReplaySummary& s = replay.summary;
    if (replay.frames.empty() || replay.frames.size() > MaxReplayFrames ||
        replay.carried.size() > MaxCarriedMunchets || (s.playerCount != 1 && s.playerCount != 2) ||
        !IsRecordableName(s.name) ||
        (!replay.carried.empty() && s.beginning != ReplayBeginning::InFirstFrame))
        return {};
    const std::string plain = PlainBody(replay);
    uLongf compressedLength = compressBound(static_cast<uLong>(plain.size()));
    std::string compressed(compressedLength, '\0');
    if (compress2(reinterpret_cast<Bytef*>(compressed.data()), &compressedLength,
                  reinterpret_cast<const Bytef*>(plain.data()), static_cast<uLong>(plain.size()),
                  Z_BEST_COMPRESSION) != Z_OK ||
        compressedLength > MaxReplayBodyBytes)
        return {};
    compressed.resize(compressedLength);

    ByteWriter out;
    out.Raw(Magic);
    out.Put(ReplayFormatVersion);
    out.Put(s.rulesVersion);
    out.Put(s.startRandom.state);
    out.Put(s.startRandom.increment);
    out.Put(static_cast<std::uint8_t>(s.playerCount));
    out.Put(static_cast<std::uint8_t>(s.beginning));
    out.Put(static_cast<std::uint8_t>(s.name.size()));
    out.Raw(s.name);
    for (std::int32_t counter : {s.counters.score, s.counters.level, s.counters.munchets, s.counters.food})
        out.Signed32(counter);
    out.Signed64(s.recordedAt);
    out.Put(s.ticket.id);
    out.Signed64(s.ticket.issuedAt);
    out.Raw(std::string_view(reinterpret_cast<const char*>(s.ticket.mac.data()), s.ticket.mac.size()));
    out.Put(s.standingStillMs);
    out.Put(static_cast<std::uint32_t>(replay.frames.size()));
    out.Put(static_cast<std::uint32_t>(replay.carried.size()));
    out.Put(static_cast<std::uint32_t>(compressed.size()));
    out.Raw(compressed);
    out.Put(Crc(out.bytes));
    return out.bytes;
}

ReplaySummaryReading ReadReplaySummary(std::string_view bytes) {
    ReplaySummaryReading reading;
    ByteReader reader(bytes);
    std::uint32_t bodyLength = 0;
    reading.ok = ReadHeader(reader, reading.summary, bodyLength, reading.error);
    return reading;
}

ReplayReading ReadReplay(std::string_view bytes, ReplayLimits limits) {
    ReplayReading reading;
    std::string& error = reading.error;
    if (bytes.size() > limits.maxFileBytes) {
        error = "longer than " + std::to_string(limits.maxFileBytes) + " bytes";
        return reading;
    }
    ByteReader reader(bytes);
    std::uint32_t bodyLength = 0;
    ReplaySummary& summary = reading.replay.summary;
    if (!ReadHeader(reader, summary, bodyLength, error)) return reading;
    if (summary.frameCount > limits.maxFrames) {
        error = "more than " + std::to_string(limits.maxFrames) + " frames";
        return reading;
    }
    std::string_view body;
    if (!reader.Raw(bodyLength, body)) {
        error = "cut short in its frames";
        return reading;
    }
    const std::size_t checked = reader.at();
    std::uint32_t crc = 0;
    if (!reader.Get(crc)) {
        error = "cut short in its check sum";
        return reading;
    }
    if (reader.at() != bytes.size()) {
        error = "bytes follow its end";
        return reading;
    }
    if (crc != Crc(bytes.substr(0, checked))) {
        error = "damaged (its check sum does not match)";
        return reading;
    }
    std::string plain;
    if (!Inflate(body, InflatedSize(summary.frameCount, summary.carriedCount), plain, error)) return reading;
    ReadBody(plain, reading.replay);
    reading.ok = true;
    return reading;
}

ReplayReading ReadReplay(std::span<const std::uint8_t> bytes, ReplayLimits limits) {
    return ReadReplay(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), limits);
}

ReplayFrame ToReplayFrame(const FrameInput& input) {
    ReplayFrame frame;
    frame.frameTime = input.frameTime;
    for (std::size_t i = 0; i < HeldKeysTheRulesRead.size(); ++i)
        if (input.Holds(HeldKeysTheRulesRead[i]))
            frame.held = static_cast<std::uint16_t>(frame.held | 1u << i);
    frame.pressedKey = input.pressedKey;
    frame.typedChar = input.typedChar;
    return frame;
}

FrameInput ToFrameInput(const ReplayFrame& frame) {
    FrameInput input;
    input.frameTime = frame.frameTime;
    for (std::size_t i = 0; i < HeldKeysTheRulesRead.size(); ++i)
        if (frame.held & 1u << i) input.Hold(HeldKeysTheRulesRead[i]);
    input.pressedKey = frame.pressedKey;
    input.typedChar = frame.typedChar;
    return input;
}
