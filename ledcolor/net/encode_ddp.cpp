#include <cstdint>
#include <cstring>

#include "ledcolor/net.h"
#include "ledcolor/net/wire.h"

namespace ledcolor {

std::size_t EncodeDdp(const DdpPacket& packet, std::span<std::uint8_t> out) noexcept {
  constexpr std::size_t kHeader = 10;
  const std::size_t size = kHeader + packet.data.size();
  const std::uint8_t type = packet.data_type;
  if (packet.data.size() > kDdpMaxData || packet.sequence > 15 ||
      (type != 0x00 && type != 0x01 && type != 0x0B && type != 0x1B) || out.size() < size) {
    return 0;
  }
  // The data first, with memmove: a sender that built its levels in place, at out + 10, or
  // anywhere else in `out`, still gets them whole before the header goes over what it held.
  if (!packet.data.empty()) {
    std::memmove(out.data() + kHeader, packet.data.data(), packet.data.size());
  }
  out[0] = packet.push ? 0x41 : 0x40;
  out[1] = packet.sequence;
  out[2] = type;
  out[3] = 1;  // the display
  net::PutBig32(out, 4, packet.offset);
  net::PutBig16(out, 8, static_cast<std::uint16_t>(packet.data.size()));
  return size;
}

}  // namespace ledcolor
