#include "sockets.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "ledcolor/ledcolor.h"

namespace tool {

int BindUdp(const std::string& address, std::uint16_t port, std::string& error) {
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1) {
    error = "\"" + address + "\" is no IPv4 address";
    return -1;
  }
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int on = 1;
  // Other programs on the host may listen too (a show program's own Art-Net node, a second
  // receiver while the configuration reloads).
  if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) {
    error = "cannot bind UDP " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    if (fd >= 0) {
      close(fd);
    }
    return -1;
  }
  // Bursts of 64 universes come faster than a busy device is served: room for them all.
  const int room = 1 << 21;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
  return fd;
}

bool JoinUniverse(int fd, std::vector<int>& holders, std::uint16_t universe,
                  const std::string& interface, std::string& error) {
  const std::array<std::uint8_t, 4> group = ledcolor::E131MulticastAddress(universe);
  ip_mreqn request{};
  std::memcpy(&request.imr_multiaddr, group.data(), 4);
  if (!interface.empty()) {
    request.imr_ifindex = static_cast<int>(if_nametoindex(interface.c_str()));
    if (request.imr_ifindex == 0) {
      error = "no interface \"" + interface + "\"";
      return false;
    }
  }
  if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0) {
    return true;
  }
  // Linux lets one socket join igmp_max_memberships groups (20 by default), fewer than 64
  // universes. The receiving socket gets every group the host has joined (IP_MULTICAST_ALL, on by
  // default), so further groups are joined by sockets that hold them and receive nothing: they
  // are bound to no port. They stay open as long as the program runs.
  for (std::size_t i = 0; errno == ENOBUFS && i <= holders.size(); ++i) {
    if (i == holders.size()) {
      const int holder = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      if (holder < 0) {
        break;
      }
      holders.push_back(holder);
    }
    if (setsockopt(holders[i], IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0) {
      return true;
    }
  }
  error = "cannot join the multicast group of universe " + std::to_string(universe) + ": " +
          std::strerror(errno);
  return false;
}

namespace {

constexpr std::string_view kArtNetId{"Art-Net\0", 8};

}  // namespace

bool IsArtNet(std::span<const std::uint8_t> datagram) {
  return datagram.size() >= 10 && std::equal(kArtNetId.begin(), kArtNetId.end(), datagram.begin());
}

bool IsArtPoll(std::span<const std::uint8_t> datagram) {
  // OpPoll, little-endian, and at least the protocol version and flags.
  return datagram.size() >= 12 && IsArtNet(datagram) && datagram[8] == 0x00 && datagram[9] == 0x20;
}

std::vector<std::vector<std::uint8_t>> ArtPollReplies(const std::string& name,
                                                      std::span<const std::uint16_t> ports,
                                                      in_addr ip) {
  std::vector<std::uint16_t> sorted(ports.begin(), ports.end());
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  std::vector<std::vector<std::uint8_t>> replies;
  for (std::size_t i = 0; i < sorted.size();) {
    // A reply's ports share their Net and Sub-Net (the port address's top 11 bits).
    std::size_t n = 0;
    while (n < 4 && i + n < sorted.size() && (sorted[i + n] >> 4) == (sorted[i] >> 4)) {
      ++n;
    }
    std::vector<std::uint8_t> r(239, 0);
    std::copy(kArtNetId.begin(), kArtNetId.end(), r.begin());
    r[8] = 0x00;  // OpPollReply 0x2100, little-endian
    r[9] = 0x21;
    std::memcpy(&r[10], &ip, 4);
    r[14] = 0x36;  // port 6454, little-endian
    r[15] = 0x19;
    r[18] = static_cast<std::uint8_t>(sorted[i] >> 8);           // NetSwitch
    r[19] = static_cast<std::uint8_t>((sorted[i] >> 4) & 0x0F);  // SubSwitch
    r[20] = 0x7F;  // OEM 0x7FF0..: unregistered, for experiments
    r[21] = 0xF0;
    r[23] = 0xD0;  // Status1: indicators normal, port addresses set locally (the file)
    const std::string short_name = name.substr(0, 17);
    std::copy(short_name.begin(), short_name.end(), r.begin() + 26);
    const std::string long_name = name.substr(0, 63);
    std::copy(long_name.begin(), long_name.end(), r.begin() + 44);
    const std::string report = "#0001 [0000] ledcolor running";
    std::copy(report.begin(), report.end(), r.begin() + 108);
    r[173] = static_cast<std::uint8_t>(n);  // NumPorts
    for (std::size_t p = 0; p < n; ++p) {
      r[174 + p] = 0x80;  // PortTypes: outputs DMX512 from the network
      r[182 + p] = 0x80;  // GoodOutputA: data is output
      r[190 + p] = static_cast<std::uint8_t>(sorted[i + p] & 0x0F);  // SwOut
    }
    r[200] = 0x00;                                           // Style: StNode
    std::memcpy(&r[207], &ip, 4);                            // BindIp
    r[211] = static_cast<std::uint8_t>(replies.size() + 1);  // BindIndex
    r[212] = 0x08;                                           // Status2: 15-bit port addresses
    replies.push_back(std::move(r));
    i += n;
  }
  return replies;
}

in_addr LocalAddressFor(const sockaddr_in& to) {
  in_addr local{};
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in me{};
  socklen_t size = sizeof me;
  if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&me), &size) == 0) {
    local = me.sin_addr;
  }
  if (fd >= 0) {
    close(fd);
  }
  return local;
}

}  // namespace tool
