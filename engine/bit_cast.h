// std::bit_cast for every C++ library the game is built with: the one
// emscripten 3.1.6 ships declares C++20 but has no std::bit_cast yet, while
// both compilers have the builtin it is made of.
#pragma once

#include <type_traits>

template <typename To, typename From>
constexpr To BitCast(const From& from) noexcept {
    static_assert(sizeof(To) == sizeof(From) && std::is_trivially_copyable_v<To> &&
                  std::is_trivially_copyable_v<From>);
    return __builtin_bit_cast(To, from);
}
