// What the three network fuzz targets share: the input cut into datagrams, each decoded and held
// to the field-by-field reference, and the packets that decode fed to a FrameAssembler and to the
// model of its rules, which must answer alike and hold the same row.
//
// Input: 1 byte layout (bit 0: RGBW; bits 1-3: the first channel, 1 + 73 * value; bits 4-7: the
// first universe), 1 byte row length in LEDs (times 3, so rows span several universes), then
// datagrams, each as 1 byte clock step (ms, times 20 past 200), 1 byte source (Art-Net), 2 bytes
// length (big-endian, cut to what is left) and the datagram.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "check.h"
#include "ledcolor/ledcolor.h"
#include "reference_net.h"

namespace ledcolor_fuzzing {

enum class Protocol { kDdp, kE131, kArtNet };

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
