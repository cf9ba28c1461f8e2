// Reading the fields of a datagram. Internal: not installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ledcolor::net {

// Network byte order: high byte first. The callers have checked that the bytes are there.
constexpr std::uint16_t Big16(std::span<const std::uint8_t> d, std::size_t at) noexcept {
  return static_cast<std::uint16_t>(d[at] << 8 | d[at + 1]);
}
constexpr std::uint32_t Big32(std::span<const std::uint8_t> d, std::size_t at) noexcept {
  return std::uint32_t{Big16(d, at)} << 16 | Big16(d, at + 2);
}

}  // namespace ledcolor::net
