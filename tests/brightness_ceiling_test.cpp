#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "ledcolor/ledcolor.h"

namespace {

using ledcolor::ApplyCeiling;
using ledcolor::Rgb;

std::uint8_t U8(std::size_t v) { return static_cast<std::uint8_t>(v); }

TEST(ApplyCeiling, ScalesRatherThanCuts) {
  EXPECT_EQ(ApplyCeiling(40, 50), 7);  // min(v, ceiling) would give 40
  EXPECT_EQ(ApplyCeiling(0, 50), 0);
  EXPECT_EQ(ApplyCeiling(1, 50), 0);
  EXPECT_EQ(ApplyCeiling(5, 50), 0);
  EXPECT_EQ(ApplyCeiling(6, 50), 1);
  EXPECT_EQ(ApplyCeiling(128, 50), 25);
  EXPECT_EQ(ApplyCeiling(254, 50), 49);
  EXPECT_EQ(ApplyCeiling(255, 50), 50);
  EXPECT_EQ(ApplyCeiling(255, 1), 1);
  EXPECT_EQ(ApplyCeiling(254, 1), 0);
}

TEST(ApplyCeiling, MatchesTheIntegerDefinitionOverTheWholeDomain) {
  for (unsigned int v = 0; v <= 255; ++v) {
    for (unsigned int c = 0; c <= 255; ++c) {
      const unsigned int r = ApplyCeiling(U8(v), U8(c));
      // r is v * c / 255 rounded down: the one integer with r * 255 <= v * c < (r + 1) * 255.
      ASSERT_LE(r * 255, v * c) << "v=" << v << " c=" << c;
      ASSERT_LT(v * c, (r + 1) * 255) << "v=" << v << " c=" << c;
    }
  }
}

TEST(ApplyCeiling, KeepsZeroAndFullScale) {
  for (unsigned int x = 0; x <= 255; ++x) {
    EXPECT_EQ(ApplyCeiling(U8(x), 0), 0) << x;
    EXPECT_EQ(ApplyCeiling(0, U8(x)), 0) << x;
    EXPECT_EQ(ApplyCeiling(U8(x), 255), x) << x;
    EXPECT_EQ(ApplyCeiling(255, U8(x)), x) << x;
  }
}

// The row form, over every (v, ceiling) pair: once as a 256-LED row, where x86-64 takes the
// vector path for every byte, and once one LED at a time, where every byte takes the plain path.
TEST(ApplyCeilingRow, MatchesTheIntegerDefinitionOverTheWholeDomainOnBothPaths) {
  std::vector<Rgb> row(256);
  const std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(row.data()), 3 * row.size());
  for (unsigned int c = 0; c <= 255; ++c) {
    for (const bool whole_row : {true, false}) {
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = U8(i * 7);  // 7 is odd: every value, three times, in different lanes
      }
      if (whole_row) {
        ApplyCeiling(row, U8(c));
      } else {
        for (Rgb& led : row) {
          ApplyCeiling(std::span(&led, 1), U8(c));
        }
      }
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned int v = U8(i * 7);
        ASSERT_EQ(bytes[i], v * c / 255) << "v=" << v << " c=" << c << " whole row " << whole_row;
      }
    }
  }
}

// Every length up to a few vector blocks at every start offset within one: the row is dimmed to
// its last byte and the bytes on either side are left alone.
TEST(ApplyCeilingRow, DimsExactlyTheRowAtAnyOffsetAndLength) {
  constexpr std::size_t kGuard = 48;
  constexpr std::uint8_t kCeiling = 100;
  std::vector<std::uint8_t> buffer(kGuard + 3 * 40 + kGuard);
  for (std::size_t offset = 0; offset < 16; ++offset) {
    for (std::size_t leds = 0; leds <= 40; ++leds) {
      for (std::size_t i = 0; i < buffer.size(); ++i) {
        buffer[i] = U8(255 - i);
      }
      const std::vector<std::uint8_t> before = buffer;
      auto* first = reinterpret_cast<Rgb*>(buffer.data() + offset + kGuard);
      ApplyCeiling(std::span(first, leds), kCeiling);
      const std::size_t begin = offset + kGuard;
      const std::size_t end = begin + 3 * leds;
      for (std::size_t i = 0; i < buffer.size(); ++i) {
        const bool inside = i >= begin && i < end;
        ASSERT_EQ(buffer[i], inside ? ApplyCeiling(before[i], kCeiling) : before[i])
            << "byte " << i << ", offset " << offset << ", " << leds << " LEDs";
      }
    }
  }
}

}  // namespace
