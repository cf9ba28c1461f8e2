// The controller's configuration: a TOML file of one [input] table and [[output]] tables, read and
// checked whole before anything is opened. Every error names the file and line and what is allowed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "firmware/rp2040/path.h"

namespace tool {

enum class Protocol : std::uint8_t { kDdp, kE131, kArtNet };
enum class DeviceKind : std::uint8_t { kSpi, kSerial, kDdp, kFile };

struct InputConfig {
  std::string address = "0.0.0.0";  // the sockets' address
  std::string interface;            // E1.31 multicast joins on it; empty: the kernel's choice
  std::string name = "ledcolor";    // Art-Net's node name
};

struct OutputConfig {
  std::size_t line = 0;  // of its [[output]] header, for messages
  std::string device;    // as written
  DeviceKind kind = DeviceKind::kFile;
  std::string target;  // the path, or the DDP host
  std::uint16_t port = 4048;
  std::size_t leds = 0;
  Protocol protocol = Protocol::kE131;
  std::uint16_t universe = 1;
  std::uint16_t channel = 1;
  std::uint32_t offset = 0;
  std::uint32_t idle_ms = 2500;
  // Temporal dithering of an 8-bit RGB strip: gamma into 16 bits, and the frame sent again with
  // the dither's next phase while no new frame comes, up to refresh_hz and the wire's own rate.
  bool dither = false;
  std::uint32_t refresh_hz = 200;
  // The path's options, as the firmware takes them: strip, order, gamma, white, balance, budget,
  // spi_hz, baud and format.
  firmware::Options path{};

  // The channels an LED takes in the input: RGB from every protocol, white made by the path.
  [[nodiscard]] static constexpr std::uint8_t InputChannels() { return 3; }
};

struct Config {
  std::string file;
  InputConfig input;
  std::vector<OutputConfig> outputs;
};

// The configuration in `file`, or the message of its first error: "FILE:LINE: what is wrong and
// what is allowed".
std::variant<Config, std::string> LoadConfig(const std::string& file);

// The universes (E1.31) or port addresses (Art-Net) an output's LEDs span: its first, and how many.
struct UniverseSpan {
  std::uint32_t first;
  std::uint32_t count;
};
UniverseSpan SpanOf(const OutputConfig& output);

// Where LED `led` of an E1.31 or Art-Net output starts: its universe (or port address) and the
// 1-based channel of its first byte, by the FrameAssembler's layout -- whole LEDs from `channel`
// of the first universe, then 170 a universe from channel 1.
struct UniverseChannel {
  std::uint32_t universe;
  std::uint32_t channel;
};
UniverseChannel ChannelOf(const OutputConfig& output, std::size_t led);

// A decimal number from 1 to `high`, all of `digits`; false for anything else.
bool ParseDecimal(std::string_view digits, std::uint64_t high, std::uint64_t& value);

// One line describing the output, as `run --check` prints it.
std::string Describe(const OutputConfig& output);

const char* ProtocolName(Protocol protocol);

}  // namespace tool
