#include <array>
#include <cstdint>
#include <cstring>

#include "ledcolor/internal/overlap.h"
#include "ledcolor/net.h"
#include "ledcolor/net/wire.h"

namespace ledcolor {

namespace {

constexpr std::size_t kFirstSlot = 126;
constexpr std::size_t kSyncSize = 49;
constexpr std::size_t kNameAt = 44;
constexpr std::size_t kNameSize = 64;

// The bytes every packet of a kind shares: the root layer's preamble and identifier, the vectors,
// the DMP layer's constants (set property, address and data type 0xA1, first address 0, step 1),
// the start code 0; NUL where a name or a field goes.
constexpr std::array<std::uint8_t, kFirstSlot> Template(bool sync) noexcept {
  std::array<std::uint8_t, kFirstSlot> t{};
  constexpr std::array<std::uint8_t, 16> kRoot{0x00, 0x10, 0x00, 0x00, 'A', 'S', 'C', '-',
                                               'E',  '1',  '.',  '1',  '7', 0,   0,   0};
  for (std::size_t i = 0; i < kRoot.size(); ++i) {
    t[i] = kRoot[i];
  }
  t[21] = sync ? 8 : 4;  // root vector: extended (sync) or data
  t[43] = sync ? 1 : 2;  // framing vector: sync or data
  if (!sync) {
    t[117] = 0x02;
    t[118] = 0xA1;
    t[122] = 1;
  }
  return t;
}
constexpr std::array<std::uint8_t, kFirstSlot> kDataTemplate = Template(false);
constexpr std::array<std::uint8_t, kFirstSlot> kSyncTemplate = Template(true);

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
  // The slots are moved into place first (memmove, so they may lie anywhere, in `out` too), and
  // the header written after them; a name that lies in `out` is read aside before either.
  const std::size_t name_bytes = sync ? 0 : NameBytes(source_name);
  const std::span<const char> name(source_name.data(), name_bytes);
  std::array<char, kNameSize> name_aside;  // filled only when used: no zeroing on the common path
  const bool aside = internal::Overlap(name, out);
  if (aside) {
    std::memcpy(name_aside.data(), name.data(), name_bytes);
  }
  if (!sync && slots != 0) {
    std::memmove(out.data() + kFirstSlot, packet.slots.data(), slots);
  }
  // Every byte that is the same in each packet of its kind comes from a template in one copy;
  // the fields are written over it.
  std::memcpy(out.data(), (sync ? kSyncTemplate : kDataTemplate).data(),
              sync ? kSyncSize : kFirstSlot);
  PutLayer(out, 16, size);
  std::memcpy(out.data() + 22, packet.cid.data(), packet.cid.size());
  PutLayer(out, 38, size);
  if (sync) {
    out[44] = packet.sequence;
    net::PutBig16(out, 45, packet.sync_address);
    return size;
  }
  if (name_bytes != 0) {  // the template's NULs follow it to the field's end
    std::memcpy(out.data() + kNameAt, aside ? name_aside.data() : name.data(), name_bytes);
  }
  out[108] = packet.priority;
  net::PutBig16(out, 109, packet.sync_address);
  out[111] = packet.sequence;
  out[112] =
      static_cast<std::uint8_t>((packet.preview ? 0x80U : 0U) | (packet.terminated ? 0x40U : 0U) |
                                (packet.force_sync ? 0x20U : 0U));
  net::PutBig16(out, 113, packet.universe);
  PutLayer(out, 115, size);
  net::PutBig16(out, 123, static_cast<std::uint16_t>(slots + 1));  // start code and slots
  return size;
}

}  // namespace ledcolor
