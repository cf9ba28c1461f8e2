// The check bytes of the checked frames, shared by their encoders, decoders and the reader.
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
  // Each member set to 0 on its own: an object cleared whole is cleared through a memset call at
  // -Os, which a firmware that reads frames would link for this alone.
  CheckSums() noexcept {}  // NOLINT(modernize-use-equals-default): see above
  // The sums a reader keeps between calls, as State() gave them (all 0: none yet).
  explicit CheckSums(const std::array<std::uint32_t, 4>& state) noexcept
      : sum_(state[0]), sum_of_sums_(state[1]), xor_sum_(state[2]), position_(state[3]) {}
  [[nodiscard]] std::array<std::uint32_t, 4> State() const noexcept {
    return {sum_, sum_of_sums_, xor_sum_, position_};
  }
  // Adds `bytes`; with `copy`, writes them there too (`copy` must not overlap them).
  void Add(std::span<const std::uint8_t> bytes, std::uint8_t* copy = nullptr) noexcept;
  // f1, f2 and fx, the last sent as 0xAA when it is 0x41.
  [[nodiscard]] std::array<std::uint8_t, kAdalightCheckSize> Bytes() const noexcept;

 private:
  std::uint32_t sum_ = 0;          // f1: the bytes, mod 255
  std::uint32_t sum_of_sums_ = 0;  // f2: the running sums after each byte, mod 255
  std::uint32_t xor_sum_ = 0;      // fx: each byte XOR its position, mod 255
  std::uint32_t position_ = 0;     // of the next byte, mod 256
};

inline std::array<std::uint8_t, kAdalightCheckSize> CheckBytes(
    std::span<const std::uint8_t> colours) noexcept {
  CheckSums sums;
  sums.Add(colours);
  return sums.Bytes();
}

// A row as the bytes it is.
template <typename Led>
std::span<const std::uint8_t> RowBytes(std::span<const Led> leds) noexcept {
  return {reinterpret_cast<const std::uint8_t*>(leds.data()), leds.size_bytes()};
}

// Writes a checked frame of `led_count` LEDs to `frame`, which has room for it: the letters
// `magic`, the count and checksum, the colours `row` (which may overlap `frame`: say so with
// `overlap`), `extra` (an "AwA" frame's calibration), and the check bytes over colours and extra.
void WriteChecked(std::span<const std::uint8_t> row, bool overlap, const std::uint8_t (&magic)[3],
                  std::size_t led_count, std::span<const std::uint8_t> extra,
                  std::uint8_t* frame) noexcept;

}  // namespace ledcolor::adalight
