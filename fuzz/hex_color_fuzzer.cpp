// ParseHexColor on arbitrary bytes, held against an independent decoder: the same answer, the same
// components, and `out` untouched on rejection.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "ledcolor/ledcolor.h"
#include "reference_hex_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  constexpr ledcolor::Rgb kSentinel{0x5A, 0xA5, 0x3C};
  ledcolor::Rgb out = kSentinel;
  const bool accepted = ledcolor::ParseHexColor(text, out);
  const std::optional<ledcolor::Rgb> expected = ledcolor_testing::DecodeHexColor(text);
  if (accepted != expected.has_value() || out != (accepted ? *expected : kSentinel)) {
    std::abort();
  }
  return 0;
}
