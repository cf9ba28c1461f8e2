#include <algorithm>
#include <cstdint>

#include "ledcolor/net.h"

namespace ledcolor {

FrameAssembler::Result FrameAssembler::Take(const DdpPacket& packet,
                                            std::uint32_t now_ms) noexcept {
  // DDP's four-bit sequence wraps every 15 packets, too soon to tell a late packet from a new
  // one: only a repeat of the last is dropped.
  if (!valid_ || (packet.sequence != 0 && packet.sequence == ddp_sequence_)) {
    return {true, false};
  }
  if (packet.sequence != 0) {
    ddp_sequence_ = packet.sequence;
  }
  data_taken_ = true;
  data_ms_ = now_ms;
  // The offset counts the row's bytes; what lies beyond the row is ignored.
  bool reaches_end = false;
  if (packet.offset < row_.size() && !packet.data.empty()) {
    const std::size_t bytes =
        std::min<std::size_t>(packet.data.size(), row_.size() - packet.offset);
    std::copy_n(packet.data.begin(), bytes, row_.begin() + packet.offset);
    written_ = true;
    reaches_end = packet.offset + bytes == row_.size();
  }
  return {true, packet.push || reaches_end};
}

}  // namespace ledcolor
