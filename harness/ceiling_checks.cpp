#include <cstdint>
#include <cstdio>

#include "harness/checks.h"
#include "ledcolor/ledcolor.h"

namespace harness {

void RunCeilingChecks() {
  using ledcolor::ApplyCeiling;
  constexpr std::uint8_t kCeiling = 50;

  // The counter is wider than eight bits: an 8-bit one would wrap from 255 to 0 and never stop.
  for (unsigned int v = 0; v <= 255; ++v) {
    const std::uint8_t r = ApplyCeiling(static_cast<std::uint8_t>(v), kCeiling);
    if (r > kCeiling) {
      Fail("ApplyCeiling exhaustive sweep: clamped must be <= ceiling");
    }
    if (v == 0 && r != 0) {
      Fail("ApplyCeiling: v==0 must yield 0");
    }
  }
  for (unsigned int v = 0; v <= 255; ++v) {
    if (ApplyCeiling(static_cast<std::uint8_t>(v), 255) != v) {
      Fail("ApplyCeiling at ceiling 255 must return v unchanged");
    }
  }
  std::printf(
      "PASS: Brightness-ceiling clamp — bounded by ceiling, zero-preserving, identity at 255\n");
}

}  // namespace harness
