#include <cstdint>
#include <type_traits>

#include "ledcolor/net.h"

namespace ledcolor {

template <typename Packet>
bool FrameAssembler::TakeAndDrive(const Packet& packet, std::uint32_t source, std::uint32_t now_ms,
                                  Driver driver) noexcept {
  const auto take = [&] {
    if constexpr (std::is_same_v<Packet, ArtNetPacket>) {
      return Take(packet, source, now_ms);
    } else {
      return Take(packet, now_ms);
    }
  };
  written_ = false;
  Result result = take();
  if (result.show) {
    driver.call(driver.step, row_);
  }
  // Not taken: the frame before this packet was whole and has just been shown; the packet
  // belongs to the next one.
  if (!result.taken) {
    result = take();
    if (result.show) {
      driver.call(driver.step, row_);
    }
  }
  return written_;
}

template bool FrameAssembler::TakeAndDrive(const DdpPacket&, std::uint32_t, std::uint32_t,
                                           Driver) noexcept;
template bool FrameAssembler::TakeAndDrive(const E131Packet&, std::uint32_t, std::uint32_t,
                                           Driver) noexcept;
template bool FrameAssembler::TakeAndDrive(const ArtNetPacket&, std::uint32_t, std::uint32_t,
                                           Driver) noexcept;

}  // namespace ledcolor
