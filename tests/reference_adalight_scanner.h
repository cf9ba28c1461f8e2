// An independent reading of an Adalight byte stream -- classic frames, or the checked variants
// and the hosts' requests -- the oracle for AdalightReader in the unit tests and the fuzzer. It
// sees the whole stream at once and tries every start position in turn, where the reader works byte
// by byte on pieces; it shares no code with the library.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ledcolor/ledcolor.h"

namespace ledcolor_testing {

using ledcolor::AdalightFormat;

// The three check bytes of a checked frame, literally as defined: the running sum and the sum of
// the running sums mod 255, and each byte XOR its position (from 0, wrapping at 256) mod 255.
inline std::array<std::uint8_t, 3> AwaCheckBytes(std::span<const std::uint8_t> colours) {
  unsigned f1 = 0;
  unsigned f2 = 0;
  unsigned fx = 0;
  for (std::size_t k = 0; k < colours.size(); ++k) {
    f1 = (f1 + colours[k]) % 255;
    f2 = (f2 + f1) % 255;
    fx = (fx + (colours[k] ^ static_cast<unsigned>(k % 256))) % 255;
  }
  return {static_cast<std::uint8_t>(f1), static_cast<std::uint8_t>(f2),
          static_cast<std::uint8_t>(fx == 0x41 ? 0xAA : fx)};
}

// A frame or a request found in the stream.
struct ScannedFrame {
  std::size_t end;                    // stream offset just past its last byte
  std::size_t led_count;              // N; 0 for a request
  std::vector<std::uint8_t> colours;  // the first min(N, kept) colours' bytes (4 a colour in "AWa")
  bool rgbw = false;                  // an "AWa" frame
  std::vector<std::uint8_t> calibration;  // an "AwA" frame's four calibration bytes
  ledcolor::HostRequest request = ledcolor::HostRequest::kNone;
};

struct ScannedStream {
  std::vector<ScannedFrame> frames;
  std::size_t skipped = 0;  // start positions ruled out, outside every frame and request
};

// What can start at a position: in the classic format "Ada" frames; in the checked format "Awa",
// "AwA" and "AWa" frames and the two requests.
struct Shape {
  const char* letters;
  std::size_t bytes_per_led;  // 0 for a request
  std::size_t calibration;    // bytes between the colours and the check bytes
};
inline constexpr Shape kClassicShapes[] = {{"Ada", 3, 0}};
inline constexpr Shape kCheckedShapes[] = {
    {"Awa", 3, 0}, {"AwA", 3, 4}, {"AWa", 4, 0}, {"AwA", 0, 0}};

// A position is ruled out for a shape as soon as the bytes it has contradict it: a letter; for a
// request the count bytes 2A A2 and a last byte of 15 or 35; for a frame in the checked format
// colours beyond the storage (3 * kept_leds bytes), once both count bytes are there, the header
// checksum, and the three check bytes, once all are there. A position is ruled out when every
// shape is. The scan stops at the first position the stream ends too early to decide: its bytes
// and all after it are still held.
inline ScannedStream ScanAdalightStream(std::span<const std::uint8_t> s, std::size_t kept_leds,
                                        AdalightFormat format = AdalightFormat::kClassic) {
  const bool checked = format == AdalightFormat::kAwa;
  const std::span<const Shape> shapes =
      checked ? std::span<const Shape>(kCheckedShapes) : std::span<const Shape>(kClassicShapes);
  ScannedStream out;
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t have = s.size() - i;
    bool undecided = false;
    bool found = false;
    for (const Shape& shape : shapes) {
      bool ruled_out = false;
      for (std::size_t k = 0; k < 3 && k < have; ++k) {
        ruled_out = ruled_out || s[i + k] != static_cast<std::uint8_t>(shape.letters[k]);
      }
      if (shape.bytes_per_led == 0) {  // a request: AwA 2A A2, then 15 or 35
        ruled_out = ruled_out || (have > 3 && s[i + 3] != 0x2A) || (have > 4 && s[i + 4] != 0xA2) ||
                    (have > 5 && s[i + 5] != 0x15 && s[i + 5] != 0x35);
        if (!ruled_out && have >= 6) {
          out.frames.push_back(
              {i + 6,
               0,
               {},
               false,
               {},
               s[i + 5] == 0x15 ? ledcolor::HostRequest::kHello : ledcolor::HostRequest::kGoodbye});
          i += 6;
          found = true;
          break;
        }
        undecided = undecided || !ruled_out;
        continue;
      }
      const std::size_t n = have >= 5 ? s[i + 3] * 256U + s[i + 4] + 1U : 0;
      ruled_out = ruled_out || (checked && shape.bytes_per_led * n > 3 * kept_leds);
      if (!ruled_out && have >= 6) {
        ruled_out = (s[i + 3] ^ s[i + 4] ^ 0x55) != s[i + 5];
      }
      const std::size_t payload = shape.bytes_per_led * n + shape.calibration;
      const std::size_t size = 6 + payload + (checked ? 3 : 0);
      if (!ruled_out && checked && have >= size) {
        const auto check = AwaCheckBytes(s.subspan(i + 6, payload));
        ruled_out = !std::equal(check.begin(), check.end(),
                                s.begin() + static_cast<std::ptrdiff_t>(i + 6 + payload));
      }
      if (ruled_out) {
        continue;
      }
      if (have < 6 || have < size) {
        undecided = true;
        continue;
      }
      const auto colours = s.subspan(i + 6, shape.bytes_per_led * std::min(n, kept_leds));
      const auto calibration = s.subspan(i + 6 + shape.bytes_per_led * n, shape.calibration);
      out.frames.push_back({i + size,
                            n,
                            {colours.begin(), colours.end()},
                            shape.bytes_per_led == 4,
                            {calibration.begin(), calibration.end()}});
      i += size;
      found = true;
      break;
    }
    if (found) {
      continue;
    }
    if (undecided) {
      break;
    }
    ++out.skipped;
    ++i;
  }
  return out;
}

// Feeds `stream` to a fresh reader over `storage` in pieces of the sizes `next_piece()` gives (at
// least 1; the last piece is cut to what is left), each piece in an allocation of its own so that
// AddressSanitizer sees any read past it; feeds the rest of a piece again after each frame, and an
// empty input at the end until no frame is left. Holds every result and both counters to the
// reference scan. False at the first disagreement.
template <typename NextPiece>
bool ReaderAgreesWithScan(std::span<const std::uint8_t> stream, std::span<ledcolor::Rgb> storage,
                          NextPiece next_piece, AdalightFormat format = AdalightFormat::kClassic) {
  const ScannedStream expected = ScanAdalightStream(stream, storage.size(), format);
  ledcolor::AdalightReader reader(storage, format);
  std::size_t frame = 0;
  std::size_t offset = 0;
  const auto matches = [&](const ledcolor::AdalightReader::Result& r) {
    if (frame == expected.frames.size()) {
      return false;
    }
    const ScannedFrame& want = expected.frames[frame++];
    const auto got = want.rgbw ? std::as_bytes(r.leds_rgbw) : std::as_bytes(r.leds);
    const auto other = want.rgbw ? std::as_bytes(r.leds) : std::as_bytes(r.leds_rgbw);
    const std::vector<std::uint8_t> calibration =
        r.calibration ? std::vector<std::uint8_t>{r.calibration->gain, r.calibration->red,
                                                  r.calibration->green, r.calibration->blue}
                      : std::vector<std::uint8_t>{};
    // A checked frame found in the bytes of a failed candidate comes out after its end.
    const bool in_time = format == AdalightFormat::kAwa ? offset >= want.end : offset == want.end;
    return in_time && r.led_count == want.led_count && r.request == want.request &&
           got.size() == want.colours.size() && other.empty() && calibration == want.calibration &&
           std::equal(want.colours.begin(), want.colours.end(), got.begin(),
                      [](std::uint8_t a, std::byte b) { return std::byte{a} == b; });
  };
  const auto completed = [](const ledcolor::AdalightReader::Result& r) {
    return r.led_count != 0 || r.request != ledcolor::HostRequest::kNone;
  };
  while (offset < stream.size()) {
    const std::size_t size = std::min(next_piece(), stream.size() - offset);
    const std::vector<std::uint8_t> piece(
        stream.begin() + static_cast<std::ptrdiff_t>(offset),
        stream.begin() + static_cast<std::ptrdiff_t>(offset + size));
    std::span<const std::uint8_t> input(piece);
    while (!input.empty()) {
      const ledcolor::AdalightReader::Result r = reader.Feed(input);
      if (r.consumed > input.size()) {
        return false;
      }
      offset += r.consumed;
      input = input.subspan(r.consumed);
      // What a frame being read shows of itself lies in the storage, within its N.
      const auto progress = reader.Collecting();
      const auto* front = reinterpret_cast<const std::uint8_t*>(storage.data());
      if (progress.colours.size() > (progress.rgbw ? 4 : 3) * progress.led_count ||
          (!progress.colours.empty() &&
           (progress.colours.data() < front ||
            progress.colours.data() + progress.colours.size() > front + storage.size_bytes()))) {
        return false;
      }
      if (!completed(r)) {
        if (!input.empty() || r.leds.size() != 0 || r.leds_rgbw.size() != 0 || r.calibration) {
          return false;  // a Feed that completes nothing takes all it is given
        }
      } else if (!matches(r)) {
        return false;
      }
    }
  }
  for (auto r = reader.Feed({}); completed(r); r = reader.Feed({})) {
    if (r.consumed != 0 || !matches(r)) {
      return false;
    }
  }
  const auto truncated =
      std::count_if(expected.frames.begin(), expected.frames.end(),
                    [&](const ScannedFrame& f) { return f.led_count > storage.size(); });
  return frame == expected.frames.size() && reader.SkippedBytes() == expected.skipped &&
         reader.TruncatedFrames() == static_cast<std::uint64_t>(truncated);
}

}  // namespace ledcolor_testing
