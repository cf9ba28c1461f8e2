// The controller's path from a received frame to the strip's bytes, and the options that shape it.
// Nothing chip-specific: the firmware runs it, and the tests run the same code on the build machine
// for the bytes each frame must become.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "ledcolor/ledcolor.h"

namespace firmware {

enum class Strip : std::uint8_t { kWs2812, kSk6812, kApa102 };
enum class WhiteRule : std::uint8_t { kHosts, kPreserve };

struct Options {
  std::uint32_t baud;
  ledcolor::AdalightFormat format;
  double gamma;  // 1.0: none
  Strip strip;
  WhiteRule white_rule;       // RGBW strips, for frames without a white channel
  ledcolor::Rgb white_point;  // kPreserve: the white LED's colour
  ledcolor::Rgbw balance;     // a ceiling per channel of the strip's (w: RGBW strips)
  std::uint32_t budget_ma;    // 0: none
  std::uint32_t white_ma;     // the white channel at full, for the budget
  ledcolor::WhitePosition white_position;
  std::uint32_t spi_hz;  // apa102: the SPI clock asked for
  ledcolor::ColorOrder order;
  std::uint32_t data_pin;  // one-wire strips
  std::size_t max_leds;
  std::uint32_t idle_ms;  // 0: hold the last frame
  const char* strip_name;
  const char* version;

  [[nodiscard]] constexpr std::size_t Channels() const { return strip == Strip::kSk6812 ? 4 : 3; }
  // The most bytes the strip's chips take for max_leds.
  [[nodiscard]] constexpr std::size_t MaxOutBytes() const {
    return strip == Strip::kApa102 ? ledcolor::Apa102FrameSize(max_leds) : Channels() * max_leds;
  }
};

// A frame as the reader completed it, its colours copied out of the reader's storage.
struct Frame {
  std::size_t leds = 0;
  bool rgbw = false;  // an "AWa" frame: 4 bytes an LED, R G B W; else 3, R G B
  std::optional<ledcolor::WhiteCalibration> calibration;
};

// The path: gamma; for an RGBW strip the white channel (the frame's own, or by the white rule);
// the white balance; the power budget; the chips' bytes. `colours` holds the frame's bytes (3 or 4
// an LED) and is shaped in place; `work` is room for max_leds RGBW LEDs. Returns the bytes written
// to `out`, 0 when the frame does not fit.
std::size_t RunPath(const Options& options, const ledcolor::ByteTable* gamma, const Frame& frame,
                    std::span<std::uint8_t> colours, std::span<ledcolor::Rgbw> work,
                    std::span<std::uint8_t> out);

}  // namespace firmware
