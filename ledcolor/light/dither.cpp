#include <array>
#include <cstdint>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/light.h"
#include "ledcolor/light/word.h"

namespace ledcolor {

namespace {

// `value`'s low `bits` bits in reverse order.
constexpr std::uint32_t Reversed(std::uint32_t value, unsigned bits) noexcept {
  std::uint32_t reversed = 0;
  for (unsigned b = 0; b < bits; ++b) {
    reversed = reversed << 1 | ((value >> b) & 1U);
  }
  return reversed;
}

// Each LED to Div257(level + its position's offset).
template <typename Color16, typename Color>
[[gnu::noinline]] void Dither(const std::uint8_t* in, std::size_t leds,
                              const std::array<std::uint16_t, 256>& offsets, std::size_t mask,
                              std::uint8_t* out) noexcept {
  constexpr std::size_t kChannels = sizeof(Color);
  std::size_t i = 0;
#if defined(LEDCOLOR_SSE2)
  // Eight LEDs a turn, with the offsets laid out a word per level for a whole number of periods
  // (a period of at least eight LEDs, so a turn never straddles its end). Adding with saturation
  // is exact: every x from 65535 to 65791 gives 255 too. (x * 65281) >> 24 is the high half of the
  // product, shifted by 8.
  const std::size_t period = mask + 1 < 8 ? 8 : mask + 1;
  if (leds >= 8) {
    std::array<std::uint16_t, 256 * kChannels> laid;  // filled up to what the row uses
    const std::size_t laid_leds = leds < period ? leds : period;
    for (std::size_t led = 0; led < laid_leds; ++led) {
      for (std::size_t k = 0; k < kChannels; ++k) {
        laid[kChannels * led + k] = offsets[led & mask];
      }
    }
    const __m128i multiplier = _mm_set1_epi16(static_cast<short>(65281 - 65536));
    const auto turn = [&](const std::uint8_t* from, const std::uint16_t* offset) {
      const __m128i x = _mm_adds_epu16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(offset)));
      return _mm_srli_epi16(_mm_mulhi_epu16(x, multiplier), 8);
    };
    for (; leds - i >= 8; i += 8) {
      const std::uint8_t* from = in + 2 * kChannels * i;
      const std::uint16_t* offset = laid.data() + kChannels * (i % period);
      std::uint8_t* to = out + kChannels * i;
      const __m128i a = turn(from, offset);
      const __m128i b = turn(from + 16, offset + 8);
      const __m128i c = turn(from + 32, offset + 16);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_packus_epi16(a, b));
      if constexpr (kChannels == 4) {
        const __m128i d = turn(from + 48, offset + 24);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16), _mm_packus_epi16(c, d));
      } else {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to + 16), _mm_packus_epi16(c, c));
      }
    }
  }
#endif
  // The rest, LED by LED through the typed rows: aligned 16-bit loads, which a Cortex-M0+ has
  // (it has no unaligned ones), and the channels written out.
  const auto* from = reinterpret_cast<const Color16*>(in);
  auto* to = reinterpret_cast<Color*>(out);
  for (; i < leds; ++i) {
    const std::uint32_t offset = offsets[i & mask];
    const Color16& level = from[i];
    Color& shown = to[i];
    shown.r = word::Div257(level.r + offset);
    shown.g = word::Div257(level.g + offset);
    shown.b = word::Div257(level.b + offset);
    if constexpr (kChannels == 4) {
      shown.w = word::Div257(level.w + offset);
    }
  }
}

}  // namespace

// The LED at position p in this frame shows k + 1 for a level v = 257 k + rem exactly when
// thr < m, with thr = the bits of (frame + p) mod F reversed and m = rem * F / 257 rounded halves
// up. That is rem >= t, t = ceil(257 (2 thr + 1) / (2 F)) (from 514 (thr + 1) <= 2 rem F + 257),
// which is floor((v + 257 - t) / 257) = k + 1 while 1 <= t <= 257. For F consecutive frames, or
// F consecutive positions, (frame + p) mod F takes every value once, and so does thr: exactly m of
// them are below m. bits 0: t = 129, plain rounding.
bool TemporalDither::Offsets(std::size_t leds,
                             std::array<std::uint16_t, 256>& offsets) const noexcept {
  if (bits_ > 8) {
    return false;
  }
  const std::uint32_t period = 1U << bits_;
  // Only the positions a row of `leds` uses.
  const std::uint32_t used = leds < period ? static_cast<std::uint32_t>(leds) : period;
  for (std::uint32_t p = 0; p < used; ++p) {
    const std::uint32_t thr = Reversed((frame_ + p) & (period - 1), bits_);
    const std::uint32_t t = (257 * (2 * thr + 1) + 2 * period - 1) >> (bits_ + 1);
    offsets[p] = static_cast<std::uint16_t>(257 - t);
  }
  return true;
}

std::size_t TemporalDither::Next(std::span<const Rgb16> in, std::span<Rgb> out) noexcept {
  std::array<std::uint16_t, 256> offsets;  // filled up to the period by Offsets
  if (in.empty() || out.size() < in.size() || internal::Overlap(in, out) ||
      !Offsets(in.size(), offsets)) {
    return 0;
  }
  Dither<Rgb16, Rgb>(reinterpret_cast<const std::uint8_t*>(in.data()), in.size(), offsets,
                     (std::size_t{1} << bits_) - 1, reinterpret_cast<std::uint8_t*>(out.data()));
  frame_ = static_cast<std::uint8_t>((frame_ + 1U) & ((1U << bits_) - 1));
  return in.size();
}

std::size_t TemporalDither::Next(std::span<const Rgbw16> in, std::span<Rgbw> out) noexcept {
  std::array<std::uint16_t, 256> offsets;  // filled up to the period by Offsets
  if (in.empty() || out.size() < in.size() || internal::Overlap(in, out) ||
      !Offsets(in.size(), offsets)) {
    return 0;
  }
  Dither<Rgbw16, Rgbw>(reinterpret_cast<const std::uint8_t*>(in.data()), in.size(), offsets,
                       (std::size_t{1} << bits_) - 1, reinterpret_cast<std::uint8_t*>(out.data()));
  frame_ = static_cast<std::uint8_t>((frame_ + 1U) & ((1U << bits_) - 1));
  return in.size();
}

}  // namespace ledcolor
