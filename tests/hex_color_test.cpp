#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "ledcolor/ledcolor.h"
#include "reference_hex_decoder.h"

namespace {

using ledcolor::ParseHexColor;
using ledcolor::Rgb;

constexpr Rgb kSentinel{0x5A, 0xA5, 0x3C};

// Holds the parser to the oracle on `text`, and to leaving `out` alone when it rejects.
void ExpectAgreesWithOracle(std::string_view text) {
  Rgb out = kSentinel;
  const bool accepted = ParseHexColor(text, out);
  const std::optional<Rgb> expected = ledcolor_testing::DecodeHexColor(text);
  ASSERT_EQ(accepted, expected.has_value()) << "text \"" << std::string(text) << "\"";
  EXPECT_EQ(out, accepted ? *expected : kSentinel) << "text \"" << std::string(text) << "\"";
}

TEST(ParseHexColor, ReadsPairsRedFirstInEitherCase) {
  Rgb out{};
  ASSERT_TRUE(ParseHexColor("FF8000", out));
  EXPECT_EQ(out, (Rgb{0xFF, 0x80, 0x00}));
  ASSERT_TRUE(ParseHexColor("aBcDeF", out));
  EXPECT_EQ(out, (Rgb{0xAB, 0xCD, 0xEF}));
  ASSERT_TRUE(ParseHexColor("012345", out));
  EXPECT_EQ(out, (Rgb{0x01, 0x23, 0x45}));
  ASSERT_TRUE(ParseHexColor("ffffff", out));
  EXPECT_EQ(out, (Rgb{0xFF, 0xFF, 0xFF}));
}

TEST(ParseHexColor, RejectsEverythingButSixHexDigitsAndKeepsOut) {
  using std::string_view_literals::operator""sv;
  // Signs, prefixes, blanks, near-miss letters, NUL and bytes of 0x80 and up (octal escapes, the
  // last of them a full-width F in UTF-8), then every other length up to nine.
  // clang-format off
  const std::string_view rejected[] = {
      "+12345", "-12345", "0x1234", "0X1234", "#12345", " 12345", "12 345", "12345 ", "\t12345",
      "12345\n", "GG0000", "12345Z", "   000", "12345g", "\20012345", "12345\377",
      "\357\274\246000", "12\000456"sv, "123456\0"sv,
      ""sv, "1", "12", "123", "1234", "12345", "1234567", "12345678", "123456789"};
  // clang-format on
  for (const std::string_view text : rejected) {
    ExpectAgreesWithOracle(text);
    Rgb out = kSentinel;
    EXPECT_FALSE(ParseHexColor(text, out));
  }
}

TEST(ParseHexColor, ReadsOnlyTheSixCharactersOfTheView) {
  const std::string buffer = "FF8000ZZ 12";
  Rgb out{};
  ASSERT_TRUE(ParseHexColor(std::string_view(buffer).substr(0, 6), out));
  EXPECT_EQ(out, (Rgb{0xFF, 0x80, 0x00}));
  // And a view that stops short of six is not lengthened by the digits that follow it.
  out = kSentinel;
  EXPECT_FALSE(ParseHexColor(std::string_view("1234567").substr(0, 5), out));
  EXPECT_EQ(out, kSentinel);
}

TEST(ParseHexColor, AgreesWithAnIndependentDecoderOnHostileTexts) {
  // Digits of both cases and their near neighbours, signs, prefixes, blanks, NUL and high bytes.
  using std::string_view_literals::operator""sv;
  constexpr std::string_view kAlphabet =
      "0123456789abcdefABCDEFgGxX#+- \t\n\v\f\r/:@`\x7F\x80\xA0\xFF\0\x01"
      "0123456789abcdefABCDEF"sv;
  std::mt19937 rng(20261208);
  std::uniform_int_distribution<std::size_t> length(0, 9);
  std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
  std::string text;
  for (int round = 0; round < 200000; ++round) {
    text.clear();
    const std::size_t n = round % 4 == 0 ? length(rng) : 6;
    for (std::size_t i = 0; i < n; ++i) {
      text.push_back(kAlphabet[pick(rng)]);
    }
    ExpectAgreesWithOracle(text);
    if (HasFatalFailure() || HasNonfatalFailure()) {
      return;
    }
  }
}

}  // namespace
