#include <cstdio>
#include <string_view>

#include "harness/checks.h"
#include "ledcolor/ledcolor.h"

namespace harness {

namespace {

using ledcolor::ParseHexColor;
using ledcolor::Rgb;

void ExpectAccepted(std::string_view text, Rgb expected, const char* answer_message,
                    const char* component_message) {
  Rgb out{};
  if (!ParseHexColor(text, out)) {
    Fail(answer_message);
  }
  if (out != expected) {
    Fail(component_message);
  }
}

void ExpectRejected(std::string_view text, const char* message) {
  Rgb out{};
  if (ParseHexColor(text, out)) {
    Fail(message);
  }
}

}  // namespace

void RunHexParserChecks() {
  ExpectAccepted("FF8000", {0xFF, 0x80, 0x00}, "ParseHexColor FF8000 must return true",
                 "ParseHexColor FF8000 must yield R=FF G=80 B=00");
  ExpectAccepted("ff8000", {0xFF, 0x80, 0x00}, "ParseHexColor ff8000 must return true",
                 "ParseHexColor ff8000 must yield R=FF G=80 B=00 (case-insensitive)");
  ExpectAccepted("000000", {0x00, 0x00, 0x00}, "ParseHexColor 000000 must return true",
                 "ParseHexColor 000000 must yield R=00 G=00 B=00");
  ExpectRejected("GG0000", "ParseHexColor non-hex char must reject");
  ExpectRejected("12345Z", "ParseHexColor trailing Z must reject");
  // The number conversion alone would skip these blanks and read the zeros.
  ExpectRejected("   000", "ParseHexColor leading spaces must reject");
  // Hex digits throughout, so only the length can reject them.
  ExpectRejected("FF800", "ParseHexColor 5-char FF800 must reject");
  ExpectRejected("FF80000", "ParseHexColor 7-char FF80000 must reject");
  std::printf("PASS: Hex parser — accepts 6 hex chars, rejects bad lengths and non-hex input\n");
}

}  // namespace harness
