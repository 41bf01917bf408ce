// A replay sent to replay.php, read and held against the query it came with
// before any game is played: the one place the server reads an untrusted
// replay body.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "replay/replay_file.h"
#include "server/store/score_store.h"

// A replay whose file is sound and whose name and counters are the query's.
struct ReplayUpload {
    Replay replay;                // as read from submission.bytes
    ReplaySubmission submission;  // verified still false: that is for the verifier to say
};

struct ReplayUploadResult {
    std::optional<ReplayUpload> upload;
    std::string error;  // one line, no newline: why the body was refused; empty when accepted
};

// row: the query's submission, client and time of arrival. maxFrames: the
// longest game taken. bytes are kept in the result, never copied again.
ReplayUploadResult ReadReplayUpload(std::string bytes, const ScoreRow& row, std::uint32_t maxFrames);

// What makes a game itself, as a SHA-256 in hex: its rules, random state,
// beginning and every frame's input; not its name, time or compression, so
// the same game sent again in other bytes is still recognised.
std::string GameDigest(const Replay& replay);

// SHA-256 of bytes as 64 lowercase hex digits.
std::string Sha256Hex(std::string_view bytes);
