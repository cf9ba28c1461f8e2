#include <array>
#include <cstdint>

#include "ledcolor/light.h"
#include "ledcolor/light/word.h"

namespace ledcolor {

namespace {

template <typename Color, std::size_t kPeriod>
void Dim(std::span<Color> leds, const std::array<std::uint16_t, kPeriod>& ceilings) noexcept {
  word::DimWords<kPeriod>(reinterpret_cast<std::uint8_t*>(leds.data()), leds.size_bytes() / 2,
                          ceilings);
}

}  // namespace

void ApplyCeiling(std::span<Rgb16> leds, std::uint16_t ceiling) noexcept {
  Dim<Rgb16, 1>(leds, {ceiling});
}

void ApplyCeiling(std::span<Rgbw16> leds, std::uint16_t ceiling) noexcept {
  Dim<Rgbw16, 1>(leds, {ceiling});
}

void ApplyCeiling(std::span<Rgb16> leds, Rgb16 ceiling) noexcept {
  Dim<Rgb16, 3>(leds, {ceiling.r, ceiling.g, ceiling.b});
}

void ApplyCeiling(std::span<Rgbw16> leds, Rgbw16 ceiling) noexcept {
  Dim<Rgbw16, 4>(leds, {ceiling.r, ceiling.g, ceiling.b, ceiling.w});
}

}  // namespace ledcolor
