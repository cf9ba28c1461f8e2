// EncodeAdalightFrame with the fuzzer choosing the format, the row length, the colours and the
// buffer size. The result must be 0 or the frame's size, the frame must follow the layout -- the
// checked format's check bytes those of the reference -- and decode back to the row, and nothing
// may be written past the returned length: not in the buffer, and not in the guard bytes behind it.
//
// Input: 4 bytes row length (little-endian; the top bit picks the checked format, the rest is
// taken modulo 65540 so that 0, 65536 and 65537 are all reachable), 2 bytes signed offset of the
// buffer size from the frame's size, then colour bytes, repeated to fill the row.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "check.h"
#include "ledcolor/ledcolor.h"
#include "reference_adalight_scanner.h"

using ledcolor_fuzzing::Check;

namespace {

constexpr std::size_t kLedsTried = ledcolor::kAdalightMaxLeds + 4;  // 0 to 65539
constexpr std::size_t kGuardBytes = 64;
constexpr std::size_t kLargestBuffer = 9 + 3 * (kLedsTried - 1) + INT16_MAX + kGuardBytes;
constexpr std::uint8_t kFill = 0xA7;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) {
    return -1;  // not worth keeping in the corpus
  }
  std::uint32_t raw_leds = 0;
  for (std::size_t i = 4; i-- > 0;) {
    raw_leds = (raw_leds << 8) | data[i];
  }
  const bool checked = (raw_leds >> 31) != 0;
  const auto format = checked ? ledcolor::AdalightFormat::kAwa : ledcolor::AdalightFormat::kClassic;
  const std::size_t leds = (raw_leds & 0x7FFFFFFF) % kLedsTried;
  const std::size_t frame_size = 6 + 3 * leds + (checked ? 3 : 0);
  const auto offset = static_cast<std::int16_t>(static_cast<std::uint16_t>(data[4] | data[5] << 8));
  const std::ptrdiff_t wanted = static_cast<std::ptrdiff_t>(frame_size) + offset;
  const std::size_t buffer_size = wanted < 0 ? 0 : static_cast<std::size_t>(wanted);

  // Exactly `leds` records on the heap, so that AddressSanitizer sees any read past the row. They
  // hold the given bytes over and over, filled by doubling: per-byte loops are instrumented by the
  // fuzzer and would cost far more than the encoder under test.
  const std::unique_ptr<ledcolor::Rgb[]> row(new ledcolor::Rgb[leds]);
  const std::span<std::uint8_t> row_bytes(reinterpret_cast<std::uint8_t*>(row.get()), 3 * leds);
  std::size_t filled = std::min(size - 6, row_bytes.size());
  std::memcpy(row_bytes.data(), data + 6, filled);
  if (filled == 0) {
    std::memset(row_bytes.data(), 0, row_bytes.size());
    filled = row_bytes.size();
  }
  while (filled < row_bytes.size()) {
    const std::size_t chunk = std::min(filled, row_bytes.size() - filled);
    std::memcpy(row_bytes.data() + filled, row_bytes.data(), chunk);
    filled += chunk;
  }

  std::vector<std::uint8_t> frame(buffer_size + kGuardBytes, kFill);
  const std::size_t written = ledcolor::EncodeAdalightFrame(
      std::span(row.get(), leds), std::span(frame).first(buffer_size), format);

  const bool encodable = leds >= 1 && leds <= ledcolor::kAdalightMaxLeds;
  const std::size_t expected = encodable && buffer_size >= frame_size ? frame_size : 0;
  Check(written == expected);
  // One memcmp rather than a loop, for the same reason as above.
  static const std::vector<std::uint8_t> untouched(kLargestBuffer, kFill);
  Check(std::memcmp(frame.data() + written, untouched.data(), frame.size() - written) == 0);
  if (written == 0) {
    return 0;
  }
  const std::size_t count = leds - 1;
  const auto hi = static_cast<std::uint8_t>(count >> 8);
  const auto lo = static_cast<std::uint8_t>(count & 0xFF);
  const std::uint8_t header[6] = {'A', checked ? std::uint8_t{'w'} : std::uint8_t{'d'}, 'a', hi,
                                  lo,  static_cast<std::uint8_t>(hi ^ lo ^ 0x55)};
  Check(std::memcmp(frame.data(), header, sizeof header) == 0);
  Check(std::memcmp(frame.data() + 6, row_bytes.data(), row_bytes.size()) == 0);
  if (checked) {
    const auto check = ledcolor_testing::AwaCheckBytes(row_bytes);
    Check(std::memcmp(frame.data() + 6 + row_bytes.size(), check.data(), 3) == 0);
  }
  const std::unique_ptr<ledcolor::Rgb[]> decoded(new ledcolor::Rgb[leds]);
  Check(ledcolor::DecodeAdalightFrame(frame, std::span(decoded.get(), leds), format) == leds);
  Check(std::memcmp(decoded.get(), row.get(), row_bytes.size()) == 0);
  return 0;
}
