// The subcommands beyond `run`: what a person reaches for when the lights stay dark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tool {

// Where `send` and `status` go: serial:PATH[@BAUD], ddp:HOST[:PORT], e131:HOST, e131:multicast,
// artnet:HOST.
struct Target {
  enum class Kind : std::uint8_t { kSerial, kDdp, kE131, kArtNet } kind = Kind::kSerial;
  std::string where;  // the path or host; empty for E1.31 multicast
  std::uint32_t baud = 2'000'000;
  std::uint16_t port = 0;
};
// The target, or false with the reason in `error`.
bool ParseTarget(const std::string& text, Target& target, std::string& error);

// `ledcolor status serial:PATH[@BAUD]`: a hello, and the answer printed, one field a line when it
// is our firmware's. 1 when nothing answers within a second.
int Status(const std::string& target);

struct SendOptions {
  std::string target;
  std::string format = "awa";  // serial: awa | ada
  std::uint32_t universe = 0;  // e131 (1 when left at 0) and artnet
  std::size_t leds = 60;
  std::string color;  // RRGGBB
  bool rainbow = false;
  bool chase = false;
  bool ramp = false;
  std::string file;  // raw RGB rows of `leds` LEDs
  double fps = 30;
  double seconds = 0;  // 0: one frame
};
// `ledcolor send TARGET`: frames at `fps` for `seconds`; progress on a terminal.
int Send(const SendOptions& options);

struct InspectOptions {
  std::string file;
  bool serial = false;             // a raw serial capture, not pcap
  std::string format = "awa";      // serial: awa | ada
  std::uint32_t baud = 2'000'000;  // serial: to tell a byte's time
  std::size_t leds = 0;            // > 0: what a FrameAssembler of this many LEDs would show
  std::uint32_t universe = 0;      // its first universe (E1.31, 1 when left at 0) or port address
  bool json = false;
};
// `ledcolor inspect FILE`: what a controller would have received, a line a frame or datagram,
// then a summary. 1 when the file cannot be read.
int Inspect(const InspectOptions& options);

}  // namespace tool
