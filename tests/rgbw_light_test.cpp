#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <span>
#include <vector>

#include "ledcolor/ledcolor.h"
#include "reference_light.h"

namespace {

using ledcolor::Rgb;
using ledcolor::Rgbw;
using ledcolor::WhiteCalibration;

TEST(WhiteChannel, KnownAnswers) {
  const auto calibrated = [](Rgb c, WhiteCalibration k) {
    std::vector<Rgbw> out(1);
    EXPECT_EQ(ledcolor::ToRgbw(std::vector<Rgb>{c}, k, out), 1U);
    return out[0];
  };
  const WhiteCalibration kDefault = ledcolor::kDefaultWhiteCalibration;
  EXPECT_EQ(calibrated({200, 150, 100}, kDefault), (Rgbw{160, 110, 60, 63}));
  EXPECT_EQ(calibrated({255, 255, 255}, kDefault), (Rgbw{155, 155, 155, 160}));
  EXPECT_EQ(calibrated({255, 255, 255}, {200, 255, 255, 255}), (Rgbw{0, 0, 0, 200}));

  const auto extracted = [](Rgb c, Rgb white) {
    std::vector<Rgbw> out(1);
    EXPECT_EQ(ledcolor::ExtractWhite(std::vector<Rgb>{c}, white, out), 1U);
    return out[0];
  };
  EXPECT_EQ(extracted({200, 150, 100}, {255, 255, 255}), (Rgbw{100, 50, 0, 100}));
  EXPECT_EQ(extracted({255, 200, 150}, {255, 200, 150}), (Rgbw{0, 0, 0, 255}));
  EXPECT_EQ(extracted({255, 255, 255}, {255, 224, 192}), (Rgbw{0, 31, 63, 255}));
  EXPECT_EQ(extracted({10, 0, 200}, {255, 224, 192}), (Rgbw{10, 0, 200, 0}));
}

// Both conversions against their definitions: every (k, x) pair, a grey row of every value under
// k on every channel; then random rows under random calibrations and white points, zeros and 255s
// among them, of lengths that take the vector path and the tail. Nothing past the output moves.
TEST(WhiteChannel, ConversionsMatchTheirDefinitions) {
  std::mt19937 rng(24);
  const auto byte = [&] {
    const unsigned roll = rng() % 8;
    return static_cast<std::uint8_t>(roll == 0 ? 0 : roll == 1 ? 255 : rng());
  };
  for (unsigned trial = 0; trial < 256 + 200; ++trial) {
    std::vector<Rgb> in(trial < 256 ? 256 : rng() % 70);
    for (std::size_t i = 0; i < in.size(); ++i) {
      const auto grey = static_cast<std::uint8_t>(i);
      in[i] = trial < 256 ? Rgb{grey, grey, grey} : Rgb{byte(), byte(), byte()};
    }
    const auto k = static_cast<std::uint8_t>(trial);
    const WhiteCalibration calibration = trial < 256
                                             ? WhiteCalibration{k, k, k, k}
                                             : WhiteCalibration{byte(), byte(), byte(), byte()};
    Rgb white = trial < 256 ? Rgb{k, k, k} : Rgb{byte(), byte(), byte()};
    if (white == Rgb{0, 0, 0}) {
      white.g = 1;
    }
    SCOPED_TRACE(testing::Message() << "trial " << trial << ", " << in.size() << " LEDs");
    const Rgbw guard{0xA5, 0x5A, 0xC3, 0x3C};
    std::vector<Rgbw> out(in.size() + 1, guard);
    std::vector<Rgbw> expected(in.size() + 1, guard);
    const std::span<Rgbw> row = std::span(out).first(in.size());
    if (in.empty()) {
      EXPECT_EQ(ledcolor::ToRgbw(in, calibration, row), 0U);
      EXPECT_EQ(ledcolor::ExtractWhite(in, white, row), 0U);
      continue;
    }
    ASSERT_EQ(ledcolor::ToRgbw(in, calibration, row), in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
      expected[i] = ledcolor_testing::CalibratedRgbw(in[i], calibration);
    }
    EXPECT_EQ(out, expected);
    ASSERT_EQ(ledcolor::ExtractWhite(in, white, row), in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
      expected[i] = ledcolor_testing::ExtractedRgbw(in[i], white);
    }
    EXPECT_EQ(out, expected);
  }
}

// An `out` one LED short, or sharing a byte with the input, and a white point of nothing: 0, and
// nothing written.
TEST(WhiteChannel, RejectWithoutWriting) {
  std::vector<std::uint8_t> buffer(4 * 40, 0x5A);
  const std::vector<std::uint8_t> untouched = buffer;
  const std::vector<Rgb> in(16, Rgb{200, 100, 50});
  const std::span<Rgbw> out(reinterpret_cast<Rgbw*>(buffer.data()), 40);
  // The input at the output's end, and the output starting in the input's last LED.
  const std::span<const Rgb> inside(reinterpret_cast<const Rgb*>(buffer.data() + 4 * 40 - 48), 16);
  const std::span<const Rgb> before(reinterpret_cast<const Rgb*>(buffer.data()), 16);
  const WhiteCalibration k = ledcolor::kDefaultWhiteCalibration;
  EXPECT_EQ(ledcolor::ToRgbw(in, k, out.first(15)), 0U);
  EXPECT_EQ(ledcolor::ToRgbw(inside, k, out), 0U);
  EXPECT_EQ(ledcolor::ToRgbw(before, k, out.subspan(11)), 0U);
  EXPECT_EQ(ledcolor::ExtractWhite(in, {255, 255, 255}, out.first(15)), 0U);
  EXPECT_EQ(ledcolor::ExtractWhite(inside, {255, 255, 255}, out), 0U);
  EXPECT_EQ(ledcolor::ExtractWhite(before, {255, 255, 255}, out.subspan(11)), 0U);
  EXPECT_EQ(ledcolor::ExtractWhite(in, {0, 0, 0}, out), 0U);
  EXPECT_EQ(buffer, untouched);
  EXPECT_EQ(ledcolor::ToRgbw(before, k, out.subspan(12)), 16U);  // right beside is not overlapping
}

// The RGBW row maps: every (v, ceiling) pair on every channel, in a 256-LED row that x86-64 takes
// through its vector path; then each map at every start offset within a vector and every length up
// to a few blocks, against its definition, with nothing beside the row moving.
TEST(RgbwShaping, MapsMatchTheirDefinitionsAtAnyOffsetAndLength) {
  std::vector<Rgbw> row(256);
  std::vector<Rgbw> expected(256);
  for (unsigned c = 0; c <= 255; ++c) {
    const auto at = [&](unsigned shift) { return static_cast<std::uint8_t>(c + shift); };
    const Rgbw ceiling{at(0), at(64), at(128), at(192)};
    for (std::size_t i = 0; i < row.size(); ++i) {
      row[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i * 3)};
    }
    expected = row;
    ledcolor_testing::DimRow(expected, ceiling);
    ledcolor::ApplyCeiling(row, ceiling);
    ASSERT_EQ(row, expected) << "ceilings from " << c;
  }

  ledcolor::ByteTable reversed{};
  for (std::size_t v = 0; v < 256; ++v) {
    reversed[v] = static_cast<std::uint8_t>(255 - v);
  }
  const Rgbw ceiling{200, 255, 31, 128};
  const std::function<void(std::span<Rgbw>, bool)> ops[] = {
      [&](std::span<Rgbw> leds, bool library) {
        library ? ledcolor::ApplyCeiling(leds, ceiling) : ledcolor_testing::DimRow(leds, ceiling);
      },
      [&](std::span<Rgbw> leds, bool library) {
        library ? ledcolor::ApplyCeiling(leds, std::uint8_t{77})
                : ledcolor_testing::DimRow(leds, {77, 77, 77, 77});
      },
      [&](std::span<Rgbw> leds, bool library) {
        if (library) {
          ledcolor::ApplyTable(leds, reversed);
          return;
        }
        for (Rgbw& led : leds) {
          led = {reversed[led.r], reversed[led.g], reversed[led.b], reversed[led.w]};
        }
      }};
  constexpr std::size_t kGuard = 48;
  std::vector<std::uint8_t> buffer(kGuard + 4 * 60 + kGuard);
  for (const auto& op : ops) {
    for (std::size_t offset = 0; offset < 16; ++offset) {
      for (std::size_t leds = 0; leds <= 60; ++leds) {
        for (std::size_t i = 0; i < buffer.size(); ++i) {
          buffer[i] = static_cast<std::uint8_t>(i * 13 + offset);
        }
        std::vector<std::uint8_t> want = buffer;
        const auto span = [&](std::vector<std::uint8_t>& bytes) {
          return std::span(reinterpret_cast<Rgbw*>(bytes.data() + kGuard + offset), leds);
        };
        op(span(want), false);
        op(span(buffer), true);
        ASSERT_EQ(buffer, want) << "offset " << offset << ", " << leds << " LEDs";
      }
    }
  }
}

}  // namespace
