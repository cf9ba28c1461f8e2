// Independent readings of the light functions, the oracles for the unit tests and the fuzzer:
// straight from the definitions, std::pow for the gamma curve and a division for every ceiling.
// They share no code with the library.
#pragma once

#include <algorithm>
#include <array>
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

inline void DimRow(std::span<ledcolor::Rgbw> row, ledcolor::Rgbw ceiling) {
  for (ledcolor::Rgbw& led : row) {
    led = {Dim(led.r, ceiling.r), Dim(led.g, ceiling.g), Dim(led.b, ceiling.b),
           Dim(led.w, ceiling.w)};
  }
}

inline ledcolor::Rgb Grey(std::uint8_t c, ledcolor::Rgb) { return {c, c, c}; }
inline ledcolor::Rgbw Grey(std::uint8_t c, ledcolor::Rgbw) { return {c, c, c, c}; }

// An LED's four channel values; an RGB LED's white is 0.
inline std::array<std::uint64_t, 4> Values(const ledcolor::Rgb& led) {
  return {led.r, led.g, led.b, 0};
}
inline std::array<std::uint64_t, 4> Values(const ledcolor::Rgbw& led) {
  return {led.r, led.g, led.b, led.w};
}

// The white figure counts for RGBW rows only.
template <typename Led>
bool InPowerDomain(std::size_t leds, const ledcolor::PowerModel& model) {
  const bool white_ok = sizeof(Led) == 3 || model.white_ua <= 1'000'000;
  return leds <= (std::size_t{1} << 24) && model.red_ua <= 1'000'000 &&
         model.green_ua <= 1'000'000 && model.blue_ua <= 1'000'000 && model.idle_ua <= 1'000'000 &&
         white_ok;
}

// The row's current in microamps, rounded up once, at the end.
template <typename Led>
std::uint64_t Current(std::span<const Led> row, const ledcolor::PowerModel& model) {
  if (!InPowerDomain<Led>(row.size(), model)) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  std::uint64_t times_255 = 0;
  for (const Led& led : row) {
    const auto v = Values(led);
    times_255 +=
        v[0] * model.red_ua + v[1] * model.green_ua + v[2] * model.blue_ua + v[3] * model.white_ua;
  }
  return row.size() * std::uint64_t{model.idle_ua} + (times_255 + 254) / 255;
}

template <typename Led>
std::uint64_t CurrentAtCeiling(std::span<const Led> row, const ledcolor::PowerModel& model,
                               unsigned ceiling) {
  std::vector<Led> dimmed(row.begin(), row.end());
  DimRow(dimmed, Grey(static_cast<std::uint8_t>(ceiling), Led{}));
  return Current<Led>(dimmed, model);
}

// Every ceiling from the top down, until one fits.
template <typename Led>
std::uint8_t CeilingFor(std::span<const Led> row, const ledcolor::PowerModel& model,
                        std::uint64_t budget) {
  if (!InPowerDomain<Led>(row.size(), model)) {
    return 0;
  }
  for (unsigned c = 255; c > 0; --c) {
    if (CurrentAtCeiling<Led>(row, model, c) <= budget) {
      return static_cast<std::uint8_t>(c);
    }
  }
  return 0;
}

// L_k(x): k * x / 255, rounded to the nearest, halves up.
inline unsigned Share(unsigned k, unsigned x) { return (k * x + 127) / 255; }

// A host's white calibration, as the receivers apply it.
inline ledcolor::Rgbw CalibratedRgbw(ledcolor::Rgb c, ledcolor::WhiteCalibration k) {
  const unsigned w = std::min({Share(k.red, c.r), Share(k.green, c.g), Share(k.blue, c.b)});
  return {static_cast<std::uint8_t>(c.r - Share(k.red, w)),
          static_cast<std::uint8_t>(c.g - Share(k.green, w)),
          static_cast<std::uint8_t>(c.b - Share(k.blue, w)),
          static_cast<std::uint8_t>(Share(k.gain, w))};
}

// The most white whose share of each channel the colour still holds, tried from 255 down.
inline ledcolor::Rgbw ExtractedRgbw(ledcolor::Rgb c, ledcolor::Rgb white) {
  unsigned w = 255;
  while (Share(white.r, w) > c.r || Share(white.g, w) > c.g || Share(white.b, w) > c.b) {
    --w;
  }
  return {static_cast<std::uint8_t>(c.r - Share(white.r, w)),
          static_cast<std::uint8_t>(c.g - Share(white.g, w)),
          static_cast<std::uint8_t>(c.b - Share(white.b, w)), static_cast<std::uint8_t>(w)};
}

}  // namespace ledcolor_testing
