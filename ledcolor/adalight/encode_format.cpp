#include <cstring>

#include "ledcolor/adalight.h"
#include "ledcolor/adalight/check_sums.h"
#include "ledcolor/adalight/header.h"
#include "ledcolor/internal/overlap.h"

namespace ledcolor {

std::size_t EncodeAdalightFrame(std::span<const Rgb> leds, std::span<std::uint8_t> frame,
                                AdalightFormat format) noexcept {
  if (format == AdalightFormat::kClassic) {
    return EncodeAdalightFrame(leds, frame);
  }
  const std::size_t size = AdalightFrameSize(leds.size(), format);
  if (size == 0 || frame.size() < size) {
    return 0;
  }
  // A row apart from the frame is copied and summed in one pass. A row that overlaps it is moved
  // first, as in the classic frame, whole before the header can overwrite any of it, and summed
  // where it landed.
  const std::span<std::uint8_t> colours = frame.subspan(kAdalightHeaderSize, leds.size_bytes());
  const std::span<const std::uint8_t> row(reinterpret_cast<const std::uint8_t*>(leds.data()),
                                          leds.size_bytes());
  adalight::CheckSums sums;
  if (internal::Overlap(leds, frame)) {
    std::memmove(colours.data(), row.data(), row.size());
    sums.Add(colours);
  } else {
    sums.Add(row, colours.data());
  }
  adalight::WriteHeader(frame.data(), adalight::kCheckedMagic, leds.size());
  const auto check = sums.Bytes();
  std::memcpy(colours.data() + colours.size(), check.data(), check.size());
  return size;
}

}  // namespace ledcolor
