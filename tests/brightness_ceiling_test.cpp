#include <gtest/gtest.h>

#include <cstdint>

#include "ledcolor/ledcolor.h"

namespace {

using ledcolor::ApplyCeiling;

std::uint8_t U8(unsigned int v) { return static_cast<std::uint8_t>(v); }

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

}  // namespace
