// The Adalight header as the decoder and the reader both check it. Internal: not installed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ledcolor::adalight {

inline constexpr std::uint8_t kMagic[] = {0x41, 0x64, 0x61};  // "Ada"

// The N that a complete six-byte header announces, 1 to 65536, or 0 when it is no header.
constexpr std::size_t LedCount(const std::uint8_t* header) noexcept {
  if (header[0] != kMagic[0] || header[1] != kMagic[1] || header[2] != kMagic[2] ||
      header[5] != (header[3] ^ header[4] ^ 0x55)) {
    return 0;
  }
  // The count field holds N - 1, high byte first.
  return ((std::size_t{header[3]} << 8) | header[4]) + 1;
}

}  // namespace ledcolor::adalight
