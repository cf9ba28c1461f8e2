// Reading and writing the fields of a datagram. Internal: not installed.
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
constexpr void PutBig16(std::span<std::uint8_t> d, std::size_t at, std::uint16_t value) noexcept {
  d[at] = static_cast<std::uint8_t>(value >> 8);
  d[at + 1] = static_cast<std::uint8_t>(value);
}
constexpr void PutBig32(std::span<std::uint8_t> d, std::size_t at, std::uint32_t value) noexcept {
  PutBig16(d, at, static_cast<std::uint16_t>(value >> 16));
  PutBig16(d, at + 2, static_cast<std::uint16_t>(value));
}

}  // namespace ledcolor::net
