// Fault: the last colour byte is changed on its way into the frame.
#include "faulty_encoder.h"

std::size_t ledcolor::EncodeAdalightFrame(std::span<const Rgb> leds,
                                          std::span<std::uint8_t> frame) noexcept {
  return ledcolor_faults::EncodeWithFault(leds, frame, {.flip_last_byte = true});
}
