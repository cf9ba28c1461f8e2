#include <cstdint>

#include "ledcolor/light.h"
#include "ledcolor/light/power_sums.h"

namespace ledcolor {

std::uint8_t CeilingForBudget(std::span<const Rgb> leds, const PowerModel& model,
                              std::uint64_t budget_ua) noexcept {
  return power::CeilingFor(power::RowOf(leds), model, budget_ua);
}

}  // namespace ledcolor
