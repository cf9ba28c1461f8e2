#include <cstdint>
#include <cstring>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/light.h"
#include "ledcolor/light/word.h"

namespace ledcolor {

namespace {

// Every byte of `in` to its table entry, a word each. Eight bytes a turn on 64-bit machines: one
// load and two stores of eight bytes, the lookups independent of each other.
void MapToWords(const std::uint8_t* in, std::size_t size, const WordTable& table,
                std::uint8_t* out) noexcept {
  std::size_t i = 0;
  if constexpr (sizeof(void*) == 8) {
    for (; size - i >= 8; i += 8) {
      std::uint64_t bytes = 0;
      std::memcpy(&bytes, in + i, 8);
      std::uint64_t low = 0;
      std::uint64_t high = 0;
      for (unsigned k = 0; k < 4; ++k) {
        low |= std::uint64_t{table[(bytes >> (8 * k)) & 0xFF]} << (16 * k);
        high |= std::uint64_t{table[(bytes >> (8 * k + 32)) & 0xFF]} << (16 * k);
      }
      std::memcpy(out + 2 * i, &low, 8);
      std::memcpy(out + 2 * i + 8, &high, 8);
    }
  }
  for (; i < size; ++i) {
    word::Store(out + 2 * i, table[in[i]]);
  }
}

template <typename Color, typename Color16>
std::size_t Map(std::span<const Color> in, const WordTable& table,
                std::span<Color16> out) noexcept {
  if (out.size() < in.size() || internal::Overlap(in, out)) {
    return 0;
  }
  MapToWords(reinterpret_cast<const std::uint8_t*>(in.data()), in.size_bytes(), table,
             reinterpret_cast<std::uint8_t*>(out.data()));
  return in.size();
}

}  // namespace

std::size_t ApplyTable(std::span<const Rgb> in, const WordTable& table,
                       std::span<Rgb16> out) noexcept {
  return Map(in, table, out);
}

std::size_t ApplyTable(std::span<const Rgbw> in, const WordTable& table,
                       std::span<Rgbw16> out) noexcept {
  return Map(in, table, out);
}

}  // namespace ledcolor
