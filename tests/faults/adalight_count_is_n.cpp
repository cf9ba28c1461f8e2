// Fault: the count field carries N instead of N - 1.
#include "faulty_encoder.h"

std::size_t ledcolor::EncodeAdalightFrame(std::span<const Rgb> leds,
                                          std::span<std::uint8_t> frame) noexcept {
  return ledcolor_faults::EncodeWithFault(leds, frame, {.count_is_n = true});
}
