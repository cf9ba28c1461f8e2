#include <cstdint>

#include "ledcolor/light.h"
#include "ledcolor/light/scale.h"

namespace ledcolor {

void ApplyCeiling(std::span<Rgbw> leds, std::uint8_t ceiling) noexcept {
  brightness::DimBytes(reinterpret_cast<std::uint8_t*>(leds.data()), leds.size_bytes(), ceiling);
}

}  // namespace ledcolor
