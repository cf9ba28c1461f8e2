#include <cstddef>
#include <cstdint>

#include "ledcolor/light.h"

namespace ledcolor {

void ApplyTable(std::span<Rgb> leds, const ByteTable& table) noexcept {
  // Each byte is mapped alone, so the row is the flat run of bytes it is. There is no vector
  // lookup in baseline x86-64 (that came with SSSE3's pshufb, and 16 entries at a time), so this
  // is the plain loop, which compilers unroll; it costs two loads and a store per byte.
  auto* bytes = reinterpret_cast<std::uint8_t*>(leds.data());
  const std::size_t size = leds.size_bytes();
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = table[bytes[i]];
  }
}

}  // namespace ledcolor
