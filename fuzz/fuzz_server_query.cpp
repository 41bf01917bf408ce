// libFuzzer target: the score server's query parser and validation, fed any
// bytes as a raw query. Beyond "no crash, no undefined behaviour" it checks
// that everything accepted obeys the rules, and that the game's own encoding
// of an accepted submission parses back to the same submission.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "server/submission.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view query(reinterpret_cast<const char*>(data), size);
    const SubmissionResult result = ParseSubmission(query);
    if (!result.submission) {
        if (result.error.empty()) std::abort();  // a refusal always says why
        return 0;
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
    return 0;
}
