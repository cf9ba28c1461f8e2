// EncodeAdalightFrame with the fuzzer choosing the format or checked variant, the row length, the
// colours and the buffer size. The result must be 0 or the frame's size, the frame must follow the
// layout -- the checked formats' check bytes those of the reference -- and decode back to the row,
// and nothing may be written past the returned length: not in the buffer, and not in the guard
// bytes behind it.
//
// Input: 4 bytes row length (little-endian; the top bit picks the checked format, the next its
// "AwA" or, with the top bit, "AWa" variant; the rest is taken modulo 65540 so that 0, 65536 and
// 65537 are all reachable), 2 bytes signed offset of the buffer size from the frame's size, then
// colour bytes, repeated to fill the row; an "AwA" frame's calibration is the first four.
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
constexpr std::size_t kLargestBuffer = 9 + 4 * (kLedsTried - 1) + INT16_MAX + kGuardBytes;
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
  const bool rgbw = checked && (raw_leds >> 30 & 1) != 0;
  const bool calibrated = !checked && (raw_leds >> 30 & 1) != 0;
  const auto format = checked ? ledcolor::AdalightFormat::kAwa : ledcolor::AdalightFormat::kClassic;
  const std::size_t leds = (raw_leds & 0x3FFFFFFF) % kLedsTried;
  const std::size_t per_led = rgbw ? 4 : 3;
  const std::size_t extra = calibrated ? 4 : 0;
  const std::size_t frame_size = 6 + per_led * leds + extra + (checked || calibrated ? 3 : 0);
  const auto offset = static_cast<std::int16_t>(static_cast<std::uint16_t>(data[4] | data[5] << 8));
  const std::ptrdiff_t wanted = static_cast<std::ptrdiff_t>(frame_size) + offset;
  const std::size_t buffer_size = wanted < 0 ? 0 : static_cast<std::size_t>(wanted);

  // Exactly `leds` records on the heap, so that AddressSanitizer sees any read past the row. They
  // hold the given bytes over and over, filled by doubling: per-byte loops are instrumented by the
  // fuzzer and would cost far more than the encoder under test.
  const std::unique_ptr<std::uint8_t[]> row(new std::uint8_t[per_led * leds]);
  const std::span<std::uint8_t> row_bytes(row.get(), per_led * leds);
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

  const std::span<const ledcolor::Rgb> rgb(reinterpret_cast<const ledcolor::Rgb*>(row.get()), leds);
  const ledcolor::WhiteCalibration calibration{data[6 % size], data[7 % size], data[8 % size],
                                               data[9 % size]};
  std::vector<std::uint8_t> frame(buffer_size + kGuardBytes, kFill);
  const std::span<std::uint8_t> buffer = std::span(frame).first(buffer_size);
  const std::size_t written =
      rgbw ? ledcolor::EncodeAdalightFrame(
                 std::span(reinterpret_cast<const ledcolor::Rgbw*>(row.get()), leds), buffer)
      : calibrated ? ledcolor::EncodeAdalightFrame(rgb, buffer, calibration)
                   : ledcolor::EncodeAdalightFrame(rgb, buffer, format);

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
  const std::uint8_t letters[4][3] = {
      {'A', 'd', 'a'}, {'A', 'w', 'a'}, {'A', 'W', 'a'}, {'A', 'w', 'A'}};
  const std::uint8_t* const magic = letters[calibrated ? 3 : checked + rgbw];
  const std::uint8_t header[6] = {magic[0], magic[1], magic[2],
                                  hi,       lo,       static_cast<std::uint8_t>(hi ^ lo ^ 0x55)};
  Check(std::memcmp(frame.data(), header, sizeof header) == 0);
  Check(std::memcmp(frame.data() + 6, row_bytes.data(), row_bytes.size()) == 0);
  const std::uint8_t calibration_bytes[4] = {calibration.gain, calibration.red, calibration.green,
                                             calibration.blue};
  Check(std::memcmp(frame.data() + 6 + row_bytes.size(), calibration_bytes, extra) == 0);
  if (checked || calibrated) {
    const auto check =
        ledcolor_testing::AwaCheckBytes(std::span(frame).subspan(6, row_bytes.size() + extra));
    Check(std::memcmp(frame.data() + 6 + row_bytes.size() + extra, check.data(), 3) == 0);
  }
  const std::unique_ptr<ledcolor::Rgb[]> decoded(new ledcolor::Rgb[per_led * leds / 3 + 1]);
  const std::span<ledcolor::Rgb> storage(decoded.get(), per_led * leds / 3 + 1);
  if (checked || calibrated) {
    ledcolor::AdalightReader::Result r{};
    Check(ledcolor::DecodeAdalightFrame(frame, storage, r) && r.consumed == written &&
          r.led_count == leds && r.calibration.has_value() == calibrated);
  }
  if (!calibrated && !rgbw) {
    Check(ledcolor::DecodeAdalightFrame(frame, storage.first(leds), format) == leds);
  }
  Check(std::memcmp(decoded.get(), row.get(), row_bytes.size()) == 0);
  return 0;
}
