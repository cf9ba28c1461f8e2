#include <array>
#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/planes.h"
#include "ledcolor/internal/unrolled.h"
#include "ledcolor/strip/order.h"

namespace ledcolor::strip {

namespace {

#ifdef LEDCOLOR_SSE2
// RGB, 16 LEDs (48 bytes, three vectors) at a time. Output byte t takes input byte
// t + d, d = offsets[t % 3] - t % 3, from -2 to 2: always within the block, since a block holds
// whole LEDs. So each output vector is its input vector masked, or'ed with the same bytes shifted
// by each d the order uses (the bytes shifted in from the vector before or after, masked like the
// rest). A block is read whole before it is written, so `out` may be `in`.
template <int kD>
__m128i Shifted(__m128i before, __m128i x, __m128i after) noexcept {
  if constexpr (kD > 0) {
    return _mm_or_si128(_mm_srli_si128(x, kD), _mm_slli_si128(after, 16 - kD));
  } else {
    return _mm_or_si128(_mm_slli_si128(x, -kD), _mm_srli_si128(before, 16 + kD));
  }
}

std::size_t ReorderBlocks3(const std::uint8_t* in, std::size_t leds, const std::uint8_t* offsets,
                           std::uint8_t* out) noexcept {
  // mask[d + 2][j]: the lanes of vector j whose byte lies d bytes on.
  alignas(16) std::array<std::array<std::uint8_t, 48>, 5> mask_bytes{};
  std::array<bool, 5> used{};
  for (std::size_t t = 0; t < 48; ++t) {
    const std::size_t slot = offsets[t % 3] + 2 - t % 3;
    mask_bytes[slot][t] = 0xFF;
    used[slot] = true;
  }
  const auto mask = [&](int d, std::size_t j) {
    const std::size_t slot =
        d < 0 ? 2 - static_cast<std::size_t>(-d) : 2 + static_cast<std::size_t>(d);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(&mask_bytes[slot][16 * j]));
  };
  std::size_t i = 0;
  for (; leds - i >= 16; i += 16) {
    const std::size_t at = 3 * i;
    const internal::Vectors<5> x = {
        {_mm_setzero_si128(), _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at)),
         _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at + 16)),
         _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at + 32)), _mm_setzero_si128()}};
    for (std::size_t j = 0; j < 3; ++j) {
      const __m128i before = x[j];
      const __m128i v = x[j + 1];
      const __m128i after = x[j + 2];
      __m128i result = _mm_and_si128(v, mask(0, j));
      if (used[0]) {
        result = _mm_or_si128(result, _mm_and_si128(Shifted<-2>(before, v, after), mask(-2, j)));
      }
      if (used[1]) {
        result = _mm_or_si128(result, _mm_and_si128(Shifted<-1>(before, v, after), mask(-1, j)));
      }
      if (used[3]) {
        result = _mm_or_si128(result, _mm_and_si128(Shifted<1>(before, v, after), mask(1, j)));
      }
      if (used[4]) {
        result = _mm_or_si128(result, _mm_and_si128(Shifted<2>(before, v, after), mask(2, j)));
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at + 16 * j), result);
    }
  }
  return i;
}

// RGBW, 16 LEDs at a time: their channels apart, one vector each, then packed again in the chips'
// order. Each block is read whole before it is written, so `out` may be `in`.
std::size_t ReorderBlocks4(const std::uint8_t* in, std::size_t leds, const std::uint8_t* offsets,
                           std::uint8_t* out) noexcept {
  std::size_t i = 0;
  for (; leds - i >= 16; i += 16) {
    internal::Pack<4>(internal::PlanesInOrder<4>(in + 4 * i, offsets), out + 4 * i);
  }
  return i;
}
#endif

}  // namespace

template <std::size_t kChannels>
void Reorder(const std::uint8_t* in, std::size_t leds, const std::uint8_t* offsets,
             std::uint8_t* out) noexcept {
  std::size_t i = 0;
#ifdef LEDCOLOR_SSE2
  if constexpr (kChannels == 3) {
    i = ReorderBlocks3(in, leds, offsets, out);
  } else {
    i = ReorderBlocks4(in, leds, offsets, out);
  }
#endif
  // LED by LED, its channels written out and their offsets in locals, so that a core with eight
  // registers to work in keeps them there. An LED's bytes are all read before any is written,
  // for the same reason as above.
  std::array<std::size_t, kChannels> at{};
  for (std::size_t k = 0; k < kChannels; ++k) {
    at[k] = offsets[k];
  }
  in += kChannels * i;
  out += kChannels * i;
  for (; i < leds; ++i, in += kChannels, out += kChannels) {
    std::array<std::uint8_t, kChannels> led;  // NOLINT(cppcoreguidelines-pro-type-member-init)
    internal::Unrolled<kChannels>([&](auto k) { led[k] = in[at[k]]; });
    internal::Unrolled<kChannels>([&](auto k) { out[k] = led[k]; });
  }
}

template void Reorder<3>(const std::uint8_t*, std::size_t, const std::uint8_t*,
                         std::uint8_t*) noexcept;
template void Reorder<4>(const std::uint8_t*, std::size_t, const std::uint8_t*,
                         std::uint8_t*) noexcept;

}  // namespace ledcolor::strip
