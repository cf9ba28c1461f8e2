// Fault: the digit pairs are read blue first.
#include "faulty_parser.h"

bool ledcolor::ParseHexColor(std::string_view text, Rgb& out) noexcept {
  return ledcolor_faults::ParseWithFault(text, out, {.blue_first = true});
}
