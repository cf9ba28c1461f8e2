// A network sender: one frame of a strip's row, encoded with the library and sent over UDP as
// E1.31, Art-Net or DDP, the way a host or a serial-to-network bridge sends it. CI sends it to
// receivers nobody here wrote (sacn, dmxnet, OLA) and to net_receiver. POSIX hosts.
//
//   net_sender e131|artnet|ddp ADDRESS FIRST_UNIVERSE LEDS [sync] [FRAMES]
//     sends FRAMES (default 3) copies of the frame, 100 ms apart, to ADDRESS at the protocol's port
//     (5568, 6454, 4048): E1.31 universes, or Art-Net port addresses, from FIRST_UNIVERSE, 170 RGB
//     LEDs a universe (DDP: packets of 480 LEDs, the last with push). With `sync`, E1.31 data names
//     a sync address and each frame ends with a sync packet; Art-Net ends it with an ArtSync.
//
// The frame: byte i of the row (3 * LEDS bytes, R G B of the first LED first) is (7 i + 3) mod 256.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "ledcolor/ledcolor.h"

namespace {

constexpr std::array<std::uint8_t, 16> kCid{0x6C, 0x65, 0x64, 0x63, 0x6F, 0x6C, 0x6F, 0x72,
                                            0x2D, 0x73, 0x65, 0x6E, 0x64, 0x65, 0x72, 0x01};
constexpr std::uint16_t kSyncAddress = 7962;  // a universe no data of this frame uses

// Sends a row of RGB LEDs, split into universes of 170 LEDs, with E1.31 or Art-Net; then the sync
// packet, when there is one.
class Sender {
 public:
  Sender(int fd, sockaddr_in to) : fd_(fd), to_(to) {}

  void Send(std::span<const std::uint8_t> datagram) const {
    sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to_),
           sizeof to_);
  }

  void SendFrame(const std::string& protocol, std::span<const ledcolor::Rgb> row,
                 std::uint16_t first_universe, bool sync) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(row.data()),
                                              3 * row.size());
    ++sequence_;
    std::array<std::uint8_t, 1500> datagram{};
    if (protocol == "ddp") {
      for (std::size_t at = 0; at < bytes.size(); at += ledcolor::kDdpMaxData) {
        const std::size_t size = std::min(ledcolor::kDdpMaxData, bytes.size() - at);
        // DDP numbers packets, not frames: 1..15, then 1 again.
        ddp_sequence_ = static_cast<std::uint8_t>(ddp_sequence_ % 15 + 1);
        const ledcolor::DdpPacket packet{at + size == bytes.size(), ddp_sequence_, 0x0B,
                                         static_cast<std::uint32_t>(at), bytes.subspan(at, size)};
        Send(std::span(datagram).first(ledcolor::EncodeDdp(packet, datagram)));
      }
      return;
    }
    // One frame split into universes of 170 RGB LEDs (510 levels), then the sync packet.
    const bool e131 = protocol == "e131";
    constexpr std::size_t kLevels = 3 * 170;
    for (std::size_t k = 0; k * kLevels < bytes.size(); ++k) {
      const std::span<const std::uint8_t> levels =
          bytes.subspan(k * kLevels, std::min(kLevels, bytes.size() - k * kLevels));
      const auto universe = static_cast<std::uint16_t>(first_universe + k);
      std::size_t size = 0;
      if (e131) {
        ledcolor::E131Packet packet{};
        packet.kind = ledcolor::E131Packet::Kind::kData;
        packet.cid = kCid;
        packet.priority = 100;
        packet.sync_address = sync ? kSyncAddress : 0;
        packet.sequence = sequence_;
        packet.universe = universe;
        packet.slots = levels;
        size = ledcolor::EncodeE131(packet, "ledcolor net_sender", datagram);
      } else {
        size = ledcolor::EncodeArtNet(
            {ledcolor::ArtNetPacket::Kind::kDmx, sequence_, universe, levels}, datagram);
      }
      Send(std::span(datagram).first(size));
    }
    if (sync) {
      ledcolor::E131Packet packet{};
      packet.kind = ledcolor::E131Packet::Kind::kSync;
      packet.cid = kCid;
      packet.sequence = sequence_;
      packet.sync_address = kSyncAddress;
      const std::size_t size =
          e131 ? ledcolor::EncodeE131(packet, {}, datagram)
               : ledcolor::EncodeArtNet({ledcolor::ArtNetPacket::Kind::kSync, 0, 0, {}}, datagram);
      Send(std::span(datagram).first(size));
    }
  }

 private:
  int fd_;
  sockaddr_in to_;
  std::uint8_t sequence_ = 0;
  std::uint8_t ddp_sequence_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: see the top of net_sender.cpp\n");
    return 2;
  }
  const std::string protocol = argv[1];
  const auto first_universe = static_cast<std::uint16_t>(std::atoi(argv[3]));
  const std::size_t leds = std::strtoul(argv[4], nullptr, 10);
  const bool sync = argc > 5 && std::string(argv[5]) == "sync";
  const int frames = argc > 5 + sync ? std::atoi(argv[5 + sync]) : 3;
  const std::uint16_t port = protocol == "ddp" ? 4048 : protocol == "e131" ? 5568 : 6454;

  std::vector<ledcolor::Rgb> row(leds);
  for (std::size_t i = 0; i < leds; ++i) {
    const auto level = [&](std::size_t byte) { return static_cast<std::uint8_t>(7 * byte + 3); };
    row[i] = {level(3 * i), level(3 * i + 1), level(3 * i + 2)};
  }
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (fd < 0 || inet_pton(AF_INET, argv[2], &to.sin_addr) != 1) {
    std::perror(argv[2]);
    return 2;
  }
  Sender sender(fd, to);
  for (int frame = 0; frame < frames; ++frame) {
    if (frame != 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    sender.SendFrame(protocol, row, first_universe, sync);
  }
  close(fd);
  std::printf("net_sender: %d frames of %zu LEDs sent as %s%s to %s:%u\n", frames, leds,
              protocol.c_str(), sync ? " with sync" : "", argv[2], port);
  return 0;
}
