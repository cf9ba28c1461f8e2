#include <cstddef>
#include <cstdint>
#include <limits>

#include "ledcolor/light.h"
#include "ledcolor/light/power_sums.h"
#include "ledcolor/light/scale.h"

namespace ledcolor {

namespace {

template <std::size_t kChannels>
void Add(const std::uint8_t* bytes, std::size_t leds, const PowerModel& model,
         LevelWeights& levels) noexcept {
  std::uint32_t* weights = levels.weights.data();
  const std::uint32_t red = model.red_ua;
  const std::uint32_t green = model.green_ua;
  const std::uint32_t blue = model.blue_ua;
  const std::uint32_t white = kChannels == 4 ? model.white_ua : 0;
  for (std::size_t i = 0; i < leds; ++i, bytes += kChannels) {
    weights[bytes[0]] += red;
    weights[bytes[1]] += green;
    weights[bytes[2]] += blue;
    if constexpr (kChannels == 4) {
      weights[bytes[3]] += white;
    }
  }
  levels.leds += leds;
  levels.rgbw = levels.rgbw || kChannels == 4;
  levels.full_ua += std::uint64_t{leds} * (std::uint64_t{red} + green + blue + white);
}

// 255 times the channels' current at ceiling c: the sum over the levels v of
// weights[v] * floor(v * c / 255). Each weight is taken as two 16-bit halves, whose products with
// a level (below 2^24) summed over 255 levels stay below 2^32.
// With kLit, also `lit`, the sum of the weights of the levels above 0 (below full_ua, so below
// 2^32). Levels no component is at are passed over: a frame of few colours has few levels.
template <bool kLit>
std::uint64_t Scaled(const LevelWeights& levels, std::uint8_t ceiling,
                     std::uint32_t* lit = nullptr) noexcept {
  const std::uint32_t multiplier = brightness::CeilingMultiplier(ceiling);
  std::uint32_t low = 0;
  std::uint32_t high = 0;
  std::uint32_t sum = 0;
  for (std::uint32_t v = 1; v < 256; ++v) {
    const std::uint32_t weight = levels.weights[v];
    if (weight != 0) {
      const std::uint32_t dimmed = (v * multiplier) >> 16;
      low += (weight & 0xFFFF) * dimmed;
      high += (weight >> 16) * dimmed;
      if constexpr (kLit) {
        sum += weight;
      }
    }
  }
  if constexpr (kLit) {
    *lit = sum;
  }
  return (std::uint64_t{high} << 16) + low;
}

}  // namespace

void AddLevels(std::span<const Rgb> leds, const PowerModel& model, LevelWeights& levels) noexcept {
  Add<3>(reinterpret_cast<const std::uint8_t*>(leds.data()), leds.size(), model, levels);
}

void AddLevels(std::span<const Rgbw> leds, const PowerModel& model, LevelWeights& levels) noexcept {
  Add<4>(reinterpret_cast<const std::uint8_t*>(leds.data()), leds.size(), model, levels);
}

std::uint8_t CeilingForBudget(const LevelWeights& levels, const PowerModel& model,
                              std::uint64_t budget_ua) noexcept {
  const bool in_domain = levels.leds <= kPowerMaxLeds && model.red_ua <= kPowerModelMaxUa &&
                         model.green_ua <= kPowerModelMaxUa && model.blue_ua <= kPowerModelMaxUa &&
                         model.idle_ua <= kPowerModelMaxUa &&
                         (!levels.rgbw || model.white_ua <= kPowerModelMaxUa) &&
                         levels.full_ua <= std::numeric_limits<std::uint32_t>::max();
  const std::uint64_t idle = levels.leds * std::uint64_t{model.idle_ua};
  if (!in_domain || idle > budget_ua) {
    return 0;
  }
  // As the row's search: the largest c with S(c) <= 255 * left, between bounds from S(255), each
  // component losing less than one level to rounding down -- here at most the weights of the
  // levels above 0, which the first pass sums too.
  const std::uint64_t left = budget_ua - idle;
  std::uint32_t lit = 0;
  const std::uint64_t full = Scaled<true>(levels, 255, &lit);
  if (left >= std::uint64_t{1} << 46 || full <= 255 * left) {
    return 255;
  }
  const std::uint64_t limit = 255 * left;
  unsigned lo = power::Quotient(255 * limit + 254, full);
  unsigned hi = power::Quotient(255 * limit + 254 * std::uint64_t{lit}, full) + 1;
  hi = hi < 255 ? hi : 255;
  // A component loses half a level on average, which puts the ceiling near the middle of the
  // bounds: tried first, then its neighbour on the far side, which most often settles it
  // in two passes; else the halving goes on from there.
  const unsigned guess = (lo + hi) / 2;  // (255 limit + 127 lit) / full, near enough
  const auto fits = [&](unsigned c) {
    return Scaled<false>(levels, static_cast<std::uint8_t>(c)) <= limit;
  };
  if (guess > lo && guess < hi) {
    (fits(guess) ? lo : hi) = guess;
    const unsigned next = lo == guess ? guess + 1 : guess - 1;
    if (next > lo && next < hi) {
      (fits(next) ? lo : hi) = next;
    }
  }
  while (hi - lo > 1) {
    const unsigned tried = lo + (hi - lo) / 2;
    (fits(tried) ? lo : hi) = tried;
  }
  return static_cast<std::uint8_t>(lo);
}

}  // namespace ledcolor
