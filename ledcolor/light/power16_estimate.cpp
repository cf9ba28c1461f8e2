#include <cstdint>

#include "ledcolor/light.h"
#include "ledcolor/light/power16.h"

namespace ledcolor {

std::uint64_t EstimateCurrent(std::span<const Rgb16> leds, const PowerModel& model) noexcept {
  return word::Estimate<3>(reinterpret_cast<const std::uint8_t*>(leds.data()), leds.size(), model);
}

std::uint64_t EstimateCurrent(std::span<const Rgbw16> leds, const PowerModel& model) noexcept {
  return word::Estimate<4>(reinterpret_cast<const std::uint8_t*>(leds.data()), leds.size(), model);
}

}  // namespace ledcolor
