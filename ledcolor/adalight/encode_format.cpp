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
  adalight::WriteChecked(adalight::RowBytes(leds), internal::Overlap(leds, frame),
                         adalight::kCheckedMagic, leds.size(), {}, frame.data());
  return size;
}

}  // namespace ledcolor
