// Whether two buffers share any byte, for the functions that must know. Internal: not installed.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace ledcolor::internal {

template <typename A, typename B>
bool Overlap(std::span<A> a, std::span<B> b) noexcept {
  const auto* a_bytes = reinterpret_cast<const std::uint8_t*>(a.data());
  const auto* b_bytes = reinterpret_cast<const std::uint8_t*>(b.data());
  const std::less<> before;  // a total order on pointers, even into unrelated arrays
  return before(a_bytes, b_bytes + b.size_bytes()) && before(b_bytes, a_bytes + a.size_bytes());
}

}  // namespace ledcolor::internal
