// The strip: the bytes its chips take.
//
// The controller's last step: the row, shaped and limited, in the bytes a strip's chips take on
// their data line. Where they go -- an SPI bus, /dev/spidev* on a Raspberry Pi -- is the caller's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "ledcolor/color.h"

namespace ledcolor {

// The order in which a strip's chips take the three channels: GRB for WS2812B and SK6812, BGR for
// APA102 and SK9822, RGB for WS2811 and many others. Wrong order is the usual first-day fault.
enum class ColorOrder : std::uint8_t { kRgb, kRbg, kGrb, kGbr, kBrg, kBgr };

// Where a four-channel chip takes the white byte among its four: SK6812 RGBW takes G R B W, which
// is kGrb with kLast. The three colours keep their ColorOrder around it.
enum class WhitePosition : std::uint8_t { kFirst, kSecond, kThird, kLast };

// The bytes EncodeWs2812Spi writes for `led_count` LEDs of `channels` each: 9N for 3 (RGB), 12N
// for 4 (RGBW); 0 for 0 LEDs, any other channel count, or a size that would not fit in
// std::size_t.
[[nodiscard]] constexpr std::size_t Ws2812SpiSize(std::size_t led_count,
                                                  std::size_t channels = 3) noexcept {
  if (channels != 3 && channels != 4) {
    return 0;
  }
  const std::size_t per_led = 3 * channels;
  return led_count == 0 || led_count > SIZE_MAX / per_led ? 0 : per_led * led_count;
}

// One-wire WS2812-class chips (WS2812B, SK6812, WS2811 at 800 kHz) driven from an SPI bus clocked
// at 2.4 MHz: each LED's three channels in `order`, each most significant bit first, each data bit
// sent as three SPI bits -- 110 for a one, 100 for a zero -- packed most significant first, 9 bytes
// an LED. Returns Ws2812SpiSize(N). The latch is the caller's: hold the line low for at least
// 280 us after the last byte (at 2.4 MHz, 84 bytes of zeros, or simply a pause). An empty row, a
// value that is no ColorOrder, an `out` shorter than the size, or an `out` that overlaps the row
// is rejected.
[[nodiscard]] std::size_t EncodeWs2812Spi(std::span<const Rgb> leds, ColorOrder order,
                                          std::span<std::uint8_t> out) noexcept;

// The same for four-channel chips (SK6812 RGBW): each LED's three colours in `order` with its white
// at `white`, 12 bytes an LED. Returns Ws2812SpiSize(N, 4). Rejected as above, and for a value that
// is no WhitePosition.
[[nodiscard]] std::size_t EncodeWs2812Spi(std::span<const Rgbw> leds, ColorOrder order,
                                          WhitePosition white,
                                          std::span<std::uint8_t> out) noexcept;

// The bytes before that spreading: each LED's channels in the chips' order, 3N bytes, for drivers
// that make the waveform themselves (RP2040 PIO, ESP32 RMT or I2S, DMA-driven PWM, bit-banging).
// Returns 3N. `out` may be the row's own bytes, exactly, so that a firmware short of memory
// reorders in place; any other overlap, an empty row, a value that is no ColorOrder, or an `out`
// shorter than 3N is rejected.
[[nodiscard]] std::size_t EncodeWs2812Bytes(std::span<const Rgb> leds, ColorOrder order,
                                            std::span<std::uint8_t> out) noexcept;

// The same for four-channel chips: 4N bytes, the white at `white` (RGBW 11 22 33 44 with kGrb and
// kLast gives 22 11 33 44). Returns 4N; rejected as above, and for a value that is no
// WhitePosition.
[[nodiscard]] std::size_t EncodeWs2812Bytes(std::span<const Rgbw> leds, ColorOrder order,
                                            WhitePosition white,
                                            std::span<std::uint8_t> out) noexcept;

// --- Sixteen bits a channel
// ------------------------------------------------------------------------

// The bytes EncodeWs2812Spi writes for `led_count` LEDs of 16-bit chips of `channels` each: 18N
// for 3, 24N for 4; 0 for 0 LEDs, any other channel count, or a size that would not fit.
[[nodiscard]] constexpr std::size_t Ws2812SpiSize16(std::size_t led_count,
                                                    std::size_t channels = 3) noexcept {
  const std::size_t size = Ws2812SpiSize(led_count, channels);
  return size > SIZE_MAX / 2 ? 0 : 2 * size;
}

// 16-bit one-wire chips (WS2816, UCS8903 RGB): each LED's channels in `order`, each high byte
// first, 6 bytes an LED. Returns 6N. Rejected, and in place, as the 8-bit form: `out` may be the
// row's own bytes, exactly.
[[nodiscard]] std::size_t EncodeWs2812Bytes(std::span<const Rgb16> leds, ColorOrder order,
                                            std::span<std::uint8_t> out) noexcept;
// The same for 16-bit four-channel chips (UCS8904): 8 bytes an LED, the white at `white`.
[[nodiscard]] std::size_t EncodeWs2812Bytes(std::span<const Rgbw16> leds, ColorOrder order,
                                            WhitePosition white,
                                            std::span<std::uint8_t> out) noexcept;

// Their waveform from an SPI bus at 2.4 MHz: the bytes above, each bit as three SPI bits (110 for a
// one, 100 for a zero). Returns Ws2812SpiSize16(N) or Ws2812SpiSize16(N, 4); rejected as the 8-bit
// forms, an `out` that shares any byte with the row among it.
[[nodiscard]] std::size_t EncodeWs2812Spi(std::span<const Rgb16> leds, ColorOrder order,
                                          std::span<std::uint8_t> out) noexcept;
[[nodiscard]] std::size_t EncodeWs2812Spi(std::span<const Rgbw16> leds, ColorOrder order,
                                          WhitePosition white,
                                          std::span<std::uint8_t> out) noexcept;

// The bytes EncodeApa102Frame writes for `led_count` LEDs, 8 + 4N + ceil(N / 16); 0 for 0 LEDs or
// a count whose size would not fit in std::size_t.
[[nodiscard]] constexpr std::size_t Apa102FrameSize(std::size_t led_count) noexcept {
  if (led_count == 0 || led_count > (SIZE_MAX - 8) / 4) {
    return 0;
  }
  const std::size_t body = 8 + 4 * led_count;
  const std::size_t end_clocks = led_count / 16 + (led_count % 16 != 0 ? 1 : 0);
  return end_clocks > SIZE_MAX - body ? 0 : body + end_clocks;
}

// Two-wire APA102 / SK9822 chips: a start frame of four 0x00; per LED 0xE0 | brightness and its
// three channels in `order`; an end frame of 4 + ceil(N / 16) bytes of 0x00 -- the four latch an
// SK9822, the rest give an APA102 chain the N / 2 extra clock edges it needs to pass the data to
// its last LED -- so one frame drives either chip. `brightness` is the 5-bit global current, 0 to
// 31. Returns Apa102FrameSize(N). An empty row, a brightness above 31, a value that is no
// ColorOrder, an `out` shorter than the size, or an `out` that overlaps the row is rejected.
[[nodiscard]] std::size_t EncodeApa102Frame(std::span<const Rgb> leds, ColorOrder order,
                                            std::uint8_t brightness,
                                            std::span<std::uint8_t> out) noexcept;

// APA102 from a 16-bit row, its 5-bit field used as extra range: the frame of the 8-bit form (same
// size, start and end frames), with each LED's field f and channels chosen exactly. For f in
// 1..31 each channel is c = v * 31 * 255 / (65535 * f) rounded halves up, at most 255, and the
// LED's error for f is the largest over its channels of |c * f * 65535 - v * 31 * 255|; the LED
// takes the f of the smallest error, the largest f among equals (a black LED: f 31, channels 0).
// So light the 8-bit form shows at brightness 31 shows the same here, and below it the current
// steps down instead of the channels. Returns Apa102FrameSize(N); rejected as the 8-bit form.
[[nodiscard]] std::size_t EncodeApa102Frame(std::span<const Rgb16> leds, ColorOrder order,
                                            std::span<std::uint8_t> out) noexcept;

// --- Clocked chips of other families -------------------------------------------------------------
//
// Each takes data and clock lines from an SPI bus (mode 0) and is rejected as EncodeApa102Frame is:
// an empty row, a value that is no ColorOrder, an `out` shorter than the size, or an `out` that
// overlaps the row.

// The bytes EncodeWs2801Frame writes for `led_count` LEDs, 3N; 0 for 0 LEDs or a size that would
// not fit in std::size_t.
[[nodiscard]] constexpr std::size_t Ws2801FrameSize(std::size_t led_count) noexcept {
  return led_count == 0 || led_count > SIZE_MAX / 3 ? 0 : 3 * led_count;
}

// WS2801: each LED's three channels in `order` (RGB on most strips), most significant bit first,
// and nothing before or after. The latch is the caller's: hold the clock low for at least 500 us
// after the frame. Returns Ws2801FrameSize(N).
[[nodiscard]] std::size_t EncodeWs2801Frame(std::span<const Rgb> leds, ColorOrder order,
                                            std::span<std::uint8_t> out) noexcept;

// The bytes EncodeLpd8806Frame writes for `led_count` LEDs, 3N + (N + 31) / 32; 0 for 0 LEDs or a
// size that would not fit.
[[nodiscard]] constexpr std::size_t Lpd8806FrameSize(std::size_t led_count) noexcept {
  return led_count == 0 || led_count > SIZE_MAX / 4 ? 0 : 3 * led_count + (led_count + 31) / 32;
}

// LPD8806, 7 bits a channel: each LED's channels in `order` (GRB on most strips), each as
// 0x80 | (v >> 1); then (N + 31) / 32 bytes of 0x00, which latch the chain. Returns
// Lpd8806FrameSize(N).
[[nodiscard]] std::size_t EncodeLpd8806Frame(std::span<const Rgb> leds, ColorOrder order,
                                             std::span<std::uint8_t> out) noexcept;

// The bytes EncodeP9813Frame writes for `led_count` LEDs, 12 + 4N; 0 for 0 LEDs or a size that
// would not fit.
[[nodiscard]] constexpr std::size_t P9813FrameSize(std::size_t led_count) noexcept {
  return led_count == 0 || led_count > (SIZE_MAX - 12) / 4 ? 0 : 12 + 4 * led_count;
}

// P9813 (12 V pixel modules, bullet pixels): 4 bytes of 0x00; per LED a flag byte
// 0xC0 | ((~b >> 6) & 3) << 4 | ((~g >> 6) & 3) << 2 | ((~r >> 6) & 3), then B, G, R, the chip's
// fixed order; then 8 bytes of 0x00, which latch it. Returns P9813FrameSize(N).
[[nodiscard]] std::size_t EncodeP9813Frame(std::span<const Rgb> leds,
                                           std::span<std::uint8_t> out) noexcept;

}  // namespace ledcolor
