#include <algorithm>
#include <array>
#include <cstdint>

#include "ledcolor/adalight.h"

namespace ledcolor {

std::size_t EncodeHostRequest(HostRequest request, std::span<std::uint8_t> out) noexcept {
  // "AwA" and a count whose checksum byte is not its own (that would be DD), so never a frame.
  std::array<std::uint8_t, kAdalightHeaderSize> bytes{'A', 'w', 'A', 0x2A, 0xA2, 0x00};
  switch (request) {
    case HostRequest::kHello:
      bytes[5] = 0x15;
      break;
    case HostRequest::kGoodbye:
      bytes[5] = 0x35;
      break;
    default:
      return 0;
  }
  if (out.size() < bytes.size()) {
    return 0;
  }
  std::copy(bytes.begin(), bytes.end(), out.begin());
  return bytes.size();
}

}  // namespace ledcolor
