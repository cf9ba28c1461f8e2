// Independent readings of the light functions, the oracles for the unit tests and the fuzzer:
// straight from the definitions, std::pow for the gamma curve and a division for every ceiling.
// They share no code with the library.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

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

}  // namespace ledcolor_testing
