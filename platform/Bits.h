// A value's bits read as another type of the same size, as C++20's
// std::bit_cast does; the browser build's C++ library (Emscripten 3.1.6's
// libc++) has no std::bit_cast, and both compilers have the builtin.
#pragma once

#include <type_traits>

namespace platform {

template <class To, class From>
requires(sizeof(To) == sizeof(From) && std::is_trivially_copyable_v<To> &&
         std::is_trivially_copyable_v<From>) constexpr To bitCast(const From& from) noexcept {
    return __builtin_bit_cast(To, from);
}

}  // namespace platform
