#include <algorithm>
#include <cstring>

#include "ledcolor/adalight.h"
#include "ledcolor/adalight/check_sums.h"
#include "ledcolor/adalight/header.h"

namespace ledcolor {

std::size_t DecodeAdalightFrame(std::span<const std::uint8_t> frame, std::span<Rgb> leds,
                                AdalightFormat format) noexcept {
  if (format == AdalightFormat::kClassic) {
    return DecodeAdalightFrame(frame, leds);
  }
  if (format != AdalightFormat::kAwa || frame.size() < kAdalightHeaderSize) {
    return 0;
  }
  const std::size_t count = adalight::LedCount(frame.data(), adalight::kCheckedMagic);
  if (count == 0 || frame.size() < AdalightFrameSize(count, format) || leds.size() < count) {
    return 0;
  }
  // Checked where the colours lie, before anything is written.
  const auto colours = frame.subspan(kAdalightHeaderSize, 3 * count);
  const auto check = adalight::CheckBytes(colours);
  const auto sent = frame.subspan(kAdalightHeaderSize + colours.size(), check.size());
  if (!std::equal(check.begin(), check.end(), sent.begin())) {
    return 0;
  }
  std::memmove(leds.data(), colours.data(), colours.size());
  return count;
}

}  // namespace ledcolor
