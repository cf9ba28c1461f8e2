#include <array>
#include <cstddef>
#include <cstdint>

#include "ledcolor/internal/planes.h"
#include "ledcolor/internal/unrolled.h"
#include "ledcolor/strip/order.h"

namespace ledcolor::strip {

namespace {

// Each data bit is three line bits, 1b0, most significant first: so a byte's 24 line bits are the
// fixed 100100... pattern with the byte's bits at positions 22, 19, ... 1. Each nibble's twelve
// line bits, the pattern with its four data bits in place, come from a 16-entry table (the high
// nibble's already shifted to bits 12 to 23): 96 bytes rather than the 1 KiB of a table per byte,
// which a Cortex-M0+ firmware would feel.
constexpr std::uint32_t SpreadNibble(unsigned n) noexcept {
  std::uint32_t bits = 0x924;
  for (unsigned bit = 0; bit < 4; ++bit) {
    bits |= ((n >> bit) & 1U) << (3 * bit + 1);
  }
  return bits;
}
constexpr std::array<std::uint32_t, 16> kSpreadHigh = [] {
  std::array<std::uint32_t, 16> table{};
  for (unsigned n = 0; n < 16; ++n) {
    table[n] = SpreadNibble(n) << 12;
  }
  return table;
}();
constexpr std::array<std::uint16_t, 16> kSpreadLow = [] {
  std::array<std::uint16_t, 16> table{};
  for (unsigned n = 0; n < 16; ++n) {
    table[n] = static_cast<std::uint16_t>(SpreadNibble(n));
  }
  return table;
}();

// LED by LED with its channels written out and their offsets in locals, in a function of its own,
// so that a core with eight registers to work in keeps what it can there.
template <std::size_t kChannels>
[[gnu::noinline]] void SpreadLeds(const std::uint8_t* in, std::size_t leds,
                                  const std::uint8_t* offsets, std::uint8_t* out) noexcept {
  std::array<std::size_t, kChannels> at{};
  for (std::size_t k = 0; k < kChannels; ++k) {
    at[k] = offsets[k];
  }
  for (; leds != 0; --leds, in += kChannels, out += 3 * kChannels) {
    std::uint8_t* const line = out;
    internal::Unrolled<kChannels>([&](auto k) {
      const std::uint32_t v = in[at[k]];
      const std::uint32_t bits = kSpreadHigh[v >> 4] | kSpreadLow[v & 0x0F];
      line[3 * k] = static_cast<std::uint8_t>(bits >> 16);
      line[3 * k + 1] = static_cast<std::uint8_t>(bits >> 8);
      line[3 * k + 2] = static_cast<std::uint8_t>(bits);
    });
  }
}

#ifdef LEDCOLOR_SSE2
// The same spreading on 16 bytes at once, as three vectors of their first, second and third line
// byte. Line byte 0 holds data bits 7, 6, 5 at bits 6, 3, 0 among the fixed 0x92; byte 1 bits 4,
// 3 at 5, 2 among 0x49; byte 2 bits 2, 1, 0 at 7, 4, 1 among 0x24. SSE2 shifts 16-bit lanes, not
// bytes, but each mask keeps only bits that came from within their own byte.
struct LineBytes {
  __m128i first, second, third;
};

inline LineBytes Spread(__m128i v) noexcept {
  const auto bits = [](__m128i x, int mask) {
    return _mm_and_si128(x, _mm_set1_epi8(static_cast<char>(mask)));
  };
  const auto fixed = [](int pattern) { return _mm_set1_epi8(static_cast<char>(pattern)); };
  const __m128i r1 = _mm_srli_epi16(v, 1);
  const __m128i l1 = _mm_slli_epi16(v, 1);
  return {_mm_or_si128(
              _mm_or_si128(fixed(0x92), bits(r1, 0x40)),
              _mm_or_si128(bits(_mm_srli_epi16(v, 3), 0x08), bits(_mm_srli_epi16(v, 5), 0x01))),
          _mm_or_si128(fixed(0x49), _mm_or_si128(bits(l1, 0x20), bits(r1, 0x04))),
          _mm_or_si128(
              _mm_or_si128(fixed(0x24), bits(l1, 0x02)),
              _mm_or_si128(bits(_mm_slli_epi16(v, 5), 0x80), bits(_mm_slli_epi16(v, 3), 0x10)))};
}

// 16 LEDs at a time: their channels apart (a vector each), each spread to its three line bytes,
// then packed back LED by LED: first the units of three line bytes in the chips' order, one stream
// per line byte, then the three streams byte by byte.
template <std::size_t kChannels>
std::size_t SpreadBlocks(const std::uint8_t* in, std::size_t leds, const std::uint8_t* offsets,
                         std::uint8_t* out) noexcept {
  std::size_t i = 0;
  for (; leds - i >= 16; i += 16, in += 16 * kChannels, out += 48 * kChannels) {
    const internal::Vectors<kChannels> planes = internal::PlanesInOrder<kChannels>(in, offsets);
    internal::Vectors<kChannels> first;
    internal::Vectors<kChannels> second;
    internal::Vectors<kChannels> third;
    for (std::size_t k = 0; k < kChannels; ++k) {
      const LineBytes line = Spread(planes[k]);
      first[k] = line.first;
      second[k] = line.second;
      third[k] = line.third;
    }
    alignas(16) std::array<std::array<std::uint8_t, 16 * kChannels>, 3> streams;
    internal::Pack<kChannels>(first, streams[0].data());
    internal::Pack<kChannels>(second, streams[1].data());
    internal::Pack<kChannels>(third, streams[2].data());
    for (std::size_t q = 0; q < kChannels; ++q) {
      const auto load = [&](std::size_t m) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(streams[m].data() + 16 * q));
      };
      internal::Pack3({{load(0), load(1), load(2)}}, out + 48 * q);
    }
  }
  return i;
}
#endif

}  // namespace

template <std::size_t kChannels>
void SpreadWs2812(const std::uint8_t* in, std::size_t leds, const std::uint8_t* offsets,
                  std::uint8_t* out) noexcept {
  std::size_t i = 0;
#ifdef LEDCOLOR_SSE2
  i = SpreadBlocks<kChannels>(in, leds, offsets, out);
  in += kChannels * i;
  out += 3 * kChannels * i;
#endif
  SpreadLeds<kChannels>(in, leds - i, offsets, out);
}

// Bytes already in the chips' order need no channel planes: 16 at a time, each spread to its
// three line bytes, the three vectors interleaved byte by byte.
void SpreadBytes(const std::uint8_t* in, std::size_t size, std::uint8_t* out) noexcept {
  std::size_t i = 0;
#ifdef LEDCOLOR_SSE2
  for (; size - i >= 16; i += 16) {
    const LineBytes line = Spread(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)));
    internal::Pack3({{line.first, line.second, line.third}}, out + 3 * i);
  }
#endif
  constexpr std::uint8_t kFirst = 0;
  SpreadLeds<1>(in + i, size - i, &kFirst, out + 3 * i);
}

template void SpreadWs2812<3>(const std::uint8_t*, std::size_t, const std::uint8_t*,
                              std::uint8_t*) noexcept;
template void SpreadWs2812<4>(const std::uint8_t*, std::size_t, const std::uint8_t*,
                              std::uint8_t*) noexcept;

}  // namespace ledcolor::strip
