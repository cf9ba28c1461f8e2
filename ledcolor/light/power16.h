// What the 16-bit power functions share: the row's sums per channel, whole and dimmed, and the
// model's weights. Internal: not installed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "ledcolor/light.h"
#include "ledcolor/light/word.h"

namespace ledcolor::word {

template <std::size_t kChannels>
using Sums = std::array<std::uint64_t, kChannels>;

// Whether the row and model lie in the domain where every sum below fits in 64 bits: a channel's
// sum is below 2^16 * 2^24, its weight at most 10^6, so four of them stay below 2^63.
template <std::size_t kChannels>
constexpr bool InDomain(std::size_t leds, const PowerModel& model) noexcept {
  return leds <= kPowerMaxLeds && model.red_ua <= kPowerModelMaxUa &&
         model.green_ua <= kPowerModelMaxUa && model.blue_ua <= kPowerModelMaxUa &&
         model.idle_ua <= kPowerModelMaxUa &&
         (kChannels == 3 || model.white_ua <= kPowerModelMaxUa);
}

// The sum of each channel over the row, every level dimmed by `ceiling` first (65535: as it is).
template <std::size_t kChannels>
Sums<kChannels> ChannelSums(const std::uint8_t* bytes, std::size_t leds,
                            std::uint16_t ceiling) noexcept {
  Sums<kChannels> sums{};
  for (std::size_t i = 0; i < leds; ++i, bytes += 2 * kChannels) {
    for (std::size_t k = 0; k < kChannels; ++k) {
      const std::uint16_t v = Load(bytes + 2 * k);
      sums[k] += ceiling == 65535 ? v : Dim(v, ceiling);
    }
  }
  return sums;
}

// The sums weighed by the model: the row's current in microamps times 65535, less the idle part.
template <std::size_t kChannels>
constexpr std::uint64_t Weighed(const Sums<kChannels>& sums, const PowerModel& model) noexcept {
  std::uint64_t total = sums[0] * model.red_ua + sums[1] * model.green_ua + sums[2] * model.blue_ua;
  if constexpr (kChannels == 4) {
    total += sums[3] * model.white_ua;
  }
  return total;
}

template <std::size_t kChannels>
std::uint64_t Estimate(const std::uint8_t* bytes, std::size_t leds,
                       const PowerModel& model) noexcept {
  if (!InDomain<kChannels>(leds, model)) {
    return UINT64_MAX;
  }
  const std::uint64_t weighed = Weighed(ChannelSums<kChannels>(bytes, leds, 65535), model);
  return leds * std::uint64_t{model.idle_ua} + weighed / 65535 + (weighed % 65535 != 0 ? 1 : 0);
}

}  // namespace ledcolor::word
