#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "ledcolor/ledcolor.h"
#include "reference_adalight_scanner.h"

namespace {

using ledcolor::AdalightFrameSize;
using ledcolor::DecodeAdalightFrame;
using ledcolor::Rgb;

std::vector<std::uint8_t> Frame(std::size_t leds, std::uint8_t seed) {
  std::vector<Rgb> row(leds);
  for (std::size_t i = 0; i < leds; ++i) {
    row[i] = {static_cast<std::uint8_t>(seed + i), static_cast<std::uint8_t>(i >> 8), 0x41};
  }
  std::vector<std::uint8_t> frame(AdalightFrameSize(leds));
  EXPECT_EQ(ledcolor::EncodeAdalightFrame(row, frame), frame.size());
  return frame;
}

TEST(DecodeAdalightFrame, ReadsTheFrameAtTheFrontAndIgnoresWhatFollows) {
  for (const std::size_t leds : {std::size_t{1}, std::size_t{257}, ledcolor::kAdalightMaxLeds}) {
    std::vector<std::uint8_t> frame = Frame(leds, 7);
    frame.push_back(0xEE);
    std::vector<Rgb> out(leds);
    ASSERT_EQ(DecodeAdalightFrame(frame, out), leds);
    EXPECT_EQ(std::memcmp(out.data(), frame.data() + 6, 3 * leds), 0);
  }
}

TEST(DecodeAdalightFrame, RejectsABadOrShortFrameAndWritesNothing) {
  const std::vector<std::uint8_t> good = Frame(10, 1);
  std::vector<std::vector<std::uint8_t>> bad;
  for (std::size_t i = 0; i < 6; ++i) {  // each header byte off by one bit: letter or checksum
    bad.push_back(good);
    bad.back()[i] ^= 0x01;
  }
  bad.emplace_back(good.begin(), good.end() - 1);
  bad.emplace_back(good.begin(), good.begin() + 5);
  bad.emplace_back();
  std::array<Rgb, 11> out{};
  out.fill({0x5A, 0xA5, 0x3C});
  const std::array<Rgb, 11> untouched = out;
  for (const auto& frame : bad) {
    EXPECT_EQ(DecodeAdalightFrame(frame, out), 0U);
  }
  EXPECT_EQ(DecodeAdalightFrame(good, std::span(out).first(9)), 0U);  // storage one LED short
  EXPECT_EQ(out, untouched);
  EXPECT_EQ(DecodeAdalightFrame(good, std::span(out).first(10)), 10U);
  EXPECT_EQ(out[10], untouched[10]);
}

// Encoded frames with noise and near-miss headers between them ("AAda", "Ada" with a bad
// checksum, "Ada" 00 in front of a real header, a cut-off "Ad"), fed in random pieces, against the
// reference scan of the whole stream, for storage that holds all, some or none of each frame.
TEST(AdalightReader, FindsTheSameFramesAsAWholeStreamScanHoweverTheStreamIsCut) {
  std::mt19937 rng(20261208);
  const std::vector<std::vector<std::uint8_t>> near_misses = {
      {'A'}, {'A', 'd', 'a', 0x00}, {'A', 'd'}, {'A', 'd', 'a', 0x00, 0x01, 0x55}, {'d', 'a'}};
  std::vector<std::uint8_t> stream;
  std::vector<std::size_t> ends;  // where each encoded frame ends in the stream
  for (int f = 0; f < 60; ++f) {
    for (std::size_t noise = rng() % 12; noise-- > 0;) {
      stream.push_back(static_cast<std::uint8_t>('B' + rng() % 190));  // anything but 'A'
    }
    const auto& miss = near_misses[rng() % near_misses.size()];
    stream.insert(stream.end(), miss.begin(), miss.end());
    const std::size_t leds = f == 30 ? ledcolor::kAdalightMaxLeds : 1 + rng() % (f % 3 ? 20 : 600);
    const std::vector<std::uint8_t> frame = Frame(leds, static_cast<std::uint8_t>(f));
    stream.insert(stream.end(), frame.begin(), frame.end());
    ends.push_back(stream.size());
  }
  // A frame of 100 LEDs still arriving: not yet found, so not yet counted as cut to the storage.
  stream.insert(stream.end(), {'x', 'A', 'd', 'a', 0x00, 0x63, 0x36, 1, 2, 3, 4, 5});

  // The reference itself finds every encoded frame and nothing else.
  const auto scan = ledcolor_testing::ScanAdalightStream(stream, 0);
  ASSERT_EQ(scan.frames.size(), ends.size());
  for (std::size_t i = 0; i < ends.size(); ++i) {
    EXPECT_EQ(scan.frames[i].end, ends[i]);
  }

  for (const std::size_t kept :
       {std::size_t{0}, std::size_t{1}, std::size_t{64}, ledcolor::kAdalightMaxLeds}) {
    std::vector<Rgb> storage(kept);
    for (const std::size_t max_piece :
         {std::size_t{1}, std::size_t{7}, std::size_t{5000}, stream.size()}) {
      SCOPED_TRACE(testing::Message() << kept << " LEDs of storage, pieces up to " << max_piece);
      EXPECT_TRUE(ledcolor_testing::ReaderAgreesWithScan(stream, storage,
                                                         [&] { return 1 + rng() % max_piece; }));
    }
  }
}

}  // namespace
