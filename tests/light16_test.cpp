// Sixteen bits of light: the gamma table, the ceilings, power, the temporal dither and the 16-bit
// chips' bytes, against their definitions and known answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "ledcolor/ledcolor.h"

namespace {

using ledcolor::Rgb;
using ledcolor::Rgb16;
using ledcolor::Rgbw16;

std::vector<Rgb16> RandomRow(std::size_t n, std::uint32_t seed, std::uint16_t most = 65535) {
  std::mt19937 rng(seed);
  std::vector<Rgb16> row(n);
  for (auto& led : row) {
    led = {static_cast<std::uint16_t>(rng() % (most + 1U)),
           static_cast<std::uint16_t>(rng() % (most + 1U)),
           static_cast<std::uint16_t>(rng() % (most + 1U))};
  }
  return row;
}

TEST(Light16, GammaTableIsPowRoundedHalvesUp) {
  constexpr ledcolor::WordTable kGamma = *ledcolor::MakeGammaTable16(2.2);
  const struct {
    int v;
    std::uint16_t level;
  } known[] = {{0, 0},     {1, 0},       {2, 2},       {14, 111},   {15, 129},
               {64, 3131}, {128, 14386}, {254, 64971}, {255, 65535}};
  for (const auto& [v, level] : known) {
    EXPECT_EQ(kGamma[static_cast<std::size_t>(v)], level) << v;
  }
  for (const double gamma : {0.1, 0.45, 1.0, 1.8, 2.2, 2.8, 10.0}) {
    const ledcolor::WordTable table = *ledcolor::MakeGammaTable16(gamma);
    for (int v = 0; v < 256; ++v) {
      const double exact = 65535 * std::pow(v / 255.0, gamma);
      const double rounded = std::floor(exact + 0.5);
      const double got = table[static_cast<std::size_t>(v)];
      const bool near_half = std::abs(exact - std::floor(exact) - 0.5) < 0x1p-20;
      EXPECT_TRUE(got == rounded || (near_half && std::abs(got - exact) < 1)) << gamma << " " << v;
    }
  }
  for (const double bad : {0.09, 10.01, -1.0, std::nan("")}) {
    EXPECT_FALSE(ledcolor::MakeGammaTable16(bad).has_value());
  }
  const std::array<Rgb, 3> in{{{0, 14, 255}, {128, 1, 2}, {64, 64, 64}}};
  std::array<Rgb16, 3> out{};
  ASSERT_EQ(ledcolor::ApplyTable(in, kGamma, out), 3U);
  EXPECT_EQ(out[0], (Rgb16{0, 111, 65535}));
  EXPECT_EQ(out[1], (Rgb16{14386, 0, 2}));
  EXPECT_EQ(ledcolor::ApplyTable(in, kGamma, std::span(out).first(2)), 0U);
  std::array<std::uint8_t, 32> shared{};  // an out over the row's own bytes
  EXPECT_EQ(ledcolor::ApplyTable(std::span(reinterpret_cast<const Rgb*>(shared.data()), 2), kGamma,
                                 std::span(reinterpret_cast<Rgb16*>(shared.data() + 4), 2)),
            0U);
}

// Every level at a spread of ceilings, on rows long enough for the vector path and with tails.
TEST(Light16, CeilingsAreExactForEveryLevel) {
  std::vector<Rgb16> row(21846);  // 65538 levels: every value, and a tail
  for (std::size_t i = 0; i < 3 * row.size(); ++i) {
    reinterpret_cast<std::uint16_t*>(row.data())[i] = static_cast<std::uint16_t>(i);
  }
  const auto level = [&](const std::vector<Rgb16>& r, std::size_t i) {
    return reinterpret_cast<const std::uint16_t*>(r.data())[i];
  };
  for (const std::uint32_t c :
       {0U, 1U, 2U, 255U, 256U, 257U, 32767U, 32768U, 50000U, 65534U, 65535U}) {
    std::vector<Rgb16> dimmed = row;
    ledcolor::ApplyCeiling(dimmed, static_cast<std::uint16_t>(c));
    std::vector<Rgb16> balanced = row;
    ledcolor::ApplyCeiling(balanced, Rgb16{static_cast<std::uint16_t>(c), 65535, 1});
    for (std::size_t i = 0; i < 3 * row.size(); ++i) {
      const std::uint32_t v = level(row, i);
      ASSERT_EQ(level(dimmed, i), v * c / 65535) << v << " at " << c;
      const std::uint32_t channel_c = i % 3 == 0 ? c : i % 3 == 1 ? 65535 : 1;
      ASSERT_EQ(level(balanced, i), v * channel_c / 65535) << v << " at " << c;
    }
  }
  std::vector<Rgbw16> rgbw(19, Rgbw16{65535, 40000, 1000, 20000});
  ledcolor::ApplyCeiling(rgbw, Rgbw16{65535, 32768, 0, 65534});
  EXPECT_TRUE(std::all_of(rgbw.begin(), rgbw.end(), [](const Rgbw16& led) {
    return led == Rgbw16{65535, 20000, 0, 19999};
  }));
}

// The current's known answers, and the ceiling for a budget: the brightest that fits, exactly.
TEST(Light16, PowerIsExactAndTheCeilingTheBrightestThatFits) {
  const ledcolor::PowerModel model = ledcolor::kWs2812bPowerModel;
  const std::array<Rgb16, 2> two{{{65535, 0, 0}, {1, 1, 1}}};
  // 2 mA idle, 16 mA, and (16000 + 11000 + 15000) / 65535 rounded up once with it.
  EXPECT_EQ(ledcolor::EstimateCurrent(two, model), 2000U + 16000U + 1U);
  EXPECT_EQ(ledcolor::EstimateCurrent(std::span<const Rgb16>(), model), 0U);
  EXPECT_EQ(ledcolor::EstimateCurrent(two, {2'000'000, 0, 0, 0}), UINT64_MAX);
  const std::array<Rgbw16, 1> white{{{0, 0, 0, 65535}}};
  EXPECT_EQ(ledcolor::EstimateCurrent(white, {1, 1, 1, 500, 20'000}), 20'500U);

  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    const std::vector<Rgb16> row = RandomRow(1 + seed * 7, seed, seed % 4 == 0 ? 300 : 65535);
    const std::uint64_t full = ledcolor::EstimateCurrent(row, model);
    std::mt19937_64 rng(seed);
    const std::uint64_t budget = row.size() * 1000 + rng() % (full - row.size() * 1000 + 1);
    const std::uint16_t c = ledcolor::CeilingForBudget(row, model, budget);
    const auto dimmed_current = [&](std::uint32_t ceiling) {
      std::vector<Rgb16> dimmed = row;
      ledcolor::ApplyCeiling(dimmed, static_cast<std::uint16_t>(ceiling));
      return ledcolor::EstimateCurrent(dimmed, model);
    };
    ASSERT_LE(dimmed_current(c), budget) << seed;
    if (c < 65535) {
      ASSERT_GT(dimmed_current(c + 1U), budget) << seed;
    }
  }
  EXPECT_EQ(ledcolor::CeilingForBudget(two, model, 18'001), 65535);
  EXPECT_EQ(ledcolor::CeilingForBudget(two, model, 1999), 0);  // the idle current alone is over
  EXPECT_EQ(ledcolor::CeilingForBudget(std::span<const Rgb16>(), model, 0), 65535);
  EXPECT_EQ(ledcolor::CeilingForBudget(white, {1, 1, 1, 500, 2'000'000}, 1'000'000), 0);
}

// The dither's four promises, for every level and every bits, on a row of 16 LEDs: red holds a
// different level in each LED, green the same level in all of them.
TEST(Light16, TemporalDitherKeepsItsFourPromises) {
  for (unsigned bits = 0; bits <= 8; ++bits) {
    const unsigned frames = 1U << bits;
    for (std::uint32_t base = 0; base < 65536; base += 16) {
      std::array<Rgb16, 16> row{};
      for (std::uint32_t i = 0; i < 16; ++i) {
        row[i] = {static_cast<std::uint16_t>(base + i), static_cast<std::uint16_t>(base + i), 0};
        row[i].g = static_cast<std::uint16_t>(base + (base / 16) % 16);
      }
      ledcolor::TemporalDither dither(static_cast<std::uint8_t>(bits));
      std::array<unsigned, 16> red_high{};
      unsigned broken = 0;  // promises broken, counted, so that the loop stays cheap
      for (unsigned f = 0; f < frames; ++f) {
        std::array<Rgb, 16> out{};
        ASSERT_EQ(dither.Next(row, out), 16U);
        unsigned green_high = 0;
        for (std::size_t i = 0; i < 16; ++i) {
          const unsigned k = row[i].r / 257;
          broken += out[i].r != k && out[i].r != k + 1;  // (1)
          red_high[i] += out[i].r - k;
          green_high += out[i].g - row[i].g / 257U;
          broken += bits == 0 && out[i].r != (row[i].r + 128U) / 257;  // (4) plain rounding
        }
        const unsigned m = (2 * (row[0].g % 257U) * frames + 257) / 514;
        broken += frames <= 16 && green_high != m * (16 / frames);  // (3), 16 / F periods of F
      }
      for (std::size_t i = 0; i < 16; ++i) {  // (2) exactly m of F frames; (4) 257 k unchanged
        const unsigned rem = row[i].r % 257;
        broken += red_high[i] != (2 * rem * frames + 257) / 514 || (rem == 0 && red_high[i] != 0);
      }
      ASSERT_EQ(broken, 0U) << "levels from " << base << ", bits " << bits;
    }
  }
  // (3) for the long periods: any 256 consecutive LEDs of one level, frame by frame.
  std::vector<Rgb16> row(300, Rgb16{0, 0, 0});
  for (const std::uint16_t v : std::array<std::uint16_t, 6>{1, 128, 256, 1000, 40000, 65534}) {
    std::fill(row.begin(), row.end(), Rgb16{v, v, v});
    ledcolor::TemporalDither dither(8);
    const unsigned m = (2 * (v % 257U) * 256 + 257) / 514;
    for (int f = 0; f < 3; ++f) {
      std::vector<Rgb> out(row.size());
      ASSERT_EQ(dither.Next(row, out), row.size());
      for (std::size_t start = 0; start + 256 <= row.size(); start += 11) {
        unsigned high = 0;
        for (std::size_t i = start; i < start + 256; ++i) {
          high += out[i].b - v / 257U;
        }
        ASSERT_EQ(high, m) << v;
      }
    }
  }
  // Rejected rows neither write nor advance the frame.
  ledcolor::TemporalDither dither(1);
  const std::array<Rgb16, 2> in{{{100, 100, 100}, {100, 100, 100}}};  // 100 / 257: 0 or 1
  std::array<Rgb, 2> out{};
  ledcolor::TemporalDither too_many(9);
  EXPECT_EQ(too_many.Next(in, out), 0U);
  EXPECT_EQ(dither.Next(in, std::span(out).first(1)), 0U);
  EXPECT_EQ(dither.Next(std::span<const Rgb16>(), out), 0U);
  ASSERT_EQ(dither.Next(in, out), 2U);
  const std::uint8_t first = out[0].r;
  ASSERT_EQ(dither.Next(in, out), 2U);
  EXPECT_NE(out[0].r, first);     // the second frame of two
  EXPECT_NE(out[0].r, out[1].r);  // and neighbours take turns
  dither.Reset();
  ASSERT_EQ(dither.Next(in, out), 2U);
  EXPECT_EQ(out[0].r, first);
}

TEST(Strip16, ChipBytesAreEachLevelHighByteFirstInTheChipsOrder) {
  std::vector<Rgb16> row(19);
  for (std::size_t i = 0; i < row.size(); ++i) {
    const auto v = static_cast<std::uint16_t>(0x1000 * (i % 16) + 0x0102);
    row[i] = {v, static_cast<std::uint16_t>(v + 0x0304), static_cast<std::uint16_t>(v + 0x0506)};
  }
  std::vector<std::uint8_t> out(6 * row.size() + 1, 0xEE);
  ASSERT_EQ(ledcolor::EncodeWs2812Bytes(row, ledcolor::ColorOrder::kGrb, out), 114U);
  for (std::size_t i = 0; i < row.size(); ++i) {
    const std::array<std::uint16_t, 3> grb{row[i].g, row[i].r, row[i].b};
    for (std::size_t k = 0; k < 3; ++k) {
      ASSERT_EQ(out[6 * i + 2 * k], grb[k] >> 8) << i;
      ASSERT_EQ(out[6 * i + 2 * k + 1], grb[k] & 0xFF) << i;
    }
  }
  EXPECT_EQ(out.back(), 0xEE);
  // In place, and RGBW with its white.
  std::vector<Rgb16> same = row;
  std::span<std::uint8_t> own(reinterpret_cast<std::uint8_t*>(same.data()), 6 * same.size());
  ASSERT_EQ(ledcolor::EncodeWs2812Bytes(same, ledcolor::ColorOrder::kGrb, own), 114U);
  EXPECT_TRUE(std::equal(own.begin(), own.end(), out.begin()));
  std::vector<Rgbw16> rgbw(9, Rgbw16{0x1122, 0x3344, 0x5566, 0x7788});
  std::vector<std::uint8_t> bytes(8 * rgbw.size());
  ASSERT_EQ(ledcolor::EncodeWs2812Bytes(rgbw, ledcolor::ColorOrder::kGrb,
                                        ledcolor::WhitePosition::kFirst, bytes),
            72U);
  const std::array<std::uint8_t, 8> led{0x77, 0x88, 0x33, 0x44, 0x11, 0x22, 0x55, 0x66};
  EXPECT_TRUE(std::equal(led.begin(), led.end(), bytes.begin() + 64));
  // Rejected: a shifted overlap, a short out, an unknown order, an empty row.
  EXPECT_EQ(
      ledcolor::EncodeWs2812Bytes(std::span(same).subspan(1), ledcolor::ColorOrder::kGrb, own), 0U);
  EXPECT_EQ(ledcolor::EncodeWs2812Bytes(row, ledcolor::ColorOrder::kGrb, std::span(out).first(113)),
            0U);
  EXPECT_EQ(ledcolor::EncodeWs2812Bytes(row, static_cast<ledcolor::ColorOrder>(6), out), 0U);
  EXPECT_EQ(ledcolor::EncodeWs2812Bytes(std::span<const Rgb16>(), ledcolor::ColorOrder::kGrb, out),
            0U);

  // The SPI form is the 8-bit spreading of those bytes, for odd and even counts and RGBW.
  for (const std::size_t n : {std::size_t{1}, std::size_t{2}, std::size_t{19}, std::size_t{300}}) {
    const std::vector<Rgb16> r = RandomRow(n, static_cast<std::uint32_t>(n));
    std::vector<std::uint8_t> chip(6 * n);
    ASSERT_EQ(ledcolor::EncodeWs2812Bytes(r, ledcolor::ColorOrder::kBrg, chip), 6 * n);
    const std::span<const Rgb> as_rgb(reinterpret_cast<const Rgb*>(chip.data()), 2 * n);
    std::vector<std::uint8_t> want(ledcolor::Ws2812SpiSize(2 * n));
    ASSERT_EQ(ledcolor::EncodeWs2812Spi(as_rgb, ledcolor::ColorOrder::kRgb, want), 18 * n);
    std::vector<std::uint8_t> got(ledcolor::Ws2812SpiSize16(n));
    ASSERT_EQ(ledcolor::EncodeWs2812Spi(r, ledcolor::ColorOrder::kBrg, got), 18 * n);
    EXPECT_EQ(got, want) << n;
  }
  std::vector<std::uint8_t> spi(ledcolor::Ws2812SpiSize16(rgbw.size(), 4));
  ASSERT_EQ(ledcolor::EncodeWs2812Spi(rgbw, ledcolor::ColorOrder::kGrb,
                                      ledcolor::WhitePosition::kFirst, spi),
            24 * rgbw.size());
  std::vector<std::uint8_t> want(ledcolor::Ws2812SpiSize(bytes.size() / 3));
  ASSERT_EQ(ledcolor::EncodeWs2812Spi(
                std::span(reinterpret_cast<const Rgb*>(bytes.data()), bytes.size() / 3),
                ledcolor::ColorOrder::kRgb, want),
            want.size());
  EXPECT_EQ(spi, want);
  EXPECT_EQ(ledcolor::Ws2812SpiSize16(0), 0U);
  EXPECT_EQ(ledcolor::Ws2812SpiSize16(10, 5), 0U);
  EXPECT_EQ(ledcolor::Ws2812SpiSize16(SIZE_MAX / 10), 0U);
}

TEST(Strip16, Apa102SolvesItsFieldExactly) {
  const struct {
    Rgb16 led;
    std::array<std::uint8_t, 4> frame;  // in BGR order
  } known[] = {
      {{0, 0, 0}, {0xFF, 0, 0, 0}},  // black: field 31
      {{65535, 65535, 65535}, {0xFF, 255, 255, 255}},
      {{257, 514, 771}, {0xFF, 3, 2, 1}},       // the 8-bit levels, shown as they were
      {{100, 100, 100}, {0xE0 | 12, 1, 1, 1}},  // too dark for field 31: field 12, 1 each
      {{1, 2, 3}, {0xFF, 0, 0, 0}},             // too dark to show at all
      {{65535, 0, 300}, {0xFF, 1, 0, 255}},
      {{30000, 20000, 10000}, {0xE0 | 18, 67, 134, 201}},
  };
  std::vector<Rgb16> row;
  for (const auto& k : known) {
    row.push_back(k.led);
  }
  std::vector<std::uint8_t> out(ledcolor::Apa102FrameSize(row.size()) + 1, 0xEE);
  ASSERT_EQ(ledcolor::EncodeApa102Frame(row, ledcolor::ColorOrder::kBgr, out), out.size() - 1);
  for (std::size_t i = 0; i < row.size(); ++i) {
    EXPECT_TRUE(std::equal(known[i].frame.begin(), known[i].frame.end(),
                           out.begin() + static_cast<std::ptrdiff_t>(4 + 4 * i)))
        << i;
  }
  // The frame around them is the 8-bit form's.
  const std::vector<Rgb> black(row.size());
  std::vector<std::uint8_t> frame8(out.size() - 1);
  ASSERT_EQ(ledcolor::EncodeApa102Frame(black, ledcolor::ColorOrder::kBgr, 31, frame8),
            frame8.size());
  EXPECT_TRUE(std::equal(frame8.begin(), frame8.begin() + 4, out.begin()));
  EXPECT_TRUE(std::equal(frame8.end() - 5, frame8.end(), out.end() - 6));
  EXPECT_EQ(out.back(), 0xEE);
  EXPECT_EQ(ledcolor::EncodeApa102Frame(row, ledcolor::ColorOrder::kBgr, std::span(out).first(20)),
            0U);
}

}  // namespace
