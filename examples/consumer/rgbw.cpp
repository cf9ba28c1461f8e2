// An RGBW controller: an SK6812 RGBW strip driven from a high-speed host, which sends its frames
// with its white calibration ("AwA") or converted to RGBW itself ("AWa"), says hello and goodbye;
// and the same strip driven from a plain RGB row, its white channel taken out here. The README
// walks through this file; every platform's test run builds and runs it.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include "ledcolor/ledcolor.h"

namespace {

constexpr std::size_t kLeds = 4;

void Print(const char* what, std::span<const std::uint8_t> bytes) {
  std::printf("%s:", what);
  for (const std::uint8_t b : bytes) {
    std::printf(" %02X", b);
  }
  std::printf("\n");
}

// What the host sends: hello, a calibrated frame, an RGBW frame, goodbye. Hosts follow each
// request with "hyperhdr", which the reader skips as noise.
std::size_t MakeWire(std::span<std::uint8_t> wire) {
  const std::array<ledcolor::Rgb, kLeds> rgb{
      {{255, 128, 0}, {0, 64, 255}, {255, 255, 255}, {32, 32, 32}}};
  const std::array<ledcolor::Rgbw, kLeds> rgbw{
      {{255, 128, 0, 0}, {0, 64, 255, 0}, {0, 0, 0, 255}, {0, 0, 0, 32}}};
  const std::array<std::uint8_t, 14> hello{0x41, 0x77, 0x41, 0x2A, 0xA2, 0x15, 'h',
                                           'y',  'p',  'e',  'r',  'h',  'd',  'r'};
  std::array<std::uint8_t, 14> goodbye = hello;
  goodbye[5] = 0x35;
  std::size_t size = 0;
  const auto append = [&](std::span<const std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), wire.begin() + static_cast<std::ptrdiff_t>(size));
    size += bytes.size();
  };
  append(hello);
  size += ledcolor::EncodeAdalightFrame(rgb, wire.subspan(size), {255, 200, 200, 200});
  size += ledcolor::EncodeAdalightFrame(rgbw, wire.subspan(size));
  append(goodbye);
  return size;
}

// The steps after the white channel: white balance, the power ceiling, the chips' bytes.
void Drive(std::span<ledcolor::Rgbw> rgbw) {
  // White balance on all four channels: this strip's blue runs hot.
  ledcolor::ApplyCeiling(rgbw, ledcolor::Rgbw{255, 230, 200, 255});

  // Limit: the model gains the white channel's figure, here 18 mA at full (all in microamps).
  constexpr ledcolor::PowerModel kSk6812Rgbw{12'000, 12'000, 12'000, 1'000, 18'000};
  const std::uint8_t ceiling = ledcolor::CeilingForBudget(rgbw, kSk6812Rgbw, 30'000);
  ledcolor::ApplyCeiling(rgbw, ceiling);
  std::printf("ceiling %u, %u uA\n", static_cast<unsigned>(ceiling),
              static_cast<unsigned>(ledcolor::EstimateCurrent(rgbw, kSk6812Rgbw)));

  // The chips' bytes: SK6812 RGBW takes G R B W. For a driver that makes the waveform itself
  // (RP2040 PIO, ESP32 RMT), the bytes as they are; for an SPI bus, spread three bits a bit.
  std::array<std::uint8_t, 4 * kLeds> bytes{};
  const std::size_t size = ledcolor::EncodeWs2812Bytes(rgbw, ledcolor::ColorOrder::kGrb,
                                                       ledcolor::WhitePosition::kLast, bytes);
  Print("bytes", std::span(bytes).first(size));
  std::array<std::uint8_t, ledcolor::Ws2812SpiSize(kLeds, 4)> spi{};
  const std::size_t spi_size = ledcolor::EncodeWs2812Spi(rgbw, ledcolor::ColorOrder::kGrb,
                                                         ledcolor::WhitePosition::kLast, spi);
  std::printf("spi: %u bytes\n", static_cast<unsigned>(spi_size));
}

// What a controller does with each frame or request the reader completes.
void Handle(const ledcolor::AdalightReader::Result& frame) {
  if (frame.request == ledcolor::HostRequest::kHello) {
    // The answer is the caller's I/O: a line naming the controller, on the serial port.
    std::printf("hello: answer \"ledcolor rgbw, %u LEDs\"\n", static_cast<unsigned>(kLeds));
    return;
  }
  if (frame.request == ledcolor::HostRequest::kGoodbye) {
    std::printf("goodbye: blank the strip\n");
    std::array<ledcolor::Rgbw, kLeds> dark{};
    Drive(dark);
    return;
  }
  std::array<ledcolor::Rgbw, kLeds> rgbw{};
  const std::size_t count = std::min(frame.led_count, kLeds);
  if (!frame.leds_rgbw.empty()) {
    // "AWa": the host made the white channel itself.
    std::copy_n(frame.leds_rgbw.begin(), count, rgbw.begin());
  } else {
    // "AwA" (and "Awa", with the receivers' default): the host's calibration, as its receivers
    // apply it.
    const ledcolor::WhiteCalibration calibration =
        frame.calibration.value_or(ledcolor::kDefaultWhiteCalibration);
    if (ledcolor::ToRgbw(frame.leds.first(count), calibration, rgbw) != count) {
      return;
    }
  }
  std::printf("frame of %u LEDs\n", static_cast<unsigned>(frame.led_count));
  Drive(rgbw);
}

}  // namespace

int main() {
  std::array<std::uint8_t, 128> wire{};
  const std::size_t wire_size = MakeWire(wire);

  // Receive: the checked format takes all three variants and the requests; an "AWa" frame of N
  // LEDs needs 4N bytes of the storage, so it is sized for those.
  std::array<ledcolor::Rgb, ledcolor::AdalightStorageLeds(kLeds, 4)> storage{};
  ledcolor::AdalightReader reader(storage, ledcolor::AdalightFormat::kAwa);
  std::span<const std::uint8_t> rest(wire.data(), wire_size);
  while (!rest.empty()) {
    const ledcolor::AdalightReader::Result frame = reader.Feed(rest);
    rest = rest.subspan(frame.consumed);
    if (frame.led_count != 0 || frame.request != ledcolor::HostRequest::kNone) {
      Handle(frame);
    }
  }

  // A plain RGB row, from a host that knows nothing of the white LED. Gamma first: light adds in
  // linear duty, so that is where the white LED takes over.
  std::array<ledcolor::Rgb, kLeds> row{
      {{255, 128, 0}, {0, 64, 255}, {255, 255, 255}, {32, 32, 32}}};
  static constexpr ledcolor::ByteTable kGamma = *ledcolor::MakeGammaTable(2.2);
  ledcolor::ApplyTable(row, kGamma);

  // This strip's white LED, lit alone at full, looks like its RGB at (255, 200, 140): a warm
  // white. ExtractWhite moves onto it as much of each colour as it can hold, exactly.
  constexpr ledcolor::Rgb kWhitePoint{255, 200, 140};
  std::array<ledcolor::Rgbw, kLeds> rgbw{};
  if (ledcolor::ExtractWhite(row, kWhitePoint, rgbw) != kLeds) {
    return 1;
  }
  std::printf("RGB row\n");
  Drive(rgbw);
  std::printf("%u bytes skipped\n", static_cast<unsigned>(reader.SkippedBytes()));
  return 0;
}
