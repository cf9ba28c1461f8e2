#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ledcolor/ledcolor.h"
#include "reference_strip.h"

namespace {

using ledcolor::ColorOrder;
using ledcolor::Rgb;
using ledcolor::Rgbw;

// Random rows of 1 to 300 LEDs in every order and, for APA102, at every brightness, into buffers
// with guard bytes behind the size: each frame is the bit-by-bit reference's, and nothing past it
// is written.
TEST(StripEncoders, MatchTheBitByBitReferenceInEveryOrder) {
  std::mt19937 rng(19);
  constexpr std::uint8_t kGuard = 0xA5;
  for (unsigned trial = 0; trial < 64; ++trial) {
    std::vector<Rgb> row(1 + (trial < 34 ? trial : rng() % 300));
    for (Rgb& led : row) {
      led = {static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
             static_cast<std::uint8_t>(rng())};
    }
    for (std::uint8_t order = 0; order < 6; ++order) {
      const auto name = ledcolor_testing::kOrderNames[order];
      SCOPED_TRACE(testing::Message() << row.size() << " LEDs in " << name);
      std::vector<std::uint8_t> expected =
          ledcolor_testing::Ws2812SpiBytes(std::span<const Rgb>(row), name);
      std::vector<std::uint8_t> out(expected.size() + 8, kGuard);
      ASSERT_EQ(ledcolor::EncodeWs2812Spi(row, static_cast<ColorOrder>(order), out),
                expected.size());
      expected.resize(out.size(), kGuard);
      EXPECT_EQ(out, expected);

      const unsigned brightness = (trial + 7U * order) % 32;
      expected = ledcolor_testing::Apa102Bytes(row, name, brightness);
      out.assign(expected.size() + 8, kGuard);
      ASSERT_EQ(ledcolor::EncodeApa102Frame(row, static_cast<ColorOrder>(order),
                                            static_cast<std::uint8_t>(brightness), out),
                expected.size());
      expected.resize(out.size(), kGuard);
      EXPECT_EQ(out, expected);
    }
  }
}

// The same for the chips' bytes before spreading, RGB and RGBW, and RGBW over SPI, in every order
// and white position: into buffers with guard bytes behind, and in place over the row itself.
TEST(StripEncoders, RgbwAndChipBytesMatchTheReferenceInEveryOrder) {
  std::mt19937 rng(24);
  constexpr std::uint8_t kGuard = 0xA5;
  const auto expect_written = [&](std::size_t written, std::vector<std::uint8_t> expected,
                                  const std::vector<std::uint8_t>& out) {
    ASSERT_EQ(written, expected.size());
    expected.resize(out.size(), kGuard);
    EXPECT_EQ(out, expected);
  };
  for (unsigned trial = 0; trial < 48; ++trial) {
    const std::size_t leds = 1 + (trial < 34 ? trial : rng() % 300);
    std::vector<Rgbw> rgbw(leds);
    std::vector<Rgb> rgb(leds);
    for (std::size_t i = 0; i < leds; ++i) {
      const auto v = [&] { return static_cast<std::uint8_t>(rng()); };
      rgbw[i] = {v(), v(), v(), v()};
      rgb[i] = {rgbw[i].r, rgbw[i].g, rgbw[i].b};
    }
    for (std::uint8_t order = 0; order < 6; ++order) {
      const auto colours = ledcolor_testing::kOrderNames[order];
      const auto chip_order = static_cast<ColorOrder>(order);
      SCOPED_TRACE(testing::Message() << leds << " LEDs in " << colours);
      std::vector<std::uint8_t> out(3 * leds + 8, kGuard);
      std::vector<std::uint8_t> expected = ledcolor_testing::ChipBytes<Rgb>(rgb, colours);
      expect_written(ledcolor::EncodeWs2812Bytes(rgb, chip_order, out), expected, out);
      std::vector<Rgb> in_place = rgb;
      ASSERT_EQ(ledcolor::EncodeWs2812Bytes(
                    in_place, chip_order,
                    std::span(reinterpret_cast<std::uint8_t*>(in_place.data()), 3 * leds)),
                3 * leds);
      EXPECT_EQ(std::memcmp(in_place.data(), expected.data(), 3 * leds), 0);

      for (unsigned white = 0; white < 4; ++white) {
        const std::string name = ledcolor_testing::RgbwOrder(colours, white);
        const auto position = static_cast<ledcolor::WhitePosition>(white);
        SCOPED_TRACE(name);
        expected = ledcolor_testing::ChipBytes<Rgbw>(rgbw, name);
        out.assign(4 * leds + 8, kGuard);
        expect_written(ledcolor::EncodeWs2812Bytes(rgbw, chip_order, position, out), expected, out);
        std::vector<Rgbw> rgbw_in_place = rgbw;
        ASSERT_EQ(ledcolor::EncodeWs2812Bytes(
                      rgbw_in_place, chip_order, position,
                      std::span(reinterpret_cast<std::uint8_t*>(rgbw_in_place.data()), 4 * leds)),
                  4 * leds);
        EXPECT_EQ(std::memcmp(rgbw_in_place.data(), expected.data(), 4 * leds), 0);

        expected = ledcolor_testing::Ws2812SpiBytes<Rgbw>(rgbw, name);
        out.assign(12 * leds + 8, kGuard);
        expect_written(ledcolor::EncodeWs2812Spi(rgbw, chip_order, position, out), expected, out);
      }
    }
  }
}

TEST(StripEncoders, KnownFrames) {
  const std::vector<Rgb> led{{0x80, 0x01, 0xFF}};
  std::vector<std::uint8_t> out(9);  // exactly the size is enough, for either
  ASSERT_EQ(ledcolor::EncodeWs2812Spi(led, ColorOrder::kGrb, out), 9U);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{0x92, 0x49, 0x26, 0xD2, 0x49, 0x24, 0xDB, 0x6D, 0xB6}));
  out.resize(13);
  ASSERT_EQ(ledcolor::EncodeApa102Frame(led, ColorOrder::kBgr, 31, out), 13U);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x01, 0x80, 0x00,
                                            0x00, 0x00, 0x00, 0x00}));
  const std::vector<Rgbw> rgbw{{0x11, 0x22, 0x33, 0x44}};
  out.resize(4);
  ASSERT_EQ(
      ledcolor::EncodeWs2812Bytes(rgbw, ColorOrder::kGrb, ledcolor::WhitePosition::kLast, out), 4U);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{0x22, 0x11, 0x33, 0x44}));
  ASSERT_EQ(
      ledcolor::EncodeWs2812Bytes(rgbw, ColorOrder::kRgb, ledcolor::WhitePosition::kFirst, out),
      4U);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{0x44, 0x11, 0x22, 0x33}));
}

// An empty row, a brightness above 31, an order that is no ColorOrder, an `out` one byte short, or
// an `out` that overlaps the row: 0, and nothing written.
TEST(StripEncoders, RejectWithoutWriting) {
  std::vector<std::uint8_t> buffer(64 * 9, 0x5A);
  const std::vector<std::uint8_t> untouched = buffer;
  const std::vector<Rgb> row(16, Rgb{1, 2, 3});
  const auto bad_order = static_cast<ColorOrder>(6);
  const std::span<std::uint8_t> out(buffer);
  const auto ws = [&](std::span<const Rgb> leds, ColorOrder order, std::span<std::uint8_t> o) {
    return ledcolor::EncodeWs2812Spi(leds, order, o);
  };
  const auto apa = [&](std::span<const Rgb> leds, ColorOrder order, unsigned brightness,
                       std::span<std::uint8_t> o) {
    return ledcolor::EncodeApa102Frame(leds, order, static_cast<std::uint8_t>(brightness), o);
  };
  // The row inside the output buffer, at its end and at its start.
  const std::span<const Rgb> inside(reinterpret_cast<const Rgb*>(buffer.data() + 300), 16);
  const std::span<const Rgb> at_start(reinterpret_cast<const Rgb*>(buffer.data()), 16);
  EXPECT_EQ(ws({}, ColorOrder::kGrb, out), 0U);
  EXPECT_EQ(ws(row, bad_order, out), 0U);
  EXPECT_EQ(ws(row, ColorOrder::kGrb, out.first(9 * 16 - 1)), 0U);
  EXPECT_EQ(ws(inside, ColorOrder::kGrb, out), 0U);
  EXPECT_EQ(ws(at_start, ColorOrder::kGrb, out.subspan(47)), 0U);
  EXPECT_EQ(apa({}, ColorOrder::kBgr, 31, out), 0U);
  EXPECT_EQ(apa(row, ColorOrder::kBgr, 32, out), 0U);
  EXPECT_EQ(apa(row, bad_order, 31, out), 0U);
  EXPECT_EQ(apa(row, ColorOrder::kBgr, 31, out.first(8 + 4 * 16)), 0U);
  EXPECT_EQ(apa(inside, ColorOrder::kBgr, 31, out), 0U);
  EXPECT_EQ(apa(at_start, ColorOrder::kBgr, 31, out.subspan(47)), 0U);
  // The chips' bytes: an empty row, no order or position, one byte short, or an overlap that is
  // not the row's own bytes exactly.
  const std::vector<Rgbw> rgbw(16, Rgbw{1, 2, 3, 4});
  const auto white = ledcolor::WhitePosition::kLast;
  const auto bad_white = static_cast<ledcolor::WhitePosition>(4);
  EXPECT_EQ(ledcolor::EncodeWs2812Bytes(std::span<const Rgb>{}, ColorOrder::kGrb, out), 0U);
  EXPECT_EQ(ledcolor::EncodeWs2812Bytes(row, bad_order, out), 0U);
  EXPECT_EQ(ledcolor::EncodeWs2812Bytes(row, ColorOrder::kGrb, out.first(47)), 0U);
  EXPECT_EQ(ledcolor::EncodeWs2812Bytes(at_start, ColorOrder::kGrb, out.subspan(3)), 0U);
  EXPECT_EQ(ledcolor::EncodeWs2812Bytes(inside, ColorOrder::kGrb, out.subspan(299)), 0U);
  EXPECT_EQ(ledcolor::EncodeWs2812Bytes(std::span<const Rgbw>{}, ColorOrder::kGrb, white, out), 0U);
  EXPECT_EQ(ledcolor::EncodeWs2812Bytes(rgbw, ColorOrder::kGrb, bad_white, out), 0U);
  EXPECT_EQ(ledcolor::EncodeWs2812Bytes(rgbw, bad_order, white, out), 0U);
  EXPECT_EQ(ledcolor::EncodeWs2812Bytes(rgbw, ColorOrder::kGrb, white, out.first(63)), 0U);
  const std::span<const Rgbw> rgbw_at_start(reinterpret_cast<const Rgbw*>(buffer.data()), 16);
  EXPECT_EQ(ledcolor::EncodeWs2812Bytes(rgbw_at_start, ColorOrder::kGrb, white, out.subspan(4)),
            0U);
  EXPECT_EQ(ledcolor::EncodeWs2812Spi(rgbw, ColorOrder::kGrb, bad_white, out), 0U);
  EXPECT_EQ(ledcolor::EncodeWs2812Spi(rgbw, ColorOrder::kGrb, white, out.first(12 * 16 - 1)), 0U);
  EXPECT_EQ(ledcolor::EncodeWs2812Spi(rgbw_at_start, ColorOrder::kGrb, white, out.subspan(63)), 0U);
  EXPECT_EQ(buffer, untouched);
  // Right beside the row is not overlapping.
  EXPECT_EQ(ws(at_start, ColorOrder::kGrb, out.subspan(48)), 9U * 16);
  EXPECT_EQ(apa(row, ColorOrder::kBgr, 31, out.first(8 + 4 * 16 + 1)), 8U + 4 * 16 + 1);
}

TEST(StripEncoders, SizesRefuseCountsThatDoNotFit) {
  static_assert(ledcolor::Ws2812SpiSize(0) == 0 && ledcolor::Ws2812SpiSize(1) == 9);
  static_assert(ledcolor::Ws2812SpiSize(SIZE_MAX / 9) == SIZE_MAX / 9 * 9);
  static_assert(ledcolor::Ws2812SpiSize(SIZE_MAX / 9 + 1) == 0);
  static_assert(ledcolor::Ws2812SpiSize(1, 4) == 12 && ledcolor::Ws2812SpiSize(1, 5) == 0);
  static_assert(ledcolor::Ws2812SpiSize(2, 3) == 18 && ledcolor::Ws2812SpiSize(1, 2) == 0);
  static_assert(ledcolor::Ws2812SpiSize(SIZE_MAX / 12, 4) == SIZE_MAX / 12 * 12);
  static_assert(ledcolor::Ws2812SpiSize(SIZE_MAX / 12 + 1, 4) == 0);
  static_assert(ledcolor::Apa102FrameSize(0) == 0 && ledcolor::Apa102FrameSize(1) == 13);
  static_assert(ledcolor::Apa102FrameSize(16) == 8 + 64 + 1);
  static_assert(ledcolor::Apa102FrameSize(17) == 8 + 68 + 2);
  // The largest count whose frame fits in std::size_t, found by bisection on 8 + 4N + ceil(N/16).
  constexpr std::size_t kLargest =
      static_cast<std::size_t>(sizeof(std::size_t) == 8 ? 4540737002759274241U : 1057222716U);
  static_assert(ledcolor::Apa102FrameSize(kLargest) != 0);
  static_assert(ledcolor::Apa102FrameSize(kLargest + 1) == 0);
  static_assert(ledcolor::Apa102FrameSize((SIZE_MAX - 8) / 4 + 1) == 0);
}

}  // namespace

// --- Clocked chips of other families ------------------------------------------------------------

TEST(ClockedChips, KnownFrames) {
  const struct {
    const char* chip;
    std::vector<Rgb> row;
    std::vector<std::uint8_t> frame;
  } cases[] = {
      {"ws2801 RGB", {{255, 128, 1}, {0, 2, 254}}, {0xFF, 0x80, 0x01, 0x00, 0x02, 0xFE}},
      {"lpd8806 GRB", {{255, 128, 1}}, {0xC0, 0xFF, 0x80, 0x00}},
      {"p9813",
       {{255, 128, 1}},
       {0x00, 0x00, 0x00, 0x00, 0xF4, 0x01, 0x80, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00}},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> out(c.frame.size() + 4, 0x5A);
    const std::string chip = c.chip;
    const std::size_t size = chip == "p9813" ? ledcolor::EncodeP9813Frame(c.row, out)
                             : chip == "lpd8806 GRB"
                                 ? ledcolor::EncodeLpd8806Frame(c.row, ColorOrder::kGrb, out)
                                 : ledcolor::EncodeWs2801Frame(c.row, ColorOrder::kRgb, out);
    ASSERT_EQ(size, c.frame.size()) << chip;
    out.resize(size + 4);
    std::vector<std::uint8_t> expected = c.frame;
    expected.resize(size + 4, 0x5A);  // nothing past the frame
    EXPECT_EQ(out, expected) << chip;
  }
}

// Random rows in every order, decoded back by each chip's format: WS2801 gives the row, LPD8806
// its top seven bits under a set top bit, then the latch zeros; P9813 the row, each LED under a
// flag byte whose check the chip would pass.
TEST(ClockedChips, DecodeBackInEveryOrder) {
  std::mt19937 rng(41);
  const auto channel = [](const Rgb& led, char name) {
    return name == 'R' ? led.r : name == 'G' ? led.g : led.b;
  };
  for (const std::size_t n : {1U, 2U, 31U, 32U, 33U, 64U, 65U, 300U}) {
    SCOPED_TRACE(testing::Message() << n << " LEDs");
    std::vector<Rgb> row(n);
    for (Rgb& led : row) {
      led = {static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
             static_cast<std::uint8_t>(rng())};
    }
    std::vector<std::uint8_t> ws(ledcolor::Ws2801FrameSize(n));
    std::vector<std::uint8_t> lpd(ledcolor::Lpd8806FrameSize(n), 0x5A);
    for (std::uint8_t order = 0; order < 6; ++order) {
      const std::string_view name = ledcolor_testing::kOrderNames[order];
      ASSERT_EQ(ledcolor::EncodeWs2801Frame(row, static_cast<ColorOrder>(order), ws), 3 * n);
      ASSERT_EQ(ledcolor::EncodeLpd8806Frame(row, static_cast<ColorOrder>(order), lpd), lpd.size());
      for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < 3; ++k) {
          const std::uint8_t v = channel(row[i], name[k]);
          ASSERT_EQ(ws[3 * i + k], v);
          ASSERT_EQ(lpd[3 * i + k] & 0x80, 0x80);
          ASSERT_EQ(lpd[3 * i + k] & 0x7F, v >> 1);
        }
      }
      EXPECT_EQ(lpd.size() - 3 * n, (n + 31) / 32);
      EXPECT_TRUE(std::all_of(lpd.begin() + static_cast<std::ptrdiff_t>(3 * n), lpd.end(),
                              [](std::uint8_t b) { return b == 0; }));
    }
    std::vector<std::uint8_t> p9813(ledcolor::P9813FrameSize(n));
    ASSERT_EQ(ledcolor::EncodeP9813Frame(row, p9813), 12 + 4 * n);
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t* led = &p9813[4 + 4 * i];
      const Rgb decoded{led[3], led[2], led[1]};
      ASSERT_EQ(decoded, row[i]);
      // The flag: 11, then ~B, ~G and ~R's top two bits.
      for (std::size_t k = 0; k < 3; ++k) {
        ASSERT_EQ(((led[0] >> (2 * k)) & 3) ^ 3, led[3 - k] >> 6);
      }
      ASSERT_EQ(led[0] >> 6, 3);
    }
    EXPECT_TRUE(
        std::all_of(p9813.begin(), p9813.begin() + 4, [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(p9813.end() - 8, p9813.end(), [](std::uint8_t b) { return b == 0; }));
  }
}

TEST(ClockedChips, RejectWithoutWriting) {
  std::vector<std::uint8_t> buffer(256, 0x5A);
  const std::vector<std::uint8_t> untouched = buffer;
  const std::vector<Rgb> row(16, Rgb{1, 2, 3});
  const std::span<std::uint8_t> out(buffer);
  const auto bad_order = static_cast<ColorOrder>(6);
  const std::span<const Rgb> inside(reinterpret_cast<const Rgb*>(buffer.data() + 100), 16);
  for (const auto& encode : {+[](std::span<const Rgb> r, ColorOrder o, std::span<std::uint8_t> b) {
                               return ledcolor::EncodeWs2801Frame(r, o, b);
                             },
                             +[](std::span<const Rgb> r, ColorOrder o, std::span<std::uint8_t> b) {
                               return ledcolor::EncodeLpd8806Frame(r, o, b);
                             },
                             +[](std::span<const Rgb> r, ColorOrder, std::span<std::uint8_t> b) {
                               return ledcolor::EncodeP9813Frame(r, b);
                             }}) {
    std::vector<std::uint8_t> room(256);
    const std::size_t size = encode(row, ColorOrder::kRgb, room);
    EXPECT_EQ(encode({}, ColorOrder::kRgb, out), 0U);
    EXPECT_EQ(encode(row, ColorOrder::kRgb, out.first(size - 1)), 0U);
    EXPECT_EQ(encode(inside, ColorOrder::kRgb, out), 0U);
    EXPECT_EQ(buffer, untouched);
  }
  EXPECT_EQ(ledcolor::EncodeWs2801Frame(row, bad_order, out), 0U);
  EXPECT_EQ(ledcolor::EncodeLpd8806Frame(row, bad_order, out), 0U);
  EXPECT_EQ(buffer, untouched);
  static_assert(ledcolor::Ws2801FrameSize(0) == 0 &&
                ledcolor::Ws2801FrameSize(SIZE_MAX / 3 + 1) == 0);
  static_assert(ledcolor::Lpd8806FrameSize(32) == 97 && ledcolor::Lpd8806FrameSize(33) == 101);
  static_assert(ledcolor::P9813FrameSize(0) == 0 && ledcolor::P9813FrameSize(2) == 20);
}
