// The check bytes of a kAwa frame, shared by its encoder, its decoder and the reader.
// Internal: not installed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "ledcolor/adalight.h"

namespace ledcolor::adalight {

// The three sums behind the check bytes, over colour bytes added in order, in pieces of any size.
class CheckSums {
 public:
  // Adds `bytes`; with `copy`, writes them there too, in the same pass (`copy` must not overlap
  // them).
  void Add(std::span<const std::uint8_t> bytes, std::uint8_t* copy = nullptr) noexcept;
  // f1, f2 and fx, the last sent as 0xAA when it is 0x41.
  [[nodiscard]] std::array<std::uint8_t, kAdalightCheckSize> Bytes() const noexcept;

 private:
  std::uint32_t sum_ = 0;          // f1: the bytes, mod 255
  std::uint32_t sum_of_sums_ = 0;  // f2: the running sums after each byte, mod 255
  std::uint32_t xor_sum_ = 0;      // fx: each byte XOR its position, mod 255
  std::uint8_t position_ = 0;      // of the next byte, mod 256
};

inline std::array<std::uint8_t, kAdalightCheckSize> CheckBytes(
    std::span<const std::uint8_t> colours) noexcept {
  CheckSums sums;
  sums.Add(colours);
  return sums.Bytes();
}

}  // namespace ledcolor::adalight
