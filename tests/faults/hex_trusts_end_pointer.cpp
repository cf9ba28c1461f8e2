// Fault: no vetting; strtoul's end pointer reaching the end is taken as proof of six hex digits.
#include "faulty_parser.h"

bool ledcolor::ParseHexColor(std::string_view text, Rgb& out) noexcept {
  return ledcolor_faults::ParseWithFault(text, out, {.trusts_end_pointer = true});
}
