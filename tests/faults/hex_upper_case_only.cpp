// Fault: a digit decoder of its own that knows only 0-9 and A-F.
#include "ledcolor/ledcolor.h"

namespace ledcolor {

namespace {
int DigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}
}  // namespace

bool ParseHexColor(std::string_view text, Rgb& out) noexcept {
  if (text.size() != 6) {
    return false;
  }
  unsigned int value = 0;
  for (const char c : text) {
    const int digit = DigitValue(c);
    if (digit < 0) {
      return false;
    }
    value = value * 16 + static_cast<unsigned int>(digit);
  }
  out = Rgb{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value)};
  return true;
}

}  // namespace ledcolor
