#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "ledcolor/ledcolor.h"
#include "reference_light.h"

namespace {

using ledcolor::PowerModel;
using ledcolor::Rgb;
using ledcolor_testing::CurrentAtCeiling;

constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();

// The ceiling is right when it fits (or is 0) and one step brighter does not (or it is 255); on a
// short row it is also what trying every ceiling from the top finds.
template <typename Led>
void ExpectBrightestThatFits(const std::vector<Led>& row, const PowerModel& model,
                             std::uint64_t budget) {
  const std::span<const Led> leds(row);
  const unsigned c = ledcolor::CeilingForBudget(leds, model, budget);
  SCOPED_TRACE(testing::Message() << row.size() << " LEDs, budget " << budget << ", ceiling " << c);
  if (!ledcolor_testing::InPowerDomain<Led>(row.size(), model)) {
    EXPECT_EQ(c, 0U);
    return;
  }
  if (c > 0 || CurrentAtCeiling(leds, model, 0) <= budget) {
    EXPECT_LE(CurrentAtCeiling(leds, model, c), budget);
  }
  if (c < 255) {
    EXPECT_GT(CurrentAtCeiling(leds, model, c + 1), budget);
  }
  if (row.size() <= 64) {
    EXPECT_EQ(c, ledcolor_testing::CeilingFor(leds, model, budget));
  }
  // The same from the levels gathered as the LEDs come (in two runs), within the weights' 32 bits.
  ledcolor::LevelWeights levels;
  ledcolor::AddLevels(leds.first(row.size() / 3), model, levels);
  ledcolor::AddLevels(leds.subspan(row.size() / 3), model, levels);
  const bool fits = levels.full_ua <= std::numeric_limits<std::uint32_t>::max();
  EXPECT_EQ(ledcolor::CeilingForBudget(levels, model, budget), fits ? c : 0U);
}

// Random rows -- bright, dark, one channel off, 254 everywhere, where a low ceiling loses almost a
// whole step on every component, and white, where dimming loses nothing -- of lengths that take the
// vector path, a last flush one short of a full one, and the tail; random models, a few outside
// the domain (the white figure too, which RGB rows ignore); and the budgets that matter: around the
// exact current at a random ceiling, at the idle current, none and unlimited.
template <typename Led>
void ExpectExactOnRandomRows(std::mt19937_64& rng) {
  const auto pick = [&](std::uint64_t n) { return rng() % n; };
  // 127 blocks of 48 bytes, or 63 of 64 bytes, and a tail.
  const std::size_t one_short_of_a_flush = sizeof(Led) == 3 ? 2040 : 1023;
  for (unsigned trial = 0; trial < 160; ++trial) {
    const auto leds = static_cast<std::size_t>(trial % 16 == 0   ? 6144 + pick(100)
                                               : trial % 16 == 1 ? one_short_of_a_flush
                                                                 : pick(70));
    const unsigned kind = trial % 5;
    std::vector<Led> row(leds);
    for (Led& led : row) {
      const auto v = [&] {
        const std::uint64_t fixed = kind == 3 ? 254 : 255;
        return static_cast<std::uint8_t>(kind == 0 ? pick(256) : kind == 1 ? pick(4) : fixed);
      };
      auto* bytes = reinterpret_cast<std::uint8_t*>(&led);
      for (std::size_t c = 0; c < sizeof(Led); ++c) {
        bytes[c] = kind == 2 && c == 1 ? std::uint8_t{0} : v();
      }
    }
    const auto field = [&] {
      const std::uint64_t roll = pick(20);
      return static_cast<std::uint32_t>(roll == 0 ? 0 : roll == 1 ? 1'000'001 : pick(1'000'001));
    };
    const PowerModel model{field(), field(), field(), field(), field()};
    const std::span<const Led> span(row);
    SCOPED_TRACE(testing::Message() << sizeof(Led) << " channels, trial " << trial);
    EXPECT_EQ(ledcolor::EstimateCurrent(span, model), ledcolor_testing::Current(span, model));

    const std::uint64_t idle = leds * std::uint64_t{model.idle_ua};
    const std::uint64_t at = CurrentAtCeiling(span, model, static_cast<unsigned>(pick(256)));
    for (const std::uint64_t budget : {at - 1, at, at + 1, idle - 1, idle, std::uint64_t{0},
                                       kNoLimit, ledcolor_testing::Current(span, model) - 1}) {
      ExpectBrightestThatFits(row, model, budget);
    }
  }
}

TEST(PowerBudget, EstimateIsExactAndTheCeilingIsTheBrightestThatFits) {
  std::mt19937_64 rng(20261209);
  ExpectExactOnRandomRows<Rgb>(rng);
  ExpectExactOnRandomRows<ledcolor::Rgbw>(rng);
  // Every remainder mod 255 of the channels' scaled current, at and one under the rounded-up
  // figure: one LED of every red value at 1 uA.
  for (unsigned r = 0; r <= 255; ++r) {
    const std::vector<Rgb> one{{static_cast<std::uint8_t>(r), 0, 0}};
    const PowerModel tiny{1, 0, 0, 0};
    const std::uint64_t current = ledcolor_testing::Current<Rgb>(one, tiny);
    ASSERT_EQ(ledcolor::EstimateCurrent(one, tiny), current) << r;
    ExpectBrightestThatFits(one, tiny, current);
    ExpectBrightestThatFits(one, tiny, current - 1);
  }
}

// The largest magnitudes: full white at 1 A a channel, on 65536 LEDs and, where memory allows, on
// the longest row the domain takes and one LED beyond it.
TEST(PowerBudget, HoldsAtTheEdgesOfTheDomain) {
  const PowerModel amp{1'000'000, 1'000'000, 1'000'000, 1'000'000};
  const std::vector<Rgb> white(65536, Rgb{255, 255, 255});
  constexpr std::uint64_t kFull = 65536 * std::uint64_t{4'000'000};
  EXPECT_EQ(ledcolor::EstimateCurrent(white, amp), kFull);
  for (const std::uint64_t budget : {kFull / 2, CurrentAtCeiling<Rgb>(white, amp, 77), kFull - 1}) {
    ExpectBrightestThatFits(white, amp, budget);
  }
  if constexpr (sizeof(std::size_t) == 8) {
    std::vector<Rgb> longest(ledcolor::kPowerMaxLeds + 1, Rgb{255, 255, 255});
    EXPECT_EQ(ledcolor::EstimateCurrent(longest, amp), kNoLimit);
    EXPECT_EQ(ledcolor::CeilingForBudget(longest, amp, kNoLimit), 0);
    longest.pop_back();
    EXPECT_EQ(ledcolor::EstimateCurrent(longest, amp), (std::uint64_t{1} << 24) * 4'000'000);
    EXPECT_EQ(ledcolor::CeilingForBudget(longest, amp, kNoLimit), 255);
    EXPECT_EQ(ledcolor::CeilingForBudget(longest, amp, (std::uint64_t{1} << 24) * 4'000'000 - 1),
              254);
    // Four channels at 1 A on the longest row: the largest sum the power functions meet.
    const std::vector<ledcolor::Rgbw> rgbw(ledcolor::kPowerMaxLeds,
                                           ledcolor::Rgbw{255, 255, 255, 255});
    const PowerModel amp_white{1'000'000, 1'000'000, 1'000'000, 1'000'000, 1'000'000};
    constexpr std::uint64_t kFullRgbw = (std::uint64_t{1} << 24) * 5'000'000;
    EXPECT_EQ(ledcolor::EstimateCurrent(rgbw, amp_white), kFullRgbw);
    EXPECT_EQ(ledcolor::CeilingForBudget(rgbw, amp_white, kFullRgbw), 255);
    EXPECT_EQ(ledcolor::CeilingForBudget(rgbw, amp_white, kFullRgbw - 1), 254);
  }
}

}  // namespace
