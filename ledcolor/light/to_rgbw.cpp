#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/internal/planes.h"
#include "ledcolor/light.h"
#include "ledcolor/light/white.h"

namespace ledcolor {

std::size_t ToRgbw(std::span<const Rgb> in, const WhiteCalibration& calibration,
                   std::span<Rgbw> out) noexcept {
  if (in.empty() || out.size() < in.size() || internal::Overlap(in, out)) {
    return 0;
  }
  const WhiteCalibration& k = calibration;
  std::size_t i = 0;
#ifdef LEDCOLOR_SSE2
  // Sixteen LEDs at a time, a vector per channel, each half widened to 16-bit lanes where the
  // products live: the same Mix as below, lane by lane.
  const __m128i zero = _mm_setzero_si128();
  const __m128i red = _mm_set1_epi16(k.red);
  const __m128i green = _mm_set1_epi16(k.green);
  const __m128i blue = _mm_set1_epi16(k.blue);
  const __m128i gain = _mm_set1_epi16(k.gain);
  const auto* packed = reinterpret_cast<const std::uint8_t*>(in.data());
  for (; in.size() - i >= 16; i += 16) {
    const internal::Vectors<3> rgb = internal::Planes3(packed + 3 * i);
    internal::Vectors<4> rgbw{};
    internal::Vectors<4> halves[2];  // NOLINT(modernize-avoid-c-arrays)
    for (int h = 0; h < 2; ++h) {
      const auto widen = [&](__m128i v) {
        return h == 0 ? _mm_unpacklo_epi8(v, zero) : _mm_unpackhi_epi8(v, zero);
      };
      const __m128i r = widen(rgb[0]);
      const __m128i g = widen(rgb[1]);
      const __m128i b = widen(rgb[2]);
      const __m128i w = _mm_min_epi16(_mm_min_epi16(white::Mix(red, r), white::Mix(green, g)),
                                      white::Mix(blue, b));
      halves[h] = {{_mm_sub_epi16(r, white::Mix(red, w)), _mm_sub_epi16(g, white::Mix(green, w)),
                    _mm_sub_epi16(b, white::Mix(blue, w)), white::Mix(gain, w)}};
    }
    for (std::size_t c = 0; c < 4; ++c) {
      rgbw[c] = _mm_packus_epi16(halves[0][c], halves[1][c]);
    }
    internal::Pack4(rgbw, reinterpret_cast<std::uint8_t*>(out.data() + i));
  }
#endif
  for (; i < in.size(); ++i) {
    const Rgb& led = in[i];
    // w never exceeds L_red(r) <= r (nor the like for green and blue), and L_k(w) <= w, so no
    // subtraction goes below zero.
    const std::uint32_t w =
        std::min({white::Mix(k.red, led.r), white::Mix(k.green, led.g), white::Mix(k.blue, led.b)});
    out[i] = {static_cast<std::uint8_t>(led.r - white::Mix(k.red, w)),
              static_cast<std::uint8_t>(led.g - white::Mix(k.green, w)),
              static_cast<std::uint8_t>(led.b - white::Mix(k.blue, w)),
              static_cast<std::uint8_t>(white::Mix(k.gain, w))};
  }
  return in.size();
}

}  // namespace ledcolor
