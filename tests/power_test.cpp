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
void ExpectBrightestThatFits(const std::vector<Rgb>& row, const PowerModel& model,
                             std::uint64_t budget) {
  const unsigned c = ledcolor::CeilingForBudget(row, model, budget);
  SCOPED_TRACE(testing::Message() << row.size() << " LEDs, budget " << budget << ", ceiling " << c);
  if (!ledcolor_testing::InPowerDomain(row.size(), model)) {
    EXPECT_EQ(c, 0U);
    return;
  }
  if (c > 0 || CurrentAtCeiling(row, model, 0) <= budget) {
    EXPECT_LE(CurrentAtCeiling(row, model, c), budget);
  }
  if (c < 255) {
    EXPECT_GT(CurrentAtCeiling(row, model, c + 1), budget);
  }
  if (row.size() <= 64) {
    EXPECT_EQ(c, ledcolor_testing::CeilingFor(row, model, budget));
  }
}

// Random rows -- bright, dark, one channel off, 254 everywhere, where a low ceiling loses almost a
// whole step on every component, and white, where dimming loses nothing -- of lengths that take the
// vector path, a last flush of 127 blocks, and the tail; random models, a few outside the domain;
// and the budgets that matter: around the exact current at a random ceiling, at the idle current,
// none and unlimited.
TEST(PowerBudget, EstimateIsExactAndTheCeilingIsTheBrightestThatFits) {
  std::mt19937_64 rng(20261209);
  const auto pick = [&](std::uint64_t n) { return rng() % n; };
  for (unsigned trial = 0; trial < 160; ++trial) {
    const auto leds = static_cast<std::size_t>(trial % 16 == 0   ? 6144 + pick(100)
                                               : trial % 16 == 1 ? 2040
                                                                 : pick(70));
    const unsigned kind = trial % 5;
    std::vector<Rgb> row(leds);
    for (Rgb& led : row) {
      const auto v = [&] {
        const std::uint64_t fixed = kind == 3 ? 254 : 255;
        return static_cast<std::uint8_t>(kind == 0 ? pick(256) : kind == 1 ? pick(4) : fixed);
      };
      led = {v(), kind == 2 ? std::uint8_t{0} : v(), v()};
    }
    const auto field = [&] {
      const std::uint64_t roll = pick(20);
      return static_cast<std::uint32_t>(roll == 0 ? 0 : roll == 1 ? 1'000'001 : pick(1'000'001));
    };
    const PowerModel model{field(), field(), field(), field()};
    SCOPED_TRACE(testing::Message() << "trial " << trial);
    EXPECT_EQ(ledcolor::EstimateCurrent(row, model), ledcolor_testing::Current(row, model));

    const std::uint64_t idle = leds * std::uint64_t{model.idle_ua};
    const std::uint64_t at = CurrentAtCeiling(row, model, static_cast<unsigned>(pick(256)));
    for (const std::uint64_t budget : {at - 1, at, at + 1, idle - 1, idle, std::uint64_t{0},
                                       kNoLimit, ledcolor_testing::Current(row, model) - 1}) {
      ExpectBrightestThatFits(row, model, budget);
    }
  }
  // Every remainder mod 255 of the channels' scaled current, at and one under the rounded-up
  // figure: one LED of every red value at 1 uA.
  for (unsigned r = 0; r <= 255; ++r) {
    const std::vector<Rgb> one{{static_cast<std::uint8_t>(r), 0, 0}};
    const PowerModel tiny{1, 0, 0, 0};
    const std::uint64_t current = ledcolor_testing::Current(one, tiny);
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
  for (const std::uint64_t budget : {kFull / 2, CurrentAtCeiling(white, amp, 77), kFull - 1}) {
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
  }
}

}  // namespace
