// The arithmetic of the white channel, shared by ToRgbw and ExtractWhite, as plain integers and as
// SSE2 on eight 16-bit lanes; both forms give the same values. Internal: not installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "ledcolor/color.h"
#include "ledcolor/internal/planes.h"
#include "ledcolor/internal/sse2.h"
#include "ledcolor/internal/unrolled.h"

namespace ledcolor::white {

// L_k(x) = k * x / 255 rounded to the nearest, halves up: (k x + 127) / 255, with the division as
// a multiplication: t * 0x8081 >> 23 is t / 255 for every t below 2^16, and k x + 127 is at most
// 65152. (0x8081 is 2^23 / 255 rounded up; the tests check every k and x.)
constexpr std::uint32_t Mix(std::uint32_t k, std::uint32_t x) noexcept {
  return ((k * x + 127) * 0x8081U) >> 23;
}

// The reciprocal Limit divides by: 2^16 / k rounded down, within one of the quotient; k = 1 takes
// 0xFFFF, which a 16-bit lane holds. k = 0 sets no limit and needs none.
constexpr std::uint32_t Reciprocal(std::uint32_t k) noexcept {
  return k <= 1 ? 0xFFFF * k : 65536 / k;
}

// The largest w in 0..255 with L_k(w) <= c, which is k w <= 255 c + 127; 255 when k is 0. The
// reciprocal gives the quotient (255 c + 127) / k or one less, and one comparison settles which.
constexpr std::uint32_t Limit(std::uint32_t k, std::uint32_t reciprocal, std::uint32_t c) noexcept {
  if (k == 0) {
    return 255;
  }
  const std::uint32_t x = 255 * c + 127;
  std::uint32_t w = (x * reciprocal) >> 16;
  if (w >= 255) {
    return 255;
  }
  return k * (w + 1) <= x ? w + 1 : w;
}

#ifdef LEDCOLOR_SSE2
inline __m128i Mix(__m128i k, __m128i x) noexcept {
  const __m128i t = _mm_add_epi16(_mm_mullo_epi16(k, x), _mm_set1_epi16(127));
  return _mm_srli_epi16(_mm_mulhi_epu16(t, _mm_set1_epi16(static_cast<short>(0x8081))), 7);
}

// Limit in every lane for a k that is not 0, before the cut to 255: the quotient
// (255 c + 127) / k itself, up to 65152 for k = 1. The reciprocal gives it or one less, and
// k (w + 1) <= x settles which; that product is at most x + k, so it never leaves a lane.
inline __m128i Quotient(__m128i k, __m128i reciprocal, __m128i c) noexcept {
  const __m128i x = _mm_add_epi16(_mm_mullo_epi16(c, _mm_set1_epi16(255)), _mm_set1_epi16(127));
  const __m128i w = _mm_mulhi_epu16(x, reciprocal);
  // Unsigned lanes: k (w + 1) <= x when the saturating difference is 0; -1 then, 0 otherwise.
  const __m128i fits =
      _mm_cmpeq_epi16(_mm_subs_epu16(_mm_mullo_epi16(k, _mm_add_epi16(w, _mm_set1_epi16(1))), x),
                      _mm_setzero_si128());
  return _mm_sub_epi16(w, fits);
}

// Sixteen LEDs at a time, their RGB apart (a vector a channel), each half of them widened to 16-bit
// lanes and given to `convert`, which makes their R, G, B and W; packed again as RGBW. Returns the
// LEDs done, a multiple of 16; the caller does the rest.
template <typename Convert>
std::size_t ConvertBlocks(std::span<const Rgb> in, std::span<Rgbw> out, Convert convert) noexcept {
  const __m128i zero = _mm_setzero_si128();
  const auto* packed = reinterpret_cast<const std::uint8_t*>(in.data());
  std::size_t i = 0;
  for (; in.size() - i >= 16; i += 16) {
    const internal::Vectors<3> rgb = internal::Planes3(packed + 3 * i);
    const internal::Vectors<4> lo = convert(
        internal::Vectors<3>{{_mm_unpacklo_epi8(rgb[0], zero), _mm_unpacklo_epi8(rgb[1], zero),
                              _mm_unpacklo_epi8(rgb[2], zero)}});
    const internal::Vectors<4> hi = convert(
        internal::Vectors<3>{{_mm_unpackhi_epi8(rgb[0], zero), _mm_unpackhi_epi8(rgb[1], zero),
                              _mm_unpackhi_epi8(rgb[2], zero)}});
    internal::Vectors<4> rgbw;
    internal::Unrolled<4>([&](auto c) { rgbw[c] = _mm_packus_epi16(lo[c], hi[c]); });
    internal::Pack4(rgbw, reinterpret_cast<std::uint8_t*>(out.data() + i));
  }
  return i;
}
#endif

}  // namespace ledcolor::white
