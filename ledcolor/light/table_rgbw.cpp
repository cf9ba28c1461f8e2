#include <cstdint>

#include "ledcolor/light.h"
#include "ledcolor/light/scale.h"

namespace ledcolor {

void ApplyTable(std::span<Rgbw> leds, const ByteTable& table) noexcept {
  brightness::MapBytes(reinterpret_cast<std::uint8_t*>(leds.data()), leds.size_bytes(), table);
}

}  // namespace ledcolor
