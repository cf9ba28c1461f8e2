// The colour of one LED, with or without a white channel, and its text form.
#pragma once

#include <cstdint>
#include <string_view>
#include <type_traits>

namespace ledcolor {

// One LED colour. A row of N is exactly 3N bytes, R G B of the first LED first: the byte order an
// Adalight frame carries, so a row can be copied into a frame in one piece.
struct Rgb {
  std::uint8_t r;
  std::uint8_t g;
  std::uint8_t b;

  friend constexpr bool operator==(const Rgb&, const Rgb&) noexcept = default;
};
static_assert(sizeof(Rgb) == 3 && alignof(Rgb) == 1, "a row of N Rgb must be exactly 3N bytes");
static_assert(std::is_trivially_copyable_v<Rgb> && std::is_aggregate_v<Rgb>);

// One LED colour of a four-channel strip (SK6812 RGBW and its kin): red, green, blue and the white
// LED's own channel. A row of N is exactly 4N bytes, R G B W of the first LED first.
struct Rgbw {
  std::uint8_t r;
  std::uint8_t g;
  std::uint8_t b;
  std::uint8_t w;

  friend constexpr bool operator==(const Rgbw&, const Rgbw&) noexcept = default;
};
static_assert(sizeof(Rgbw) == 4 && alignof(Rgbw) == 1, "a row of N Rgbw must be exactly 4N bytes");
static_assert(std::is_trivially_copyable_v<Rgbw> && std::is_aggregate_v<Rgbw>);

// One LED colour in 16 bits a channel, for the dark end that 8 bits cannot show: levels 0..65535,
// linear drive (after the gamma curve). A row of N is exactly 6N bytes, no padding.
struct Rgb16 {
  std::uint16_t r;
  std::uint16_t g;
  std::uint16_t b;

  friend constexpr bool operator==(const Rgb16&, const Rgb16&) noexcept = default;
};
static_assert(sizeof(Rgb16) == 6, "a row of N Rgb16 must be exactly 6N bytes");
static_assert(std::is_trivially_copyable_v<Rgb16> && std::is_aggregate_v<Rgb16>);

// The same with the white LED's channel: a row of N is exactly 8N bytes.
struct Rgbw16 {
  std::uint16_t r;
  std::uint16_t g;
  std::uint16_t b;
  std::uint16_t w;

  friend constexpr bool operator==(const Rgbw16&, const Rgbw16&) noexcept = default;
};
static_assert(sizeof(Rgbw16) == 8, "a row of N Rgbw16 must be exactly 8N bytes");
static_assert(std::is_trivially_copyable_v<Rgbw16> && std::is_aggregate_v<Rgbw16>);

// Reads a colour written as exactly six hexadecimal digits, red first ("FF8000").
// Upper and lower case are equal. Anything else -- a sign, a "0x" or "#" prefix, blanks,
// another length -- is rejected: returns false and leaves `out` as it was.
[[nodiscard]] bool ParseHexColor(std::string_view text, Rgb& out) noexcept;

}  // namespace ledcolor
