// Sixteen LEDs at a time between their packed bytes (R G B R G B ..., or R G B W ...) and one
// vector per channel, with SSE2 alone: baseline x86-64 has no byte shuffle (pshufb is SSSE3).
// Internal: not installed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/sse2.h"

#ifdef LEDCOLOR_SSE2
namespace ledcolor::internal {

// A struct, not std::array: a template argument would drop __m128i's alignment attribute.
template <std::size_t N>
struct Vectors {
  __m128i v[N];  // NOLINT(modernize-avoid-c-arrays)
  __m128i& operator[](std::size_t i) noexcept { return v[i]; }
  const __m128i& operator[](std::size_t i) const noexcept { return v[i]; }
};

// Packed to planes. Interleaving the first half of a run of bytes with its second half (unpack)
// moves byte i to 2i mod (size - 1), the last byte staying put. For 16 LEDs of C channels, byte
// i = C p + c belongs at 16 c + p, which is 16 i mod (16 C - 1): four such rounds, since
// 2^4 = 16 and 16 C = 1 mod (16 C - 1). The rounds are written out: -O2 keeps a loop of four
// rolled, and its vectors in memory.
inline Vectors<3> Planes3(const std::uint8_t* packed) noexcept {
  const auto load = [packed](std::size_t k) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(packed + 16 * k));
  };
  __m128i a = load(0);
  __m128i b = load(1);
  __m128i c = load(2);
  const auto round = [&] {
    // The second half starts in the middle of b.
    const __m128i x = _mm_unpacklo_epi8(a, _mm_srli_si128(b, 8));
    const __m128i y = _mm_unpackhi_epi8(a, _mm_slli_si128(c, 8));
    c = _mm_unpacklo_epi8(b, _mm_srli_si128(c, 8));
    a = x;
    b = y;
  };
  round();
  round();
  round();
  round();
  return {{a, b, c}};
}

inline Vectors<4> Planes4(const std::uint8_t* packed) noexcept {
  const auto load = [packed](std::size_t k) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(packed + 16 * k));
  };
  __m128i a = load(0);
  __m128i b = load(1);
  __m128i c = load(2);
  __m128i d = load(3);
  const auto round = [&] {
    const __m128i w = _mm_unpacklo_epi8(a, c);
    const __m128i x = _mm_unpackhi_epi8(a, c);
    const __m128i y = _mm_unpacklo_epi8(b, d);
    d = _mm_unpackhi_epi8(b, d);
    a = w;
    b = x;
    c = y;
  };
  round();
  round();
  round();
  round();
  return {{a, b, c, d}};
}

// Planes to packed, the inverse. For three channels, taking the even bytes of a run and then its
// odd ones (the inverse of an interleave) moves byte i to i / 2 mod (size - 1): four rounds move
// it by 16^-1 = 3 mod 47, which takes 16 c + p to 3 p + c.
inline void Pack3(const Vectors<3>& planes, std::uint8_t* packed) noexcept {
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  __m128i a = planes[0];
  __m128i b = planes[1];
  __m128i c = planes[2];
  const auto round = [&] {
    const __m128i odd_a = _mm_srli_epi16(a, 8);
    const __m128i odd_b = _mm_srli_epi16(b, 8);
    const __m128i odd_c = _mm_srli_epi16(c, 8);
    a = _mm_packus_epi16(_mm_and_si128(a, low_bytes), _mm_and_si128(b, low_bytes));
    b = _mm_packus_epi16(_mm_and_si128(c, low_bytes), odd_a);
    c = _mm_packus_epi16(odd_b, odd_c);
  };
  round();
  round();
  round();
  round();
  _mm_storeu_si128(reinterpret_cast<__m128i*>(packed), a);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(packed + 16), b);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(packed + 32), c);
}

// Four channels interleave directly: bytes of 0 and 1, of 2 and 3, then their 16-bit pairs.
inline void Pack4(const Vectors<4>& planes, std::uint8_t* packed) noexcept {
  const __m128i lo01 = _mm_unpacklo_epi8(planes[0], planes[1]);
  const __m128i hi01 = _mm_unpackhi_epi8(planes[0], planes[1]);
  const __m128i lo23 = _mm_unpacklo_epi8(planes[2], planes[3]);
  const __m128i hi23 = _mm_unpackhi_epi8(planes[2], planes[3]);
  const auto store = [packed](std::size_t k, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(packed + 16 * k), v);
  };
  store(0, _mm_unpacklo_epi16(lo01, lo23));
  store(1, _mm_unpackhi_epi16(lo01, lo23));
  store(2, _mm_unpacklo_epi16(hi01, hi23));
  store(3, _mm_unpackhi_epi16(hi01, hi23));
}

// The same for either channel count, and the planes put in the chips' order: plane k of the
// result is channel offsets[k].
template <std::size_t kChannels>
Vectors<kChannels> PlanesInOrder(const std::uint8_t* packed, const std::uint8_t* offsets) noexcept {
  Vectors<kChannels> planes;
  if constexpr (kChannels == 3) {
    planes = Planes3(packed);
  } else {
    planes = Planes4(packed);
  }
  // Through memory once, so that the order can pick the planes by index.
  Vectors<kChannels> ordered;
  for (std::size_t k = 0; k < kChannels; ++k) {
    ordered[k] = planes[offsets[k]];
  }
  return ordered;
}

template <std::size_t kChannels>
void Pack(const Vectors<kChannels>& planes, std::uint8_t* packed) noexcept {
  if constexpr (kChannels == 3) {
    Pack3(planes, packed);
  } else {
    Pack4(planes, packed);
  }
}

}  // namespace ledcolor::internal
#endif
