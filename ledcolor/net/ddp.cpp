#include <cstdint>
#include <optional>

#include "ledcolor/net.h"
#include "ledcolor/net/wire.h"

namespace ledcolor {

std::optional<DdpPacket> DecodeDdp(std::span<const std::uint8_t> datagram) noexcept {
  constexpr std::size_t kHeader = 10;
  constexpr std::uint8_t kPush = 0x01;
  constexpr std::uint8_t kQuery = 0x02;
  constexpr std::uint8_t kReply = 0x04;
  constexpr std::uint8_t kStorage = 0x08;
  constexpr std::uint8_t kTimecode = 0x10;

  if (datagram.size() < kHeader) {
    return std::nullopt;
  }
  const std::uint8_t flags = datagram[0];
  // A timecode's four bytes follow the header and are not counted in the length.
  const std::size_t header = (flags & kTimecode) != 0 ? kHeader + 4 : kHeader;
  const std::uint8_t type = datagram[2];
  const std::uint8_t destination = datagram[3];
  // Status, configuration and control (destinations 246, 250, 251) are JSON, never pixels; so is
  // anything a query, a reply or bound for storage.
  if (flags >> 6 != 1 || (flags & (kQuery | kReply | kStorage)) != 0 ||
      (destination != 1 && destination != 255) ||
      (type != 0x00 && type != 0x01 && type != 0x0B && type != 0x1B) || datagram.size() < header) {
    return std::nullopt;
  }
  const std::size_t length = net::Big16(datagram, 8);
  if (length > datagram.size() - header) {  // the length is the sender's word, not a fact
    return std::nullopt;
  }
  return DdpPacket{(flags & kPush) != 0, static_cast<std::uint8_t>(datagram[1] & 0x0F), type,
                   net::Big32(datagram, 4), datagram.subspan(header, length)};
}

}  // namespace ledcolor
