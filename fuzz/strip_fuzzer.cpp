// The strip encoders on fuzzer-chosen rows, orders and white positions (valid or not),
// brightnesses and output sizes, held to the bit-by-bit reference: the result is the frame's size
// and its bytes are the reference's, or it is 0 and nothing is written; nothing is ever written
// past the size. The same bytes are read as an RGB row, as an RGBW row, and in pairs as a 16-bit
// row.
//
// Input: 1 byte order (values 6 and up are no ColorOrder), 1 byte brightness whose top three bits
// are also the white position (4 and up are none), 1 signed byte offset of the output's size from
// the frame's, then the row's bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "check.h"
#include "ledcolor/ledcolor.h"
#include "reference_strip.h"

using ledcolor_fuzzing::Check;

namespace {

constexpr std::uint8_t kFill = 0xA7;
constexpr std::size_t kGuardBytes = 16;

// Runs `encode` into an output of `wanted` + `offset` bytes followed by guard bytes, and holds the
// result to `expected` when `valid`, to a rejection otherwise.
template <typename Encode>
void CheckEncoder(Encode encode, const std::vector<std::uint8_t>& expected, bool valid,
                  int offset) {
  const auto size = static_cast<std::size_t>(
      std::max<std::ptrdiff_t>(0, static_cast<std::ptrdiff_t>(expected.size()) + offset));
  std::vector<std::uint8_t> out(size + kGuardBytes, kFill);
  const std::size_t written = encode(std::span(out).first(size));
  const bool fits = valid && size >= expected.size();
  Check(written == (fits ? expected.size() : 0));
  Check(std::equal(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(written),
                   out.begin()));
  Check(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(written), out.end(),
                    [](std::uint8_t b) { return b == kFill; }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) {
    return -1;
  }
  const auto order = static_cast<ledcolor::ColorOrder>(data[0]);
  const std::uint8_t brightness = data[1];
  const int offset = static_cast<std::int8_t>(data[2]);
  const std::size_t leds = (size - 3) / 3;
  const std::unique_ptr<ledcolor::Rgb[]> row(new ledcolor::Rgb[leds]);
  for (std::size_t i = 0; i < leds; ++i) {
    row[i] = {data[3 + 3 * i], data[4 + 3 * i], data[5 + 3 * i]};
  }
  const std::span<const ledcolor::Rgb> input(row.get(), leds);
  const bool known_order = data[0] < 6;
  const auto name = ledcolor_testing::kOrderNames[known_order ? data[0] : 0];
  CheckEncoder(
      [&](std::span<std::uint8_t> out) { return ledcolor::EncodeWs2812Spi(input, order, out); },
      ledcolor_testing::Ws2812SpiBytes(input, name), known_order && leds > 0, offset);
  CheckEncoder(
      [&](std::span<std::uint8_t> out) {
        return ledcolor::EncodeApa102Frame(input, order, brightness, out);
      },
      ledcolor_testing::Apa102Bytes(input, name, brightness & 31U),
      known_order && leds > 0 && brightness <= 31, offset);
  CheckEncoder(
      [&](std::span<std::uint8_t> out) { return ledcolor::EncodeWs2812Bytes(input, order, out); },
      ledcolor_testing::ChipBytes(input, name), known_order && leds > 0, offset);

  // The clocked chips, from the chips' bytes of the reference: WS2801 takes them as they are,
  // LPD8806 their top seven bits under a set top bit and a zero byte for each 32 LEDs; P9813 is
  // B G R under its flag byte, between zero frames.
  const std::vector<std::uint8_t> chip = ledcolor_testing::ChipBytes(input, name);
  CheckEncoder(
      [&](std::span<std::uint8_t> out) { return ledcolor::EncodeWs2801Frame(input, order, out); },
      chip, known_order && leds > 0, offset);
  std::vector<std::uint8_t> lpd8806;
  for (const std::uint8_t b : chip) {
    lpd8806.push_back(static_cast<std::uint8_t>(0x80 | b >> 1));
  }
  lpd8806.resize(lpd8806.size() + (leds + 31) / 32, 0);
  CheckEncoder(
      [&](std::span<std::uint8_t> out) { return ledcolor::EncodeLpd8806Frame(input, order, out); },
      lpd8806, known_order && leds > 0, offset);
  std::vector<std::uint8_t> p9813(4, 0);
  for (const ledcolor::Rgb& led : input) {
    const auto top = [](std::uint8_t v) { return static_cast<unsigned>((v >> 6) ^ 3); };
    p9813.insert(p9813.end(),
                 {static_cast<std::uint8_t>(0xC0 | top(led.b) << 4 | top(led.g) << 2 | top(led.r)),
                  led.b, led.g, led.r});
  }
  p9813.resize(p9813.size() + 8, 0);
  CheckEncoder([&](std::span<std::uint8_t> out) { return ledcolor::EncodeP9813Frame(input, out); },
               p9813, leds > 0, offset);

  const std::size_t rgbw_leds = (size - 3) / 4;
  const std::unique_ptr<ledcolor::Rgbw[]> rgbw_row(new ledcolor::Rgbw[rgbw_leds]);
  for (std::size_t i = 0; i < rgbw_leds; ++i) {
    rgbw_row[i] = {data[3 + 4 * i], data[4 + 4 * i], data[5 + 4 * i], data[6 + 4 * i]};
  }
  const std::span<const ledcolor::Rgbw> rgbw(rgbw_row.get(), rgbw_leds);
  const unsigned position = brightness >> 5;
  const auto white = static_cast<ledcolor::WhitePosition>(position);
  const bool valid = known_order && position < 4 && rgbw_leds > 0;
  const std::string rgbw_name = ledcolor_testing::RgbwOrder(name, position % 4);
  CheckEncoder(
      [&](std::span<std::uint8_t> out) {
        return ledcolor::EncodeWs2812Spi(rgbw, order, white, out);
      },
      ledcolor_testing::Ws2812SpiBytes(rgbw, rgbw_name), valid, offset);
  CheckEncoder(
      [&](std::span<std::uint8_t> out) {
        return ledcolor::EncodeWs2812Bytes(rgbw, order, white, out);
      },
      ledcolor_testing::ChipBytes(rgbw, rgbw_name), valid, offset);

  // 16 bits a channel: the same bytes in pairs, high byte first. The chips' bytes are the
  // reference's for the row of high bytes and the row of low bytes, interleaved; the SPI form is
  // the reference's spreading of those bytes.
  const std::size_t leds16 = (size - 3) / 6;
  const std::unique_ptr<ledcolor::Rgb16[]> row16(new ledcolor::Rgb16[leds16]);
  std::vector<ledcolor::Rgb> high(leds16);
  std::vector<ledcolor::Rgb> low(leds16);
  for (std::size_t i = 0; i < leds16; ++i) {
    const std::uint8_t* at = data + 3 + 6 * i;
    high[i] = {at[0], at[2], at[4]};
    low[i] = {at[1], at[3], at[5]};
    row16[i] = {static_cast<std::uint16_t>(at[0] << 8 | at[1]),
                static_cast<std::uint16_t>(at[2] << 8 | at[3]),
                static_cast<std::uint16_t>(at[4] << 8 | at[5])};
  }
  const std::span<const ledcolor::Rgb16> input16(row16.get(), leds16);
  const std::vector<std::uint8_t> high_bytes =
      ledcolor_testing::ChipBytes<ledcolor::Rgb>(high, name);
  const std::vector<std::uint8_t> low_bytes = ledcolor_testing::ChipBytes<ledcolor::Rgb>(low, name);
  std::vector<std::uint8_t> chip16;
  for (std::size_t k = 0; k < high_bytes.size(); ++k) {
    chip16.push_back(high_bytes[k]);
    chip16.push_back(low_bytes[k]);
  }
  CheckEncoder(
      [&](std::span<std::uint8_t> out) { return ledcolor::EncodeWs2812Bytes(input16, order, out); },
      chip16, known_order && leds16 > 0, offset);
  const std::span<const ledcolor::Rgb> as_rgb(reinterpret_cast<const ledcolor::Rgb*>(chip16.data()),
                                              chip16.size() / 3);
  CheckEncoder(
      [&](std::span<std::uint8_t> out) { return ledcolor::EncodeWs2812Spi(input16, order, out); },
      ledcolor_testing::Ws2812SpiBytes(as_rgb, "RGB"), known_order && leds16 > 0, offset);
  return 0;
}
