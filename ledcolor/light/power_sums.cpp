#include "ledcolor/light/power_sums.h"

#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/unrolled.h"
#include "ledcolor/light/scale.h"

namespace ledcolor::power {

namespace {

using Sums = std::uint32_t[4];  // NOLINT(modernize-avoid-c-arrays)

#ifdef LEDCOLOR_SSE2
using internal::Unrolled;

// Adds the 16-bit lanes of an accumulator to the channels' sums: lane t of accumulator j holds
// channel (j + 2t) % 3.
inline void AddLanes(__m128i acc, std::size_t j, Sums& sums) noexcept {
  alignas(16) std::uint16_t lanes[8];  // NOLINT(modernize-avoid-c-arrays)
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), acc);
  for (std::size_t t = 0; t < 8; ++t) {
    sums[(j + 2 * t) % 3] += lanes[t];
  }
}

// Sums whole 48-byte blocks into sums[0..K), dimmed by K multipliers; K = 0 sums the bytes as they
// are into sums[0]. A block is three vectors and holds each channel 16 times. Split into 16-bit
// lanes, lane t of vector j's even bytes holds byte 16j + 2t and of its odd bytes byte 16j + 2t +
// 1, whose channels are (j + 2t) % 3 and (j + 1 + 2t) % 3: so the odd bytes of vector j share a
// channel pattern, and an accumulator, with the even bytes of vector j + 1. Each lane gains at most
// 2 * 255 a block, so the lanes are emptied into the sums every 128 blocks, before 16 bits
// overflow.
template <std::size_t K>
void SumBlocks(const std::uint8_t* bytes, std::size_t blocks, const std::uint32_t* multipliers,
               Sums* sums) noexcept {
  constexpr std::size_t kSets = K == 0 ? 1 : K;
  __m128i m[kSets];  // NOLINT(modernize-avoid-c-arrays)
  for (std::size_t k = 0; k < kSets; ++k) {
    m[k] = _mm_set1_epi16(static_cast<short>(multipliers[k]));  // unused when K = 0
  }
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  while (blocks > 0) {
    const std::size_t run = blocks < 128 ? blocks : 128;
    __m128i acc[kSets][3];  // NOLINT(modernize-avoid-c-arrays)
    for (auto& set : acc) {
      set[0] = set[1] = set[2] = _mm_setzero_si128();
    }
    for (std::size_t r = 0; r < run; ++r, bytes += 48) {
      Unrolled<3>([&](auto j) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * j));
        const __m128i even = _mm_and_si128(x, low_bytes);
        const __m128i odd = _mm_srli_epi16(x, 8);
        Unrolled<kSets>([&](auto k) {
          constexpr std::size_t kNext = (j + 1) % 3;
          acc[k][j] = _mm_add_epi16(acc[k][j], K == 0 ? even : _mm_mulhi_epu16(even, m[k]));
          acc[k][kNext] = _mm_add_epi16(acc[k][kNext], K == 0 ? odd : _mm_mulhi_epu16(odd, m[k]));
        });
      });
    }
    for (std::size_t k = 0; k < kSets; ++k) {
      for (std::size_t j = 0; j < 3; ++j) {
        AddLanes(acc[k][j], j, sums[k]);
      }
    }
    blocks -= run;
  }
}

// Adds the 16-bit lanes of an RGBW accumulator of the even (parity 0) or odd bytes to the
// channels' sums: lane t holds channel 2 (t % 2) + parity.
inline void AddLanes4(__m128i acc, std::size_t parity, Sums& sums) noexcept {
  alignas(16) std::uint16_t lanes[8];  // NOLINT(modernize-avoid-c-arrays)
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), acc);
  for (std::size_t t = 0; t < 8; ++t) {
    sums[2 * (t % 2) + parity] += lanes[t];
  }
}

// The same for RGBW rows, 64 bytes (four vectors) a block: the channels repeat with every vector,
// so the even bytes' lane t holds channel 0 or 2, the odd bytes' channel 1 or 3, as t is even or
// odd. Each lane gains at most 4 * 255 a block, so the lanes are emptied every 64 blocks.
template <std::size_t K>
void SumBlocks4(const std::uint8_t* bytes, std::size_t blocks, const std::uint32_t* multipliers,
                Sums* sums) noexcept {
  constexpr std::size_t kSets = K == 0 ? 1 : K;
  __m128i m[kSets];  // NOLINT(modernize-avoid-c-arrays)
  for (std::size_t k = 0; k < kSets; ++k) {
    m[k] = _mm_set1_epi16(static_cast<short>(multipliers[k]));  // unused when K = 0
  }
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  while (blocks > 0) {
    const std::size_t run = blocks < 64 ? blocks : 64;
    __m128i acc[kSets][2];  // NOLINT(modernize-avoid-c-arrays)
    for (auto& set : acc) {
      set[0] = set[1] = _mm_setzero_si128();
    }
    for (std::size_t r = 0; r < run; ++r, bytes += 64) {
      Unrolled<4>([&](auto j) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * j));
        const __m128i even = _mm_and_si128(x, low_bytes);
        const __m128i odd = _mm_srli_epi16(x, 8);
        Unrolled<kSets>([&](auto k) {
          acc[k][0] = _mm_add_epi16(acc[k][0], K == 0 ? even : _mm_mulhi_epu16(even, m[k]));
          acc[k][1] = _mm_add_epi16(acc[k][1], K == 0 ? odd : _mm_mulhi_epu16(odd, m[k]));
        });
      });
    }
    for (std::size_t k = 0; k < kSets; ++k) {
      AddLanes4(acc[k][0], 0, sums[k]);
      AddLanes4(acc[k][1], 1, sums[k]);
    }
    blocks -= run;
  }
}

// Whole blocks of `row` into totals, by the kernel for its channel count; returns the bytes taken.
std::size_t SumWholeBlocks(const Row& row, std::span<const std::uint8_t> ceilings,
                           const std::uint32_t* multipliers, Sums* totals) noexcept {
  // The identity's multiplier 2^16 fits no 16-bit lane, so undimmed sums take their own loop.
  const bool undimmed = ceilings.size() == 1 && ceilings[0] == 255;
  if (row.channels == 4) {
    const std::size_t blocks = 4 * row.leds / 64;
    if (ceilings.size() == 2) {
      SumBlocks4<2>(row.bytes, blocks, multipliers, totals);
    } else if (!undimmed) {
      SumBlocks4<1>(row.bytes, blocks, multipliers, totals);
    } else {
      SumBlocks4<0>(row.bytes, blocks, multipliers, totals);
    }
    return 64 * blocks;
  }
  const std::size_t blocks = 3 * row.leds / 48;
  if (ceilings.size() == 2) {
    SumBlocks<2>(row.bytes, blocks, multipliers, totals);
  } else if (!undimmed) {
    SumBlocks<1>(row.bytes, blocks, multipliers, totals);
  } else {
    SumBlocks<0>(row.bytes, blocks, multipliers, totals);
  }
  return 48 * blocks;
}
#endif

}  // namespace

void ScaledCurrents(const Row& row, const PowerModel& model, std::span<const std::uint8_t> ceilings,
                    std::span<std::uint64_t> currents) noexcept {
  const std::uint8_t* bytes = row.bytes;
  const std::size_t size = row.channels * row.leds;
  std::uint32_t multipliers[2] = {};  // NOLINT(modernize-avoid-c-arrays)
  Sums totals[2] = {};                // NOLINT(modernize-avoid-c-arrays)
  for (std::size_t k = 0; k < ceilings.size(); ++k) {
    multipliers[k] = brightness::CeilingMultiplier(ceilings[k]);
  }
  std::size_t i = 0;
#ifdef LEDCOLOR_SSE2
  i = SumWholeBlocks(row, ceilings, multipliers, totals);
#endif
  // i is a whole number of LEDs here, so the tail starts on a red byte.
  for (std::size_t channel = 0; i < size; ++i) {
    for (std::size_t k = 0; k < ceilings.size(); ++k) {
      totals[k][channel] += brightness::Scale(bytes[i], multipliers[k]);
    }
    channel = channel + 1 == row.channels ? 0 : channel + 1;
  }
  // Each channel's sum is at most 255 * 2^24 within the domain, which 32 bits hold. An RGB row
  // leaves the white sum at 0.
  for (std::size_t k = 0; k < ceilings.size(); ++k) {
    currents[k] =
        std::uint64_t{totals[k][0]} * model.red_ua + std::uint64_t{totals[k][1]} * model.green_ua +
        std::uint64_t{totals[k][2]} * model.blue_ua + std::uint64_t{totals[k][3]} * model.white_ua;
  }
}

}  // namespace ledcolor::power
