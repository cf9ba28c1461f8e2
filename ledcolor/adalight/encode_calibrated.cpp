#include <array>

#include "ledcolor/adalight.h"
#include "ledcolor/adalight/check_sums.h"
#include "ledcolor/adalight/header.h"
#include "ledcolor/internal/overlap.h"

namespace ledcolor {

std::size_t EncodeAdalightFrame(std::span<const Rgb> leds, std::span<std::uint8_t> frame,
                                const WhiteCalibration& calibration) noexcept {
  const std::size_t size = AdalightCalibratedFrameSize(leds.size());
  if (size == 0 || frame.size() < size) {
    return 0;
  }
  const std::array<std::uint8_t, kAdalightCalibrationSize> extra = {
      calibration.gain, calibration.red, calibration.green, calibration.blue};
  adalight::WriteChecked(adalight::RowBytes(leds), internal::Overlap(leds, frame),
                         adalight::kCalibratedMagic, leds.size(), extra, frame.data());
  return size;
}

}  // namespace ledcolor
