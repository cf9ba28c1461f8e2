// Fault: no length check; any run of hex digits is taken.
#include "faulty_parser.h"

bool ledcolor::ParseHexColor(std::string_view text, Rgb& out) noexcept {
  return ledcolor_faults::ParseWithFault(text, out, {.no_length_check = true});
}
