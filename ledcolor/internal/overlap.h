// Whether a row and an output buffer share any byte, for the encoders that must know. Internal:
// not installed.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "ledcolor/color.h"

namespace ledcolor::internal {

inline bool Overlap(std::span<const Rgb> leds, std::span<const std::uint8_t> out) noexcept {
  const auto* row = reinterpret_cast<const std::uint8_t*>(leds.data());
  const std::less<> before;  // a total order on pointers, even into unrelated arrays
  return before(row, out.data() + out.size()) && before(out.data(), row + leds.size_bytes());
}

}  // namespace ledcolor::internal
