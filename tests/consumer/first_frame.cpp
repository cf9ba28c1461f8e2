// The README's first example: three colours into an Adalight frame, printed as hex.
#include <array>
#include <cstdio>

#include "ledcolor/ledcolor.h"

int main() {
  const std::array<ledcolor::Rgb, 3> leds{{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}};
  std::array<std::uint8_t, ledcolor::AdalightFrameSize(leds.size())> frame{};
  const std::size_t size = ledcolor::EncodeAdalightFrame(leds, frame);  // 15, or 0 if rejected
  for (std::size_t i = 0; i < size; ++i) {
    std::printf("%02X%s", frame[i], i + 1 < size ? " " : "\n");
  }
  return size == frame.size() ? 0 : 1;
}
