// Independent readings of the light functions, the oracles for the unit tests and the fuzzer:
// straight from the definitions, std::pow for the gamma curve and a division for every ceiling.
// They share no code with the library.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "ledcolor/ledcolor.h"

namespace ledcolor_testing {

inline std::uint8_t GammaEntry(unsigned v, double gamma) {
  return static_cast<std::uint8_t>(std::floor(255 * std::pow(v / 255.0, gamma) + 0.5));
}

inline std::uint8_t Dim(unsigned v, unsigned ceiling) {
  return static_cast<std::uint8_t>(v * ceiling / 255);
}

// The row with every channel under its own ceiling.
inline void DimRow(std::span<ledcolor::Rgb> row, ledcolor::Rgb ceiling) {
  for (ledcolor::Rgb& led : row) {
    led = {Dim(led.r, ceiling.r), Dim(led.g, ceiling.g), Dim(led.b, ceiling.b)};
  }
}

inline bool InPowerDomain(std::size_t leds, const ledcolor::PowerModel& model) {
  return leds <= (std::size_t{1} << 24) && model.red_ua <= 1'000'000 &&
         model.green_ua <= 1'000'000 && model.blue_ua <= 1'000'000 && model.idle_ua <= 1'000'000;
}

// The row's current in microamps, rounded up once, at the end.
inline std::uint64_t Current(std::span<const ledcolor::Rgb> row,
                             const ledcolor::PowerModel& model) {
  if (!InPowerDomain(row.size(), model)) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  std::uint64_t times_255 = 0;
  for (const ledcolor::Rgb& led : row) {
    times_255 += led.r * std::uint64_t{model.red_ua} + led.g * std::uint64_t{model.green_ua} +
                 led.b * std::uint64_t{model.blue_ua};
  }
  return row.size() * std::uint64_t{model.idle_ua} + (times_255 + 254) / 255;
}

inline std::uint64_t CurrentAtCeiling(std::span<const ledcolor::Rgb> row,
                                      const ledcolor::PowerModel& model, unsigned ceiling) {
  std::vector<ledcolor::Rgb> dimmed(row.begin(), row.end());
  const auto c = static_cast<std::uint8_t>(ceiling);
  DimRow(dimmed, {c, c, c});
  return Current(dimmed, model);
}

// Every ceiling from the top down, until one fits.
inline std::uint8_t CeilingFor(std::span<const ledcolor::Rgb> row,
                               const ledcolor::PowerModel& model, std::uint64_t budget) {
  if (!InPowerDomain(row.size(), model)) {
    return 0;
  }
  for (unsigned c = 255; c > 0; --c) {
    if (CurrentAtCeiling(row, model, c) <= budget) {
      return static_cast<std::uint8_t>(c);
    }
  }
  return 0;
}

}  // namespace ledcolor_testing
