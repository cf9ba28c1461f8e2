#include <cstdint>

#include "ledcolor/light.h"
#include "ledcolor/light/scale.h"

namespace ledcolor {

void ApplyCeiling(std::span<Rgb> leds, std::uint8_t ceiling) noexcept {
  // Rgb is three bytes with no padding, and each byte is scaled alone, so the row is dimmed as
  // the flat run of bytes it is, at whatever address and length it comes.
  brightness::DimBytes(reinterpret_cast<std::uint8_t*>(leds.data()), leds.size_bytes(), ceiling);
}

}  // namespace ledcolor
