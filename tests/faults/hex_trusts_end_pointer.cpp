// Fault: no vetting; strtoul's end pointer reaching the end is taken as proof of six hex digits.
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
  char* end = nullptr;
  const unsigned long value = std::strtoul(digits.data(), &end, 16);
  if (*end != '\0') {
    return false;
  }
  out = Rgb{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value)};
  return true;
}

}  // namespace ledcolor
