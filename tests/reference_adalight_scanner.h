// An independent reading of an Adalight byte stream, the oracle for AdalightReader in the unit
// tests and the fuzzer. It sees the whole stream at once and tries every start position in turn,
// where the reader works byte by byte on pieces; it shares no code with the library.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ledcolor/ledcolor.h"

namespace ledcolor_testing {

struct ScannedFrame {
  std::size_t end;                    // stream offset just past the frame's last byte
  std::size_t led_count;              // N
  std::vector<std::uint8_t> colours;  // the first min(N, kept_leds) colours' bytes
};

struct ScannedStream {
  std::vector<ScannedFrame> frames;
  std::size_t skipped = 0;  // start positions ruled out, outside every frame
};

inline ScannedStream ScanAdalightStream(std::span<const std::uint8_t> s, std::size_t kept_leds) {
  ScannedStream out;
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t have = s.size() - i;
    // A position is ruled out as soon as a byte it has contradicts "Ada" or, with all six, the
    // checksum; with fewer than six that fit, the stream ends undecided.
    const char* magic = "Ada";
    bool ruled_out = false;
    for (std::size_t k = 0; k < 3 && k < have; ++k) {
      ruled_out = ruled_out || s[i + k] != static_cast<std::uint8_t>(magic[k]);
    }
    if (!ruled_out && have >= 6) {
      ruled_out = (s[i + 3] ^ s[i + 4] ^ 0x55) != s[i + 5];
    }
    if (ruled_out) {
      ++out.skipped;
      ++i;
      continue;
    }
    if (have < 6) {
      break;
    }
    const std::size_t n = s[i + 3] * 256U + s[i + 4] + 1U;
    if (have < 6 + 3 * n) {
      break;
    }
    const auto colours = s.subspan(i + 6, 3 * std::min(n, kept_leds));
    out.frames.push_back({i + 6 + 3 * n, n, {colours.begin(), colours.end()}});
    i += 6 + 3 * n;
  }
  return out;
}

// Feeds `stream` to a fresh reader over `storage` in pieces of the sizes `next_piece()` gives (at
// least 1; the last piece is cut to what is left), feeding the rest of a piece again after each
// frame, and holds every result and both counters to the reference scan. False at the first
// disagreement.
template <typename NextPiece>
bool ReaderAgreesWithScan(std::span<const std::uint8_t> stream, std::span<ledcolor::Rgb> storage,
                          NextPiece next_piece) {
  const ScannedStream expected = ScanAdalightStream(stream, storage.size());
  ledcolor::AdalightReader reader(storage);
  std::size_t frame = 0;
  std::size_t offset = 0;
  while (offset < stream.size()) {
    const std::size_t piece = std::min(next_piece(), stream.size() - offset);
    auto input = stream.subspan(offset, piece);
    while (!input.empty()) {
      const ledcolor::AdalightReader::Result r = reader.Feed(input);
      if (r.consumed == 0 || r.consumed > input.size()) {
        return false;
      }
      offset += r.consumed;
      input = input.subspan(r.consumed);
      if (r.led_count == 0) {
        if (!input.empty() || r.leds.size() != 0) {
          return false;  // a Feed that completes no frame takes all it is given
        }
        continue;
      }
      if (frame == expected.frames.size()) {
        return false;
      }
      const ScannedFrame& want = expected.frames[frame++];
      const auto got = std::as_bytes(r.leds);
      if (offset != want.end || r.led_count != want.led_count ||
          got.size() != want.colours.size() ||
          !std::equal(want.colours.begin(), want.colours.end(), got.begin(),
                      [](std::uint8_t a, std::byte b) { return std::byte{a} == b; })) {
        return false;
      }
    }
  }
  const auto truncated =
      std::count_if(expected.frames.begin(), expected.frames.end(),
                    [&](const ScannedFrame& f) { return f.led_count > storage.size(); });
  const auto empty_result = reader.Feed({});
  return frame == expected.frames.size() && reader.SkippedBytes() == expected.skipped &&
         reader.TruncatedFrames() == static_cast<std::uint64_t>(truncated) &&
         empty_result.consumed == 0 && empty_result.led_count == 0;
}

}  // namespace ledcolor_testing
