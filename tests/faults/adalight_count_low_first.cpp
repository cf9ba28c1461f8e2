// Fault: the count N - 1 goes low byte first.
#include "faulty_encoder.h"

std::size_t ledcolor::EncodeAdalightFrame(std::span<const Rgb> leds,
                                          std::span<std::uint8_t> frame) noexcept {
  return ledcolor_faults::EncodeWithFault(leds, frame, {.low_byte_first = true});
}
