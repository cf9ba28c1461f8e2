// AdalightReader and DecodeAdalightFrame on arbitrary byte streams, in either format, held against
// the reference scan of the whole stream: the same frames (in the checked format all three
// variants) and requests with the same colours, and the same bytes skipped, however the stream is
// cut, for storage that holds all, some or none of a frame.
//
// Input: 1 byte whose top bit picks the checked format and whose rest, modulo 70, is the storage
// size in LEDs; 1 byte seed for the piece sizes; then the stream.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "check.h"
#include "ledcolor/ledcolor.h"
#include "reference_adalight_scanner.h"

using ledcolor_fuzzing::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return -1;
  }
  const std::span<const std::uint8_t> stream(data + 2, size - 2);
  const auto format =
      (data[0] & 0x80) != 0 ? ledcolor::AdalightFormat::kAwa : ledcolor::AdalightFormat::kClassic;
  std::vector<ledcolor::Rgb> storage((data[0] & 0x7F) % 70);

  // Pieces of 1 to 2^k bytes, k from the seed: byte by byte up to whole streams.
  std::uint32_t state = data[1] | 1U;
  const std::uint32_t max_piece = 1U << (data[1] % 13);
  Check(ledcolor_testing::ReaderAgreesWithScan(
      stream, storage,
      [&] {
        state = state * 1103515245U + 12345U;
        return std::size_t{1} + (state >> 8) % max_piece;
      },
      format));

  // The decoder takes a frame only at the very front, and only whole into storage that holds it.
  const ledcolor::Rgb kFill{0x5A, 0xA5, 0x3C};
  std::fill(storage.begin(), storage.end(), kFill);
  const std::size_t decoded = ledcolor::DecodeAdalightFrame(stream, storage, format);
  const auto scan = ledcolor_testing::ScanAdalightStream(stream, storage.size(), format);
  const bool at_front =
      !scan.frames.empty() &&
      scan.frames[0].end == ledcolor::AdalightFrameSize(scan.frames[0].led_count, format);
  const bool fits = at_front && scan.frames[0].led_count <= storage.size();
  Check(decoded == (fits ? scan.frames[0].led_count : 0));
  const auto bytes = std::as_bytes(std::span(storage));
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint8_t want = i < 3 * decoded
                                  ? scan.frames[0].colours[i]
                                  : reinterpret_cast<const std::uint8_t*>(&kFill)[i % 3];
    Check(std::to_integer<std::uint8_t>(bytes[i]) == want);
  }
  if (format != ledcolor::AdalightFormat::kAwa) {
    return 0;
  }

  // In the checked format the decoder's other form takes any variant or a request at the front,
  // and reports it as the reader does.
  std::fill(storage.begin(), storage.end(), kFill);
  ledcolor::AdalightReader::Result r{};
  const bool taken = ledcolor::DecodeAdalightFrame(stream, storage, r);
  const auto* first = scan.frames.empty() ? nullptr : &scan.frames[0];
  const std::size_t first_size =
      first == nullptr ? 0
      : first->led_count == 0
          ? 6
          : 9 + (first->rgbw ? 4 : 3) * first->led_count + first->calibration.size();
  Check(taken == (first != nullptr && first->end == first_size));
  if (!taken) {
    return 0;
  }
  Check(r.consumed == first_size && r.led_count == first->led_count &&
        r.request == first->request && r.calibration.has_value() == !first->calibration.empty());
  Check((first->rgbw ? r.leds_rgbw.size_bytes() : r.leds.size_bytes()) == first->colours.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint8_t want = i < first->colours.size()
                                  ? first->colours[i]
                                  : reinterpret_cast<const std::uint8_t*>(&kFill)[i % 3];
    Check(std::to_integer<std::uint8_t>(bytes[i]) == want);
  }
  return 0;
}
