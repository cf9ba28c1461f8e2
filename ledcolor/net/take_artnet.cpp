#include <cstdint>

#include "ledcolor/net.h"

namespace ledcolor {

namespace {
constexpr std::uint32_t kSenderLoss = 10'000;  // ms without a packet: the sender is gone
constexpr std::uint32_t kSyncLoss = 4000;      // ms without an ArtSync: sync is over
}  // namespace

FrameAssembler::Result FrameAssembler::Take(const ArtNetPacket& packet, std::uint32_t source,
                                            std::uint32_t now_ms) noexcept {
  constexpr Result kIgnored{true, false};
  if (!valid_) {
    return kIgnored;
  }
  std::array<std::uint8_t, 16> id{};
  for (std::size_t i = 0; i < 4; ++i) {
    id[i] = static_cast<std::uint8_t>(source >> (8 * i));
  }
  if (packet.kind == ArtNetPacket::Kind::kSync) {
    // Only a sender that holds a universe of the layout sets the pace.
    if (!HoldsAny(artnet_, artnet_holder_, id, now_ms, kSenderLoss)) {
      return kIgnored;
    }
    artnet_synced_ = true;
    artnet_sync_ms_ = now_ms;
    arrived_ = 0;
    return {true, true};
  }
  const std::size_t index = IndexOf(packet.port_address);
  if (index == kMaxUniverses) {
    return kIgnored;
  }
  const std::size_t slot = SlotOf(artnet_, artnet_holder_, id, now_ms, kSenderLoss);
  if (slot == kMaxSources) {
    return kIgnored;
  }
  Stream& stream = artnet_[slot].streams[index];
  // The first sender of a port address holds it until it falls silent.
  const std::uint8_t holder = LiveHolder(artnet_, artnet_holder_, index, now_ms, kSenderLoss);
  if (Stale(stream, packet.sequence, now_ms, kSenderLoss)) {
    return kIgnored;
  }
  stream.heard = true;
  stream.heard_ms = now_ms;
  if (holder != kNobody && holder != slot) {
    // Not shown while another holds the port address, but numbered all the same: when this
    // sender takes over, a late or repeated packet of it must find its stream where it left it.
    stream.sequence = packet.sequence;
    stream.sequenced = true;
    return kIgnored;
  }
  artnet_holder_[index] = static_cast<std::uint8_t>(slot);
  const bool synced = artnet_synced_ && now_ms - artnet_sync_ms_ < kSyncLoss;
  return Accept(index, packet.slots, synced, stream, packet.sequence, now_ms);
}

}  // namespace ledcolor
