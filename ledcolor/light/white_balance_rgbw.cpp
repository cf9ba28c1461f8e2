#include <array>
#include <cstdint>

#include "ledcolor/light.h"
#include "ledcolor/light/scale.h"

namespace ledcolor {

void ApplyCeiling(std::span<Rgbw> leds, Rgbw ceiling) noexcept {
  const std::array<std::uint8_t, 4> ceilings = {ceiling.r, ceiling.g, ceiling.b, ceiling.w};
  brightness::DimChannels(reinterpret_cast<std::uint8_t*>(leds.data()), leds.size(), ceilings);
}

}  // namespace ledcolor
