// What the power functions share: a row as flat bytes, the model's domain, each channel's sum
// after a ceiling, and the search for the ceiling that fits. Internal: not installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "ledcolor/internal/sse2.h"
#include "ledcolor/light.h"

namespace ledcolor::power {

// A row of RGB (3 channels) or RGBW (4) LEDs, as the run of bytes it is. The channels are a
// compile-time constant, so that a firmware that drives RGB links no code for RGBW.
template <std::size_t kChannels>
struct Row {
  const std::uint8_t* bytes;
  std::size_t leds;
};

template <typename Led>
Row<sizeof(Led)> RowOf(std::span<const Led> leds) noexcept {
  return {reinterpret_cast<const std::uint8_t*>(leds.data()), leds.size()};
}

template <std::size_t kChannels>
constexpr bool InDomain(const Row<kChannels>& row, const PowerModel& model) noexcept {
  return row.leds <= kPowerMaxLeds && model.red_ua <= kPowerModelMaxUa &&
         model.green_ua <= kPowerModelMaxUa && model.blue_ua <= kPowerModelMaxUa &&
         model.idle_ua <= kPowerModelMaxUa &&
         (kChannels == 3 || model.white_ua <= kPowerModelMaxUa);
}

// 255 times the current the channels draw, sum over the LEDs of r * red + g * green + b * blue
// (+ w * white), with every component dimmed by ApplyCeiling(v, c), for each of one or two
// ceilings c in one pass over the row; a lone ceiling of 255 takes the values as given. Within the
// model's domain (InDomain) it is at most 4 * 255 * 2^24 * 10^6, below 2^54, and nothing
// overflows.
template <std::size_t kChannels>
void ScaledCurrents(const Row<kChannels>& row, const PowerModel& model,
                    std::span<const std::uint8_t> ceilings,
                    std::span<std::uint64_t> currents) noexcept;

// Whether ScaledCurrents sums with vectors, where two ceilings a pass cost little more than one.
#ifdef LEDCOLOR_SSE2
inline constexpr bool kVectorSums = true;
#else
inline constexpr bool kVectorSums = false;
#endif

// ceil(x / 255) without a division, which on a 32-bit core would be libgcc's 64-bit one: since
// 256a + b = 255a + (a + b), x keeps its remainder mod 255 as its high part moves into q.
constexpr std::uint64_t CeilDivide255(std::uint64_t x) noexcept {
  std::uint64_t q = 0;
  while (x > 255) {
    q += x >> 8;
    x = (x >> 8) + (x & 0xFF);
  }
  return q + (x != 0 ? 1 : 0);  // x is the remainder, or 255
}

template <std::size_t kChannels>
std::uint64_t Estimate(const Row<kChannels>& row, const PowerModel& model) noexcept {
  if (!InDomain(row, model)) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  // The idle current is whole microamps, so rounding the channels' share up rounds the sum up.
  const std::uint8_t undimmed = 255;
  std::uint64_t channels = 0;
  ScaledCurrents(row, model, {&undimmed, 1}, {&channels, 1});
  return row.leds * std::uint64_t{model.idle_ua} + CeilDivide255(channels);
}

// min(255, floor(x / d)) for d > 0 below 2^56, without a 64-bit division.
unsigned Quotient(std::uint64_t x, std::uint64_t d) noexcept;

// The brightest ceiling that keeps the row within the budget, as CeilingForBudget promises.
template <std::size_t kChannels>
std::uint8_t CeilingFor(const Row<kChannels>& row, const PowerModel& model,
                        std::uint64_t budget_ua) noexcept;

}  // namespace ledcolor::power
