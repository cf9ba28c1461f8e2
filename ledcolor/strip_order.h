// What both strip encoders share: the channel order, and the rule that input and output must not
// overlap. Internal: not installed.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "ledcolor/ledcolor.h"

namespace ledcolor::strip {

// The byte offsets in an Rgb (0 red, 1 green, 2 blue) in the order the chips take them, or nullptr
// for a value that is no ColorOrder.
inline const std::uint8_t* Channels(ColorOrder order) noexcept {
  // In the order of the enumerators: kRgb, kRbg, kGrb, kGbr, kBrg, kBgr.
  static constexpr std::uint8_t kOffsets[6][3] = {
      // NOLINT(modernize-avoid-c-arrays)
      {0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  const auto index = static_cast<std::uint8_t>(order);
  return index < 6 ? kOffsets[index] : nullptr;
}

// Whether the row's bytes and `out` share any byte. The output is larger than the row, so an
// overlapping row would be overwritten before it was read.
inline bool Overlap(std::span<const Rgb> leds, std::span<const std::uint8_t> out) noexcept {
  const auto* row = reinterpret_cast<const std::uint8_t*>(leds.data());
  const std::less<> before;  // a total order on pointers, even into unrelated arrays
  return before(row, out.data() + out.size()) && before(out.data(), row + leds.size_bytes());
}

}  // namespace ledcolor::strip
