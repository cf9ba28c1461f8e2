// The Adalight encoder with one knob per planted fault. Each adalight_*.cpp defines the library's
// EncodeAdalightFrame through it with one knob turned, and nothing else changed.
#pragma once

#include <cstring>
#include <utility>

#include "ledcolor/ledcolor.h"

namespace ledcolor_faults {

struct EncoderFault {
  bool count_is_n = false;        // the count field carries N, not N - 1
  bool low_byte_first = false;    // the count's bytes swapped
  bool flip_last_byte = false;    // the last colour byte altered
  bool payload_one_late = false;  // the payload written one byte further on
};

inline std::size_t EncodeWithFault(std::span<const ledcolor::Rgb> leds,
                                   std::span<std::uint8_t> frame, EncoderFault fault) {
  const std::size_t size = ledcolor::AdalightFrameSize(leds.size());
  if (size == 0 || frame.size() < size) {
    return 0;
  }
  const std::size_t count = fault.count_is_n ? leds.size() : leds.size() - 1;
  auto hi = static_cast<std::uint8_t>(count >> 8);
  auto lo = static_cast<std::uint8_t>(count & 0xFF);
  if (fault.low_byte_first) {
    std::swap(hi, lo);
  }
  const std::uint8_t header[] = {0x41, 0x64, 0x61,
                                 hi,   lo,   static_cast<std::uint8_t>(hi ^ lo ^ 0x55)};
  std::memcpy(frame.data(), header, sizeof header);
  if (fault.payload_one_late) {
    std::memcpy(frame.data() + 7, leds.data(), leds.size_bytes() - 1);
  } else {
    std::memcpy(frame.data() + 6, leds.data(), leds.size_bytes());
  }
  if (fault.flip_last_byte) {
    frame[size - 1] ^= 0x01;
  }
  return size;
}

}  // namespace ledcolor_faults
