#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/overlap.h"
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
  // The same Mix as below, lane by lane.
  const __m128i red = _mm_set1_epi16(k.red);
  const __m128i green = _mm_set1_epi16(k.green);
  const __m128i blue = _mm_set1_epi16(k.blue);
  const __m128i gain = _mm_set1_epi16(k.gain);
  i = white::ConvertBlocks(in, out, [&](const internal::Vectors<3>& c) {
    const __m128i w = _mm_min_epi16(_mm_min_epi16(white::Mix(red, c[0]), white::Mix(green, c[1])),
                                    white::Mix(blue, c[2]));
    return internal::Vectors<4>{{_mm_sub_epi16(c[0], white::Mix(red, w)),
                                 _mm_sub_epi16(c[1], white::Mix(green, w)),
                                 _mm_sub_epi16(c[2], white::Mix(blue, w)), white::Mix(gain, w)}};
  });
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
