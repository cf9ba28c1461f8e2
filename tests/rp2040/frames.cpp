// The emulator tests' frames, made on the build machine with the library and the firmware's own
// path and options: what the host sends (the library's encoders) and what each frame must become
// on the strip. One command a line on stdin, one answer a line on stdout, bytes in hex:
// With --block FILE, for the options of that option block instead of the build's.
//   frame awa|awA|AWa|ada LEDS SEED  ->  wire HEX, then expect HEX
//   request hello|goodbye            ->  wire HEX
//   dark LEDS                        ->  expect HEX (the blank a goodbye shows)
//   row LEDS                         ->  expect HEX (an RGB frame as net_sender sends it: byte
//                                        i is (7 i + 3) mod 256)
//   color RRGGBB LEDS                ->  expect HEX (every LED that colour)
//   outputs                          ->  outputs N PIN SUM MA (the outputs, the first one's pin,
//                                        the segments' sum, 0 for equal parts; the budget)
//   solid RRGGBB LEDS                ->  wire HEX, then expect HEX (an "Awa" frame of one colour)
//   split LEDS                       ->  split FIRST COUNT ... SLOTS (each output's segment)
// With parallel outputs an expectation is each output's bytes in turn, dark slots included.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "firmware/rp2040/option_block.h"
#include "firmware/rp2040/options.h"
#include "firmware/rp2040/path.h"

namespace {

void PrintHex(const char* what, const std::vector<std::uint8_t>& bytes) {
  std::string line(what);
  line += ' ';
  static const char* kDigits = "0123456789abcdef";
  for (const std::uint8_t b : bytes) {
    line += kDigits[b >> 4];
    line += kDigits[b & 15];
  }
  std::puts(line.c_str());
}

// The options the frames are made for: the build's, or with --block FILE an option block's (as
// `ledcolor uf2 set` writes it), which the firmware then reads at boot.
firmware::Settings g_settings = firmware::SettingsOf(firmware::kOptions);

std::vector<std::uint8_t> Expect(const firmware::Frame& frame, std::vector<std::uint8_t> colours) {
  const firmware::Options& o = g_settings.options;
  std::vector<ledcolor::Rgbw> work(o.max_leds);
  std::vector<std::uint8_t> out(o.MaxOutBytes());
  colours.resize(4 * o.max_leds);
  out.resize(firmware::RunPath(o, g_settings.gamma_milli != 1000 ? &g_settings.gamma : nullptr,
                               frame, colours, work, out, &g_settings.gamma16));
  if (o.outputs == 1 || out.empty()) {
    return out;
  }
  // Parallel outputs: each one's segment of the path's output, dark slots after it.
  const std::size_t per = o.LedBytes();
  const firmware::Segments split = firmware::SplitFrame(o, frame.leds);
  std::vector<std::uint8_t> outputs(o.outputs * split.slots * per);
  for (std::size_t k = 0; k < o.outputs; ++k) {
    std::copy_n(out.begin() + static_cast<std::ptrdiff_t>(split.first[k] * per),
                split.count[k] * per,
                outputs.begin() + static_cast<std::ptrdiff_t>(k * split.slots * per));
  }
  return outputs;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--block") {
    std::ifstream in(argv[2], std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    const firmware::ReadResult block =
        firmware::ReadBlock(bytes, firmware::kBlockMagic, firmware::kOptions.max_leds);
    if (!block.settings) {
      std::fprintf(stderr, "frames: %s holds no sound option block\n", argv[2]);
      return 2;
    }
    g_settings = *block.settings;
  }
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command, kind;
    std::size_t leds = 0;
    std::uint32_t seed = 0;
    words >> command;
    const firmware::Options& o = g_settings.options;
    if (command == "outputs") {
      std::size_t sum = 0;
      for (const std::uint16_t count : o.segments) {
        sum += count;
      }
      std::printf("outputs %u %u %zu %u\n", static_cast<unsigned>(o.outputs),
                  static_cast<unsigned>(o.data_pin), sum, static_cast<unsigned>(o.budget_ma));
    } else if (command == "split") {
      words >> leds;
      const firmware::Segments split = firmware::SplitFrame(o, leds);
      std::string answer = "split";
      for (std::size_t k = 0; k < o.outputs; ++k) {
        answer += ' ' + std::to_string(split.first[k]) + ' ' + std::to_string(split.count[k]);
      }
      std::printf("%s %zu\n", answer.c_str(), split.slots);
    } else if (command == "request") {
      words >> kind;
      std::vector<std::uint8_t> wire(6);
      wire.resize(ledcolor::EncodeHostRequest(
          kind == "hello" ? ledcolor::HostRequest::kHello : ledcolor::HostRequest::kGoodbye, wire));
      PrintHex("wire", wire);
    } else if (command == "dark") {
      words >> leds;
      PrintHex("expect", Expect({leds, false, std::nullopt}, std::vector<std::uint8_t>(3 * leds)));
    } else if (command == "row") {
      words >> leds;
      std::vector<std::uint8_t> colours(3 * leds);
      for (std::size_t i = 0; i < colours.size(); ++i) {
        colours[i] = static_cast<std::uint8_t>(7 * i + 3);
      }
      PrintHex("expect", Expect({leds, false, std::nullopt}, colours));
    } else if (command == "color" || command == "solid") {
      std::string hex;
      words >> hex >> leds;
      ledcolor::Rgb colour{};
      if (!ledcolor::ParseHexColor(hex, colour)) {
        return 2;
      }
      std::vector<std::uint8_t> colours;
      for (std::size_t i = 0; i < leds; ++i) {
        colours.insert(colours.end(), {colour.r, colour.g, colour.b});
      }
      if (command == "solid") {
        std::vector<std::uint8_t> wire(
            ledcolor::AdalightFrameSize(leds, ledcolor::AdalightFormat::kAwa));
        wire.resize(ledcolor::EncodeAdalightFrame(
            {reinterpret_cast<const ledcolor::Rgb*>(colours.data()), leds}, wire,
            ledcolor::AdalightFormat::kAwa));
        PrintHex("wire", wire);
      }
      PrintHex("expect", Expect({leds, false, std::nullopt}, colours));
    } else if (command == "frame") {
      words >> kind >> leds >> seed;
      const bool rgbw = kind == "AWa";
      std::vector<std::uint8_t> colours((rgbw ? 4 : 3) * leds);
      for (auto& c : colours) {
        seed = seed * 1664525U + 1013904223U;
        c = static_cast<std::uint8_t>(seed >> 24);
      }
      const ledcolor::WhiteCalibration calibration{255, 140, 150, 160};
      std::vector<std::uint8_t> wire(ledcolor::AdalightCalibratedFrameSize(leds) + leds);
      std::size_t size = 0;
      const auto* rgb = reinterpret_cast<const ledcolor::Rgb*>(colours.data());
      if (kind == "awa") {
        size = ledcolor::EncodeAdalightFrame({rgb, leds}, wire, ledcolor::AdalightFormat::kAwa);
      } else if (kind == "ada") {
        size = ledcolor::EncodeAdalightFrame({rgb, leds}, wire);
      } else if (kind == "awA") {
        size = ledcolor::EncodeAdalightFrame({rgb, leds}, wire, calibration);
      } else if (rgbw) {
        size = ledcolor::EncodeAdalightFrame(
            {reinterpret_cast<const ledcolor::Rgbw*>(colours.data()), leds}, wire);
      }
      wire.resize(size);
      PrintHex("wire", wire);
      PrintHex(
          "expect",
          Expect({leds, rgbw, kind == "awA" ? std::optional(calibration) : std::nullopt}, colours));
    } else {
      std::fprintf(stderr, "frames: unknown command '%s'\n", line.c_str());
      return 2;
    }
    std::fflush(stdout);
  }
  return 0;
}
