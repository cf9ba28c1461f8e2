// Loops written out at compile time. Internal: not installed.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace ledcolor::internal {

// Calls f(0) ... f(N - 1) with compile-time indices: -O2 leaves short loops rolled, and a rolled
// loop keeps what it indexes in memory rather than in registers.
template <std::size_t N, typename F>
inline void Unrolled(F f) {
  [&]<std::size_t... I>(std::index_sequence<I...>) {
    (f(std::integral_constant<std::size_t, I>{}), ...);
  }
  (std::make_index_sequence<N>{});
}

}  // namespace ledcolor::internal
