#include <array>
#include <cstdint>
#include <cstring>

#include "ledcolor/net.h"
#include "ledcolor/net/wire.h"

namespace ledcolor {

namespace {

constexpr std::size_t kFirstSlot = 126;
constexpr std::size_t kSyncSize = 49;
constexpr std::size_t kNameAt = 44;
constexpr std::size_t kNameSize = 64;

// A layer's flags (0x7) and its length, from where it starts to the end of the datagram.
void PutLayer(std::span<std::uint8_t> d, std::size_t at, std::size_t size) noexcept {
  net::PutBig16(d, at, static_cast<std::uint16_t>(0x7000U | (size - at)));
}

// The bytes of `name` that fit before the terminating NUL: at most 63, and never half a UTF-8
// character, so that a receiver showing the name shows no broken glyph at its end.
std::size_t NameBytes(std::string_view name) noexcept {
  std::size_t cut = name.size() < kNameSize ? name.size() : kNameSize - 1;
  // Up to three continuation bytes (10xxxxxx) of the character the cut falls in.
  for (int back = 0; back < 3 && cut > 0 && cut < name.size() &&
                     (static_cast<std::uint8_t>(name[cut]) & 0xC0U) == 0x80U;
       ++back) {
    --cut;
  }
  return cut;
}

}  // namespace

std::size_t EncodeE131(const E131Packet& packet, std::string_view source_name,
                       std::span<std::uint8_t> out) noexcept {
  const bool sync = packet.kind == E131Packet::Kind::kSync;
  const std::size_t slots = packet.slots.size();
  const std::size_t size = sync ? kSyncSize : kFirstSlot + slots;
  if ((!sync && (packet.kind != E131Packet::Kind::kData || slots > 512 || packet.universe < 1 ||
                 packet.universe > 63999 || packet.priority > 200)) ||
      out.size() < size) {
    return 0;
  }
  // The header is made aside and copied last, so that neither the name nor the slots can be
  // overwritten before they are read, wherever in `out` the caller keeps them.
  std::array<std::uint8_t, kFirstSlot> h{};
  const std::span<std::uint8_t> header(h);
  constexpr std::uint8_t kRoot[] = {0x00, 0x10, 0x00, 0x00, 'A', 'S', 'C', '-',
                                    'E',  '1',  '.',  '1',  '7', 0,   0,   0};
  std::memcpy(h.data(), kRoot, sizeof kRoot);
  PutLayer(header, 16, size);
  net::PutBig32(header, 18, sync ? 8 : 4);  // root vector: extended (sync) or data
  std::memcpy(h.data() + 22, packet.cid.data(), packet.cid.size());
  PutLayer(header, 38, size);
  net::PutBig32(header, 40, sync ? 1 : 2);  // framing vector: sync or data
  if (sync) {
    h[44] = packet.sequence;
    net::PutBig16(header, 45, packet.sync_address);  // bytes 47 and 48 are reserved: 0
    std::memcpy(out.data(), h.data(), kSyncSize);
    return size;
  }
  const std::size_t name = NameBytes(source_name);
  if (name != 0) {
    std::memcpy(h.data() + kNameAt, source_name.data(), name);  // the rest stays NUL
  }
  h[108] = packet.priority;
  net::PutBig16(header, 109, packet.sync_address);
  h[111] = packet.sequence;
  h[112] =
      static_cast<std::uint8_t>((packet.preview ? 0x80U : 0U) | (packet.terminated ? 0x40U : 0U) |
                                (packet.force_sync ? 0x20U : 0U));
  net::PutBig16(header, 113, packet.universe);
  PutLayer(header, 115, size);
  h[117] = 0x02;                                                      // set property
  h[118] = 0xA1;                                                      // address and data type
  net::PutBig16(header, 121, 1);                                      // first address 0, step 1
  net::PutBig16(header, 123, static_cast<std::uint16_t>(slots + 1));  // start code and slots
  if (slots != 0) {
    std::memmove(out.data() + kFirstSlot, packet.slots.data(), slots);
  }
  std::memcpy(out.data(), h.data(), kFirstSlot);  // the start code, byte 125, is 0
  return size;
}

}  // namespace ledcolor
