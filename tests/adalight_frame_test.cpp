#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ledcolor/ledcolor.h"
#include "reference_adalight_scanner.h"

namespace {

using ledcolor::AdalightFormat;
using ledcolor::AdalightFrameSize;
using ledcolor::DecodeAdalightFrame;
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
  for (const AdalightFormat format : {AdalightFormat::kClassic, AdalightFormat::kAwa}) {
    for (const std::size_t shift : {std::size_t{0}, std::size_t{1}, std::size_t{2}}) {
      SCOPED_TRACE(testing::Message() << shift << (format == AdalightFormat::kAwa ? " Awa" : ""));
      std::vector<Rgb> storage(3 + row.size());
      std::copy(row.begin(), row.end(), storage.begin() + static_cast<std::ptrdiff_t>(shift));
      const std::span<std::uint8_t> frame(reinterpret_cast<std::uint8_t*>(storage.data()),
                                          AdalightFrameSize(row.size(), format));
      const std::span<const Rgb> in_place = std::span(storage).subspan(shift, row.size());
      ASSERT_EQ(EncodeAdalightFrame(in_place, frame, format), frame.size());
      std::vector<Rgb> decoded(row.size());
      EXPECT_EQ(DecodeAdalightFrame(frame, decoded, format), row.size());
      EXPECT_EQ(decoded, row);
    }
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

TEST(AdalightChecked, KnownFrames) {
  const std::array<std::uint8_t, 12> orange{0x41, 0x77, 0x61, 0x00, 0x00, 0x55,
                                            0xFF, 0x80, 0x00, 0x80, 0x01, 0x83};
  std::array<std::uint8_t, 12> frame{};
  ASSERT_EQ(EncodeAdalightFrame(std::vector<Rgb>{{0xFF, 0x80, 0x00}}, frame, AdalightFormat::kAwa),
            12U);
  EXPECT_EQ(frame, orange);
  // fx comes out as 0x41 here and is sent as 0xAA.
  ASSERT_EQ(EncodeAdalightFrame(std::vector<Rgb>{{0x41, 0x01, 0x02}}, frame, AdalightFormat::kAwa),
            12U);
  EXPECT_EQ(frame[9], 0x44);
  EXPECT_EQ(frame[10], 0xC7);
  EXPECT_EQ(frame[11], 0xAA);
}

// Lengths on both sides of the kernel's 16-byte blocks, its 256-byte position wrap and its
// 32768-byte runs, and the longest frame: the check bytes are the oracle's, the classic form is
// the two-argument one, and both decode to the row.
TEST(AdalightChecked, RoundTripsEveryLengthClassAgainstTheOracle) {
  for (const std::size_t leds : {1U, 5U, 6U, 85U, 86U, 10922U, 10923U, 65535U, 65536U}) {
    SCOPED_TRACE(leds);
    std::vector<Rgb> row = Row(leds);
    if (leds == kAdalightMaxLeds) {
      row.assign(leds, Rgb{255, 255, 255});  // all white fills the kernel's lanes to their limit
    }
    std::vector<std::uint8_t> frame(AdalightFrameSize(leds, AdalightFormat::kAwa));
    ASSERT_EQ(EncodeAdalightFrame(row, frame, AdalightFormat::kAwa), 9 + 3 * leds);
    const auto colours = std::span(frame).subspan(6, 3 * leds);
    const auto check = ledcolor_testing::AwaCheckBytes(colours);
    EXPECT_TRUE(std::equal(check.begin(), check.end(), frame.end() - 3));
    EXPECT_EQ(std::memcmp(colours.data(), row.data(), colours.size()), 0);
    std::vector<Rgb> decoded(leds);
    EXPECT_EQ(DecodeAdalightFrame(frame, decoded, AdalightFormat::kAwa), leds);
    EXPECT_EQ(decoded, row);

    std::vector<std::uint8_t> classic(AdalightFrameSize(leds));
    std::vector<std::uint8_t> two_argument(AdalightFrameSize(leds));
    EXPECT_EQ(EncodeAdalightFrame(row, classic, AdalightFormat::kClassic), 6 + 3 * leds);
    EXPECT_EQ(EncodeAdalightFrame(row, two_argument), 6 + 3 * leds);
    EXPECT_EQ(classic, two_argument);
    EXPECT_EQ(DecodeAdalightFrame(classic, decoded, AdalightFormat::kClassic), leds);
  }
}

// Every single-bit error anywhere in a frame, a frame one byte short, storage one LED short and a
// format that is neither: each is rejected and nothing is written.
TEST(AdalightChecked, RejectsEveryDamagedFrameWithoutWriting) {
  const std::vector<Rgb> row = Row(100);
  std::vector<std::uint8_t> good(AdalightFrameSize(row.size(), AdalightFormat::kAwa));
  ASSERT_EQ(EncodeAdalightFrame(row, good, AdalightFormat::kAwa), good.size());
  const auto bad_format = static_cast<AdalightFormat>(2);
  std::vector<Rgb> out(101, Rgb{0x5A, 0xA5, 0x3C});
  const std::vector<Rgb> untouched = out;
  for (std::size_t bit = 0; bit < 8 * good.size(); ++bit) {
    std::vector<std::uint8_t> frame = good;
    frame[bit / 8] ^= static_cast<std::uint8_t>(1U << (bit % 8));
    ASSERT_EQ(DecodeAdalightFrame(frame, out, AdalightFormat::kAwa), 0U) << "bit " << bit;
  }
  EXPECT_EQ(DecodeAdalightFrame(std::span(good).first(good.size() - 1), out, AdalightFormat::kAwa),
            0U);
  EXPECT_EQ(DecodeAdalightFrame(good, std::span(out).first(99), AdalightFormat::kAwa), 0U);
  EXPECT_EQ(DecodeAdalightFrame(good, out, bad_format), 0U);
  EXPECT_EQ(out, untouched);

  std::vector<std::uint8_t> frame(AdalightFrameSize(kAdalightMaxLeds, AdalightFormat::kAwa), 0xEE);
  const std::vector<std::uint8_t> blank = frame;
  EXPECT_EQ(EncodeAdalightFrame({}, frame, AdalightFormat::kAwa), 0U);
  EXPECT_EQ(EncodeAdalightFrame(Row(kAdalightMaxLeds + 1), frame, AdalightFormat::kAwa), 0U);
  EXPECT_EQ(EncodeAdalightFrame(row, std::span(frame).first(good.size() - 1), AdalightFormat::kAwa),
            0U);
  EXPECT_EQ(EncodeAdalightFrame(row, frame, bad_format), 0U);
  EXPECT_EQ(frame, blank);
  EXPECT_EQ(DecodeAdalightFrame(good, out, AdalightFormat::kAwa), 100U);
  EXPECT_EQ(out[100], untouched[100]);
}

TEST(AdalightFrameSize, CoversExactlyTheEncodableCounts) {
  static_assert(AdalightFrameSize(1, AdalightFormat::kAwa) == 12);
  static_assert(AdalightFrameSize(kAdalightMaxLeds, AdalightFormat::kAwa) == 9 + 3 * 65536);
  static_assert(AdalightFrameSize(kAdalightMaxLeds + 1, AdalightFormat::kAwa) == 0);
  static_assert(AdalightFrameSize(1, static_cast<AdalightFormat>(2)) == 0);
  static_assert(AdalightFrameSize(1) == 9);
  static_assert(AdalightFrameSize(10) == 36);
  static_assert(AdalightFrameSize(kAdalightMaxLeds) == 6 + 3 * 65536);
  static_assert(AdalightFrameSize(0) == 0);
  static_assert(AdalightFrameSize(kAdalightMaxLeds + 1) == 0);
  static_assert(AdalightFrameSize(SIZE_MAX) == 0);
}

}  // namespace
