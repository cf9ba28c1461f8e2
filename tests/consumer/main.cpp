// Both ends of the wire with ledcolor, as a controller runs them. The README shows this file; the
// install test builds it against the installed package, with pkg-config, and as a subproject.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include "ledcolor/ledcolor.h"

namespace {

constexpr std::size_t kLeds = 2;

// Sending: the row is built in the frame's own payload, dimmed there in place, and the encoder
// writes the header in front of it, so no colour byte is copied. Returns the frame's length.
std::size_t BuildFrame(std::array<std::uint8_t, ledcolor::AdalightFrameSize(kLeds)>& frame) {
  // Rgb is three bytes with no padding, so the payload bytes are a row of Rgb.
  const std::span<ledcolor::Rgb> leds(
      reinterpret_cast<ledcolor::Rgb*>(frame.data() + ledcolor::kAdalightHeaderSize), kLeds);
  if (!ledcolor::ParseHexColor("FF8000", leds[0])) {
    return 0;  // reject the user's text
  }
  leds[1] = {255, 0, 0};
  ledcolor::ApplyCeiling(leds, 50);  // never brighter than 50/255
  return ledcolor::EncodeAdalightFrame(leds, frame);
}

// Receiving: bytes arrive in pieces of any size, here three at a time where a serial read would
// hand them over. Feed takes what it can and reports each frame it completes.
void Receive(std::span<const std::uint8_t> wire) {
  std::array<ledcolor::Rgb, 64> storage{};
  ledcolor::AdalightReader reader(storage);
  for (std::size_t at = 0; at < wire.size(); at += 3) {
    std::span<const std::uint8_t> piece =
        wire.subspan(at, std::min<std::size_t>(3, wire.size() - at));
    while (!piece.empty()) {
      const ledcolor::AdalightReader::Result frame = reader.Feed(piece);
      piece = piece.subspan(frame.consumed);
      if (frame.led_count == 0) {
        continue;
      }
      std::printf("received %zu LEDs after %llu skipped bytes:", frame.led_count,
                  static_cast<unsigned long long>(reader.SkippedBytes()));
      for (const ledcolor::Rgb& led : frame.leds) {
        std::printf(" %02X %02X %02X", led.r, led.g, led.b);
      }
      std::printf("\n");
    }
  }
}

}  // namespace

int main() {
  // Two bytes of line noise, then the frame.
  std::array<std::uint8_t, 2 + ledcolor::AdalightFrameSize(kLeds)> wire{0x00, 0x41};
  std::array<std::uint8_t, ledcolor::AdalightFrameSize(kLeds)> frame{};
  const std::size_t n = BuildFrame(frame);  // 12, or 0 if it could not be made
  for (std::size_t i = 0; i < n; ++i) {
    std::printf("%02X%s", frame[i], i + 1 < n ? " " : "\n");
  }
  std::copy(frame.begin(), frame.end(), wire.begin() + 2);
  Receive(wire);
  return n == frame.size() ? 0 : 1;
}
