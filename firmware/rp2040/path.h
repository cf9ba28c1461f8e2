// The controller's path from a received frame to the strip's bytes, and the options that shape it.
// Nothing chip-specific: the firmware runs it, and the tests run the same code on the build machine
// for the bytes each frame must become.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "ledcolor/ledcolor.h"

namespace firmware {

// One-wire chips (WS2812 RGB, SK6812 RGBW, WS2816 16-bit RGB) and clocked chips on SPI (APA102,
// WS2801, LPD8806, P9813).
enum class Strip : std::uint8_t { kWs2812, kSk6812, kApa102, kWs2801, kLpd8806, kP9813, kWs2816 };
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
  std::int32_t status_pin = -1;  // toggled with each frame shown; -1: none
  // One-wire strips: outputs on consecutive pins from data_pin, driven in lock step, and the LED
  // count of each one's segment of the frame (all 0: the frame split into equal parts).
  std::uint32_t outputs = 1;
  std::array<std::uint16_t, 8> segments{};

  [[nodiscard]] constexpr std::size_t Channels() const { return strip == Strip::kSk6812 ? 4 : 3; }
  // Whether the strip takes a data line alone (PIO), or data and clock (SPI0).
  [[nodiscard]] constexpr bool OneWire() const {
    return strip == Strip::kWs2812 || strip == Strip::kSk6812 || strip == Strip::kWs2816;
  }
  // The bytes an LED takes on a one-wire strip.
  [[nodiscard]] constexpr std::size_t LedBytes() const {
    return strip == Strip::kWs2816 ? 6 : Channels();
  }
  // The most LED slots an output carries: the longest segment.
  [[nodiscard]] constexpr std::size_t MaxSlots() const {
    std::size_t longest = 0;
    for (const std::uint16_t count : segments) {
      longest = count > longest ? count : longest;
    }
    return longest != 0 ? longest : (max_leds + outputs - 1) / outputs;
  }
  // The most bytes the strip's chips take for max_leds.
  [[nodiscard]] constexpr std::size_t MaxOutBytes() const {
    switch (strip) {
      case Strip::kApa102:
        return ledcolor::Apa102FrameSize(max_leds);
      case Strip::kLpd8806:
        return ledcolor::Lpd8806FrameSize(max_leds);
      case Strip::kP9813:
        return ledcolor::P9813FrameSize(max_leds);
      case Strip::kWs2816:
        return 6 * max_leds;
      default:
        return Channels() * max_leds;
    }
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
// to `out`, 0 when the frame does not fit. A 16-bit strip (WS2816) takes its gamma from the 8-bit
// levels straight into 16 bits, `gamma16` (required for it: MakeGammaTable16(1.0) for none), and
// its balance and budget in 16 bits; its row is made in `out`, which must be 2-byte aligned.
std::size_t RunPath(const Options& options, const ledcolor::ByteTable* gamma, const Frame& frame,
                    std::span<std::uint8_t> colours, std::span<ledcolor::Rgbw> work,
                    std::span<std::uint8_t> out, const ledcolor::WordTable* gamma16 = nullptr);

// The path in steps, for a controller that shapes a frame's LEDs as they arrive (8-bit strips; a
// WS2816 takes RunPath whole). A shaped row holds Channels() bytes an LED.
//
// Gamma, an RGBW strip's white channel and the white balance, for LEDs [from, to): `in` holds the
// frame's bytes from its first LED on, as received (3 or 4 an LED), at least up to LED `to`.
void Shape(const Options& options, const ledcolor::ByteTable* gamma, const Frame& frame,
           std::span<const std::uint8_t> in, std::size_t from, std::size_t to,
           std::span<std::uint8_t> row);
// The power model the budget uses.
ledcolor::PowerModel Model(const Options& options);
// The budget's ceiling, in place on `leds` shaped LEDs (255 changes nothing).
void Dim(const Options& options, std::span<std::uint8_t> row, std::size_t leds,
         std::uint8_t ceiling);
// The chips' bytes of `leds` shaped LEDs, into `out`; returns their count, 0 when `out` is short.
// A one-wire strip's LEDs encode apart, so a part of the row encodes into the same part of `out`.
std::size_t Encode(const Options& options, std::span<const std::uint8_t> row, std::size_t leds,
                   std::span<std::uint8_t> out);
// A one-wire strip on one output: LED i's bytes (3 or 4) into words[i] from the top, for the DMA.
void PackWords(const Options& options, std::span<const std::uint8_t> bytes, std::size_t from,
               std::size_t to, std::span<std::uint32_t> words);

// Where a frame's LEDs go on parallel outputs: output k shows `count[k]` LEDs from `first[k]`,
// then dark slots up to `slots`, the LED slots every output carries.
struct Segments {
  std::array<std::size_t, 8> first{};
  std::array<std::size_t, 8> count{};
  std::size_t slots = 0;
};
// The frame's LEDs in order, one segment an output: the configured counts (the longest gives the
// slots; LEDs past the last segment are not shown), or equal parts with the first outputs taking
// one more when the split does not come out even.
Segments SplitFrame(const Options& options, std::size_t leds);

// The parallel outputs' bits for slots [from, to): `bytes` is the path's output (LedBytes() an
// LED), laid out for one PIO state machine that drives all the outputs: a byte a bit period, bit
// k for output k, four bit periods a word from the top; an LED slot takes 2 * LedBytes() words.
void LayOutParallel(const Options& options, const Segments& segments,
                    std::span<const std::uint8_t> bytes, std::size_t from, std::size_t to,
                    std::span<std::uint32_t> words);

}  // namespace firmware
