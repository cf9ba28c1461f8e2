#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "ledcolor/color.h"

namespace ledcolor {

namespace {
constexpr std::size_t kHexColorDigits = 6;
}  // namespace

bool ParseHexColor(std::string_view text, Rgb& out) noexcept {
  if (text.size() != kHexColorDigits) {
    return false;
  }
  // strtoul skips leading blanks, takes a sign and a "0x" prefix, and stops quietly at a stray
  // character, so every character is vetted before it gets to see the text. isxdigit takes the
  // byte as unsigned: a plain char of 0x80 and up would be negative, which isxdigit must not get.
  for (const char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
      return false;
    }
  }
  // A terminated copy, because `text` need not end after its six characters.
  std::array<char, kHexColorDigits + 1> digits{};
  std::memcpy(digits.data(), text.data(), kHexColorDigits);
  const unsigned long value = std::strtoul(digits.data(), nullptr, 16);

  out.r = static_cast<std::uint8_t>((value >> 16) & 0xFF);
  out.g = static_cast<std::uint8_t>((value >> 8) & 0xFF);
  out.b = static_cast<std::uint8_t>(value & 0xFF);
  return true;
}

}  // namespace ledcolor
