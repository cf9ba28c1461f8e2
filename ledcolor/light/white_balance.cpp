#include <array>
#include <cstdint>

#include "ledcolor/light.h"
#include "ledcolor/light/scale.h"

namespace ledcolor {

void ApplyCeiling(std::span<Rgb> leds, Rgb ceiling) noexcept {
  const std::array<std::uint8_t, 3> ceilings = {ceiling.r, ceiling.g, ceiling.b};
  brightness::DimChannels(reinterpret_cast<std::uint8_t*>(leds.data()), leds.size(), ceilings);
}

}  // namespace ledcolor
