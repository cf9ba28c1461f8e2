// The channel order both strip encoders take. Internal: not installed.
#pragma once

#include <cstdint>

#include "ledcolor/strip.h"

namespace ledcolor::strip {

// The byte offsets in an Rgb (0 red, 1 green, 2 blue) in the order the chips take them, or nullptr
// for a value that is no ColorOrder.
inline const std::uint8_t* Channels(ColorOrder order) noexcept {
  // In the order of the enumerators: kRgb, kRbg, kGrb, kGbr, kBrg, kBgr.
  // NOLINTNEXTLINE(modernize-avoid-c-arrays)
  static constexpr std::uint8_t kOffsets[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                                  {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  const auto index = static_cast<std::uint8_t>(order);
  return index < 6 ? kOffsets[index] : nullptr;
}

}  // namespace ledcolor::strip
