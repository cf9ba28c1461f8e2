#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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

}  // namespace
