// Independent readings of the strip formats, the oracles for the unit tests and the fuzzer: the
// channel order spelled out in letters, and every line bit emitted one at a time. They share no
// code with the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ledcolor/ledcolor.h"

namespace ledcolor_testing {

// The orders by name, in the order of ColorOrder's enumerators.
inline constexpr std::string_view kOrderNames[] = {"RGB", "RBG", "GRB", "GBR", "BRG", "BGR"};

// An RGBW order: the colours' letters with a W at the WhitePosition `white` (0 to 3).
inline std::string RgbwOrder(std::string_view colours, unsigned white) {
  std::string order(colours);
  order.insert(white, "W");
  return order;
}

inline std::uint8_t ChannelByLetter(const ledcolor::Rgb& led, char letter) {
  return letter == 'R' ? led.r : letter == 'G' ? led.g : led.b;
}

inline std::uint8_t ChannelByLetter(const ledcolor::Rgbw& led, char letter) {
  return letter == 'W' ? led.w : letter == 'R' ? led.r : letter == 'G' ? led.g : led.b;
}

// The chips' bytes before any waveform: each LED's channels in the order's letters.
template <typename Led>
std::vector<std::uint8_t> ChipBytes(std::span<const Led> row, std::string_view order) {
  std::vector<std::uint8_t> bytes;
  for (const Led& led : row) {
    for (const char letter : order) {
      bytes.push_back(ChannelByLetter(led, letter));
    }
  }
  return bytes;
}

template <typename Led>
std::vector<std::uint8_t> Ws2812SpiBytes(std::span<const Led> row, std::string_view order) {
  std::vector<bool> line;
  for (const Led& led : row) {
    for (const char letter : order) {
      for (int bit = 7; bit >= 0; --bit) {
        const bool one = ((ChannelByLetter(led, letter) >> bit) & 1) != 0;
        line.insert(line.end(), {true, one, false});
      }
    }
  }
  std::vector<std::uint8_t> bytes(line.size() / 8);
  for (std::size_t i = 0; i < line.size(); ++i) {
    bytes[i / 8] = static_cast<std::uint8_t>(bytes[i / 8] | (line[i] ? 0x80 >> (i % 8) : 0));
  }
  return bytes;
}

inline std::vector<std::uint8_t> Apa102Bytes(std::span<const ledcolor::Rgb> row,
                                             std::string_view order, unsigned brightness) {
  std::vector<std::uint8_t> bytes(4, 0x00);
  for (const ledcolor::Rgb& led : row) {
    bytes.push_back(static_cast<std::uint8_t>(0b11100000 + brightness));
    for (const char letter : order) {
      bytes.push_back(ChannelByLetter(led, letter));
    }
  }
  const std::size_t sixteens = row.size() / 16 + (row.size() % 16 == 0 ? 0 : 1);
  bytes.insert(bytes.end(), 4 + sixteens, 0x00);
  return bytes;
}

}  // namespace ledcolor_testing
