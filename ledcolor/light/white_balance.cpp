#include <array>
#include <cstddef>
#include <cstdint>

#include "ledcolor/light.h"
#include "ledcolor/light/scale.h"

namespace ledcolor {

using brightness::CeilingMultiplier;
using brightness::Scale;

void ApplyCeiling(std::span<Rgb> leds, Rgb ceiling) noexcept {
  const std::array<std::uint32_t, 3> multiplier = {
      CeilingMultiplier(ceiling.r), CeilingMultiplier(ceiling.g), CeilingMultiplier(ceiling.b)};
  auto* bytes = reinterpret_cast<std::uint8_t*>(leds.data());
  const std::size_t size = leds.size_bytes();
  std::size_t i = 0;
#ifdef LEDCOLOR_SSE2
  // The channels repeat every 48 bytes, three vectors, so six vectors of 16-bit multipliers cover
  // any row. A channel at 255 has the identity's multiplier 2^16, which a lane cannot hold; its
  // lanes get 0xFFFF and the value plus one instead, since ((v + 1) * 0xFFFF) >> 16 is exactly v
  // for every v below 2^16. The other lanes add 0 and are the (v * m) >> 16 of the plain path.
  std::array<std::uint16_t, 48> lane_multiplier{};
  std::array<std::uint16_t, 48> lane_offset{};
  for (std::size_t lane = 0; lane < 48; ++lane) {
    const std::uint32_t m = multiplier[lane % 3];
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
#endif
  // i is a multiple of 48 here, so the tail starts on a red byte.
  for (std::size_t channel = 0; i < size; ++i) {
    bytes[i] = Scale(bytes[i], multiplier[channel]);
    channel = channel == 2 ? 0 : channel + 1;
  }
}

}  // namespace ledcolor
