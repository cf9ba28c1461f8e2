// A controller's frame, end to end: received in the checked format from a noisy line, shaped
// (gamma, white balance), held to the power supply, and turned into the bytes of a WS2812B strip.
// The README walks through this file; every platform's test run builds and runs it, and the
// install test builds it against the installed package.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include "ledcolor/ledcolor.h"

namespace {

constexpr std::size_t kLeds = 4;                          // the strip's length
constexpr auto kFormat = ledcolor::AdalightFormat::kAwa;  // what the host sends

void Print(const char* what, std::span<const std::uint8_t> bytes) {
  std::printf("%s:", what);
  for (const std::uint8_t b : bytes) {
    std::printf(" %02X", b);
  }
  std::printf("\n");
}

// What a host sends: line noise, a frame cut off when the host restarted, then the whole frame.
std::size_t MakeWire(std::span<std::uint8_t> wire) {
  std::array<std::uint8_t, ledcolor::AdalightFrameSize(kLeds, kFormat)> frame{};
  // Zero copy: the colours are written straight into the frame's payload -- Rgb is three bytes
  // with no padding -- and the encoder adds the header and check bytes around them in place.
  const std::span<ledcolor::Rgb> colours(
      reinterpret_cast<ledcolor::Rgb*>(frame.data() + ledcolor::kAdalightHeaderSize), kLeds);
  colours[0] = {255, 128, 0};
  colours[1] = {0, 64, 255};
  colours[2] = {255, 255, 255};
  colours[3] = {32, 32, 32};
  const std::size_t size = ledcolor::EncodeAdalightFrame(colours, frame, kFormat);

  const std::array<std::uint8_t, 3> noise{0x00, 0x41, 0x77};
  auto out = std::copy(noise.begin(), noise.end(), wire.begin());
  out = std::copy_n(frame.begin(), 10, out);  // cut off by the restart
  out = std::copy_n(frame.begin(), size, out);
  return static_cast<std::size_t>(out - wire.begin());
}

// The values the LEDs are driven with, from the colours of a frame the reader completed.
void Drive(const ledcolor::AdalightReader::Result& frame) {
  std::printf("frame of %u LEDs\n", static_cast<unsigned>(frame.led_count));
  // The received colours are the reader's, read-only and gone at the next Feed: shaping works on a
  // copy of its own, in place. An "AWa" frame (the host made a white channel) fills leds_rgbw, not
  // leds: on this RGB strip it shows its red, green and blue.
  std::array<ledcolor::Rgb, kLeds> row{};
  const std::size_t count = std::min(frame.led_count, kLeds);
  if (!frame.leds_rgbw.empty()) {
    const std::span<const ledcolor::Rgbw> rgbw = frame.leds_rgbw.first(count);
    std::transform(rgbw.begin(), rgbw.end(), row.begin(), [](ledcolor::Rgbw c) {
      return ledcolor::Rgb{c.r, c.g, c.b};
    });
  } else {
    std::copy_n(frame.leds.begin(), std::min(count, frame.leds.size()), row.begin());
  }

  // Shape: the gamma curve turns perceptual values into linear duty. The compiler computes the
  // table, so the firmware carries 256 bytes and runs no floating point.
  static constexpr ledcolor::ByteTable kGamma = *ledcolor::MakeGammaTable(2.2);
  ledcolor::ApplyTable(row, kGamma);
  // Then the white balance, in linear duty: this strip's blue runs hot.
  ledcolor::ApplyCeiling(row, ledcolor::Rgb{255, 220, 180});

  // Limit: the brightest ceiling that keeps these LEDs within 30 mA, on the values they are
  // driven with.
  const std::uint8_t ceiling =
      ledcolor::CeilingForBudget(row, ledcolor::kWs2812bPowerModel, 30'000);  // microamps
  ledcolor::ApplyCeiling(row, ceiling);
  std::printf("ceiling %u, %u uA\n", static_cast<unsigned>(ceiling),
              static_cast<unsigned>(ledcolor::EstimateCurrent(row, ledcolor::kWs2812bPowerModel)));

  // The strip's bytes: WS2812B takes green first, each bit as three bits of SPI at 2.4 MHz.
  std::array<std::uint8_t, ledcolor::Ws2812SpiSize(kLeds)> spi{};
  const std::size_t size = ledcolor::EncodeWs2812Spi(row, ledcolor::ColorOrder::kGrb, spi);
  Print("spi", std::span(spi).first(size));
}

}  // namespace

int main() {
  // The bytes as a serial port would deliver them.
  std::array<std::uint8_t, 64> wire{};
  const std::size_t wire_size = MakeWire(wire);

  // Receive: bytes arrive in pieces of any size, here five at a time where a serial read would
  // hand them over. Feed takes what it can and reports each frame it completes.
  // Room for every variant the host may send: "AWa" frames take 4 bytes an LED.
  std::array<ledcolor::Rgb, ledcolor::AdalightStorageLeds(kLeds, 4)> storage{};
  ledcolor::AdalightReader reader(storage, kFormat);
  for (std::size_t at = 0; at < wire_size; at += 5) {
    std::span<const std::uint8_t> piece(wire.data() + at, std::min<std::size_t>(5, wire_size - at));
    while (!piece.empty()) {
      const ledcolor::AdalightReader::Result frame = reader.Feed(piece);
      piece = piece.subspan(frame.consumed);
      if (frame.led_count != 0) {
        Drive(frame);
      }
    }
  }
  // A failed candidate can leave complete frames (or requests) held: an empty input hands them out
  // one by one.
  for (auto frame = reader.Feed({});
       frame.led_count != 0 || frame.request != ledcolor::HostRequest::kNone;
       frame = reader.Feed({})) {
    if (frame.led_count != 0) {
      Drive(frame);
    }
  }
  std::printf("%u bytes skipped\n", static_cast<unsigned>(reader.SkippedBytes()));
  return 0;
}
