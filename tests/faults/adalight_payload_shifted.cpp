// Fault: the payload lands one byte late.
#include "faulty_encoder.h"

std::size_t ledcolor::EncodeAdalightFrame(std::span<const Rgb> leds,
                                          std::span<std::uint8_t> frame) noexcept {
  return ledcolor_faults::EncodeWithFault(leds, frame, {.payload_one_late = true});
}
