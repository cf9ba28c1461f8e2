#include <cstdint>

#include "ledcolor/light.h"
#include "ledcolor/light/scale.h"

namespace ledcolor {

void ApplyTable(std::span<Rgb> leds, const ByteTable& table) noexcept {
  // Each byte is mapped alone, so the row is the flat run of bytes it is.
  brightness::MapBytes(reinterpret_cast<std::uint8_t*>(leds.data()), leds.size_bytes(), table);
}

}  // namespace ledcolor
