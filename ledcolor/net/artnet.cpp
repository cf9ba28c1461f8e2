#include <algorithm>
#include <cstdint>
#include <optional>

#include "ledcolor/net.h"
#include "ledcolor/net/wire.h"

namespace ledcolor {

std::optional<ArtNetPacket> DecodeArtNet(std::span<const std::uint8_t> datagram) noexcept {
  constexpr std::uint8_t kId[] = {'A', 'r', 't', '-', 'N', 'e', 't', 0};
  constexpr std::size_t kSyncSize = 14;
  constexpr std::size_t kDmxHeader = 18;
  if (datagram.size() < kSyncSize ||
      !std::equal(std::begin(kId), std::end(kId), datagram.begin()) ||
      net::Big16(datagram, 10) < 14) {
    return std::nullopt;
  }
  const auto opcode = static_cast<std::uint16_t>(datagram[8] | datagram[9] << 8);  // little-endian
  if (opcode == 0x5200) {
    return ArtNetPacket{ArtNetPacket::Kind::kSync, 0, 0, {}};
  }
  if (opcode != 0x5000 || datagram.size() < kDmxHeader) {
    return std::nullopt;
  }
  const std::uint8_t sub_uni = datagram[14];
  const std::uint8_t net = datagram[15];
  const std::size_t length = net::Big16(datagram, 16);
  if ((net & 0x80) != 0 || length < 1 || length > 512 || length > datagram.size() - kDmxHeader) {
    return std::nullopt;
  }
  return ArtNetPacket{ArtNetPacket::Kind::kDmx, datagram[12],
                      static_cast<std::uint16_t>(net << 8 | sub_uni),
                      datagram.subspan(kDmxHeader, length)};
}

}  // namespace ledcolor
