#include <cstdint>

#include "ledcolor/net.h"

namespace ledcolor {

namespace {
constexpr std::uint32_t kSourceLoss = 2500;  // ms without a packet: the source is gone
constexpr std::uint32_t kSyncLoss = 2500;    // ms without a sync packet: sync is over
}  // namespace

FrameAssembler::Result FrameAssembler::Take(const E131Packet& packet,
                                            std::uint32_t now_ms) noexcept {
  constexpr Result kIgnored{true, false};
  if (!valid_) {
    return kIgnored;
  }
  if (packet.kind == E131Packet::Kind::kSync) {
    // Shown when the sync comes from a source that holds a universe of the layout, for the
    // address its data asked for.
    if (!HoldsAny(e131_, e131_holder_, packet.cid, now_ms, kSourceLoss) || sync_address_ == 0 ||
        packet.sync_address != sync_address_) {
      return kIgnored;
    }
    e131_synced_ = true;
    e131_sync_ms_ = now_ms;
    arrived_ = 0;
    return {true, true};
  }
  const std::size_t index = IndexOf(packet.universe);
  if (packet.preview || index == kMaxUniverses) {
    return kIgnored;
  }
  const std::size_t slot = SlotOf(e131_, e131_holder_, packet.cid, now_ms, kSourceLoss);
  if (slot == kMaxSources) {
    return kIgnored;  // more sources than are tracked, all of them active
  }
  Stream& stream = e131_[slot].streams[index];
  std::uint8_t& holder = e131_holder_[index];
  if (packet.terminated) {
    stream.heard = false;
    holder = holder == slot ? kNobody : holder;
    return kIgnored;
  }
  if (Stale(stream, packet.sequence, now_ms, kSourceLoss)) {
    return kIgnored;
  }
  stream.heard = true;
  stream.heard_ms = now_ms;
  stream.priority = packet.priority;
  // The active source: the highest priority heard within the last 2.5 s; among equals, the
  // holder while it is heard, else the first to send.
  for (std::size_t s = 0; s < kMaxSources; ++s) {
    const Stream& other = e131_[s].streams[index];
    const bool outranks =
        other.priority > packet.priority || (s == holder && other.priority == packet.priority);
    if (s != slot && e131_[s].used && Live(other, now_ms, kSourceLoss) && outranks) {
      // Not shown, but numbered all the same: when this source takes over, a late or repeated
      // packet of it must find its stream where it left it.
      stream.sequence = packet.sequence;
      stream.sequenced = true;
      return kIgnored;
    }
  }
  holder = static_cast<std::uint8_t>(slot);
  const bool synced =
      packet.sync_address != 0 && e131_synced_ && now_ms - e131_sync_ms_ < kSyncLoss;
  const Result result = Accept(index, packet.slots, synced, stream, packet.sequence, now_ms);
  if (result.taken) {
    sync_address_ = packet.sync_address;
  }
  return result;
}

}  // namespace ledcolor
