// A controller's whole path as a firmware links it: a reader of checked frames, gamma, white
// balance, the power ceiling and the WS2812 SPI bytes, called from one function. Linked twice,
// from LedcolorPath and from LedcolorNothing alone (no startup, no main), so that the first holds
// exactly what the path brings -- the library's code and the C library's and libgcc's helpers it
// calls -- and the second nothing (see CMakeLists.txt).
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "ledcolor/ledcolor.h"

namespace {

std::array<ledcolor::Rgb, 1000> g_storage;
// Made at compile time with its format named, as a firmware makes it.
constinit ledcolor::AdalightReader g_reader(g_storage, ledcolor::AdalightFormat::kAwa);

}  // namespace

// The bytes come from the serial port, the table and the figures from the firmware's settings.
extern "C" std::size_t LedcolorPath(std::span<const std::uint8_t> serial,
                                    const ledcolor::ByteTable& gamma, ledcolor::Rgb white,
                                    const ledcolor::PowerModel& model, std::uint64_t budget_ua,
                                    std::span<std::uint8_t> spi) {
  const auto read = g_reader.Feed(serial);
  const std::span<ledcolor::Rgb> row = std::span(g_storage).first(read.leds.size());
  ledcolor::ApplyTable(row, gamma);
  ledcolor::ApplyCeiling(row, white);
  ledcolor::ApplyCeiling(row, ledcolor::CeilingForBudget(row, model, budget_ua));
  return ledcolor::EncodeWs2812Spi(row, ledcolor::ColorOrder::kGrb, spi);
}

extern "C" std::size_t LedcolorNothing() { return 0; }
