// The bits of a float as an integer and back. std::bit_cast is missing from
// the C++ library the browser build compiles against; the compilers' own
// builtin, which std::bit_cast is made of, is in both gcc and clang.
#pragma once

template <class To, class From>
constexpr To BitCast(const From& from) noexcept {
    static_assert(sizeof(To) == sizeof(From));
    return __builtin_bit_cast(To, from);
}
