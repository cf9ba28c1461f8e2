#include <cstdint>
#include <cstring>

#include "ledcolor/net.h"
#include "ledcolor/net/wire.h"

namespace ledcolor {

std::size_t EncodeArtNet(const ArtNetPacket& packet, std::span<std::uint8_t> out) noexcept {
  constexpr std::uint8_t kId[] = {'A', 'r', 't', '-', 'N', 'e', 't', 0};
  constexpr std::size_t kSyncSize = 14;
  constexpr std::size_t kDmxHeader = 18;
  const bool sync = packet.kind == ArtNetPacket::Kind::kSync;
  const std::size_t slots = packet.slots.size();
  // The standard asks for an even length: an odd count goes out with one zero after it.
  const std::size_t length = slots + (slots & 1U);
  const std::size_t size = sync ? kSyncSize : kDmxHeader + length;
  if ((!sync && (packet.kind != ArtNetPacket::Kind::kDmx || slots == 0 || slots > 512 ||
                 packet.port_address > 0x7FFF)) ||
      out.size() < size) {
    return 0;
  }
  if (!sync) {
    std::memmove(out.data() + kDmxHeader, packet.slots.data(), slots);
    if (length != slots) {
      out[kDmxHeader + slots] = 0;
    }
  }
  std::memcpy(out.data(), kId, sizeof kId);
  out[8] = 0x00;  // the OpCode, little-endian: 0x5000 ArtDmx, 0x5200 ArtSync
  out[9] = sync ? 0x52 : 0x50;
  net::PutBig16(out, 10, 14);  // protocol version
  if (sync) {
    out[12] = 0;  // Aux1 and Aux2
    out[13] = 0;
    return size;
  }
  out[12] = packet.sequence;
  out[13] = 0;  // physical port: informational only
  out[14] = static_cast<std::uint8_t>(packet.port_address & 0xFF);  // Sub-Net and Universe
  out[15] = static_cast<std::uint8_t>(packet.port_address >> 8);    // Net
  net::PutBig16(out, 16, static_cast<std::uint16_t>(length));
  return size;
}

}  // namespace ledcolor
