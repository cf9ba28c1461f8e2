// Fault: no vetting at all; whatever strtoul makes of the text is the colour.
#include "faulty_parser.h"

bool ledcolor::ParseHexColor(std::string_view text, Rgb& out) noexcept {
  return ledcolor_faults::ParseWithFault(text, out, {.no_vetting = true});
}
