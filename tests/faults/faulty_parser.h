// The hex parser with one knob per planted fault. Each hex_*.cpp defines the library's
// ParseHexColor through it with one knob turned, and nothing else changed.
#pragma once

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "ledcolor/ledcolor.h"

namespace ledcolor_faults {

struct ParserFault {
  bool no_length_check = false;     // any run of hex digits is taken, the first six of a longer one
  bool no_vetting = false;          // whatever strtoul makes of the text is the colour
  bool trusts_end_pointer = false;  // no vetting; strtoul reaching the end is taken as proof
  bool blue_first = false;          // the digit pairs read blue first
};

inline bool ParseWithFault(std::string_view text, ledcolor::Rgb& out, ParserFault fault) {
  if (!fault.no_length_check && text.size() != 6) {
    return false;
  }
  if (!fault.no_vetting && !fault.trusts_end_pointer) {
    for (const char c : text) {
      if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
        return false;
      }
    }
  }
  std::array<char, 7> digits{};
  std::memcpy(digits.data(), text.data(), std::min<std::size_t>(text.size(), 6));
  char* end = nullptr;
  const unsigned long value = std::strtoul(digits.data(), &end, 16);
  if (fault.trusts_end_pointer && *end != '\0') {
    return false;
  }
  const auto high = static_cast<std::uint8_t>(value >> 16);
  const auto low = static_cast<std::uint8_t>(value);
  out = ledcolor::Rgb{fault.blue_first ? low : high, static_cast<std::uint8_t>(value >> 8),
                      fault.blue_first ? high : low};
  return true;
}

}  // namespace ledcolor_faults
