// What the three network fuzz targets share: the input cut into datagrams, each decoded and held
// to the field-by-field reference, encoded again and decoded back to the same packet, and the
// packets that decode fed to a FrameAssembler and to the model of its rules, which must answer
// alike and hold the same row.
//
// Input: 1 byte layout (bit 0: RGBW; bits 1-3: the first channel, 1 + 73 * value; bits 4-7: the
// first universe), 1 byte row length in LEDs (times 3, so rows span several universes), then
// datagrams, each as 1 byte clock step (ms, times 20 past 200), 1 byte source (Art-Net), 2 bytes
// length (big-endian, cut to what is left) and the datagram.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "check.h"
#include "ledcolor/ledcolor.h"
#include "reference_net.h"

namespace ledcolor_fuzzing {

enum class Protocol { kDdp, kE131, kArtNet };

// The encoder of a packet the decoder read: it writes a datagram that decodes to the same fields
// and levels (Art-Net: with the zero that pads an odd count), or rejects only what it must.
inline void CheckRoundTrip(const ledcolor::DdpPacket& p) {
  std::vector<std::uint8_t> out(10 + p.data.size());
  const std::size_t size = ledcolor::EncodeDdp(p, out);
  Check(size == (p.data.size() <= ledcolor::kDdpMaxData ? out.size() : 0));
  if (size != 0) {
    const auto back = ledcolor::DecodeDdp(out);
    Check(back && back->push == p.push && back->sequence == p.sequence &&
          back->data_type == p.data_type && back->offset == p.offset &&
          std::ranges::equal(back->data, p.data));
  }
}
inline void CheckRoundTrip(const ledcolor::E131Packet& p) {
  std::vector<std::uint8_t> out(p.kind == ledcolor::E131Packet::Kind::kSync ? 49
                                                                            : 126 + p.slots.size());
  Check(ledcolor::EncodeE131(p, "fuzz", out) == out.size());
  const auto back = ledcolor::DecodeE131(out);
  Check(back && back->kind == p.kind && back->cid == p.cid && back->sequence == p.sequence &&
        back->sync_address == p.sync_address);
  if (p.kind == ledcolor::E131Packet::Kind::kData) {
    Check(back->priority == p.priority && back->preview == p.preview &&
          back->terminated == p.terminated && back->force_sync == p.force_sync &&
          back->universe == p.universe && std::ranges::equal(back->slots, p.slots));
  }
}
inline void CheckRoundTrip(const ledcolor::ArtNetPacket& p) {
  const bool sync = p.kind == ledcolor::ArtNetPacket::Kind::kSync;
  const std::size_t padded = p.slots.size() + p.slots.size() % 2;
  std::vector<std::uint8_t> out(sync ? 14 : 18 + padded);
  Check(ledcolor::EncodeArtNet(p, out) == out.size());
  const auto back = ledcolor::DecodeArtNet(out);
  Check(back && back->kind == p.kind);
  if (!sync) {
    Check(back->sequence == p.sequence && back->port_address == p.port_address &&
          back->slots.size() == padded &&
          std::equal(p.slots.begin(), p.slots.end(), back->slots.begin()) &&
          (padded == p.slots.size() || back->slots.back() == 0));
  }
}

inline int FuzzNet(const std::uint8_t* data, std::size_t size, Protocol protocol) {
  if (size < 2) {
    return -1;
  }
  const ledcolor::UniverseLayout layout{static_cast<std::uint16_t>(1 + (data[0] >> 4)),
                                        static_cast<std::uint16_t>(1 + 73 * ((data[0] >> 1) & 7)),
                                        static_cast<std::uint8_t>((data[0] & 1) != 0 ? 4 : 3)};
  std::vector<std::uint8_t> row(3 * std::size_t{data[1]} * layout.channels, 0);
  std::vector<std::uint8_t> model_row = row;
  ledcolor::FrameAssembler assembler(row, layout);
  ledcolor_testing::ModelAssembler model(model_row, layout);
  std::uint32_t now = 0xFFFFF000U;
  std::size_t at = 2;
  while (size - at >= 4) {
    now += data[at] < 200 ? data[at] : 20U * data[at];
    const std::uint32_t source = data[at + 1] % 5;
    const std::size_t length =
        std::min<std::size_t>(std::size_t{data[at + 2]} << 8 | data[at + 3], size - at - 4);
    // Exactly the datagram on the heap, so that AddressSanitizer sees a read past its end.
    const std::vector<std::uint8_t> datagram(data + at + 4, data + at + 4 + length);
    at += 4 + length;
    const auto take = [&](const auto& packet, auto& target) {
      if constexpr (std::is_same_v<std::decay_t<decltype(packet)>, ledcolor::ArtNetPacket>) {
        return target.Take(packet, source, now);
      } else {
        return target.Take(packet, now);
      }
    };
    const auto check = [&](const auto& got, const auto& want) {
      Check(ledcolor_testing::SameDecoding(got, want));
      if (!got) {
        return;
      }
      CheckRoundTrip(*got);
      for (int attempt = 0; attempt < 2; ++attempt) {
        const auto a = take(*got, assembler);
        const auto m = take(*got, model);
        Check(a.taken == m.taken && a.show == m.show && row == model_row);
        if (a.taken) {
          break;
        }
      }
      Check(assembler.SenderActive(now + 2499) == model.SenderActive(now + 2499));
    };
    switch (protocol) {
      case Protocol::kDdp:
        check(ledcolor::DecodeDdp(datagram), ledcolor_testing::ReadDdp(datagram));
        break;
      case Protocol::kE131:
        check(ledcolor::DecodeE131(datagram), ledcolor_testing::ReadE131(datagram));
        break;
      case Protocol::kArtNet:
        check(ledcolor::DecodeArtNet(datagram), ledcolor_testing::ReadArtNet(datagram));
        break;
    }
  }
  return 0;
}

}  // namespace ledcolor_fuzzing
