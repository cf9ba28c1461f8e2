#include "ledcolor/adalight/check_sums.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ledcolor/internal/sse2.h"

namespace ledcolor::adalight {

namespace {

// x mod 255 without a division, which a Cortex-M0+ would call a library routine for, each call
// longer than a short frame's sums: 256 and 65536 are 1 mod 255.
constexpr std::uint32_t Mod255(std::uint32_t x) noexcept {
  x = (x & 0xFFFF) + (x >> 16);  // below 2^17
  x = (x & 0xFF) + (x >> 8);     // below 2^9 + 2^8
  x = (x & 0xFF) + (x >> 8);     // at most 257
  return x >= 255 ? x - 255 : x;
}
static_assert(Mod255(0xFFFFFFFF) == 0xFFFFFFFF % 255 && Mod255(254) == 254 && Mod255(255) == 0 &&
              Mod255(0x1FEFF) == 0x1FEFF % 255);

// The sums {f1, f2, fx, position} over `size` bytes from `p`, not reduced, in locals of a function
// of their own: in one that also calls out (the copy, the reductions), a core with eight registers
// to work in keeps them on the stack, and loads and stores each of them every byte.
// NOLINTNEXTLINE(modernize-avoid-c-arrays)
[[gnu::noinline]] void AddBytes(std::uint32_t (&sums)[4], const std::uint8_t* p,
                                std::size_t size) noexcept {
  std::uint32_t sum = sums[0];
  std::uint32_t sum_of_sums = sums[1];
  std::uint32_t xor_sum = sums[2];
  std::uint32_t position = sums[3];
  for (; size != 0; --size) {
    const std::uint32_t v = *p++;
    sum += v;
    sum_of_sums += sum;
    xor_sum += static_cast<std::uint8_t>(v ^ position++);
  }
  sums[0] = sum;
  sums[1] = sum_of_sums;
  sums[2] = xor_sum;
  sums[3] = position;
}

}  // namespace

void CheckSums::Add(std::span<const std::uint8_t> bytes, std::uint8_t* copy) noexcept {
  const std::uint8_t* p = bytes.data();
  std::size_t size = bytes.size();
#ifdef LEDCOLOR_SSE2
  // A run of Q 16-byte blocks, L = 16Q bytes v_0 ... v_L-1, has exact block forms for all three
  // sums: it adds S = sum v_t to f1, L * f1 + sum (L - t) v_t to f2 (each byte's value counts once
  // for every running sum from it on), and sum (v_t XOR position) to fx. Per block q,
  // sum (L - t) v_t takes 16 * (the bytes before the block) + sum over u of (16 - u) v_16q+u; the
  // second part is summed per column u, in 16-bit lanes of even and odd bytes, and weighted every
  // 128 blocks, while the lanes are still below 2^15 for pmaddwd. The byte sums come from psadbw,
  // and the positions of a block are those of the one before plus 16, wrapping as bytes do. 2048
  // blocks keep every 32-bit lane of the weighted sums below 2^26; the rest is reduced mod 255
  // once a run.
  const __m128i zero = _mm_setzero_si128();
  const __m128i low_bytes = _mm_set1_epi16(0x00FF);
  const __m128i weights_even = _mm_setr_epi16(16, 14, 12, 10, 8, 6, 4, 2);
  const __m128i weights_odd = _mm_setr_epi16(15, 13, 11, 9, 7, 5, 3, 1);
  const __m128i sixteen = _mm_set1_epi8(16);
  while (size >= 16) {
    const std::size_t blocks = size / 16 < 2048 ? size / 16 : 2048;
    __m128i sum = zero;       // the bytes so far, in two 64-bit lanes
    __m128i before = zero;    // the sum of `sum` before each block
    __m128i weighted = zero;  // (16 - u) v_u within each block, in four 32-bit lanes
    __m128i xored = zero;     // v XOR position
    __m128i positions =
        _mm_add_epi8(_mm_set1_epi8(static_cast<char>(position_)),
                     _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
    for (std::size_t done = 0; done < blocks;) {
      const std::size_t stretch = blocks - done < 128 ? blocks - done : 128;
      __m128i even = zero;  // column sums of the bytes at even and odd offsets in a block
      __m128i odd = zero;
      for (std::size_t q = 0; q < stretch; ++q, p += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (copy != nullptr) {
          _mm_storeu_si128(reinterpret_cast<__m128i*>(copy), x);
          copy += 16;
        }
        before = _mm_add_epi64(before, sum);
        sum = _mm_add_epi64(sum, _mm_sad_epu8(x, zero));
        even = _mm_add_epi16(even, _mm_and_si128(x, low_bytes));
        odd = _mm_add_epi16(odd, _mm_srli_epi16(x, 8));
        xored = _mm_add_epi64(xored, _mm_sad_epu8(_mm_xor_si128(x, positions), zero));
        positions = _mm_add_epi8(positions, sixteen);
      }
      weighted = _mm_add_epi32(weighted, _mm_add_epi32(_mm_madd_epi16(even, weights_even),
                                                       _mm_madd_epi16(odd, weights_odd)));
      done += stretch;
    }
    alignas(16) std::uint64_t lanes64[3][2];  // NOLINT(modernize-avoid-c-arrays)
    alignas(16) std::uint32_t lanes32[4];     // NOLINT(modernize-avoid-c-arrays)
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes64[0]), sum);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes64[1]), before);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes64[2]), xored);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes32), weighted);
    const std::uint64_t run = 16 * blocks;
    const std::uint64_t weighted_sum =
        16 * (lanes64[1][0] + lanes64[1][1]) +
        (std::uint64_t{lanes32[0]} + lanes32[1] + lanes32[2] + lanes32[3]);
    sum_of_sums_ = static_cast<std::uint32_t>((sum_of_sums_ + run * sum_ + weighted_sum) % 255);
    sum_ = static_cast<std::uint32_t>((sum_ + lanes64[0][0] + lanes64[0][1]) % 255);
    xor_sum_ = static_cast<std::uint32_t>((xor_sum_ + lanes64[2][0] + lanes64[2][1]) % 255);
    position_ = (position_ + run) & 0xFF;
    size -= run;
  }
#endif
  // Byte by byte, reduced every 2048 bytes: by then f2's sum is below 2^30.
  while (size > 0) {
    const std::size_t run = size < 2048 ? size : 2048;
    if (copy != nullptr) {
      std::memmove(copy, p, run);  // as memcpy, which a reader's firmware then need not link
      copy += run;
    }
    std::uint32_t sums[4] = {sum_, sum_of_sums_, xor_sum_, position_};  // NOLINT(*-c-arrays)
    AddBytes(sums, p, run);
    sum_ = Mod255(sums[0]);
    sum_of_sums_ = Mod255(sums[1]);
    xor_sum_ = Mod255(sums[2]);
    position_ = sums[3] & 0xFF;
    p += run;
    size -= run;
  }
}

std::array<std::uint8_t, kAdalightCheckSize> CheckSums::Bytes() const noexcept {
  // fx is never sent as 'A', so that a check byte cannot pass for the start of a frame.
  return {static_cast<std::uint8_t>(sum_), static_cast<std::uint8_t>(sum_of_sums_),
          static_cast<std::uint8_t>(xor_sum_ == 0x41 ? 0xAA : xor_sum_)};
}

}  // namespace ledcolor::adalight
