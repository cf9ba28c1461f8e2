// What both power functions take from a row: each channel's sum after a ceiling, and the model's
// domain. Internal: not installed.
#pragma once

#include <cstdint>
#include <span>

#include "ledcolor/light.h"

namespace ledcolor::power {

constexpr bool InDomain(std::size_t led_count, const PowerModel& model) noexcept {
  return led_count <= kPowerMaxLeds && model.red_ua <= kPowerModelMaxUa &&
         model.green_ua <= kPowerModelMaxUa && model.blue_ua <= kPowerModelMaxUa &&
         model.idle_ua <= kPowerModelMaxUa;
}

// 255 times the current the channels draw, sum over the LEDs of r * red + g * green + b * blue,
// with every component dimmed by ApplyCeiling(v, c), for each of one or two ceilings c in one pass
// over the row; a lone ceiling of 255 takes the values as given. Within the model's domain
// (InDomain) it is at most 3 * 255 * 2^24 * 10^6, below 2^54, and nothing overflows.
void ScaledCurrents(std::span<const Rgb> leds, const PowerModel& model,
                    std::span<const std::uint8_t> ceilings,
                    std::span<std::uint64_t> currents) noexcept;

}  // namespace ledcolor::power
