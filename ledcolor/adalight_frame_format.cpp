#include <cstring>

#include "ledcolor/adalight_check.h"
#include "ledcolor/adalight_header.h"
#include "ledcolor/ledcolor.h"

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
  // The colours go first, with memmove, as in the classic frame: a row that overlaps the frame is
  // copied whole before the header can overwrite any of it. The check bytes are then taken over
  // the frame's own copy.
  const std::span<std::uint8_t> colours = frame.subspan(kAdalightHeaderSize, leds.size_bytes());
  std::memmove(colours.data(), leds.data(), colours.size());
  adalight::WriteHeader(frame.data(), adalight::kCheckedMagic, leds.size());
  const auto check = adalight::CheckBytes(colours);
  std::memcpy(colours.data() + colours.size(), check.data(), check.size());
  return size;
}

}  // namespace ledcolor
