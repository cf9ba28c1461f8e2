// The 16-bit light's arithmetic, and the kernels its RGB and RGBW forms share: each works on a row
// as the flat run of 16-bit words it is, 3 or 4 a LED. Internal: not installed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ledcolor/internal/sse2.h"
#include "ledcolor/light.h"

namespace ledcolor::word {

// v * c / 65535 rounded down, without a division: for every product p of two 16-bit values,
// floor(p / 65535) = (p + (p >> 16) + 1) >> 16 (checked for all 2^32 pairs when this was written;
// the unit tests check every v at a spread of ceilings). p + (p >> 16) + 1 stays below 2^32.
constexpr std::uint16_t Dim(std::uint32_t v, std::uint32_t c) noexcept {
  const std::uint32_t p = v * c;
  return static_cast<std::uint16_t>((p + (p >> 16) + 1) >> 16);
}

// floor(x / 257) for x up to 65791, without a division: 65281 = ceil(2^24 / 257) overshoots 1/257
// by 1 / (2^24 * 257), which over that range stays below the 1/257 that separates x / 257 from the
// next integer (checked for every x when this was written).
constexpr std::uint8_t Div257(std::uint32_t x) noexcept {
  return static_cast<std::uint8_t>((x * 65281U) >> 24);
}

inline std::uint16_t Load(const std::uint8_t* at) noexcept {
  std::uint16_t v = 0;
  std::memcpy(&v, at, 2);
  return v;
}
inline void Store(std::uint8_t* at, std::uint16_t v) noexcept { std::memcpy(at, &v, 2); }

#if defined(LEDCOLOR_SSE2)
// Dim on eight 16-bit lanes: the product's high half, plus one when low + high + 1 carries out of
// 16 bits, that is when low >= ~high.
inline __m128i Dim(__m128i v, __m128i c) noexcept {
  const __m128i lo = _mm_mullo_epi16(v, c);
  const __m128i hi = _mm_mulhi_epu16(v, c);
  const __m128i not_hi = _mm_xor_si128(hi, _mm_set1_epi32(-1));
  const __m128i carry = _mm_cmpeq_epi16(_mm_subs_epu16(not_hi, lo), _mm_setzero_si128());
  return _mm_sub_epi16(hi, carry);  // carry is -1 where it is set
}
#endif

// Each of `words` 16-bit words at `bytes` dimmed in place by the ceiling of its channel:
// ceilings[k % kPeriod] for word k (kPeriod 1: one ceiling for all; 3 or 4: per channel).
template <std::size_t kPeriod>
void DimWords(std::uint8_t* bytes, std::size_t words,
              const std::array<std::uint16_t, kPeriod>& ceilings) noexcept {
  std::size_t k = 0;
#if defined(LEDCOLOR_SSE2)
  // 24 words, three vectors, hold a whole number of periods of 1, 3 or 4.
  static_assert(24 % kPeriod == 0);
  __m128i c[3];  // NOLINT(modernize-avoid-c-arrays): std::array would drop the vector's alignment
  for (std::size_t v = 0; v < 3; ++v) {
    alignas(16) std::array<std::uint16_t, 8> lanes{};
    for (std::size_t l = 0; l < 8; ++l) {
      lanes[l] = ceilings[(8 * v + l) % kPeriod];
    }
    c[v] = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.data()));
  }
  for (; words - k >= 24; k += 24) {
    for (std::size_t v = 0; v < 3; ++v) {
      auto* at = reinterpret_cast<__m128i*>(bytes + 2 * (k + 8 * v));
      _mm_storeu_si128(at, Dim(_mm_loadu_si128(at), c[v]));
    }
  }
#endif
  // Whole periods from here (the vector turns take 24 words, a whole number of them): each word's
  // ceiling by its place in the period, with no division, which a Cortex-M0+ has no instruction
  // for.
  for (std::size_t place = 0; k < words; ++k) {
    Store(bytes + 2 * k, Dim(Load(bytes + 2 * k), ceilings[place]));
    place = place + 1 == kPeriod ? 0 : place + 1;
  }
}

}  // namespace ledcolor::word
