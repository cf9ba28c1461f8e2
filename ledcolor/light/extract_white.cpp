#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/internal/unrolled.h"
#include "ledcolor/light.h"
#include "ledcolor/light/white.h"

namespace ledcolor {

std::size_t ExtractWhite(std::span<const Rgb> in, Rgb white, std::span<Rgbw> out) noexcept {
  if (in.empty() || out.size() < in.size() || internal::Overlap(in, out) || white == Rgb{0, 0, 0}) {
    return 0;
  }
  const std::array<std::uint32_t, 3> k = {white.r, white.g, white.b};
  const std::array<std::uint32_t, 3> reciprocal = {white::Reciprocal(k[0]), white::Reciprocal(k[1]),
                                                   white::Reciprocal(k[2])};
  std::size_t i = 0;
#ifdef LEDCOLOR_SSE2
  // The same Limit and Mix as below, lane by lane.
  internal::Vectors<3> kv{};
  internal::Vectors<3> rv{};
  for (std::size_t c = 0; c < 3; ++c) {
    kv[c] = _mm_set1_epi16(static_cast<short>(k[c]));
    rv[c] = _mm_set1_epi16(static_cast<short>(reciprocal[c]));
  }
  i = white::ConvertBlocks(in, out, [&](const internal::Vectors<3>& v) {
    __m128i w = _mm_set1_epi16(255);
    internal::Unrolled<3>([&](auto c) {
      if (k[c] != 0) {  // a channel at 0 sets no limit
        // Unsigned minimum, since quotients reach past the signed lanes: w - max(w - q, 0).
        w = _mm_sub_epi16(w, _mm_subs_epu16(w, white::Quotient(kv[c], rv[c], v[c])));
      }
    });
    internal::Vectors<4> rgbw;
    internal::Unrolled<3>([&](auto c) { rgbw[c] = _mm_sub_epi16(v[c], white::Mix(kv[c], w)); });
    rgbw[3] = w;
    return rgbw;
  });
#endif
  for (; i < in.size(); ++i) {
    const std::array<std::uint32_t, 3> c = {in[i].r, in[i].g, in[i].b};
    // Each channel's limit keeps L_white.c(w) within c, so no subtraction goes below zero.
    const std::uint32_t w =
        std::min({white::Limit(k[0], reciprocal[0], c[0]), white::Limit(k[1], reciprocal[1], c[1]),
                  white::Limit(k[2], reciprocal[2], c[2])});
    out[i] = {static_cast<std::uint8_t>(c[0] - white::Mix(k[0], w)),
              static_cast<std::uint8_t>(c[1] - white::Mix(k[1], w)),
              static_cast<std::uint8_t>(c[2] - white::Mix(k[2], w)), static_cast<std::uint8_t>(w)};
  }
  return in.size();
}

}  // namespace ledcolor
