// Fault: no vetting at all; whatever strtoul makes of the text is the colour.
#include <array>
#include <cstdlib>

#include "ledcolor/ledcolor.h"

namespace ledcolor {

bool ParseHexColor(std::string_view text, Rgb& out) {
  if (text.size() != 6) {
    return false;
  }
  std::array<char, 7> digits{};
  text.copy(digits.data(), 6);
  const unsigned long value = std::strtoul(digits.data(), nullptr, 16);
  out = Rgb{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value)};
  return true;
}

}  // namespace ledcolor
