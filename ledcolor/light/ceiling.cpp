#include "ledcolor/light.h"

namespace ledcolor {

std::uint8_t ApplyCeiling(std::uint8_t v, std::uint8_t ceiling) noexcept {
  // At most 255 * 255, so 32 bits always hold the product. Rounding down, with no rounding term,
  // is what keeps every result at or below the ceiling.
  const std::uint32_t product = std::uint32_t{v} * std::uint32_t{ceiling};
  return static_cast<std::uint8_t>(product / 255U);
}

}  // namespace ledcolor
