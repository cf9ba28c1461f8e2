// The ceiling's arithmetic without a division, shared by the row forms and the power solver.
// Internal: not installed.
#pragma once

#include <cstdint>

#include "ledcolor/internal/sse2.h"

namespace ledcolor::brightness {

// v * ceiling / 255 without a division: with m = ceil(ceiling * 2^16 / 255), (v * m) >> 16 is
// exactly that quotient for every 8-bit v. m overshoots ceiling / 255 by less than 2^-16, so
// v * m / 2^16 overshoots the true quotient by less than 255 / 2^16, which is less than the 1/255
// that separates its fractional part from the next integer. The unit tests check it over all
// 256 x 256 pairs. At ceiling 255, m is 2^16 (17 bits): the identity, exact in 32-bit arithmetic
// but too wide for a 16-bit vector lane, where the callers treat it apart.
constexpr std::uint32_t CeilingMultiplier(std::uint8_t ceiling) noexcept {
  return (std::uint32_t{ceiling} * 65536U + 254U) / 255U;
}

constexpr std::uint8_t Scale(std::uint8_t v, std::uint32_t multiplier) noexcept {
  return static_cast<std::uint8_t>((std::uint32_t{v} * multiplier) >> 16);
}

}  // namespace ledcolor::brightness
