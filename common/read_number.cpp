#include "common/read_number.h"

#include <charconv>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

template <typename Number>
std::optional<Number> Read(std::string_view text, int base, std::size_t* used) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc{}) return std::nullopt;
    if (used) *used = static_cast<std::size_t>(end - text.data());
    return value;
}

}  // namespace

std::optional<std::int32_t> ReadDecimalPrefix(std::string_view text, std::size_t* used) {
    // from_chars takes a "-" but not a "+", and would read "+-5" as -5.
    const std::size_t sign = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (text.size() <= sign || !IsDigit(text[sign])) return std::nullopt;
    const std::string_view number = text[0] == '+' ? text.substr(1) : text;
    std::size_t read = 0;
    const std::optional<std::int32_t> value = Read<std::int32_t>(number, 10, &read);
    if (value && used) *used = read + (text[0] == '+' ? 1 : 0);
    return value;
}

std::optional<std::uint32_t> ReadHexPrefix(std::string_view text, std::uint32_t max, std::size_t* used) {
    const std::optional<std::uint32_t> value = Read<std::uint32_t>(text, 16, used);
    if (!value || *value > max) return std::nullopt;
    return value;
}

std::optional<std::uint32_t> ReadDecimal(std::string_view text, std::uint32_t max) {
    for (const char c : text)
        if (!IsDigit(c)) return std::nullopt;
    std::size_t read = 0;
    const std::optional<std::uint32_t> value = Read<std::uint32_t>(text, 10, &read);
    if (!value || read != text.size() || *value > max) return std::nullopt;
    return value;
}
