#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <vector>

#include "ledcolor/ledcolor.h"
#include "reference_light.h"

namespace {

using ledcolor::ByteTable;
using ledcolor::MakeGammaTable;
using ledcolor::Rgb;

constexpr ByteTable kGamma22 = *MakeGammaTable(2.2);
static_assert(kGamma22[0] == 0 && kGamma22[128] == 56 && kGamma22[255] == 255);
static_assert(!MakeGammaTable(0.0999) && !MakeGammaTable(10.001) &&
              !MakeGammaTable(std::numeric_limits<double>::quiet_NaN()));

TEST(MakeGammaTable, EveryEntryIsWhatStdPowGivesAcrossTheRange) {
  EXPECT_EQ(*MakeGammaTable(2.2), kGamma22);  // the same table at run time as at compile time
  for (const double gamma :
       {0.1, 0.25, 0.45, 0.5,  0.8,     1.0,    1.1,        1.5,         1.8,       2.0,
        2.2, 2.3,  2.4,  2.5,  2.6,     2.8,    3.0,        3.3,         4.0,       5.5,
        7.0, 8.8,  9.5,  10.0, 1 / 2.2, 2.2222, 2.8 + 1e-9, 0.1 + 1e-12, 10 - 1e-12}) {
    const std::optional<ByteTable> table = MakeGammaTable(gamma);
    ASSERT_TRUE(table.has_value()) << gamma;
    for (unsigned v = 0; v <= 255; ++v) {
      ASSERT_EQ((*table)[v], ledcolor_testing::GammaEntry(v, gamma)) << "gamma " << gamma;
    }
  }
  for (const double gamma :
       {0.0, -2.2, 0.1 - 1e-12, 10 + 1e-12, 1e300, std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_FALSE(MakeGammaTable(gamma).has_value()) << gamma;
  }
}

// An LED of every channel's value in turn from `values` (RGB or RGBW alike).
template <typename Led>
Led Channels(const std::array<unsigned, 4>& values) {
  Led led{};
  auto* bytes = reinterpret_cast<std::uint8_t*>(&led);
  for (std::size_t c = 0; c < sizeof(Led); ++c) {
    bytes[c] = static_cast<std::uint8_t>(values[c]);
  }
  return led;
}

// Every (v, ceiling) pair on each channel, in a 256-LED row that x86-64 takes through its vector
// path: the channels' ceilings are a third (RGBW: a quarter) of the range apart, so 255 meets
// every other ceiling.
template <typename Led>
void ExpectEveryPairOnEveryChannel() {
  std::vector<Led> row(256);
  const unsigned apart = 256 / sizeof(Led) + 1;
  for (unsigned c = 0; c <= 255; ++c) {
    const Led ceiling = Channels<Led>({c, c + apart, c + 2 * apart, c + 3 * apart});
    for (unsigned i = 0; i < row.size(); ++i) {
      row[i] = Channels<Led>({i, 255 - i, i * 7, i * 3});
    }
    std::vector<Led> expected = row;
    ledcolor_testing::DimRow(expected, ceiling);
    ledcolor::ApplyCeiling(std::span<Led>(row), ceiling);
    ASSERT_EQ(row, expected) << sizeof(Led) << " channels, ceilings from " << c;
  }
}

TEST(ApplyCeilingPerChannel, MatchesTheIntegerDefinitionOnEveryPairAndChannel) {
  ExpectEveryPairOnEveryChannel<Rgb>();
  ExpectEveryPairOnEveryChannel<ledcolor::Rgbw>();
  // A plain number still picks the single-ceiling form: every channel under 50.
  std::vector<Rgb> one{{255, 128, 6}};
  ledcolor::ApplyCeiling(one, 50);
  EXPECT_EQ(one[0], (Rgb{50, 25, 1}));
}

// The row maps -- a ceiling per channel, one ceiling, a table -- at every start offset within a
// vector and every length up to a few blocks: the row is mapped to its last byte, on the tail path
// as on the vector path, and nothing beside it moves.
template <typename Led>
void ExpectRowMapsExactAtAnyOffsetAndLength() {
  const Led ceiling = Channels<Led>({200, 255, 31, 128});
  const Led grey = Channels<Led>({77, 77, 77, 77});
  ByteTable reversed{};
  for (std::size_t v = 0; v < 256; ++v) {
    reversed[v] = static_cast<std::uint8_t>(255 - v);
  }
  const std::function<void(std::span<Led>, bool)> ops[] = {
      [&](std::span<Led> row, bool library) {
        library ? ledcolor::ApplyCeiling(row, ceiling) : ledcolor_testing::DimRow(row, ceiling);
      },
      [&](std::span<Led> row, bool library) {
        library ? ledcolor::ApplyCeiling(row, std::uint8_t{77})
                : ledcolor_testing::DimRow(row, grey);
      },
      [&](std::span<Led> row, bool library) {
        if (library) {
          ledcolor::ApplyTable(row, reversed);
          return;
        }
        for (std::uint8_t& b :
             std::span(reinterpret_cast<std::uint8_t*>(row.data()), row.size_bytes())) {
          b = reversed[b];
        }
      }};
  constexpr std::size_t kGuard = 48;
  std::vector<std::uint8_t> buffer(kGuard + sizeof(Led) * 60 + kGuard);
  for (const auto& op : ops) {
    for (std::size_t offset = 0; offset < 16; ++offset) {
      for (std::size_t leds = 0; leds <= 60; ++leds) {
        for (std::size_t i = 0; i < buffer.size(); ++i) {
          buffer[i] = static_cast<std::uint8_t>(i * 13 + offset);
        }
        std::vector<std::uint8_t> expected = buffer;
        const auto row = [&](std::vector<std::uint8_t>& bytes) {
          return std::span(reinterpret_cast<Led*>(bytes.data() + kGuard + offset), leds);
        };
        op(row(expected), false);
        op(row(buffer), true);
        ASSERT_EQ(buffer, expected)
            << sizeof(Led) << " channels, offset " << offset << ", " << leds << " LEDs";
      }
    }
  }
}

TEST(ApplyCeilingPerChannel, AndApplyTableChangeExactlyTheRowAtAnyOffsetAndLength) {
  ExpectRowMapsExactAtAnyOffsetAndLength<Rgb>();
  ExpectRowMapsExactAtAnyOffsetAndLength<ledcolor::Rgbw>();
}

}  // namespace
