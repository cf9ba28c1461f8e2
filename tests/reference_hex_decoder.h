// An independent decoder of six-digit hex colours, the oracle for ParseHexColor in the unit tests
// and the fuzzer. It shares nothing with the library: no <cctype>, no strtoul.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "ledcolor/ledcolor.h"

namespace ledcolor_testing {

inline std::optional<ledcolor::Rgb> DecodeHexColor(std::string_view text) {
  if (text.size() != 6) {
    return std::nullopt;
  }
  std::array<std::uint8_t, 6> nibbles{};
  for (std::size_t i = 0; i < 6; ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      nibbles[i] = static_cast<std::uint8_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      nibbles[i] = static_cast<std::uint8_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      nibbles[i] = static_cast<std::uint8_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
  }
  auto pair = [&](std::size_t i) {
    return static_cast<std::uint8_t>(nibbles[i] * 16 + nibbles[i + 1]);
  };
  return ledcolor::Rgb{pair(0), pair(2), pair(4)};
}

}  // namespace ledcolor_testing
