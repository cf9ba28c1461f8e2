// An RGBW controller's frame: an SK6812 RGBW strip driven from an RGB host. The colours are
// shaped in linear duty, the white LED takes over what it can of each colour, and the row is held
// to the supply and turned into the bytes the chips take. The README walks through this file;
// every platform's test run builds and runs it.
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

}  // namespace

int main() {
  // What an RGB host sent for the strip (received as in the RGB example).
  std::array<ledcolor::Rgb, kLeds> row{
      {{255, 128, 0}, {0, 64, 255}, {255, 255, 255}, {32, 32, 32}}};

  // Gamma first: light adds in linear duty, so that is where the white LED takes over.
  static constexpr ledcolor::ByteTable kGamma = *ledcolor::MakeGammaTable(2.2);
  ledcolor::ApplyTable(row, kGamma);

  // This strip's white LED, lit alone at full, looks like its RGB at (255, 200, 140): a warm
  // white. ExtractWhite moves onto it as much of each colour as it can hold, exactly.
  constexpr ledcolor::Rgb kWhitePoint{255, 200, 140};
  std::array<ledcolor::Rgbw, kLeds> rgbw{};
  if (ledcolor::ExtractWhite(row, kWhitePoint, rgbw) != kLeds) {
    return 1;
  }
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
  return 0;
}
