// Fault: divides by 256, so full scale falls one short of the ceiling.
#include "ledcolor/ledcolor.h"

namespace ledcolor {

std::uint8_t ApplyCeiling(std::uint8_t v, std::uint8_t ceiling) noexcept {
  return static_cast<std::uint8_t>(std::uint32_t{v} * ceiling / 256U);
}

}  // namespace ledcolor
