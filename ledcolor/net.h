// The network: the UDP packets that WiFi and Ethernet LED controllers take -- DDP (port 4048),
// E1.31 / streaming ACN (port 5568) and Art-Net (port 6454) -- decoded strictly, and assembled
// into whole frames of a strip's row. No sockets, no clock: the caller receives the datagrams and
// says what time it is.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "ledcolor/color.h"

namespace ledcolor {

// --- The packets: a datagram in, its fields out, or std::nullopt -------------------------------

// DDP display data. Everything a decoder hands out points into the datagram.
struct DdpPacket {
  bool push;                           // the last packet of a frame
  std::uint8_t sequence;               // 1..15; 0 when the sender does not number packets
  std::uint8_t data_type;              // as sent: 0x0B RGB, 0x1B RGBW; 0x00 and 0x01 also mean RGB
  std::uint32_t offset;                // byte offset of `data` in the display's channel bytes
  std::span<const std::uint8_t> data;  // points into the datagram
};

// A DDP datagram that carries display data: a 10-byte header (14 with a timecode, flag 0x10,
// whose four bytes the length does not count), version 1 (byte 0's top bits 01), no query, reply
// or storage flag (0x02, 0x04, 0x08), destination 1 (display) or 255 (all) -- never 246, 250 or
// 251, which carry JSON --, data type 0x00, 0x01, 0x0B or 0x1B, and header + length within the
// datagram. Push is flag 0x01, the sequence byte 1's low nibble. Anything else is std::nullopt.
[[nodiscard]] std::optional<DdpPacket> DecodeDdp(std::span<const std::uint8_t> datagram) noexcept;

// An E1.31 data or synchronization packet.
struct E131Packet {
  enum class Kind : std::uint8_t { kData, kSync } kind;
  std::array<std::uint8_t, 16> cid;  // the source
  std::uint8_t priority;             // 0..200, higher wins (data only)
  std::uint16_t sync_address;        // data: 0 = show without sync; sync packet: its address
  std::uint8_t sequence;
  bool preview, terminated, force_sync;  // options bits 0x80, 0x40, 0x20
  std::uint16_t universe;                // 1..63999 (data only)
  std::span<const std::uint8_t> slots;   // the levels after the start code, 0..512 of them
};

// An E1.31 datagram: preamble size 0x0010, postamble 0x0000, the identifier "ASC-E1.17\0\0\0",
// and every layer's flags-and-length field with 0x7 in its top nibble and a length that reaches
// exactly to the datagram's end from where the layer starts (root at 16, framing at 38, DMP at
// 115). Data: root vector 4, framing vector 2, priority at most 200, universe 1..63999, DMP vector
// 2, address and data type 0xA1, first address 0, increment 1, 1..513 values, start code 0 (any
// other start code is no level data). Sync: root vector 8, framing vector 1, 49 bytes. Anything
// else -- universe discovery among it -- is std::nullopt.
[[nodiscard]] std::optional<E131Packet> DecodeE131(std::span<const std::uint8_t> datagram) noexcept;

// An Art-Net ArtDmx or ArtSync packet.
struct ArtNetPacket {
  enum class Kind : std::uint8_t { kDmx, kSync } kind;
  std::uint8_t sequence;                // 0 = not used
  std::uint16_t port_address;           // 15 bits: Net, Sub-Net, Universe
  std::span<const std::uint8_t> slots;  // channel 1 first, 1..512
};

// An Art-Net datagram: "Art-Net\0", the OpCode (little-endian) 0x5000 ArtDmx or 0x5200 ArtSync,
// protocol version (big-endian) 14 or later. ArtDmx: Net's top bit 0, a length (big-endian) of 1
// to 512 within the datagram -- odd lengths too, which senders do send. ArtSync: 14 bytes.
// Anything else is std::nullopt.
[[nodiscard]] std::optional<ArtNetPacket> DecodeArtNet(
    std::span<const std::uint8_t> datagram) noexcept;

// --- Sending: a packet's fields in, its datagram out ---------------------------------------------
//
// Each encoder is the exact inverse of its decoder: DecodeX(EncodeX(p)) gives back every field of
// p. Each writes the datagram to the front of `out` and returns its size; 0 when the packet is
// rejected, and then nothing is written. An `out` shorter than the datagram is rejected, and bytes
// of `out` past the datagram stay as they were. Fields a packet kind does not carry are ignored.
// The levels may lie anywhere, in `out` too: a sender can build them in place, after the header.

// The most display data EncodeDdp puts in one datagram: 480 RGB LEDs, which with the headers of
// DDP, UDP and IPv4 stays within an Ethernet frame's 1500 bytes.
inline constexpr std::size_t kDdpMaxData = 1440;

// A DDP datagram: the 10-byte header -- byte 0 0x40, or 0x41 with push; the sequence (0..15) in
// byte 1; the data type as given; destination 1 (the display); the offset and the data's length,
// big-endian -- then the data: 10 + data bytes. Rejected: more than kDdpMaxData bytes of data, a
// sequence above 15, a data type DecodeDdp refuses.
[[nodiscard]] std::size_t EncodeDdp(const DdpPacket& packet, std::span<std::uint8_t> out) noexcept;

// An E1.31 datagram. Data (126 + slots bytes): the root, framing and DMP layers, `source_name`
// NUL-padded to 64 bytes -- cut to 63 bytes at most, at a UTF-8 character's boundary, so that it
// stays terminated --, the priority, sync address, sequence, options (0x80 preview, 0x40
// terminated, 0x20 force sync, nothing else), universe, the start code 0 and the slots. Sync (49
// bytes): the CID, sequence and sync address. Rejected (data): more than 512 slots, a universe
// outside 1..63999, a priority above 200. 0 slots make a valid data packet of 126 bytes.
[[nodiscard]] std::size_t EncodeE131(const E131Packet& packet, std::string_view source_name,
                                     std::span<std::uint8_t> out) noexcept;

// The multicast group an E1.31 universe is sent to, and that a receiver joins: 239.255.hi.lo.
[[nodiscard]] constexpr std::array<std::uint8_t, 4> E131MulticastAddress(
    std::uint16_t universe) noexcept {
  return {239, 255, static_cast<std::uint8_t>(universe >> 8),
          static_cast<std::uint8_t>(universe & 0xFF)};
}

// An Art-Net datagram, protocol version 14. ArtDmx (18 + length bytes): the sequence, the port
// address (Net in byte 15, Sub-Net and Universe in byte 14), the length and the slots -- an odd
// count padded with one zero to the even length the standard asks for, which the length field
// gives, so that the decoder reads that zero as one more slot. ArtSync: 14 bytes. Rejected
// (ArtDmx): no slots or more than 512, a port address above 32767.
[[nodiscard]] std::size_t EncodeArtNet(const ArtNetPacket& packet,
                                       std::span<std::uint8_t> out) noexcept;

// --- The frame: packets in, "show now" out ------------------------------------------------------

// Where a strip's LEDs lie among E1.31 universes or Art-Net port addresses: from `first_channel`
// (1-based) of `first_universe`, as many whole LEDs of `channels` bytes as fit in its 512
// channels; then 512 / channels whole LEDs (170 RGB, 128 RGBW) in each universe after it, from
// channel 1. An LED never straddles two universes. DDP needs none of this: its offsets count the
// row's bytes.
struct UniverseLayout {
  std::uint16_t
      first_universe;           // E1.31 universe, or Art-Net port address, of the strip's first LED
  std::uint16_t first_channel;  // 1-based channel of the first LED's first byte there, 1..512
  std::uint8_t channels;        // per LED: 3 (RGB) or 4 (RGBW)
};

// Assembles the packets of one or more senders into whole frames of a row, and says when to show
// it: never a torn frame (half of one, half of the next), never a frame that waits forever
// because the sender skips unchanged universes or lost a packet, and never the last frame left on
// the strip as if the sender were still there.
//   - Late and repeated packets are dropped: per source and universe (E1.31: the CID; Art-Net:
//     `source` and port address), one whose 8-bit sequence s is not 0 when (int8)(s - last) lies
//     in (-20, 0] -- unless that source's stream was lost or ended since, and so starts afresh.
//     `last` is that source's last packet that passed this check, whether its data was shown or
//     another source held the universe (so a source that takes over cannot replay an old packet);
//     a packet answered `show` and not `taken` counts only when it is taken. DDP, whose sequence
//     has 4 bits: only a repeat of the last one that was not 0.
//   - E1.31: each universe shows its active source's data, the highest priority among those heard
//     within 2.5 s; at equal priority the source holding the universe keeps it until it is lost,
//     and the first to send takes a universe nobody holds. The terminated bit ends that source's
//     stream of the universe at once, its data ignored; preview data is ignored. Art-Net: the
//     first sender of a port address holds it until 10 s pass without its packets. At least 4
//     E1.31 sources and 4 Art-Net senders are tracked at once (fixed storage inside, no heap);
//     packets from further ones are ignored while those are active.
//   - Without sync the row is shown when every universe the layout spans has arrived since the
//     last show. When one arrives a second time before that, the row is shown as it was before
//     that packet: Take answers `show` and not `taken`, and the caller drives the row, then takes
//     the same packet again. DDP: shown on push, and when a packet's data reaches the row's end.
//   - E1.31 data with a sync address is shown exactly when a sync packet with that address comes
//     from a source that holds a universe of the layout; the rule above is off for it while such
//     sync packets keep coming, and applies again 2.5 s after the last. Art-Net: after an ArtSync
//     from a holder, ArtDmx is shown only at each ArtSync, until 4 s pass without one.
// `now_ms` is the caller's millisecond clock, wrapping at 2^32 (times are compared by unsigned
// difference). A layout that spans more than 64 universes or goes past universe 63999, a
// `channels` other than 3 or 4 (or other than the typed row's), a `first_channel` outside 1..512
// or one whose universe holds no whole LED (above 510 for RGB, 509 for RGBW), or an empty row
// makes an assembler that is not Valid() and takes nothing: nothing is ever shown.
//
// The use, for each datagram a socket receives, with `drive` the controller's step that sends the
// row to the strip:
//   if (const auto packet = ledcolor::DecodeE131(datagram)) {
//     assembler.Take(*packet, now_ms, drive);
//   }
class FrameAssembler {
 public:
  // `row` is the strip's row, written in place, and must outlive this; the layout's `channels`
  // must be the row type's (3 for Rgb, 4 for Rgbw), or the assembler is not Valid().
  FrameAssembler(std::span<Rgb> row, UniverseLayout layout) noexcept;
  FrameAssembler(std::span<Rgbw> row, UniverseLayout layout) noexcept;

  // Whether this layout and row can ever show a frame (see above). E1.31's universes start at 1:
  // a layout copied from Art-Net with first_universe 0 is Valid, but waits for universe 0, which
  // E1.31 never sends.
  [[nodiscard]] bool Valid() const noexcept { return valid_; }

  // Takes a packet's data into the row, and calls drive(row) -- with the row's bytes, as
  // std::span<const std::uint8_t> -- for every show it brings, in order: when a universe came a
  // second time before the frame was whole, the frame as it was is shown before the packet is
  // written, and the new frame after it when the packet completes it. Returns whether the
  // packet's data went into the row (false for a packet rightly ignored: a late one, another
  // source's, one outside the layout). `drive` must not throw. Art-Net: `source` identifies the
  // sender to the caller, such as its IPv4 address.
  template <typename Drive>
  bool Take(const DdpPacket& packet, std::uint32_t now_ms, Drive&& drive) noexcept {
    return TakeAndDrive(packet, 0, now_ms, Driver::Of(drive));
  }
  template <typename Drive>
  bool Take(const E131Packet& packet, std::uint32_t now_ms, Drive&& drive) noexcept {
    return TakeAndDrive(packet, 0, now_ms, Driver::Of(drive));
  }
  template <typename Drive>
  bool Take(const ArtNetPacket& packet, std::uint32_t source, std::uint32_t now_ms,
            Drive&& drive) noexcept {
    return TakeAndDrive(packet, source, now_ms, Driver::Of(drive));
  }

  // The expert form, two steps for the caller to follow. `row` holds the strip's channel bytes (3N
  // or 4N). Take answers `show` when the row holds a complete frame, to be driven now; and when
  // it answers `taken` false, the row was shown as it was and the same packet must be taken
  // again (and driven if that answers show): a caller that does not take it again loses that
  // packet, and its next show mixes two frames.
  FrameAssembler(std::span<std::uint8_t> row, UniverseLayout layout) noexcept;

  struct Result {
    bool taken;  // the packet's data is in the row (or was rightly ignored)
    bool show;   // the row holds a complete frame: drive it now
  };

  [[nodiscard]] Result Take(const DdpPacket& packet, std::uint32_t now_ms) noexcept;
  [[nodiscard]] Result Take(const E131Packet& packet, std::uint32_t now_ms) noexcept;
  // `source` is whatever identifies an Art-Net sender to the caller, such as its IPv4 address.
  [[nodiscard]] Result Take(const ArtNetPacket& packet, std::uint32_t source,
                            std::uint32_t now_ms) noexcept;

  // Whether data was taken within the last 2.5 s: false once the sender is gone (or before it
  // came), so that the controller can blank or hold by its own policy rather than freeze.
  [[nodiscard]] bool SenderActive(std::uint32_t now_ms) const noexcept;

  static constexpr std::size_t kMaxUniverses = 64;
  static constexpr std::size_t kMaxSources = 4;

 private:
  // The caller's drive step behind one plain function pointer: no heap, no std::function, and
  // the compiled code that calls it is the same for every callable.
  struct Driver {
    const void* step;
    void (*call)(const void* step, std::span<const std::uint8_t> row) noexcept;

    template <typename Drive>
    static Driver Of(Drive& drive) noexcept {
      return {&drive, [](const void* context, std::span<const std::uint8_t> bytes) noexcept {
                (*static_cast<Drive*>(const_cast<void*>(context)))(bytes);
              }};
    }
  };
  // The two steps, driven: Take, drive on show, and when not taken, Take again. Compiled once for
  // each packet type (take_and_drive.cpp); `source` is Art-Net's only.
  template <typename Packet>
  bool TakeAndDrive(const Packet& packet, std::uint32_t source, std::uint32_t now_ms,
                    Driver driver) noexcept;

  // One source's stream of one universe.
  struct Stream {
    std::uint32_t heard_ms = 0;  // when its last packet was taken or judged
    std::uint8_t priority = 0;   // E1.31
    std::uint8_t sequence = 0;   // of its last packet that passed the check of lateness
    bool heard = false;
    bool sequenced = false;
  };
  // An E1.31 source (its CID) or an Art-Net sender (`source`, in the first four bytes).
  struct Source {
    std::array<std::uint8_t, 16> id{};
    bool used = false;
    std::array<Stream, kMaxUniverses> streams{};
  };
  using Sources = std::array<Source, kMaxSources>;
  using Holders = std::array<std::uint8_t, kMaxUniverses>;  // a slot per universe, or kNobody
  static constexpr std::uint8_t kNobody = 0xFF;

  // The universe's index in the layout, or kMaxUniverses when it lies outside.
  [[nodiscard]] std::size_t IndexOf(std::uint32_t universe) const noexcept;
  // The slot of the source with `id`, a new one for it when a slot is free (never used, or its
  // source silent for `timeout_ms`), or kMaxSources when all are taken.
  static std::size_t SlotOf(Sources& sources, Holders& holders,
                            const std::array<std::uint8_t, 16>& id, std::uint32_t now_ms,
                            std::uint32_t timeout_ms) noexcept;
  static bool Live(const Stream& stream, std::uint32_t now_ms, std::uint32_t timeout_ms) noexcept {
    return stream.heard && now_ms - stream.heard_ms < timeout_ms;
  }
  // The slot holding the universe at `index` while its stream is live, or kNobody.
  [[nodiscard]] static std::uint8_t LiveHolder(const Sources& sources, const Holders& holders,
                                               std::size_t index, std::uint32_t now_ms,
                                               std::uint32_t timeout_ms) noexcept;
  // Whether the source with `id` is the live holder of a universe of the layout.
  [[nodiscard]] bool HoldsAny(const Sources& sources, const Holders& holders,
                              const std::array<std::uint8_t, 16>& id, std::uint32_t now_ms,
                              std::uint32_t timeout_ms) const noexcept;
  // Whether a packet with `sequence` is late or repeated on `stream`, heard within `timeout_ms`.
  static bool Stale(const Stream& stream, std::uint8_t sequence, std::uint32_t now_ms,
                    std::uint32_t timeout_ms) noexcept;
  // A universe's slots, written to its whole LEDs in the row.
  void Write(std::size_t index, std::span<const std::uint8_t> slots) noexcept;
  // The end of judging a universe's data from `stream`: the rule of the second arrival (unless
  // `synced`), then the write, and whether the frame is complete.
  Result Accept(std::size_t index, std::span<const std::uint8_t> slots, bool synced, Stream& stream,
                std::uint8_t sequence, std::uint32_t now_ms) noexcept;

  std::span<std::uint8_t> row_;
  UniverseLayout layout_;
  bool valid_ = false;
  std::size_t universes_ = 0;   // the layout spans
  std::size_t first_leds_ = 0;  // LEDs in the first universe
  std::size_t leds_per_ = 0;    // LEDs in each later one
  std::uint64_t arrived_ = 0;   // universes taken since the last show, a bit each
  Sources e131_{};
  Sources artnet_{};
  Holders e131_holder_{};
  Holders artnet_holder_{};
  std::uint16_t sync_address_ = 0;  // of the E1.31 data last taken
  bool e131_synced_ = false;        // a sync packet came, at e131_sync_ms_
  std::uint32_t e131_sync_ms_ = 0;
  bool artnet_synced_ = false;  // an ArtSync came, at artnet_sync_ms_
  std::uint32_t artnet_sync_ms_ = 0;
  std::uint8_t ddp_sequence_ = 0;  // the last DDP sequence taken that was not 0
  bool written_ = false;           // the last packet taken wrote its data into the row
  bool data_taken_ = false;        // at data_ms_
  std::uint32_t data_ms_ = 0;
};

extern template bool FrameAssembler::TakeAndDrive(const DdpPacket&, std::uint32_t, std::uint32_t,
                                                  Driver) noexcept;
extern template bool FrameAssembler::TakeAndDrive(const E131Packet&, std::uint32_t, std::uint32_t,
                                                  Driver) noexcept;
extern template bool FrameAssembler::TakeAndDrive(const ArtNetPacket&, std::uint32_t, std::uint32_t,
                                                  Driver) noexcept;

}  // namespace ledcolor
