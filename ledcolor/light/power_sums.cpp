#include "ledcolor/light/power_sums.h"

#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/unrolled.h"
#include "ledcolor/light/scale.h"

namespace ledcolor::power {

namespace {

#ifdef LEDCOLOR_SSE2
using Sums = std::uint32_t[4];  // NOLINT(modernize-avoid-c-arrays)
using internal::Unrolled;

// How the channels of a row fall on 16-bit lanes, for 3 (RGB) or 4 (RGBW) channels. A block is
// kVectors vectors and holds a whole number of LEDs. Split into 16-bit lanes, lane t of vector j's
// even bytes holds byte 16j + 2t and its odd bytes byte 16j + 2t + 1.
//   RGB: blocks of 48 bytes. Those bytes' channels are (j + 2t) % 3 and (j + 1 + 2t) % 3, so the
//     odd bytes of vector j share a channel pattern, and an accumulator, with the even bytes of
//     vector j + 1: three accumulators, each gaining at most 2 * 255 a block.
//   RGBW: blocks of 64 bytes. The even bytes' channels are 0 or 2, the odd bytes' 1 or 3, as t is
//     even or odd, in every vector: two accumulators, each gaining at most 4 * 255 a block.
// The lanes are emptied into the sums every kRun blocks, before 16 bits overflow.
template <std::size_t kChannels>
struct Lanes {
  static constexpr std::size_t kVectors = kChannels;
  static constexpr std::size_t kAccumulators = kChannels == 3 ? 3 : 2;
  static constexpr std::size_t kRun = kChannels == 3 ? 128 : 64;
  // The accumulators of vector j's even and odd bytes.
  static constexpr std::size_t Even(std::size_t j) { return kChannels == 3 ? j : 0; }
  static constexpr std::size_t Odd(std::size_t j) { return kChannels == 3 ? (j + 1) % 3 : 1; }
  // The channel of lane t of accumulator a.
  static constexpr std::size_t Channel(std::size_t a, std::size_t t) {
    return kChannels == 3 ? (a + 2 * t) % 3 : 2 * (t % 2) + a;
  }
};

// Adds the 16-bit lanes of accumulator `a` to the channels' sums.
template <std::size_t kChannels>
void AddLanes(__m128i acc, std::size_t a, Sums& sums) noexcept {
  alignas(16) std::uint16_t lanes[8];  // NOLINT(modernize-avoid-c-arrays)
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), acc);
  for (std::size_t t = 0; t < 8; ++t) {
    sums[Lanes<kChannels>::Channel(a, t)] += lanes[t];
  }
}

// Sums whole blocks into sums[0..K), dimmed by K multipliers; K = 0 sums the bytes as they are
// into sums[0].
template <std::size_t kChannels, std::size_t K>
void SumBlocks(const std::uint8_t* bytes, std::size_t blocks, const std::uint32_t* multipliers,
               Sums* sums) noexcept {
  using L = Lanes<kChannels>;
  constexpr std::size_t kSets = K == 0 ? 1 : K;
  __m128i m[kSets];  // NOLINT(modernize-avoid-c-arrays)
  for (std::size_t k = 0; k < kSets; ++k) {
    m[k] = _mm_set1_epi16(static_cast<short>(multipliers[k]));  // unused when K = 0
  }
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  while (blocks > 0) {
    const std::size_t run = blocks < L::kRun ? blocks : L::kRun;
    __m128i acc[kSets][L::kAccumulators] = {};  // NOLINT(modernize-avoid-c-arrays)
    for (std::size_t r = 0; r < run; ++r, bytes += 16 * L::kVectors) {
      Unrolled<L::kVectors>([&](auto j) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * j));
        const __m128i even = _mm_and_si128(x, low_bytes);
        const __m128i odd = _mm_srli_epi16(x, 8);
        Unrolled<kSets>([&](auto k) {
          constexpr std::size_t kEven = L::Even(j);
          constexpr std::size_t kOdd = L::Odd(j);
          acc[k][kEven] = _mm_add_epi16(acc[k][kEven], K == 0 ? even : _mm_mulhi_epu16(even, m[k]));
          acc[k][kOdd] = _mm_add_epi16(acc[k][kOdd], K == 0 ? odd : _mm_mulhi_epu16(odd, m[k]));
        });
      });
    }
    for (std::size_t k = 0; k < kSets; ++k) {
      for (std::size_t a = 0; a < L::kAccumulators; ++a) {
        AddLanes<kChannels>(acc[k][a], a, sums[k]);
      }
    }
    blocks -= run;
  }
}

// Whole blocks of the row into totals, by the kernel for its channels and ceilings; returns the
// bytes taken.
template <std::size_t kChannels>
std::size_t SumWholeBlocks(const std::uint8_t* bytes, std::size_t size,
                           std::span<const std::uint8_t> ceilings, const std::uint32_t* multipliers,
                           Sums* totals) noexcept {
  const std::size_t block = 16 * Lanes<kChannels>::kVectors;
  const std::size_t blocks = size / block;
  // The identity's multiplier 2^16 fits no 16-bit lane, so undimmed sums take their own loop.
  if (ceilings.size() == 2) {
    SumBlocks<kChannels, 2>(bytes, blocks, multipliers, totals);
  } else if (ceilings[0] != 255) {
    SumBlocks<kChannels, 1>(bytes, blocks, multipliers, totals);
  } else {
    SumBlocks<kChannels, 0>(bytes, blocks, multipliers, totals);
  }
  return block * blocks;
}
#endif

struct ChannelSums {
  std::uint32_t red, green, blue, white;
};

// The channels' sums over whole LEDs, each value dimmed by `multiplier`, or as it is. Plain locals,
// LED by LED with its channels written out, so that a core with few registers (a Cortex-M0+ has
// eight to work in) keeps them there: three instructions a value, four when dimmed.
template <std::size_t kChannels, bool kDimmed>
[[gnu::noinline]] ChannelSums SumLeds(const std::uint8_t* bytes, std::size_t leds,
                                      std::uint32_t multiplier) noexcept {
  const auto value = [multiplier](std::uint32_t v) { return kDimmed ? (v * multiplier) >> 16 : v; };
  std::uint32_t red = 0;
  std::uint32_t green = 0;
  std::uint32_t blue = 0;
  std::uint32_t white = 0;
  // Counted down to zero, and tested at the bottom: two instructions a turn, where -Os would test a
  // pointer at the top and branch back from the bottom.
  if (leds != 0) {
    do {
      red += value(bytes[0]);
      green += value(bytes[1]);
      blue += value(bytes[2]);
      if constexpr (kChannels == 4) {
        white += value(bytes[3]);
      }
      bytes += kChannels;
    } while (--leds != 0);
  }
  return {red, green, blue, white};
}

template <std::size_t kChannels>
ChannelSums SumLeds(const std::uint8_t* bytes, std::size_t leds, std::uint8_t ceiling) noexcept {
  return ceiling == 255
             ? SumLeds<kChannels, false>(bytes, leds, 0)
             : SumLeds<kChannels, true>(bytes, leds, brightness::CeilingMultiplier(ceiling));
}

}  // namespace

template <std::size_t kChannels>
void ScaledCurrents(const Row<kChannels>& row, const PowerModel& model,
                    std::span<const std::uint8_t> ceilings,
                    std::span<std::uint64_t> currents) noexcept {
  const std::uint8_t* bytes = row.bytes;
  std::size_t leds = row.leds;
#ifdef LEDCOLOR_SSE2
  std::uint32_t multipliers[2] = {};  // NOLINT(modernize-avoid-c-arrays)
  Sums totals[2] = {};                // NOLINT(modernize-avoid-c-arrays)
  for (std::size_t k = 0; k < ceilings.size(); ++k) {
    multipliers[k] = brightness::CeilingMultiplier(ceilings[k]);
  }
  const std::size_t done =
      SumWholeBlocks<kChannels>(bytes, kChannels * leds, ceilings, multipliers, totals);
  // The blocks hold whole LEDs, so the rest starts on an LED's first byte.
  bytes += done;
  leds -= done / kChannels;
#endif
  for (std::size_t k = 0; k < ceilings.size(); ++k) {
    ChannelSums sums = SumLeds<kChannels>(bytes, leds, ceilings[k]);
#ifdef LEDCOLOR_SSE2
    sums.red += totals[k][0];
    sums.green += totals[k][1];
    sums.blue += totals[k][2];
    sums.white += totals[k][3];
#endif
    // Each channel's sum is at most 255 * 2^24 within the domain, which 32 bits hold. An RGB row
    // leaves the white sum at 0.
    currents[k] =
        std::uint64_t{sums.red} * model.red_ua + std::uint64_t{sums.green} * model.green_ua +
        std::uint64_t{sums.blue} * model.blue_ua + std::uint64_t{sums.white} * model.white_ua;
  }
}

template void ScaledCurrents(const Row<3>&, const PowerModel&, std::span<const std::uint8_t>,
                             std::span<std::uint64_t>) noexcept;
template void ScaledCurrents(const Row<4>&, const PowerModel&, std::span<const std::uint8_t>,
                             std::span<std::uint64_t>) noexcept;

}  // namespace ledcolor::power
