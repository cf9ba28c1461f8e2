#include <algorithm>
#include <cstdint>
#include <optional>

#include "ledcolor/net.h"
#include "ledcolor/net/wire.h"

namespace ledcolor {

namespace {

// A layer's flags and length: 0x7 in the top nibble, and a length that reaches exactly to the end
// of the datagram from where the layer starts.
bool LayerReachesEnd(std::span<const std::uint8_t> d, std::size_t at) noexcept {
  const std::uint16_t field = net::Big16(d, at);
  return field >> 12 == 0x7 && (field & 0x0FFF) == d.size() - at;
}

}  // namespace

std::optional<E131Packet> DecodeE131(std::span<const std::uint8_t> datagram) noexcept {
  constexpr std::uint8_t kRoot[] = {0x00, 0x10, 0x00, 0x00, 'A', 'S', 'C', '-',
                                    'E',  '1',  '.',  '1',  '7', 0,   0,   0};
  constexpr std::size_t kRootLayer = 16;
  constexpr std::size_t kFramingLayer = 38;
  constexpr std::size_t kDmpLayer = 115;
  constexpr std::size_t kSyncSize = 49;
  constexpr std::size_t kFirstSlot = 126;
  const auto d = datagram;
  if (d.size() < kSyncSize || !std::equal(std::begin(kRoot), std::end(kRoot), d.begin()) ||
      !LayerReachesEnd(d, kRootLayer) || !LayerReachesEnd(d, kFramingLayer)) {
    return std::nullopt;
  }
  E131Packet packet{};
  std::copy_n(d.begin() + 22, packet.cid.size(), packet.cid.begin());
  const std::uint32_t root_vector = net::Big32(d, 18);
  const std::uint32_t framing_vector = net::Big32(d, 40);
  if (root_vector == 8 && framing_vector == 1 && d.size() == kSyncSize) {
    packet.kind = E131Packet::Kind::kSync;
    packet.sequence = d[44];
    packet.sync_address = net::Big16(d, 45);
    return packet;
  }
  if (root_vector != 4 || framing_vector != 2 || d.size() < kFirstSlot ||
      !LayerReachesEnd(d, kDmpLayer)) {
    return std::nullopt;
  }
  packet.kind = E131Packet::Kind::kData;
  packet.priority = d[108];
  packet.sync_address = net::Big16(d, 109);
  packet.sequence = d[111];
  packet.preview = (d[112] & 0x80) != 0;
  packet.terminated = (d[112] & 0x40) != 0;
  packet.force_sync = (d[112] & 0x20) != 0;
  packet.universe = net::Big16(d, 113);
  // The DMP layer: set property, address and data type 0xA1, first address 0, increment 1, and
  // as many values -- the start code and up to 512 levels -- as reach the end.
  const std::size_t values = net::Big16(d, 123);
  if (packet.priority > 200 || packet.universe < 1 || packet.universe > 63999 || d[117] != 0x02 ||
      d[118] != 0xA1 || net::Big16(d, 119) != 0 || net::Big16(d, 121) != 1 || values < 1 ||
      values > 513 || values != d.size() - (kFirstSlot - 1) || d[kFirstSlot - 1] != 0) {
    return std::nullopt;
  }
  packet.slots = d.subspan(kFirstSlot);
  return packet;
}

}  // namespace ledcolor
