#include <cstddef>
#include <cstdint>

#include "ledcolor/light/scale.h"

namespace ledcolor::brightness {

void DimBytes(std::uint8_t* bytes, std::size_t size, std::uint8_t ceiling) noexcept {
  if (ceiling == 255) {
    return;
  }
  const std::uint32_t multiplier = CeilingMultiplier(ceiling);
  std::size_t i = 0;
#ifdef LEDCOLOR_SSE2
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
  // Four at a time, where a 32-bit core would spend as much on the loop as on the byte.
  for (; size - i >= 4; i += 4) {
    internal::Unrolled<4>([&](auto k) { bytes[i + k] = Scale(bytes[i + k], multiplier); });
  }
  for (; i < size; ++i) {
    bytes[i] = Scale(bytes[i], multiplier);
  }
}

}  // namespace ledcolor::brightness
