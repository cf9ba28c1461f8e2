#include <array>
#include <cstddef>
#include <cstdint>

#include "ledcolor/light/scale.h"

namespace ledcolor::brightness {

namespace {

// LED by LED with the multipliers in locals, in a function of its own, so that a core with eight
// registers to work in keeps them there: four instructions a value.
template <std::size_t kChannels>
[[gnu::noinline]] void DimLeds(std::uint8_t* bytes, std::size_t leds,
                               const std::array<std::uint32_t, 4>& multiplier) noexcept {
  const std::uint32_t m0 = multiplier[0];
  const std::uint32_t m1 = multiplier[1];
  const std::uint32_t m2 = multiplier[2];
  const std::uint32_t m3 = multiplier[3];
  for (; leds != 0; --leds, bytes += kChannels) {
    bytes[0] = Scale(bytes[0], m0);
    bytes[1] = Scale(bytes[1], m1);
    bytes[2] = Scale(bytes[2], m2);
    if constexpr (kChannels == 4) {
      bytes[3] = Scale(bytes[3], m3);
    }
  }
}

}  // namespace

template <std::size_t kChannels>
void DimChannels(std::uint8_t* bytes, std::size_t leds,
                 const std::array<std::uint8_t, kChannels>& ceilings) noexcept {
  std::array<std::uint32_t, 4> multiplier;  // NOLINT(cppcoreguidelines-pro-type-member-init)
  for (std::size_t c = 0; c < 4; ++c) {
    multiplier[c] = c < kChannels ? CeilingMultiplier(ceilings[c]) : 0;
  }
#ifdef LEDCOLOR_SSE2
  const std::size_t size = kChannels * leds;
  std::size_t i = 0;
  // 48 bytes, three vectors, hold a whole number of LEDs of 3 channels and of 4, so six vectors of
  // 16-bit multipliers cover any row. A channel at 255 has the identity's multiplier 2^16, which a
  // lane cannot hold; its lanes get 0xFFFF and the value plus one instead, since
  // ((v + 1) * 0xFFFF) >> 16 is exactly v for every v below 2^16. The other lanes add 0 and are the
  // (v * m) >> 16 of the plain path.
  std::array<std::uint16_t, 48> lane_multiplier{};
  std::array<std::uint16_t, 48> lane_offset{};
  for (std::size_t lane = 0; lane < 48; ++lane) {
    const std::uint32_t m = multiplier[lane % kChannels];
    const bool identity = m > 0xFFFF;
    lane_multiplier[lane] = static_cast<std::uint16_t>(identity ? 0xFFFF : m);
    lane_offset[lane] = identity ? 1 : 0;
  }
  // Plain arrays: std::array would drop __m128i's alignment attribute.
  __m128i m[6];       // NOLINT(modernize-avoid-c-arrays)
  __m128i offset[6];  // NOLINT(modernize-avoid-c-arrays)
  for (std::size_t k = 0; k < 6; ++k) {
    m[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&lane_multiplier[8 * k]));
    offset[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&lane_offset[8 * k]));
  }
  const __m128i zero = _mm_setzero_si128();
  if constexpr (kChannels == 4) {
    // Four channels repeat within every vector, and both its halves: one multiplier vector serves.
    for (; size - i >= 16; i += 16) {
      auto* block = reinterpret_cast<__m128i*>(bytes + i);
      const __m128i x = _mm_loadu_si128(block);
      const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(x, zero), offset[0]);
      const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(x, zero), offset[0]);
      _mm_storeu_si128(block,
                       _mm_packus_epi16(_mm_mulhi_epu16(lo, m[0]), _mm_mulhi_epu16(hi, m[0])));
    }
  }
  for (; size - i >= 48; i += 48) {
    for (std::size_t j = 0; j < 3; ++j) {
      auto* block = reinterpret_cast<__m128i*>(bytes + i + 16 * j);
      const __m128i x = _mm_loadu_si128(block);
      const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(x, zero), offset[2 * j]);
      const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(x, zero), offset[2 * j + 1]);
      _mm_storeu_si128(block, _mm_packus_epi16(_mm_mulhi_epu16(lo, m[2 * j]),
                                               _mm_mulhi_epu16(hi, m[2 * j + 1])));
    }
  }
  // i is a multiple of 48, or of 16 for four channels, so the rest starts on an LED's first byte.
  bytes += i;
  leds -= i / kChannels;
#endif
  DimLeds<kChannels>(bytes, leds, multiplier);
}

template void DimChannels(std::uint8_t*, std::size_t, const std::array<std::uint8_t, 3>&) noexcept;
template void DimChannels(std::uint8_t*, std::size_t, const std::array<std::uint8_t, 4>&) noexcept;

}  // namespace ledcolor::brightness
