// What both power functions take from a row: each channel's sum after a ceiling, and the model's
// domain. Internal: not installed.
#pragma once

#include <cstdint>
#include <span>

#include "ledcolor/ledcolor.h"

namespace ledcolor::power {

// Each at most 255 * 2^24 within the model's domain, which 32 bits hold.
struct ChannelSums {
  std::uint32_t r;
  std::uint32_t g;
  std::uint32_t b;
};

// Per channel, the sums over the row of ApplyCeiling(v, c) for each of one or two ceilings c, in
// one pass over the row, into the same number of `sums`; a lone ceiling of 255 sums the values as
// given. Only for rows within the model's domain (InDomain), where the sums cannot overflow.
void SumChannels(std::span<const Rgb> leds, std::span<const std::uint8_t> ceilings,
                 std::span<ChannelSums> sums) noexcept;

constexpr bool InDomain(std::size_t led_count, const PowerModel& model) noexcept {
  return led_count <= kPowerMaxLeds && model.red_ua <= kPowerModelMaxUa &&
         model.green_ua <= kPowerModelMaxUa && model.blue_ua <= kPowerModelMaxUa &&
         model.idle_ua <= kPowerModelMaxUa;
}

// 255 times the channels' current in microamps: at most 3 * 255 * 2^24 * 10^6, below 2^54.
constexpr std::uint64_t ScaledCurrent(const ChannelSums& sums, const PowerModel& model) noexcept {
  return std::uint64_t{sums.r} * model.red_ua + std::uint64_t{sums.g} * model.green_ua +
         std::uint64_t{sums.b} * model.blue_ua;
}

}  // namespace ledcolor::power
