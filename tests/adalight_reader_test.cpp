#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "ledcolor/ledcolor.h"
#include "reference_adalight_scanner.h"

namespace {

using ledcolor::AdalightFormat;
using ledcolor::AdalightFrameSize;
using ledcolor::DecodeAdalightFrame;
using ledcolor::Rgb;

std::vector<std::uint8_t> Frame(std::size_t leds, std::uint8_t seed,
                                AdalightFormat format = AdalightFormat::kClassic) {
  std::vector<Rgb> row(leds);
  for (std::size_t i = 0; i < leds; ++i) {
    row[i] = {static_cast<std::uint8_t>(seed + i), static_cast<std::uint8_t>(i >> 8), 0x41};
  }
  std::vector<std::uint8_t> frame(AdalightFrameSize(leds, format));
  EXPECT_EQ(ledcolor::EncodeAdalightFrame(row, frame, format), frame.size());
  return frame;
}

// The checked format's variants: 0 "Awa", 1 "AwA" (a calibration from the seed), 2 "AWa".
std::vector<std::uint8_t> CheckedFrame(unsigned variant, std::size_t leds, std::uint8_t seed) {
  if (variant == 0) {
    return Frame(leds, seed, AdalightFormat::kAwa);
  }
  std::vector<Rgb> row(leds);
  std::vector<ledcolor::Rgbw> rgbw(leds);
  for (std::size_t i = 0; i < leds; ++i) {
    row[i] = {static_cast<std::uint8_t>(seed + i), 0x77, 0x41};
    rgbw[i] = {static_cast<std::uint8_t>(seed + i), 0x57, 0x41, static_cast<std::uint8_t>(i)};
  }
  const auto seeded = static_cast<std::uint8_t>(seed * 7);
  std::vector<std::uint8_t> frame(variant == 1 ? ledcolor::AdalightCalibratedFrameSize(leds)
                                               : ledcolor::AdalightRgbwFrameSize(leds));
  const std::size_t size =
      variant == 1 ? ledcolor::EncodeAdalightFrame(row, frame, {seeded, 160, seed, 0x41})
                   : ledcolor::EncodeAdalightFrame(rgbw, frame);
  EXPECT_EQ(size, frame.size());
  return frame;
}

const std::vector<std::uint8_t> kHello = {'A', 'w', 'A', 0x2A, 0xA2, 0x15};
const std::vector<std::uint8_t> kGoodbye = {'A', 'w', 'A', 0x2A, 0xA2, 0x35};

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

// Encoded frames in `format` with noise between them -- the header letters included -- and near
// misses: "AAda", a bad checksum, a header in front of a real one, a cut-off "Ad"; in the checked
// format all three variants and the hosts' requests (followed by "hyperhdr", as hosts send them),
// stray "Aw" and "AwA" bytes, and a frame with a bit error, a dropped byte, one cut off by a
// restarted sender, a request inside it, or a false header whose count swallows the frames after
// it. `ends` are where the intact frames and requests end.
struct TestStream {
  std::vector<std::uint8_t> bytes;
  std::vector<std::size_t> ends;
};

TestStream MakeStream(AdalightFormat format, std::mt19937& rng) {
  const bool checked = format == AdalightFormat::kAwa;
  const std::uint8_t letter = checked ? 'w' : 'd';
  const std::vector<std::vector<std::uint8_t>> near_misses = {
      {'A'}, {'A', letter, 'a', 0x00},    {'A', letter},  {'A', letter, 'a', 0x00, 0x01, 0x55},
      {'d'}, {'A', 'w', 'A', 0x2A, 0xA2}, {'A', 'W', 'A'}};
  TestStream out;
  std::vector<std::uint8_t>& s = out.bytes;
  for (unsigned f = 0; f < 60; ++f) {
    // A third of the frames follow the one before directly, so that a failed candidate can hold
    // intact frames back to back.
    if (rng() % 3 != 0) {
      for (std::size_t noise = rng() % 12; noise-- > 0;) {
        const auto letter_or_any = rng() % 4 == 0 ? "AdwaW"[rng() % 5] : static_cast<char>(rng());
        s.push_back(static_cast<std::uint8_t>(letter_or_any));
      }
      const auto& miss = near_misses[rng() % near_misses.size()];
      s.insert(s.end(), miss.begin(), miss.end());
    }
    if (checked && rng() % 5 == 0) {  // a request, then "hyperhdr"
      const auto& request = rng() % 2 == 0 ? kHello : kGoodbye;
      s.insert(s.end(), request.begin(), request.end());
      out.ends.push_back(s.size());
      s.insert(s.end(), {'h', 'y', 'p', 'e', 'r', 'h', 'd', 'r'});
    }
    const std::size_t leds = f == 30 ? ledcolor::kAdalightMaxLeds : 1 + rng() % (f % 3 ? 20 : 600);
    const std::vector<std::uint8_t> frame =
        checked && f != 30
            ? CheckedFrame(static_cast<unsigned>(rng() % 3), leds, static_cast<std::uint8_t>(f))
            : Frame(leds, static_cast<std::uint8_t>(f), format);
    // Every other frame has a damaged one in front -- but not the last: a false header there
    // would hold it until 200 LEDs' worth of bytes had come, which they never do.
    if (checked && f % 2 == 1 && f < 59) {
      std::vector<std::uint8_t> bad = frame;
      switch (f / 2 % 6) {
        case 0:
          bad[rng() % bad.size()] ^= static_cast<std::uint8_t>(1U << (rng() % 8));
          break;
        case 1:  // a bit error in each check byte in turn: every one of them is compared
          bad[bad.size() - 1 - f / 10 % 3] ^= static_cast<std::uint8_t>(1U << (rng() % 8));
          break;
        case 2:
          bad.erase(bad.begin() + static_cast<std::ptrdiff_t>(rng() % bad.size()));
          break;
        case 3:
          bad.resize(1 + rng() % (bad.size() - 1));
          break;
        case 4: {  // a request inside: found there, after the frame's first bytes are given up
          const auto at = bad.begin() + static_cast<std::ptrdiff_t>(1 + rng() % (bad.size() - 1));
          bad.insert(at, kGoodbye.begin(), kGoodbye.end());
          break;
        }
        default:
          bad = {'A', 'w', 'a', 0x00, 0xC7, 0x92};  // 200 LEDs announced, none sent
      }
      s.insert(s.end(), bad.begin(), bad.end());
      if (f / 2 % 6 == 4) {
        const auto request = std::search(s.end() - static_cast<std::ptrdiff_t>(bad.size()), s.end(),
                                         kGoodbye.begin(), kGoodbye.end());
        out.ends.push_back(static_cast<std::size_t>(request - s.begin()) + kGoodbye.size());
      }
    }
    s.insert(s.end(), frame.begin(), frame.end());
    out.ends.push_back(s.size());
  }
  if (checked) {
    // A header cut off after its count of 100 LEDs: no candidate for storage that is smaller.
    s.insert(s.end(), {'x', 'A', 'w', 'a', 0x00, 0x63});
  } else {
    // A frame of 100 LEDs still arriving: not yet found, so not yet counted as cut to the storage.
    s.insert(s.end(), {'x', 'A', 'd', 'a', 0x00, 0x63, 0x36, 1, 2, 3, 4, 5});
  }
  return out;
}

// The stream, fed in random pieces, against the reference scan of the whole stream, for storage
// that holds all, some or none of each frame.
TEST(AdalightReader, FindsTheSameFramesAsAWholeStreamScanHoweverTheStreamIsCut) {
  std::mt19937 rng(20261208);
  for (const AdalightFormat format : {AdalightFormat::kClassic, AdalightFormat::kAwa}) {
    const TestStream stream = MakeStream(format, rng);
    // The reference itself finds every intact frame and nothing else.
    const auto scan =
        ledcolor_testing::ScanAdalightStream(stream.bytes, ledcolor::kAdalightMaxLeds, format);
    ASSERT_EQ(scan.frames.size(), stream.ends.size());
    for (std::size_t i = 0; i < stream.ends.size(); ++i) {
      EXPECT_EQ(scan.frames[i].end, stream.ends[i]);
    }
    for (const std::size_t kept :
         {std::size_t{0}, std::size_t{1}, std::size_t{400}, ledcolor::kAdalightMaxLeds}) {
      std::vector<Rgb> storage(kept);
      for (const std::size_t max_piece :
           {std::size_t{1}, std::size_t{7}, std::size_t{5000}, stream.bytes.size()}) {
        SCOPED_TRACE(testing::Message() << (format == AdalightFormat::kAwa ? "Awa, " : "Ada, ")
                                        << kept << " LEDs of storage, pieces up to " << max_piece);
        EXPECT_TRUE(ledcolor_testing::ReaderAgreesWithScan(
            stream.bytes, storage, [&] { return 1 + rng() % max_piece; }, format));
      }
      // Other endings, which decide what is held and what skipped: a byte earlier (the checked
      // stream then ends four bytes into a header, its count not yet whole), and a near miss
      // right after the last frame.
      std::vector<std::uint8_t> near_miss(
          stream.bytes.begin(),
          stream.bytes.begin() + static_cast<std::ptrdiff_t>(stream.ends.back()));
      const std::uint8_t letter = format == AdalightFormat::kAwa ? 'w' : 'd';
      near_miss.insert(near_miss.end(), {'A', letter, 'x'});
      for (const auto& ending : {std::span(stream.bytes).first(stream.bytes.size() - 1),
                                 std::span<const std::uint8_t>(near_miss)}) {
        EXPECT_TRUE(ledcolor_testing::ReaderAgreesWithScan(
            ending, storage, [] { return std::size_t{7}; }, format));
      }
    }
  }
}

// A frame of one or two LEDs that starts inside a failed candidate and ends anywhere from 12 bytes
// before the candidate does to 6 bytes after, then a clean frame, whose first bytes are the
// candidate's last when the first frame ends early: the reader finds both, from what it holds and
// from what comes next.
TEST(AdalightReader, FindsFramesThatStartInAFailedCandidate) {
  const std::vector<std::uint8_t> next = Frame(1, 6, AdalightFormat::kAwa);
  for (const std::size_t leds : {std::size_t{1}, std::size_t{2}}) {
    const std::vector<std::uint8_t> inner = Frame(leds, 5, AdalightFormat::kAwa);
    for (int past_end = -12; past_end <= 6; ++past_end) {
      // The candidate's colours and check bytes: as many leading bytes as make its colours a
      // whole number of LEDs, then both frames, cut where the candidate ends.
      std::vector<std::uint8_t> frames = inner;
      frames.insert(frames.end(), next.begin(), next.end());
      const auto held = static_cast<std::ptrdiff_t>(inner.size()) - past_end;
      std::vector<std::uint8_t> stream(3 - static_cast<std::size_t>(held) % 3, 0x11);
      const auto count =
          static_cast<std::uint8_t>((stream.size() + static_cast<std::size_t>(held)) / 3 - 2);
      stream.insert(stream.begin(),
                    {'A', 'w', 'a', 0, count, static_cast<std::uint8_t>(count ^ 0x55)});
      stream.insert(stream.end(), frames.begin(), frames.end());
      SCOPED_TRACE(testing::Message() << leds << " LEDs ending " << past_end << " bytes past");
      ASSERT_EQ(ledcolor_testing::ScanAdalightStream(stream, 8, AdalightFormat::kAwa).frames.size(),
                2U);
      std::vector<Rgb> storage(8);
      for (const std::size_t piece : {std::size_t{1}, stream.size()}) {
        EXPECT_TRUE(ledcolor_testing::ReaderAgreesWithScan(
            stream, storage, [&] { return piece; }, AdalightFormat::kAwa));
      }
    }
  }
}

// A firmware that reads its serial port straight into the reader's own storage: the stream lies in
// the storage from byte `at` on, and is fed from there in pieces of 7 bytes or whole. Each frame's
// colours are written from the front of the storage, always below the byte being read, so the
// reader finds what it finds in a stream apart -- in kAwa also after a candidate cut off by a
// restart, whose colours it moves.
TEST(AdalightReader, ReadsBytesThatLieInItsOwnStorage) {
  std::mt19937 rng(23);
  for (const AdalightFormat format : {AdalightFormat::kClassic, AdalightFormat::kAwa}) {
    std::vector<std::uint8_t> stream = {0x00, 'A', 'x'};
    for (std::uint8_t f = 0; f < 6; ++f) {
      const std::vector<std::uint8_t> frame = Frame(1 + rng() % 6, f, format);
      const bool cut_first = f == 2 && format == AdalightFormat::kAwa;
      stream.insert(stream.end(), frame.begin(), frame.begin() + (cut_first ? 9 : 0));
      stream.insert(stream.end(), frame.begin(), frame.end());
    }
    for (const std::size_t at : {std::size_t{0}, std::size_t{1}, std::size_t{5}}) {
      for (const std::size_t piece : {std::size_t{7}, stream.size()}) {
        std::vector<Rgb> storage(stream.size() / 3 + 3);
        const auto expected = ledcolor_testing::ScanAdalightStream(stream, storage.size(), format);
        ASSERT_EQ(expected.frames.size(), 6U);
        auto* bytes = reinterpret_cast<std::uint8_t*>(storage.data()) + at;
        std::copy(stream.begin(), stream.end(), bytes);
        ledcolor::AdalightReader reader(storage, format);
        std::size_t found = 0;
        for (std::size_t offset = 0; offset < stream.size();) {
          const auto r = reader.Feed({bytes + offset, std::min(piece, stream.size() - offset)});
          offset += r.consumed;
          if (r.led_count != 0) {
            ASSERT_LT(found, expected.frames.size());
            const auto& want = expected.frames[found++].colours;
            EXPECT_EQ(std::memcmp(r.leds.data(), want.data(), want.size()), 0);
          }
        }
        EXPECT_EQ(found, 6U) << "stream at storage byte " << at << ", pieces of " << piece;
      }
    }
  }
}

// Reset gives up what the reader holds, counts it as skipped, and hunts afresh; a reader of
// neither format finds nothing.
// The storage a reader needs, and the requests a host sends, which the reader reads back.
TEST(AdalightReader, SizesItsStorageAndReadsTheRequestsHostsEncode) {
  EXPECT_EQ(ledcolor::AdalightStorageLeds(4, 3), 4U);
  EXPECT_EQ(ledcolor::AdalightStorageLeds(4, 4), 6U);  // 16 bytes in whole Rgb
  EXPECT_EQ(ledcolor::AdalightStorageLeds(3, 4), 4U);
  EXPECT_EQ(ledcolor::AdalightStorageLeds(1, 4), 2U);
  EXPECT_EQ(ledcolor::AdalightStorageLeds(0, 4), 0U);
  EXPECT_EQ(ledcolor::AdalightStorageLeds(4, 2), 0U);
  EXPECT_EQ(ledcolor::AdalightStorageLeds(SIZE_MAX / 2, 4), 0U);
  static_assert(ledcolor::AdalightStorageLeds(65536, 4) == 87382);

  const struct {
    ledcolor::HostRequest request;
    std::array<std::uint8_t, 6> bytes;
  } requests[] = {{ledcolor::HostRequest::kHello, {'A', 'w', 'A', 0x2A, 0xA2, 0x15}},
                  {ledcolor::HostRequest::kGoodbye, {'A', 'w', 'A', 0x2A, 0xA2, 0x35}}};
  for (const auto& [request, bytes] : requests) {
    std::array<std::uint8_t, 7> out{};
    out.fill(0xEE);
    ASSERT_EQ(ledcolor::EncodeHostRequest(request, out), 6U);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), out.begin()) && out[6] == 0xEE);
    std::array<Rgb, 1> storage{};
    ledcolor::AdalightReader reader(storage, ledcolor::AdalightFormat::kAwa);
    EXPECT_EQ(reader.Feed(out).request, request);
    EXPECT_EQ(ledcolor::EncodeHostRequest(request, std::span(out).first(5)), 0U);
  }
  std::array<std::uint8_t, 6> out{};
  EXPECT_EQ(ledcolor::EncodeHostRequest(ledcolor::HostRequest::kNone, out), 0U);
  EXPECT_EQ(ledcolor::EncodeHostRequest(static_cast<ledcolor::HostRequest>(3), out), 0U);
  EXPECT_EQ(out, (std::array<std::uint8_t, 6>{}));
}

TEST(AdalightReader, ResetGivesUpWhatIsHeld) {
  for (const AdalightFormat format : {AdalightFormat::kClassic, AdalightFormat::kAwa}) {
    const std::vector<std::uint8_t> frame = Frame(4, 9, format);
    std::vector<Rgb> storage(4);
    ledcolor::AdalightReader reader(storage, format);
    for (const std::size_t cut : {std::size_t{2}, std::size_t{8}, frame.size() - 1}) {
      const std::uint64_t skipped = reader.SkippedBytes();
      EXPECT_EQ(reader.Feed(std::span(frame).first(cut)).consumed, cut);
      reader.Reset();
      EXPECT_EQ(reader.SkippedBytes(), skipped + cut);
      const auto r = reader.Feed(frame);
      EXPECT_EQ(r.consumed, frame.size());
      EXPECT_EQ(r.led_count, 4U);
    }
  }
  std::vector<Rgb> storage(4);
  ledcolor::AdalightReader neither(storage, static_cast<AdalightFormat>(2));
  const std::vector<std::uint8_t> frame = Frame(4, 9, AdalightFormat::kClassic);
  EXPECT_EQ(neither.Feed(frame).led_count, 0U);
  EXPECT_EQ(neither.SkippedBytes(), frame.size());
}

// A controller that works on LEDs as they arrive: what Collecting shows of a frame, byte by byte,
// is the start of the colours Feed returns under the same candidate number, and every intact frame
// is shown as it arrives -- also the one after a candidate whose check fails, and one that starts
// inside it.
TEST(AdalightReader, ShowsEachFrameAsItArrives) {
  for (const AdalightFormat format : {AdalightFormat::kClassic, AdalightFormat::kAwa}) {
    std::vector<std::uint8_t> stream = {0x41, 0x00};
    std::size_t intact = 0;
    const auto add = [&](const std::vector<std::uint8_t>& bytes, bool counts) {
      stream.insert(stream.end(), bytes.begin(), bytes.end());
      intact += counts ? 1 : 0;
    };
    add(Frame(5, 1, format), true);
    if (format == AdalightFormat::kAwa) {
      add(CheckedFrame(1, 3, 2), true);
      add(kHello, false);
      add(CheckedFrame(2, 4, 3), true);
      std::vector<std::uint8_t> broken = Frame(6, 4, format);
      broken.back() ^= 1;  // its check fails
      add(std::vector<std::uint8_t>(broken.begin(), broken.end() - 9), false);
      add(Frame(1, 5, format), true);  // found in what the failed candidate held
    }
    add(Frame(2, 6, format), true);
    std::vector<Rgb> storage(8);
    ledcolor::AdalightReader reader(storage, format);
    struct Seen {
      std::size_t leds;
      bool rgbw;
      std::vector<std::uint8_t> colours;
    };
    std::vector<std::pair<std::uint32_t, Seen>> seen;
    std::size_t returned = 0;
    const auto handle = [&](const ledcolor::AdalightReader::Result& r) {
      const auto progress = reader.Collecting();
      if (r.led_count == 0) {
        if (progress.led_count != 0) {
          const std::size_t size = (progress.rgbw ? 4 : 3) * progress.led_count;
          EXPECT_LE(progress.colours.size(), size);
          EXPECT_EQ(progress.rgbw, format == AdalightFormat::kAwa && progress.led_count == 4);
          EXPECT_EQ(progress.calibrated, format == AdalightFormat::kAwa && progress.led_count == 3);
          seen.push_back({progress.candidate,
                          {progress.led_count,
                           progress.rgbw,
                           {progress.colours.begin(), progress.colours.end()}}});
        }
        return;
      }
      ++returned;
      // The last Progress under the number the reader gives now: the whole frame, as returned.
      auto last = std::find_if(seen.rbegin(), seen.rend(),
                               [&](const auto& s) { return s.first == progress.candidate; });
      ASSERT_NE(last, seen.rend()) << "frame " << returned << " was not shown as it arrived";
      const auto* bytes = r.leds_rgbw.empty()
                              ? reinterpret_cast<const std::uint8_t*>(r.leds.data())
                              : reinterpret_cast<const std::uint8_t*>(r.leds_rgbw.data());
      const Seen& s = last->second;
      EXPECT_EQ(s.leds, r.led_count);
      EXPECT_EQ(s.rgbw, !r.leds_rgbw.empty());
      EXPECT_TRUE(std::equal(s.colours.begin(), s.colours.end(), bytes));
      // Whole, but for a classic frame's last byte, which returns it.
      EXPECT_EQ(s.colours.size() + (format == AdalightFormat::kClassic ? 1 : 0),
                (s.rgbw ? 4 : 3) * s.leds);
    };
    for (const std::uint8_t byte : stream) {
      for (std::span<const std::uint8_t> piece(&byte, 1); !piece.empty();) {
        const auto r = reader.Feed(piece);
        piece = piece.subspan(r.consumed);
        handle(r);
      }
      for (auto r = reader.Feed({}); r.led_count != 0 || r.request != ledcolor::HostRequest::kNone;
           r = reader.Feed({})) {
        handle(r);
      }
    }
    EXPECT_EQ(returned, intact);
  }
}

}  // namespace
