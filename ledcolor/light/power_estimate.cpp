#include <cstdint>
#include <limits>

#include "ledcolor/light.h"
#include "ledcolor/light/power_sums.h"

namespace ledcolor {

std::uint64_t EstimateCurrent(std::span<const Rgb> leds, const PowerModel& model) noexcept {
  if (!power::InDomain(leds.size(), model)) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  // The idle current is whole microamps, so rounding the channels' share up rounds the sum up.
  const std::uint8_t undimmed = 255;
  std::uint64_t channels = 0;
  power::ScaledCurrents(leds, model, {&undimmed, 1}, {&channels, 1});
  return leds.size() * std::uint64_t{model.idle_ua} + (channels + 254) / 255;
}

}  // namespace ledcolor
