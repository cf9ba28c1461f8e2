// The README's example, built against the installed package; prints the frame in hex.
#include <array>
#include <cstdint>
#include <cstdio>

#include "ledcolor/ledcolor.h"

int main() {
  std::array<ledcolor::Rgb, 2> leds{};
  if (!ledcolor::ParseHexColor("FF8000", leds[0])) {
    return 1;
  }
  leds[1] = {ledcolor::ApplyCeiling(255, 50), 0, 0};  // full red, dimmed to 50/255

  std::array<std::uint8_t, ledcolor::AdalightFrameSize(2)> frame{};
  const std::size_t n = ledcolor::EncodeAdalightFrame(leds, frame);  // 12, or 0 if it can't fit
  for (std::size_t i = 0; i < n; ++i) {
    std::printf("%02X%s", frame[i], i + 1 < n ? " " : "\n");
  }
  return n == frame.size() ? 0 : 1;
}
