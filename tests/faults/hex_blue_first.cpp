// Fault: the digit pairs are read blue first.
#include <array>
#include <cctype>
#include <cstdlib>

#include "ledcolor/ledcolor.h"

namespace ledcolor {

bool ParseHexColor(std::string_view text, Rgb& out) {
  if (text.size() != 6) {
    return false;
  }
  for (const char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
      return false;
    }
  }
  std::array<char, 7> digits{};
  text.copy(digits.data(), 6);
  const unsigned long value = std::strtoul(digits.data(), nullptr, 16);
  out = Rgb{static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16)};
  return true;
}

}  // namespace ledcolor
