// The 16-bit chips' bytes, shared by their encoders. Internal: not installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ledcolor/internal/planes.h"
#include "ledcolor/internal/sse2.h"

namespace ledcolor::strip {

#ifdef LEDCOLOR_SSE2
namespace words {

inline __m128i Load(const std::uint8_t* at) noexcept {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}
inline void Store(std::uint8_t* at, __m128i v) noexcept {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
}
inline __m128i Swapped(__m128i v) noexcept {
  return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
}
// A vector's even words, then its odd ones.
inline __m128i EvensThenOdds(__m128i v) noexcept {
  v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(3, 1, 2, 0));
  v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(3, 1, 2, 0));
  return _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 1, 2, 0));
}

// Eight LEDs of three 16-bit channels, packed (R G B R G B ...) to one vector a channel. As with
// bytes (internal/planes.h): interleaving the first half of the 24 words with the second moves
// word i to 2i mod 23, so three rounds take word 3 p + c to 24 p + 8 c = 8 c + p mod 23.
inline internal::Vectors<3> Planes3(const std::uint8_t* packed) noexcept {
  __m128i a = Load(packed);
  __m128i b = Load(packed + 16);
  __m128i c = Load(packed + 32);
  // The rounds written out: -O2 keeps a loop of three rolled, and its vectors in memory.
  const auto round = [&] {
    const __m128i x = _mm_unpacklo_epi16(a, _mm_srli_si128(b, 8));
    const __m128i y = _mm_unpackhi_epi16(a, _mm_slli_si128(c, 8));
    c = _mm_unpacklo_epi16(b, _mm_srli_si128(c, 8));
    a = x;
    b = y;
  };
  round();
  round();
  round();
  return {{a, b, c}};
}

// The inverse: the even words of the run, then its odd ones, three rounds.
inline void Pack3(internal::Vectors<3> planes, std::uint8_t* packed) noexcept {
  __m128i a = planes[0];
  __m128i b = planes[1];
  __m128i c = planes[2];
  const auto round = [&] {
    const __m128i sa = EvensThenOdds(a);
    const __m128i sb = EvensThenOdds(b);
    const __m128i sc = EvensThenOdds(c);
    a = _mm_unpacklo_epi64(sa, sb);
    b = _mm_unpacklo_epi64(sc, _mm_srli_si128(sa, 8));
    c = _mm_unpackhi_epi64(sb, sc);
  };
  round();
  round();
  round();
  Store(packed, a);
  Store(packed + 16, b);
  Store(packed + 32, c);
}

// Four channels: 2 i mod 31, three rounds take 4 p + c to 8 c + p.
inline internal::Vectors<4> Planes4(const std::uint8_t* packed) noexcept {
  __m128i a = Load(packed);
  __m128i b = Load(packed + 16);
  __m128i c = Load(packed + 32);
  __m128i d = Load(packed + 48);
  const auto round = [&] {
    const __m128i w = _mm_unpacklo_epi16(a, c);
    const __m128i x = _mm_unpackhi_epi16(a, c);
    const __m128i y = _mm_unpacklo_epi16(b, d);
    d = _mm_unpackhi_epi16(b, d);
    a = w;
    b = x;
    c = y;
  };
  round();
  round();
  round();
  return {{a, b, c, d}};
}

inline void Pack4(internal::Vectors<4> planes, std::uint8_t* packed) noexcept {
  const __m128i lo01 = _mm_unpacklo_epi16(planes[0], planes[1]);
  const __m128i hi01 = _mm_unpackhi_epi16(planes[0], planes[1]);
  const __m128i lo23 = _mm_unpacklo_epi16(planes[2], planes[3]);
  const __m128i hi23 = _mm_unpackhi_epi16(planes[2], planes[3]);
  Store(packed, _mm_unpacklo_epi32(lo01, lo23));
  Store(packed + 16, _mm_unpackhi_epi32(lo01, lo23));
  Store(packed + 32, _mm_unpacklo_epi32(hi01, hi23));
  Store(packed + 48, _mm_unpackhi_epi32(hi01, hi23));
}

}  // namespace words
#endif

// Each of `leds` LEDs of `kChannels` 16-bit words at `in` (host order) as its words at `offsets`
// (channel indices), each high byte first: 2 * kChannels bytes an LED. `out` may be `in`,
// exactly: each block of LEDs is read whole before its bytes are written.
template <std::size_t kChannels>
void WordsHighFirst(const std::uint8_t* in, std::size_t leds, const std::uint8_t* offsets,
                    std::uint8_t* out) noexcept {
  std::size_t i = 0;
#ifdef LEDCOLOR_SSE2
  // Eight LEDs a turn: one vector a channel, each word's bytes swapped, the vectors in the chips'
  // order, packed again.
  for (; leds - i >= 8; i += 8, in += 16 * kChannels, out += 16 * kChannels) {
    internal::Vectors<kChannels> planes;
    if constexpr (kChannels == 3) {
      planes = words::Planes3(in);
    } else {
      planes = words::Planes4(in);
    }
    internal::Vectors<kChannels> ordered;
    for (std::size_t k = 0; k < kChannels; ++k) {
      ordered[k] = words::Swapped(planes[offsets[k]]);
    }
    if constexpr (kChannels == 3) {
      words::Pack3(ordered, out);
    } else {
      words::Pack4(ordered, out);
    }
  }
#endif
  for (; i < leds; ++i, in += 2 * kChannels, out += 2 * kChannels) {
    std::uint16_t words[kChannels];  // NOLINT(modernize-avoid-c-arrays): one LED, in registers
    std::memcpy(words, in, sizeof words);
    for (std::size_t k = 0; k < kChannels; ++k) {
      const std::uint16_t v = words[offsets[k]];
      out[2 * k] = static_cast<std::uint8_t>(v >> 8);
      out[2 * k + 1] = static_cast<std::uint8_t>(v);
    }
  }
}

}  // namespace ledcolor::strip
