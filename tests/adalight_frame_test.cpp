#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ledcolor/ledcolor.h"

namespace {

using ledcolor::AdalightFrameSize;
using ledcolor::EncodeAdalightFrame;
using ledcolor::kAdalightMaxLeds;
using ledcolor::Rgb;

std::vector<Rgb> Row(std::size_t n) {
  std::vector<Rgb> row(n);
  for (std::size_t i = 0; i < n; ++i) {
    row[i] = Rgb{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8),
                 static_cast<std::uint8_t>(i * 7 + 3)};
  }
  return row;
}

struct HeaderCase {
  std::size_t leds;
  std::array<std::uint8_t, 6> header;
};

TEST(EncodeAdalightFrame, WritesHeaderWithCountMinusOneHighByteFirst) {
  const HeaderCase cases[] = {
      {1, {0x41, 0x64, 0x61, 0x00, 0x00, 0x55}},
      {10, {0x41, 0x64, 0x61, 0x00, 0x09, 0x5C}},
      {256, {0x41, 0x64, 0x61, 0x00, 0xFF, 0xAA}},
      {257, {0x41, 0x64, 0x61, 0x01, 0x00, 0x54}},
      {kAdalightMaxLeds, {0x41, 0x64, 0x61, 0xFF, 0xFF, 0x55}},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.leds);
    const std::vector<Rgb> row = Row(c.leds);
    std::vector<std::uint8_t> frame(AdalightFrameSize(c.leds));
    ASSERT_EQ(EncodeAdalightFrame(row, frame), 6 + 3 * c.leds);
    EXPECT_TRUE(std::equal(c.header.begin(), c.header.end(), frame.begin()));
    EXPECT_EQ(std::memcmp(frame.data() + 6, row.data(), 3 * c.leds), 0);
  }
}

TEST(EncodeAdalightFrame, CopiesEveryPayloadByteUnescaped) {
  // Zero, full scale and the header's own letters: a frame is never escaped or terminated.
  const std::array<Rgb, 3> row{Rgb{0x00, 0xFF, 0x41}, Rgb{0x64, 0x61, 0x00}, Rgb{0xFF, 0x55, 0x0A}};
  std::array<std::uint8_t, 16> frame{};
  frame.fill(0xEE);
  ASSERT_EQ(EncodeAdalightFrame(row, frame), 15U);
  const std::array<std::uint8_t, 16> expected{0x41, 0x64, 0x61, 0x00, 0x02, 0x57, 0x00, 0xFF,
                                              0x41, 0x64, 0x61, 0x00, 0xFF, 0x55, 0x0A, 0xEE};
  EXPECT_EQ(frame, expected);
}

TEST(EncodeAdalightFrame, EncodesInPlaceWhenTheRowOverlapsTheFrame) {
  // The header is exactly two Rgb long, so a row placed 0, 1 or 2 records into the frame's storage
  // overlaps the header, straddles it, or already sits where the payload goes.
  const std::vector<Rgb> row = Row(100);
  for (const std::size_t shift : {std::size_t{0}, std::size_t{1}, std::size_t{2}}) {
    SCOPED_TRACE(shift);
    std::vector<Rgb> storage(2 + row.size());
    std::copy(row.begin(), row.end(), storage.begin() + static_cast<std::ptrdiff_t>(shift));
    const std::span<std::uint8_t> frame(reinterpret_cast<std::uint8_t*>(storage.data()),
                                        3 * storage.size());
    const std::span<const Rgb> in_place = std::span(storage).subspan(shift, row.size());
    ASSERT_EQ(EncodeAdalightFrame(in_place, frame), frame.size());
    EXPECT_EQ(std::memcmp(frame.data() + 6, row.data(), 3 * row.size()), 0);
    EXPECT_EQ(frame[3], 0x00);
    EXPECT_EQ(frame[4], 0x63);
  }
}

TEST(EncodeAdalightFrame, RejectsOutOfFormatInputWithoutWriting) {
  const std::vector<Rgb> too_many = Row(kAdalightMaxLeds + 1);
  const std::vector<Rgb> ten = Row(10);
  std::vector<std::uint8_t> frame(AdalightFrameSize(kAdalightMaxLeds) + 16, 0xEE);
  const std::vector<std::uint8_t> untouched = frame;

  EXPECT_EQ(EncodeAdalightFrame({}, frame), 0U);
  EXPECT_EQ(EncodeAdalightFrame(too_many, frame), 0U);
  EXPECT_EQ(EncodeAdalightFrame(ten, std::span(frame).first(AdalightFrameSize(10) - 1)), 0U);
  EXPECT_EQ(EncodeAdalightFrame(ten, std::span(frame).first(0)), 0U);
  EXPECT_EQ(frame, untouched);

  // The exact size is enough, and writes nothing past it.
  EXPECT_EQ(EncodeAdalightFrame(ten, std::span(frame).first(36)), 36U);
  EXPECT_TRUE(
      std::all_of(frame.begin() + 36, frame.end(), [](std::uint8_t b) { return b == 0xEE; }));
}

TEST(AdalightFrameSize, CoversExactlyTheEncodableCounts) {
  static_assert(AdalightFrameSize(1) == 9);
  static_assert(AdalightFrameSize(10) == 36);
  static_assert(AdalightFrameSize(kAdalightMaxLeds) == 6 + 3 * 65536);
  static_assert(AdalightFrameSize(0) == 0);
  static_assert(AdalightFrameSize(kAdalightMaxLeds + 1) == 0);
  static_assert(AdalightFrameSize(SIZE_MAX) == 0);
}

}  // namespace
