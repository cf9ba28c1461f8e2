// The Adalight header as the encoders write it and the decoders and the reader check it.
// Internal: not installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace ledcolor::adalight {

inline constexpr std::uint8_t kMagic[] = {0x41, 0x64, 0x61};         // "Ada"
inline constexpr std::uint8_t kCheckedMagic[] = {0x41, 0x77, 0x61};  // "Awa"
static_assert(kMagic[0] == kCheckedMagic[0], "both formats start with 'A': one NextStart serves");

// The N that a complete six-byte header announces, 1 to 65536, or 0 when it is no header.
constexpr std::size_t LedCount(const std::uint8_t* header,
                               const std::uint8_t (&magic)[3] = kMagic) noexcept {
  if (header[0] != magic[0] || header[1] != magic[1] || header[2] != magic[2] ||
      header[5] != (header[3] ^ header[4] ^ 0x55)) {
    return 0;
  }
  // The count field holds N - 1, high byte first.
  return ((std::size_t{header[3]} << 8) | header[4]) + 1;
}

// The position of the first 'A' -- where every frame starts -- at or after `from`, or the end of
// `bytes` when there is none: everything before it is noise, and memchr finds it fastest.
inline std::size_t NextStart(std::span<const std::uint8_t> bytes, std::size_t from) noexcept {
  const void* found = std::memchr(bytes.data() + from, kMagic[0], bytes.size() - from);
  return found == nullptr
             ? bytes.size()
             : static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - bytes.data());
}

// Writes the six header bytes for N LEDs, 1 <= N <= 65536.
constexpr void WriteHeader(std::uint8_t* out, const std::uint8_t (&magic)[3],
                           std::size_t led_count) noexcept {
  // N - 1, because a frame always holds at least one LED: 16 bits then reach 65536 LEDs.
  const std::size_t count = led_count - 1;
  const auto hi = static_cast<std::uint8_t>(count >> 8);
  const auto lo = static_cast<std::uint8_t>(count & 0xFF);
  out[0] = magic[0];
  out[1] = magic[1];
  out[2] = magic[2];
  out[3] = hi;
  out[4] = lo;
  out[5] = static_cast<std::uint8_t>(hi ^ lo ^ 0x55);
}

}  // namespace ledcolor::adalight
