#include <cstddef>
#include <cstdint>

#include "ledcolor/ledcolor.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define LEDCOLOR_ROW_SSE2 1
#endif

namespace ledcolor {

namespace {

// v * ceiling / 255 without a division: for ceiling < 255, with m = ceil(ceiling * 2^16 / 255),
// (v * m) >> 16 is exactly that quotient for every 8-bit v. m overshoots ceiling / 255 by less
// than 2^-16, so v * m / 2^16 overshoots the true quotient by less than 255 / 2^16, which is less
// than the 1/255 that separates its fractional part from the next integer. The unit tests check
// it over all 256 x 256 pairs. At ceiling 255, m would need 17 bits; that ceiling is the identity.
constexpr std::uint32_t CeilingMultiplier(std::uint8_t ceiling) noexcept {
  return (std::uint32_t{ceiling} * 65536U + 254U) / 255U;
}

constexpr std::uint8_t Scale(std::uint8_t v, std::uint32_t multiplier) noexcept {
  return static_cast<std::uint8_t>((std::uint32_t{v} * multiplier) >> 16);
}

}  // namespace

void ApplyCeiling(std::span<Rgb> leds, std::uint8_t ceiling) noexcept {
  if (ceiling == 255) {
    return;
  }
  const std::uint32_t multiplier = CeilingMultiplier(ceiling);
  // Rgb is three bytes with no padding, and each byte is scaled alone, so the row is dimmed as
  // the flat run of bytes it is, at whatever address and length it comes.
  auto* bytes = reinterpret_cast<std::uint8_t*>(leds.data());
  const std::size_t size = leds.size_bytes();
  std::size_t i = 0;
#ifdef LEDCOLOR_ROW_SSE2
  // Sixteen bytes at a time, each widened to 16 bits; the high half of the 16 x 16-bit product is
  // the same (v * m) >> 16 as below, so both paths give the same bytes.
  const __m128i m = _mm_set1_epi16(static_cast<short>(multiplier));
  const __m128i zero = _mm_setzero_si128();
  for (; size - i >= 16; i += 16) {
    auto* block = reinterpret_cast<__m128i*>(bytes + i);
    const __m128i x = _mm_loadu_si128(block);
    const __m128i lo = _mm_mulhi_epu16(_mm_unpacklo_epi8(x, zero), m);
    const __m128i hi = _mm_mulhi_epu16(_mm_unpackhi_epi8(x, zero), m);
    _mm_storeu_si128(block, _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < size; ++i) {
    bytes[i] = Scale(bytes[i], multiplier);
  }
}

}  // namespace ledcolor
