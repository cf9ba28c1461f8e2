// Finds, in what an output of `ledcolor run` wrote, the frame that the library's path makes of
// what a sender sent: the check of the program against real senders (.ci/tool-peers).
//
//   tool_expect_frame CONFIG INDEX PATTERN FIRST FILE
//     CONFIG, INDEX: the configuration and the output (from 0) whose device wrote FILE;
//     PATTERN FIRST: what was sent, from universe (or port address) FIRST --
//       levels:  channel c of universe FIRST + k holds (29 k + 7 c + 1) mod 256 (every channel);
//       row:     a row of RGB LEDs, 170 a universe from channel 1, byte i (7 i + 3) mod 256; for
//                DDP byte i of the stream, FIRST unused;
//       color:   `ledcolor send --color FIRST` (FIRST is RRGGBB here): from universe 1 (E1.31) or
//                port address 0 (Art-Net), 170 LEDs a universe from channel 1; DDP from byte 0;
//       dark:    a dark row (a blank), which must be the last frame in FILE.
// FILE holds frames of a strip device (spi: and file:, one after the other) or the stream a
// serial device sent; the frame must be one of them. Exits 0 and says so, or 1.
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <variant>
#include <vector>

#include "config.h"
#include "output.h"

namespace {

std::uint8_t InputByte(const tool::OutputConfig& o, const std::string& pattern, std::uint32_t first,
                       std::size_t byte, const ledcolor::Rgb& colour) {
  const std::array<std::uint8_t, 3> rgb{colour.r, colour.g, colour.b};
  if (o.protocol == tool::Protocol::kDdp) {
    return pattern == "color" ? rgb[(o.offset + byte) % 3]
                              : static_cast<std::uint8_t>(7 * (o.offset + byte) + 3);
  }
  // Where the output's byte lies: universe and channel by the layout's rule.
  const std::size_t ch = tool::OutputConfig::InputChannels();
  const tool::UniverseChannel at = tool::ChannelOf(o, byte / ch);
  const std::size_t channel = at.channel + byte % ch;
  const std::size_t k = at.universe - first;
  if (pattern == "color") {
    return rgb[(channel - 1) % 3];
  }
  return pattern == "levels" ? static_cast<std::uint8_t>(29 * k + 7 * channel + 1)
                             : static_cast<std::uint8_t>(7 * (510 * k + channel - 1) + 3);
}

std::vector<std::uint8_t> Expected(const tool::OutputConfig& o, std::vector<std::uint8_t> colours) {
  const tool::GammaTables gamma(o);
  std::vector<ledcolor::Rgbw> work;
  std::vector<std::uint8_t> path;
  std::vector<std::uint8_t> out;
  const auto bytes =
      tool::EncodeFor(o, gamma.bytes ? &*gamma.bytes : nullptr,
                      gamma.words ? &*gamma.words : nullptr, colours, work, path, out);
  return {bytes.begin(), bytes.end()};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr,
                 "usage: tool_expect_frame CONFIG INDEX levels|row|color|dark FIRST FILE\n");
    return 2;
  }
  auto loaded = tool::LoadConfig(argv[1]);
  if (auto* error = std::get_if<std::string>(&loaded)) {
    std::fprintf(stderr, "%s\n", error->c_str());
    return 2;
  }
  const tool::OutputConfig& o = std::get<tool::Config>(loaded).outputs.at(std::stoul(argv[2]));
  const std::string pattern = argv[3];
  ledcolor::Rgb colour{};
  const bool coloured = pattern == "color" && ledcolor::ParseHexColor(argv[4], colour);
  const auto first = coloured ? (o.protocol == tool::Protocol::kE131 ? 1U : 0U)
                              : static_cast<std::uint32_t>(std::stoul(argv[4]));
  const bool dark = pattern == "dark";
  std::vector<std::uint8_t> colours(3 * o.leds);
  for (std::size_t i = 0; i < colours.size() && !dark; ++i) {
    colours[i] = InputByte(o, pattern, first, i, colour);
  }
  const std::vector<std::uint8_t> want = Expected(o, colours);
  std::ifstream in(argv[5], std::ios::binary);
  const std::vector<std::uint8_t> got((std::istreambuf_iterator<char>(in)), {});
  const bool strip = o.kind == tool::DeviceKind::kSpi || o.kind == tool::DeviceKind::kFile;
  bool found = false;
  // A blank must be the last frame; any other frame may be any of them.
  std::size_t at = dark && got.size() >= want.size() ? got.size() - want.size() : 0;
  for (; !want.empty() && at + want.size() <= got.size(); at += strip ? want.size() : 1) {
    if (std::equal(want.begin(), want.end(), got.begin() + static_cast<std::ptrdiff_t>(at))) {
      found = true;
      break;
    }
  }
  if (strip && got.size() % want.size() != 0) {
    std::printf("%s: %zu bytes, not whole frames of %zu\n", o.device.c_str(), got.size(),
                want.size());
    return 1;
  }
  std::printf("%s: %s %s from %u: %s (%zu bytes a frame)\n", o.device.c_str(), pattern.c_str(),
              tool::ProtocolName(o.protocol), first,
              found ? (dark ? "the last frame is dark" : "the path's output for the frame sent")
                    : "NOT FOUND",
              want.size());
  return found ? 0 : 1;
}
