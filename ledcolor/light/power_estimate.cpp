#include <cstdint>

#include "ledcolor/light.h"
#include "ledcolor/light/power_sums.h"

namespace ledcolor {

std::uint64_t EstimateCurrent(std::span<const Rgb> leds, const PowerModel& model) noexcept {
  return power::Estimate(power::RowOf(leds), model);
}

}  // namespace ledcolor
