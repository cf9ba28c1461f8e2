#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>
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

  EXPECT_EQ(EncodeAdalightFrame(std::span<const Rgb>{}, frame), 0U);
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

// The calibrated and RGBW variants and the requests, as hosts send them.
TEST(AdalightVariants, KnownFramesAndRequests) {
  using Bytes = std::vector<std::uint8_t>;
  const Bytes calibrated = {0x41, 0x77, 0x41, 0x00, 0x00, 0x55, 0xFF, 0x80,
                            0x00, 0xFF, 0xA0, 0xA0, 0xA0, 0x62, 0xC6, 0x71};
  const Bytes rgbw_one = {0x41, 0x57, 0x61, 0x00, 0x00, 0x55, 0xFF,
                          0x80, 0x00, 0x40, 0xC0, 0xC1, 0xC6};
  const Bytes rgbw_two = {0x41, 0x57, 0x61, 0x00, 0x01, 0x54, 0x01, 0x02, 0x03,
                          0x04, 0x05, 0x06, 0x07, 0x08, 0x24, 0x78, 0x20};
  Bytes frame(32);
  ASSERT_EQ(EncodeAdalightFrame(std::vector<Rgb>{{0xFF, 0x80, 0x00}}, frame,
                                ledcolor::kDefaultWhiteCalibration),
            16U);
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 16), calibrated);
  ASSERT_EQ(EncodeAdalightFrame(std::vector<ledcolor::Rgbw>{{0xFF, 0x80, 0x00, 0x40}}, frame), 13U);
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 13), rgbw_one);
  ASSERT_EQ(EncodeAdalightFrame(std::vector<ledcolor::Rgbw>{{1, 2, 3, 4}, {5, 6, 7, 8}}, frame),
            17U);
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 17), rgbw_two);

  std::vector<Rgb> storage(3);
  ledcolor::AdalightReader::Result r{};
  ASSERT_TRUE(DecodeAdalightFrame(calibrated, storage, r));
  EXPECT_EQ(r.consumed, 16U);
  EXPECT_EQ(r.led_count, 1U);
  EXPECT_EQ(r.leds[0], (Rgb{0xFF, 0x80, 0x00}));
  EXPECT_EQ(r.calibration, ledcolor::kDefaultWhiteCalibration);
  ASSERT_TRUE(DecodeAdalightFrame(rgbw_two, storage, r));
  EXPECT_EQ(r.consumed, 17U);
  ASSERT_EQ(r.leds_rgbw.size(), 2U);
  EXPECT_TRUE(r.leds.empty() && !r.calibration);
  EXPECT_EQ(r.leds_rgbw[1], (ledcolor::Rgbw{5, 6, 7, 8}));
  // Requests fit any storage; their last byte is no checksum, and the one that is begins a frame
  // of 10915 LEDs, which this storage does not hold.
  for (const auto& [last, request] : {std::pair{0x15, ledcolor::HostRequest::kHello},
                                      std::pair{0x35, ledcolor::HostRequest::kGoodbye}}) {
    const Bytes bytes = {0x41, 0x77, 0x41, 0x2A, 0xA2, static_cast<std::uint8_t>(last)};
    ASSERT_TRUE(DecodeAdalightFrame(bytes, std::span<Rgb>{}, r));
    EXPECT_EQ(r.request, request);
    EXPECT_EQ(r.consumed, 6U);
    EXPECT_EQ(r.led_count, 0U);
  }
  EXPECT_FALSE(DecodeAdalightFrame(Bytes{0x41, 0x77, 0x41, 0x2A, 0xA2, 0xDD}, storage, r));
}

// Both new variants against the oracle's check bytes: lengths around the kernel's blocks and
// wrap, encoded apart and in place (the row in the frame's payload), decoded back; every single
// bit error, a frame one byte short or storage one LED short rejected with nothing written; and
// the encoders' rejections.
TEST(AdalightVariants, RoundTripInPlaceAndRejectDamage) {
  for (const bool rgbw : {false, true}) {
    const std::size_t per_led = rgbw ? 4 : 3;
    const ledcolor::WhiteCalibration calibration{200, 0x41, 7, 255};
    for (const std::size_t leds : {1U, 85U, 86U, 10923U, 65536U}) {
      SCOPED_TRACE(testing::Message() << (rgbw ? "AWa " : "AwA ") << leds);
      const std::size_t size = rgbw ? ledcolor::AdalightRgbwFrameSize(leds)
                                    : ledcolor::AdalightCalibratedFrameSize(leds);
      ASSERT_EQ(size, 6 + per_led * leds + (rgbw ? 0 : 4) + 3);
      std::vector<std::uint8_t> frame(size);
      for (std::size_t i = 0; i < per_led * leds; ++i) {  // the row, already in the payload
        frame[6 + i] = static_cast<std::uint8_t>(i * 31 + (i >> 9));
      }
      const std::vector<std::uint8_t> row(frame.begin() + 6, frame.end() - (rgbw ? 3 : 7));
      const std::size_t written =
          rgbw
              ? EncodeAdalightFrame(
                    std::span(reinterpret_cast<const ledcolor::Rgbw*>(frame.data() + 6), leds),
                    frame)
              : EncodeAdalightFrame(std::span(reinterpret_cast<const Rgb*>(frame.data() + 6), leds),
                                    frame, calibration);
      ASSERT_EQ(written, size);
      const auto scan = ledcolor_testing::ScanAdalightStream(frame, kAdalightMaxLeds * 4 / 3 + 1,
                                                             AdalightFormat::kAwa);
      ASSERT_EQ(scan.frames.size(), 1U);
      EXPECT_EQ(scan.frames[0].end, size);
      EXPECT_EQ(scan.frames[0].colours, row);
      std::vector<Rgb> storage(per_led * leds / 3 + 1);
      ledcolor::AdalightReader::Result r{};
      ASSERT_TRUE(DecodeAdalightFrame(frame, storage, r));
      EXPECT_EQ(r.consumed, size);
      EXPECT_EQ(std::memcmp(storage.data(), row.data(), row.size()), 0);
      EXPECT_EQ(r.calibration, rgbw ? std::nullopt : std::optional(calibration));
    }
    const std::vector<Rgb> row = Row(100);
    std::vector<std::uint8_t> good(rgbw ? ledcolor::AdalightRgbwFrameSize(75)
                                        : ledcolor::AdalightCalibratedFrameSize(100));
    const auto encode = [&](std::span<std::uint8_t> frame) {
      return rgbw ? EncodeAdalightFrame(
                        std::span(reinterpret_cast<const ledcolor::Rgbw*>(row.data()), 75), frame)
                  : EncodeAdalightFrame(row, frame, calibration);
    };
    ASSERT_EQ(encode(good), good.size());
    std::vector<Rgb> out(101, Rgb{0x5A, 0xA5, 0x3C});
    const std::vector<Rgb> untouched = out;
    ledcolor::AdalightReader::Result r{};
    for (std::size_t bit = 0; bit < 8 * good.size(); ++bit) {
      std::vector<std::uint8_t> frame = good;
      frame[bit / 8] ^= static_cast<std::uint8_t>(1U << (bit % 8));
      ASSERT_FALSE(DecodeAdalightFrame(frame, out, r)) << "bit " << bit;
    }
    EXPECT_FALSE(DecodeAdalightFrame(std::span(good).first(good.size() - 1), out, r));
    EXPECT_FALSE(DecodeAdalightFrame(good, std::span(out).first(99), r));
    EXPECT_EQ(out, untouched);
    std::vector<std::uint8_t> frame(good.size() + 1, 0xEE);
    EXPECT_EQ(encode(std::span(frame).first(good.size() - 1)), 0U);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0xEE),
              static_cast<std::ptrdiff_t>(frame.size()));
  }
  std::vector<std::uint8_t> frame(64);
  const std::vector<Rgb> too_many(kAdalightMaxLeds + 1);
  const std::vector<ledcolor::Rgbw> too_many_rgbw(kAdalightMaxLeds + 1);
  EXPECT_EQ(EncodeAdalightFrame(std::span<const Rgb>{}, frame, ledcolor::kDefaultWhiteCalibration),
            0U);
  EXPECT_EQ(EncodeAdalightFrame(std::span<const ledcolor::Rgbw>{}, frame), 0U);
  EXPECT_EQ(EncodeAdalightFrame(too_many, frame, ledcolor::kDefaultWhiteCalibration), 0U);
  EXPECT_EQ(EncodeAdalightFrame(too_many_rgbw, frame), 0U);
  static_assert(ledcolor::AdalightCalibratedFrameSize(0) == 0 &&
                ledcolor::AdalightRgbwFrameSize(kAdalightMaxLeds + 1) == 0);
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
