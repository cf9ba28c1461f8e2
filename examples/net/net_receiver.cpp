// The network family against real senders: receives one protocol's datagrams on a UDP socket, runs
// each through the library's decoder and a FrameAssembler as a controller would, and succeeds when
// a row it is told to show is the frame the sender was told to send. Test-only, POSIX hosts.
//
//   net_receiver ddp|e131|artnet ADDRESS FIRST_UNIVERSE FIRST_CHANNEL CHANNELS LEDS SECONDS
//   [GROUP_IF]
//     listens on ADDRESS at the protocol's port (4048, 5568, 6454) for up to SECONDS; for E1.31
//     it also joins the multicast groups of the layout's universes, on the interface at GROUP_IF
//     when it is given.
//
// The frame: in universe index k of the layout (the first is 0), channel c (from 1) holds
// (29 k + 7 c + 1) mod 256; a DDP frame's byte i holds (7 i + 3) mod 256, as net_sender sends it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "ledcolor/ledcolor.h"

namespace {

std::uint8_t Level(std::size_t universe_index, std::size_t channel) {
  return static_cast<std::uint8_t>(29 * universe_index + 7 * channel + 1);
}

// The row the layout makes of that frame: each LED from its universe and channels.
std::vector<std::uint8_t> ExpectedRow(const ledcolor::UniverseLayout& layout, std::size_t leds) {
  std::vector<std::uint8_t> row(leds * layout.channels);
  const std::size_t ch = layout.channels;
  const std::size_t first = (513 - layout.first_channel) / ch;
  for (std::size_t led = 0; led < leds; ++led) {
    const std::size_t k = led < first ? 0 : 1 + (led - first) / (512 / ch);
    const std::size_t in_universe = led < first ? led : (led - first) % (512 / ch);
    const std::size_t channel = (k == 0 ? layout.first_channel : 1) + in_universe * ch;
    for (std::size_t b = 0; b < ch; ++b) {
      row[led * ch + b] = Level(k, channel + b);
    }
  }
  return row;
}

int Socket(const char* address, std::uint16_t port, bool bind_it) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  if (fd < 0 || inet_pton(AF_INET, address, &at.sin_addr) != 1 ||
      (bind_it && bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0)) {
    std::perror(address);
    std::exit(2);
  }
  return fd;
}

// The receiver's loop for a strip of `Color` (Rgb or Rgbw): one row of the strip's own type, from
// the network to the strip.
template <typename Color>
int Receive(const std::string& protocol, int fd, const ledcolor::UniverseLayout& layout,
            std::size_t leds, int seconds, const std::vector<std::uint8_t>& expected) {
  std::vector<Color> row(leds);
  ledcolor::FrameAssembler assembler(std::span<Color>(row), layout);
  if (!assembler.Valid()) {
    std::printf("%s: this layout can never show a frame\n", protocol.c_str());
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const auto now_ms = [&] {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start)
                                          .count());
  };
  std::size_t datagrams = 0;
  std::size_t shows = 0;
  bool frame_sent_shown = false;
  // Driving the strip, here: the row shown must be the frame sent.
  const auto drive = [&](std::span<const std::uint8_t> shown) {
    ++shows;
    if (!frame_sent_shown && std::equal(shown.begin(), shown.end(), expected.begin())) {
      frame_sent_shown = true;
      std::printf("%s: show %zu is the frame sent (%zu bytes, first %02X %02X %02X, last %02X)\n",
                  protocol.c_str(), shows, shown.size(), shown[0], shown[1], shown[2],
                  shown.back());
    }
  };
  std::array<std::uint8_t, 1500> buffer{};
  while (!frame_sent_shown && now_ms() < static_cast<std::uint32_t>(seconds) * 1000) {
    pollfd wait{fd, POLLIN, 0};
    if (poll(&wait, 1, 100) <= 0) {
      continue;
    }
    sockaddr_in from{};
    socklen_t from_size = sizeof from;
    const ssize_t size = recvfrom(fd, buffer.data(), buffer.size(), 0,
                                  reinterpret_cast<sockaddr*>(&from), &from_size);
    if (size < 0) {
      continue;
    }
    ++datagrams;
    const std::span<const std::uint8_t> datagram(buffer.data(), static_cast<std::size_t>(size));
    const std::uint32_t now = now_ms();
    // Decode, and take: the assembler drives the row whenever a frame is whole.
    if (protocol == "ddp") {
      if (const std::optional<ledcolor::DdpPacket> packet = ledcolor::DecodeDdp(datagram)) {
        assembler.Take(*packet, now, drive);
      }
    } else if (protocol == "e131") {
      if (const std::optional<ledcolor::E131Packet> packet = ledcolor::DecodeE131(datagram)) {
        assembler.Take(*packet, now, drive);
      }
    } else if (const std::optional<ledcolor::ArtNetPacket> packet =
                   ledcolor::DecodeArtNet(datagram)) {
      const std::uint32_t sender = ntohl(from.sin_addr.s_addr);  // Art-Net's: its IPv4 address
      assembler.Take(*packet, sender, now, drive);
    }
  }
  std::printf("%s: %zu datagrams, %zu shows, sender %s\n", protocol.c_str(), datagrams, shows,
              assembler.SenderActive(now_ms()) ? "active" : "gone");
  if (frame_sent_shown) {
    return 0;
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(row.data());
  std::size_t first_wrong = 0;
  while (first_wrong < expected.size() && bytes[first_wrong] == expected[first_wrong]) {
    ++first_wrong;
  }
  std::printf("%s: no show was the frame sent; the row last differs from it at byte %zu\n",
              protocol.c_str(), first_wrong);
  return 1;
}

// Joins the E1.31 multicast group of each universe the layout spans, on the interface at
// `interface` (INADDR_ANY: the kernel's choice). Senders multicast unless told a receiver's
// address; a receiver that joins no group hears only unicast.
void JoinUniverses(int fd, const ledcolor::UniverseLayout& layout, std::size_t leds,
                   const char* interface) {
  const std::size_t first_leds = (513 - layout.first_channel) / layout.channels;
  const std::size_t per = 512 / layout.channels;
  const std::size_t universes = leds <= first_leds ? 1 : 2 + (leds - first_leds - 1) / per;
  for (std::size_t k = 0; k < universes; ++k) {
    const auto universe = static_cast<std::uint16_t>(layout.first_universe + k);
    const std::array<std::uint8_t, 4> group = ledcolor::E131MulticastAddress(universe);
    ip_mreq membership{};
    std::memcpy(&membership.imr_multiaddr, group.data(), group.size());  // network order
    membership.imr_interface.s_addr = htonl(INADDR_ANY);
    if (interface != nullptr) {
      inet_pton(AF_INET, interface, &membership.imr_interface);
    }
    if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) {
      std::printf("e131: no multicast for universe %u (unicast only)\n", universe);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 8) {
    std::fprintf(stderr, "usage: see the top of net_receiver.cpp\n");
    return 2;
  }
  const std::string protocol = argv[1];
  const ledcolor::UniverseLayout layout{static_cast<std::uint16_t>(std::atoi(argv[3])),
                                        static_cast<std::uint16_t>(std::atoi(argv[4])),
                                        static_cast<std::uint8_t>(std::atoi(argv[5]))};
  const std::size_t leds = std::strtoul(argv[6], nullptr, 10);
  const int seconds = std::atoi(argv[7]);
  const std::uint16_t port = protocol == "ddp" ? 4048 : protocol == "e131" ? 5568 : 6454;
  const int fd = Socket(argv[2], port, true);
  std::vector<std::uint8_t> expected = ExpectedRow(layout, leds);
  if (protocol == "ddp") {
    for (std::size_t i = 0; i < expected.size(); ++i) {
      expected[i] = static_cast<std::uint8_t>(7 * i + 3);
    }
  }
  if (protocol == "e131") {
    JoinUniverses(fd, layout, leds, argc > 8 ? argv[8] : nullptr);
  }
  std::printf("%s: listening on %s:%u for %zu LEDs of %u channels from universe %u channel %u\n",
              protocol.c_str(), argv[2], port, leds, layout.channels, layout.first_universe,
              layout.first_channel);
  std::fflush(stdout);
  return layout.channels == 4
             ? Receive<ledcolor::Rgbw>(protocol, fd, layout, leds, seconds, expected)
             : Receive<ledcolor::Rgb>(protocol, fd, layout, leds, seconds, expected);
}
