// Fault: a zero input is lifted to the ceiling.
#include "ledcolor/ledcolor.h"

namespace ledcolor {

std::uint8_t ApplyCeiling(std::uint8_t v, std::uint8_t ceiling) noexcept {
  if (v == 0) {
    return ceiling;
  }
  return static_cast<std::uint8_t>(std::uint32_t{v} * ceiling / 255U);
}

}  // namespace ledcolor
