// The network family against real senders: receives one protocol's datagrams on a UDP socket, runs
// each through the library's decoder and a FrameAssembler as a controller would, and succeeds when
// a row it is told to show is the frame the sender was told to send. Test-only, POSIX hosts.
//
//   net_receiver ddp|e131|artnet ADDRESS FIRST_UNIVERSE FIRST_CHANNEL CHANNELS LEDS SECONDS
//   [GROUP_IF]
//     listens on ADDRESS at the protocol's port (4048, 5568, 6454) for up to SECONDS; with
//     GROUP_IF, an interface address, it also joins the E1.31 multicast groups of the layout.
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
  std::vector<std::uint8_t> row(leds * layout.channels, 0);
  std::vector<std::uint8_t> expected = ExpectedRow(layout, leds);
  if (protocol == "ddp") {
    for (std::size_t i = 0; i < expected.size(); ++i) {
      expected[i] = static_cast<std::uint8_t>(7 * i + 3);
    }
  }
  // The universes the layout spans, for E1.31 multicast: 239.255.hi.lo each.
  const std::size_t first_leds = (513 - layout.first_channel) / layout.channels;
  const std::size_t per = 512 / layout.channels;
  const std::size_t universes = leds <= first_leds ? 1 : 2 + (leds - first_leds - 1) / per;
  for (std::size_t k = 0; argc > 8 && k < universes; ++k) {
    const unsigned u = layout.first_universe + static_cast<unsigned>(k);
    ip_mreq group{};
    group.imr_multiaddr.s_addr = htonl(0xEFFF0000U | u);
    inet_pton(AF_INET, argv[8], &group.imr_interface);
    setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group);
  }
  std::printf("%s: listening on %s:%u for %zu LEDs of %u channels from universe %u channel %u\n",
              protocol.c_str(), argv[2], port, leds, layout.channels, layout.first_universe,
              layout.first_channel);
  std::fflush(stdout);

  ledcolor::FrameAssembler assembler(row, layout);
  const auto start = std::chrono::steady_clock::now();
  const auto now_ms = [&] {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start)
                                          .count());
  };
  std::size_t datagrams = 0;
  std::size_t decoded = 0;
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
    // Decode, take, drive: the row is driven whenever Take says show -- when it did not take the
    // packet, before taking it again.
    const auto take = [&](const auto& packet) {
      ++decoded;
      const auto take_once = [&] {
        if constexpr (std::is_same_v<std::decay_t<decltype(packet)>, ledcolor::ArtNetPacket>) {
          return assembler.Take(packet, ntohl(from.sin_addr.s_addr), now);  // sender: its IPv4
        } else {
          return assembler.Take(packet, now);
        }
      };
      ledcolor::FrameAssembler::Result result = take_once();
      if (result.show) {
        drive(row);
      }
      if (!result.taken && take_once().show) {
        drive(row);
      }
    };
    if (protocol == "ddp") {
      if (const std::optional<ledcolor::DdpPacket> packet = ledcolor::DecodeDdp(datagram)) {
        take(*packet);
      }
    } else if (protocol == "e131") {
      if (const std::optional<ledcolor::E131Packet> packet = ledcolor::DecodeE131(datagram)) {
        take(*packet);
      }
    } else if (const std::optional<ledcolor::ArtNetPacket> packet =
                   ledcolor::DecodeArtNet(datagram)) {
      take(*packet);
    }
  }
  std::printf("%s: %zu datagrams, %zu decoded, %zu shows, sender %s\n", protocol.c_str(), datagrams,
              decoded, shows, assembler.SenderActive(now_ms()) ? "active" : "gone");
  if (frame_sent_shown) {
    return 0;
  }
  std::size_t first_wrong = 0;
  while (first_wrong < row.size() && row[first_wrong] == expected[first_wrong]) {
    ++first_wrong;
  }
  std::printf("%s: no show was the frame sent; the row last differs from it at byte %zu\n",
              protocol.c_str(), first_wrong);
  return 1;
}
