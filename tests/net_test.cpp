#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "ledcolor/ledcolor.h"
#include "reference_net.h"

namespace {

using ledcolor::FrameAssembler;
using ledcolor::UniverseLayout;
using ledcolor_testing::Bytes;

// Valid datagrams of every kind the decoders take, and the same with a byte changed, some cut
// short or grown, a field set to the edge of its range: each decoder agrees with the field-by-field
// reading on every one, and takes what it should.
TEST(NetDecoders, AgreeWithTheReferenceOnValidAndMutatedDatagrams) {
  std::mt19937 rng(26);
  const auto pick = [&](std::size_t n) { return static_cast<unsigned>(rng() % n); };
  const auto byte = [&] { return static_cast<std::uint8_t>(rng()); };
  const auto levels = [&](std::size_t n) {
    Bytes v(n);
    for (auto& b : v) {
      b = byte();
    }
    return v;
  };
  constexpr std::uint8_t kTypes[] = {0x00, 0x01, 0x0B, 0x1B, 0x3B};  // the last is no DDP type
  std::size_t accepted = 0;
  for (unsigned trial = 0; trial < 3000; ++trial) {
    std::array<std::uint8_t, 16> cid{};
    cid[pick(16)] = byte();
    ledcolor_testing::E131Fields f{cid,
                                   static_cast<std::uint8_t>(pick(202)),
                                   static_cast<std::uint16_t>(pick(3)),
                                   byte(),
                                   static_cast<std::uint8_t>(pick(8) * 0x20),
                                   static_cast<std::uint16_t>(1 + pick(64000))};
    Bytes d;
    switch (trial % 5) {
      case 0:
        d = ledcolor_testing::MakeDdp(pick(2) == 0, byte(), static_cast<std::uint32_t>(rng()),
                                      levels(pick(600)), kTypes[pick(5)], pick(2) == 0);
        break;
      case 1:
        d = ledcolor_testing::MakeE131Data(f, levels(pick(514)), pick(8) == 0 ? 0xDD : 0);
        break;
      case 2:
        d = ledcolor_testing::MakeE131Sync(cid, byte(), static_cast<std::uint16_t>(rng()));
        break;
      case 3:
        d = ledcolor_testing::MakeArtDmx(byte(), static_cast<std::uint16_t>(rng()),
                                         levels(pick(514)));
        break;
      default:
        d = ledcolor_testing::MakeArtSync();
    }
    // Two thirds mutated: a byte anywhere, the length, or both.
    if (trial % 3 != 0 && !d.empty()) {
      d[pick(d.size())] = pick(2) == 0 ? byte() : static_cast<std::uint8_t>(d[0] ^ 0x40);
    }
    if (trial % 3 == 2) {
      d.resize(pick(2) == 0 ? pick(d.size() + 1) : d.size() + 1 + pick(4), 0x00);
    }
    SCOPED_TRACE(testing::Message() << "trial " << trial << ", " << d.size() << " bytes");
    const std::span<const std::uint8_t> datagram(d);
    const auto ddp = ledcolor::DecodeDdp(datagram);
    const auto e131 = ledcolor::DecodeE131(datagram);
    const auto artnet = ledcolor::DecodeArtNet(datagram);
    ASSERT_TRUE(ledcolor_testing::SameDecoding(ddp, ledcolor_testing::ReadDdp(datagram)));
    ASSERT_TRUE(ledcolor_testing::SameDecoding(e131, ledcolor_testing::ReadE131(datagram)));
    ASSERT_TRUE(ledcolor_testing::SameDecoding(artnet, ledcolor_testing::ReadArtNet(datagram)));
    accepted += ddp.has_value() + e131.has_value() + artnet.has_value();
  }
  EXPECT_GT(accepted, 1000U);  // the valid ones, and a few mutations that keep them valid

  // Known rejections: a DDP status reply (id 251) and query; an E1.31 discovery packet; the
  // largest and smallest data packets the formats allow, taken.
  Bytes status = ledcolor_testing::MakeDdp(true, 1, 0, {'{', '}'});
  status[3] = 251;
  EXPECT_FALSE(ledcolor::DecodeDdp(status));
  Bytes query = ledcolor_testing::MakeDdp(true, 1, 0, {});
  query[0] |= 0x02;
  EXPECT_FALSE(ledcolor::DecodeDdp(query));
  ledcolor_testing::E131Fields discovery;
  discovery.universe = 64214;
  EXPECT_FALSE(ledcolor::DecodeE131(ledcolor_testing::MakeE131Data(discovery, Bytes(512))));
  EXPECT_EQ(ledcolor::DecodeE131(ledcolor_testing::MakeE131Data({}, Bytes(512)))->slots.size(),
            512U);
  EXPECT_TRUE(ledcolor::DecodeE131(ledcolor_testing::MakeE131Data({}, {}))->slots.empty());
  EXPECT_EQ(
      ledcolor::DecodeArtNet(ledcolor_testing::MakeArtDmx(0, 0x7FFF, Bytes(511)))->port_address,
      0x7FFF);
  EXPECT_FALSE(ledcolor::DecodeArtNet(ledcolor_testing::MakeArtDmx(0, 0, Bytes(513))));
}

// A random life of a controller: DDP packets, E1.31 data and sync from three sources at two
// priorities, Art-Net data and ArtSync from three senders, in and out of the layout, with
// repeats, late packets, sequence 0, skipped universes, preview and terminated streams, and
// silences past each timeout, on a clock that wraps. The assembler answers every packet as the
// model of its rules does, holds the same row, and says the sender is active when the model does.
TEST(FrameAssembler, FollowsTheModelOfItsRulesOverRandomPacketSequences) {
  std::mt19937 rng(2026);
  const auto pick = [&](std::size_t n) { return static_cast<unsigned>(rng() % n); };
  std::array<std::size_t, 4> outcomes{};  // by taken * 2 + show
  for (unsigned run = 0; run < 60; ++run) {
    const std::uint8_t channels = run % 3 == 2 ? 4 : 3;
    const UniverseLayout layout{
        static_cast<std::uint16_t>(run == 7 ? 63998 : 1 + pick(100)),
        static_cast<std::uint16_t>(run % 5 == 0 ? 1 + pick(512) : 1 + pick(40)), channels};
    const std::size_t leds = run == 11 ? 0 : 1 + pick(500);
    std::vector<std::uint8_t> row(channels * leds + (run % 4 == 1 ? 2 : 0), 0x11);
    std::vector<std::uint8_t> model_row = row;
    FrameAssembler assembler(row, layout);
    ledcolor_testing::ModelAssembler model(model_row, layout);
    std::uint32_t now = 0xFFFF0000U + static_cast<std::uint32_t>(pick(60000));
    std::array<std::uint8_t, 8> sequence{};
    for (unsigned step = 0; step < 400; ++step) {
      const unsigned who = pick(3);
      const unsigned roll = pick(100);
      // Silences around each timeout (2.5 s, 4 s, 10 s), now and then.
      constexpr std::uint32_t kSilences[] = {2490, 2499, 2500, 3995, 4000, 9990, 10000, 30000};
      now += roll < 3 ? kSilences[pick(8)] : pick(40);
      const auto universe = static_cast<std::uint16_t>(layout.first_universe - 1 + pick(6));
      Bytes levels(pick(4) == 0 ? pick(520) : 512);
      for (auto& b : levels) {
        b = static_cast<std::uint8_t>(rng());
      }
      // Mostly the next sequence of the sender; now and then a repeat, a late one, or 0.
      std::uint8_t& seq = sequence[who + (roll % 2) * 3];
      seq = static_cast<std::uint8_t>(roll < 8 ? seq : roll < 12 ? seq - 5 : seq + 1);
      const std::uint8_t sent = roll % 17 == 0 ? 0 : seq;
      Bytes d;
      if (roll < 20) {
        d = ledcolor_testing::MakeDdp(
            roll % 3 == 0, static_cast<std::uint8_t>(sent % 16),
            static_cast<std::uint32_t>(pick(row.size() + 40)),
            Bytes(levels.begin(), levels.begin() + pick(levels.size() + 1)));
      } else if (roll < 55) {
        ledcolor_testing::E131Fields f;
        f.cid[0] = static_cast<std::uint8_t>(who);
        f.priority = static_cast<std::uint8_t>(who == 2 && step % 100 < 50 ? 150 : 100);
        f.sync_address = step % 200 < 100 ? 0 : 7;
        f.sequence = sent;
        f.options = roll == 21 ? 0x80 : roll == 22 ? 0x40 : 0;
        f.universe = universe;
        d = ledcolor_testing::MakeE131Data(f, levels);
      } else if (roll < 60) {
        std::array<std::uint8_t, 16> cid{};
        cid[0] = static_cast<std::uint8_t>(who);
        d = ledcolor_testing::MakeE131Sync(cid, sent, roll % 2 == 0 ? 7 : 8);
      } else {
        d = roll < 95 ? ledcolor_testing::MakeArtDmx(sent, universe, levels)
                      : ledcolor_testing::MakeArtSync();
      }
      SCOPED_TRACE(testing::Message() << "run " << run << ", step " << step);
      // Datagrams the decoders refuse (too many levels, none) never reach an assembler.
      const auto ddp = ledcolor::DecodeDdp(d);
      const auto e131 = ledcolor::DecodeE131(d);
      const auto artnet = ledcolor::DecodeArtNet(d);
      if (!ddp && !e131 && !artnet) {
        continue;
      }
      const auto take = [&](auto& target) -> FrameAssembler::Result {
        return ddp    ? target.Take(*ddp, now)
               : e131 ? target.Take(*e131, now)
                      : target.Take(*artnet, 0x0A000001U + who, now);
      };
      // A caller drives a shown row and, when the packet was not taken, takes it again.
      for (int attempt = 0; attempt < 2; ++attempt) {
        const FrameAssembler::Result got = take(assembler);
        const FrameAssembler::Result want = take(model);
        ASSERT_EQ(got.taken, want.taken);
        ASSERT_EQ(got.show, want.show);
        ASSERT_EQ(row, model_row);
        ++outcomes[got.taken * 2U + got.show];
        if (got.taken) {
          break;
        }
      }
      const std::uint32_t later = now + pick(3000);
      ASSERT_EQ(assembler.SenderActive(later), model.SenderActive(later));
    }
  }
  // The sequences reach every answer: shown first, taken, taken and shown.
  EXPECT_GT(outcomes[1], 100U);
  EXPECT_GT(outcomes[2], 5000U);
  EXPECT_GT(outcomes[3], 1000U);
}

// The rules on a two-universe RGB strip, spelled out: a frame shows when both universes are in; a
// sender that skips an unchanged universe still gets its frames shown, untorn; a higher priority
// takes over and loses the universe 2.5 s after its last packet; a fifth source is ignored while
// four are active; sync holds the frame until the sync packet; silence ends the sender.
TEST(FrameAssembler, KeepsFramesWholeAndMovesOnWhenTheSenderDoes) {
  std::vector<std::uint8_t> row(3 * 200, 0);
  FrameAssembler assembler(row, {5, 1, 3});
  const auto data = [](std::uint8_t source, std::uint16_t universe, std::uint8_t value,
                       std::uint8_t priority = 100, std::uint16_t sync = 0) {
    ledcolor_testing::E131Fields f;
    f.cid[0] = source;
    f.universe = universe;
    f.priority = priority;
    f.sync_address = sync;
    return ledcolor_testing::MakeE131Data(f, Bytes(510, value));
  };
  std::uint32_t now = 1000;
  const auto take = [&](const Bytes& d) { return assembler.Take(*ledcolor::DecodeE131(d), now); };
  const auto result = [](FrameAssembler::Result r) { return r.taken * 2 + r.show; };
  constexpr int kTaken = 2, kShown = 3, kShowFirst = 1;
  EXPECT_EQ(result(take(data(1, 5, 10))), kTaken);
  EXPECT_EQ(result(take(data(1, 6, 11))), kShown);  // 170 LEDs in universe 5, 30 in 6
  EXPECT_EQ(row[3 * 170], 11);
  EXPECT_EQ(result(take(data(1, 5, 20))), kTaken);
  EXPECT_EQ(result(take(data(1, 5, 21))), kShowFirst);  // universe 6 unchanged, not sent
  EXPECT_EQ(row[0], 20);                                // shown as it was, untorn
  EXPECT_EQ(result(take(data(1, 5, 21))), kTaken);
  EXPECT_EQ(result(take(data(2, 5, 30, 150))), kShowFirst);  // takes over universe 5
  EXPECT_EQ(result(take(data(2, 5, 30, 150))), kTaken);
  EXPECT_EQ(result(take(data(1, 6, 31))), kShown);
  EXPECT_EQ(result(take(data(1, 5, 40))), kTaken);  // ignored: source 2 is higher
  EXPECT_EQ(row[0], 30);
  now += 2499;
  EXPECT_EQ(result(take(data(1, 5, 40))), kTaken);  // still ignored: source 2 was heard 2.499 s ago
  EXPECT_EQ(row[0], 30);
  now += 1;  // source 2 is gone
  EXPECT_EQ(result(take(data(1, 5, 41))), kTaken);
  EXPECT_EQ(row[0], 41);
  EXPECT_EQ(result(take(data(1, 6, 42))), kShown);
  for (std::uint8_t source = 2; source <= 4; ++source) {
    EXPECT_EQ(result(take(data(source, 6, 50, 50))), kTaken);  // lower: tracked, not shown
  }
  EXPECT_EQ(result(take(data(9, 6, 60, 200))), kTaken);  // a fifth, at the top priority: ignored
  EXPECT_EQ(row[3 * 170], 42);
  // Sync: data with a sync address shows by the rule of completeness until a sync packet comes;
  // then it waits for the next one, and a universe may come twice before it.
  EXPECT_EQ(result(take(data(1, 5, 70, 100, 9))), kTaken);
  EXPECT_EQ(result(take(data(1, 6, 70, 100, 9))), kShown);
  EXPECT_EQ(result(take(ledcolor_testing::MakeE131Sync({1}, 1, 9))), kShown);
  EXPECT_EQ(result(take(data(1, 5, 71, 100, 9))), kTaken);
  EXPECT_EQ(result(take(data(1, 6, 72, 100, 9))), kTaken);  // complete, but held for the sync
  EXPECT_EQ(result(take(data(1, 5, 73, 100, 9))), kTaken);
  EXPECT_EQ(result(take(ledcolor_testing::MakeE131Sync({2}, 1, 9))), kTaken);  // not a holder
  EXPECT_EQ(result(take(ledcolor_testing::MakeE131Sync({1}, 2, 9))), kShown);
  EXPECT_EQ(row[0], 73);
  EXPECT_TRUE(assembler.SenderActive(now + 2499));
  EXPECT_FALSE(assembler.SenderActive(now + 2500));
  // Art-Net: the first sender holds a port address until 10 s without its packets; after an
  // ArtSync from it, data shows only at ArtSync, until 4 s pass without one.
  std::vector<std::uint8_t> strip(3 * 100, 0);
  FrameAssembler art(strip, {3, 1, 3});
  const auto dmx = [&](std::uint32_t sender, std::uint8_t value) {
    return result(
        art.Take(*ledcolor::DecodeArtNet(ledcolor_testing::MakeArtDmx(0, 3, Bytes(300, value))),
                 sender, now));
  };
  const auto art_sync = [&](std::uint32_t sender) {
    return result(art.Take(*ledcolor::DecodeArtNet(ledcolor_testing::MakeArtSync()), sender, now));
  };
  EXPECT_EQ(dmx(1, 1), kShown);
  now += 9999;
  EXPECT_EQ(dmx(2, 2), kTaken);    // ignored: sender 1 was heard 9.999 s ago
  EXPECT_EQ(art_sync(2), kTaken);  // nor does it set the pace
  now += 1;
  EXPECT_EQ(dmx(2, 3), kShown);
  EXPECT_EQ(art_sync(2), kShown);
  EXPECT_EQ(dmx(2, 4), kTaken);  // held for the next ArtSync
  now += 3999;
  EXPECT_EQ(dmx(2, 5), kTaken);
  EXPECT_EQ(strip[0], 5);
  now += 1;  // 4 s without an ArtSync: the rule of completeness is back, and its universe came
  EXPECT_EQ(dmx(2, 6), kShowFirst);  // in since the last show
  EXPECT_EQ(dmx(2, 6), kShown);

  // Layouts that could never be whole take nothing.
  for (const UniverseLayout bad : {UniverseLayout{1, 511, 3}, UniverseLayout{1, 1, 5},
                                   UniverseLayout{1, 0, 3}, UniverseLayout{63999, 1, 3}}) {
    FrameAssembler none(row, bad);
    EXPECT_EQ(result(none.Take(*ledcolor::DecodeE131(data(1, bad.first_universe, 1)), now)),
              kTaken);
    EXPECT_FALSE(none.SenderActive(now));
  }
  std::vector<std::uint8_t> huge(3 * 170 * 64 + 3);
  FrameAssembler too_many(huge, {1, 1, 3});
  EXPECT_EQ(
      result(too_many.Take(*ledcolor::DecodeDdp(ledcolor_testing::MakeDdp(true, 0, 0, {1})), now)),
      kTaken);
}

// An outranked E1.31 source and an Art-Net sender waiting for a port address keep their sequence:
// when they take over, their repeated and late packets are dropped, and the next one shows.
TEST(FrameAssembler, KeepsTheSequenceOfSourcesItDoesNotShow) {
  std::vector<std::uint8_t> row(3 * 10, 0);
  FrameAssembler assembler(row, {1, 1, 3});
  std::uint32_t now = 0;
  const auto e131 = [&](std::uint8_t source, std::uint8_t sequence, std::uint8_t priority,
                        std::uint8_t options = 0) {
    ledcolor_testing::E131Fields f;
    f.cid[0] = source;
    f.sequence = sequence;
    f.priority = priority;
    f.options = options;
    const FrameAssembler::Result r = assembler.Take(
        *ledcolor::DecodeE131(ledcolor_testing::MakeE131Data(f, Bytes(30, sequence))), now);
    return r.taken && r.show;
  };
  EXPECT_TRUE(e131(1, 1, 150));
  EXPECT_FALSE(e131(2, 50, 100));       // outranked
  EXPECT_FALSE(e131(1, 2, 150, 0x40));  // source 1 ends its stream
  EXPECT_FALSE(e131(2, 50, 100));       // a repeat
  EXPECT_FALSE(e131(2, 45, 100));       // late
  EXPECT_TRUE(e131(2, 51, 100));
  EXPECT_EQ(row[0], 51);

  std::vector<std::uint8_t> strip(3 * 10, 0);
  FrameAssembler art(strip, {1, 1, 3});
  const auto dmx = [&](std::uint32_t sender, std::uint8_t sequence) {
    const FrameAssembler::Result r = art.Take(
        *ledcolor::DecodeArtNet(ledcolor_testing::MakeArtDmx(sequence, 1, Bytes(30, sequence))),
        sender, now);
    return r.taken && r.show;
  };
  EXPECT_TRUE(dmx(1, 1));
  now = 9000;
  EXPECT_FALSE(dmx(2, 80));  // sender 1 holds the port address
  now = 10'500;              // and has let it go
  EXPECT_FALSE(dmx(2, 80));
  EXPECT_FALSE(dmx(2, 79));
  EXPECT_TRUE(dmx(2, 81));
  EXPECT_EQ(strip[0], 81);
}

// Whether two packets hold the same fields and the same levels, wherever those lie.
template <typename Packet>
bool Same(const Packet& a, const Packet& b) {
  auto fa = ledcolor_testing::Fields(a);
  auto fb = ledcolor_testing::Fields(b);
  const auto levels = [](const Packet& p) {
    if constexpr (std::is_same_v<Packet, ledcolor::DdpPacket>) {
      return p.data;
    } else {
      return p.slots;
    }
  };
  std::get<std::tuple_size_v<decltype(fa)> - 2>(fa) = nullptr;  // the levels' address
  std::get<std::tuple_size_v<decltype(fb)> - 2>(fb) = nullptr;
  return fa == fb && std::ranges::equal(levels(a), levels(b));
}

// A sender that lost a universe: the old one-liner, `if (Take(p, now).show) drive(row)`, drops the
// packet Take did not take, and a later show mixes two frames; Take(p, now, drive) never does.
// Frames are numbered by their levels; every show must hold one frame in both universes.
TEST(FrameAssembler, TheOneLineUseNeverTearsAFrame) {
  const std::uint8_t frames[][2] = {{1, 1}, {2, 0}, {3, 3}, {4, 4}};  // 0: that universe is lost
  const auto run = [&](bool driven) {
    std::array<ledcolor::Rgb, 340> row{};
    FrameAssembler assembler(row, {1, 1, 3});
    EXPECT_TRUE(assembler.Valid());
    std::vector<std::pair<int, int>> shows;
    const auto drive = [&](std::span<const std::uint8_t> bytes) {
      shows.emplace_back(bytes.front(), bytes.back());
    };
    for (const auto& frame : frames) {
      for (std::uint16_t u = 1; u <= 2; ++u) {
        if (frame[u - 1] == 0) {
          continue;
        }
        ledcolor_testing::E131Fields f;
        f.universe = u;
        const Bytes datagram = ledcolor_testing::MakeE131Data(f, Bytes(510, frame[u - 1]));
        const auto packet = *ledcolor::DecodeE131(datagram);  // points into the datagram
        if (driven) {
          EXPECT_TRUE(assembler.Take(packet, 0, drive));
        } else if (assembler.Take(packet, 0).show) {
          drive({reinterpret_cast<const std::uint8_t*>(row.data()), 3 * row.size()});
        }
      }
    }
    return shows;
  };
  EXPECT_EQ(run(true), (std::vector<std::pair<int, int>>{{1, 1}, {2, 1}, {3, 3}, {4, 4}}));
  EXPECT_EQ(run(false), (std::vector<std::pair<int, int>>{{1, 1}, {2, 1}, {4, 3}}));  // torn
}

// Which layouts and rows can ever show a frame.
TEST(FrameAssembler, SaysWhenItCanNeverShow) {
  std::array<ledcolor::Rgb, 10> rgb{};
  std::array<ledcolor::Rgbw, 10> rgbw{};
  std::array<std::uint8_t, 30> bytes{};
  EXPECT_TRUE(FrameAssembler(rgb, {1, 1, 3}).Valid());
  EXPECT_TRUE(FrameAssembler(rgbw, {1, 1, 4}).Valid());
  EXPECT_TRUE(FrameAssembler(rgb, {0, 1, 3}).Valid());   // Art-Net's first port address
  EXPECT_FALSE(FrameAssembler(rgb, {1, 1, 4}).Valid());  // the type says 3 channels
  EXPECT_FALSE(FrameAssembler(rgbw, {1, 1, 3}).Valid());
  EXPECT_FALSE(FrameAssembler(bytes, {1, 0, 3}).Valid());
  EXPECT_FALSE(FrameAssembler(bytes, {1, 511, 3}).Valid());
  EXPECT_FALSE(FrameAssembler(bytes, {63999, 500, 3}).Valid());  // spills past 63999
  EXPECT_FALSE(FrameAssembler(std::span<std::uint8_t>(), {1, 1, 3}).Valid());
}

// Each encoder against the datagram built field by field, for each packet kind; then decoded again.
TEST(NetEncoders, WriteTheDatagramTheDecoderReadsBack) {
  const Bytes levels = [] {
    Bytes v(511);
    for (std::size_t i = 0; i < v.size(); ++i) {
      v[i] = static_cast<std::uint8_t>(7 * i + 3);
    }
    return v;
  }();
  std::array<std::uint8_t, 16> cid{};
  cid[0] = 0xC1;
  cid[15] = 0xD5;
  for (const std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{170}, std::size_t{511}}) {
    SCOPED_TRACE(testing::Message() << n << " levels");
    const Bytes data(levels.begin(), levels.begin() + static_cast<std::ptrdiff_t>(n));
    Bytes out(1600, 0xEE);
    const auto check = [&](std::size_t size, const Bytes& want) {
      ASSERT_EQ(size, want.size());
      EXPECT_TRUE(std::equal(want.begin(), want.end(), out.begin()));
      EXPECT_TRUE(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(size), out.end(),
                              [](std::uint8_t b) { return b == 0xEE; }));
    };
    const ledcolor::DdpPacket ddp{true, 15, 0x1B, 0x01020304, data};
    check(ledcolor::EncodeDdp(ddp, out),
          ledcolor_testing::MakeDdp(true, 15, 0x01020304, data, 0x1B));
    EXPECT_TRUE(Same(*ledcolor::DecodeDdp(out), ddp));

    ledcolor_testing::E131Fields f{cid, 200, 0x1234, 0xFE, 0xE0, 63999};
    const ledcolor::E131Packet e131{
        ledcolor::E131Packet::Kind::kData, cid, 200, 0x1234, 0xFE, true, true, true, 63999, data};
    out.assign(1600, 0xEE);
    const std::size_t size = ledcolor::EncodeE131(e131, "ledcolor test", out);
    check(size, ledcolor_testing::MakeE131Data(f, data));
    EXPECT_TRUE(Same(*ledcolor::DecodeE131(std::span(out).first(size)), e131));

    if (n != 0) {
      const ledcolor::ArtNetPacket art{ledcolor::ArtNetPacket::Kind::kDmx, 0x77, 0x7FFF, data};
      Bytes padded = data;
      padded.resize(n + n % 2, 0);  // an odd count goes out with one zero more
      out.assign(1600, 0xEE);
      check(ledcolor::EncodeArtNet(art, out), ledcolor_testing::MakeArtDmx(0x77, 0x7FFF, padded));
      const ledcolor::ArtNetPacket back = *ledcolor::DecodeArtNet(out);
      EXPECT_TRUE(back.sequence == 0x77 && back.port_address == 0x7FFF &&
                  std::equal(back.slots.begin(), back.slots.end(), padded.begin(), padded.end()));
    }
  }
  Bytes out(64, 0xEE);
  ASSERT_EQ(ledcolor::EncodeE131(
                {ledcolor::E131Packet::Kind::kSync, cid, 0, 0xBEEF, 9, false, false, false, 0, {}},
                "x", out),
            49U);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 49), ledcolor_testing::MakeE131Sync(cid, 9, 0xBEEF));
  ASSERT_EQ(ledcolor::EncodeArtNet({ledcolor::ArtNetPacket::Kind::kSync, 5, 6, {}}, out), 14U);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 14), ledcolor_testing::MakeArtSync());
  EXPECT_EQ(ledcolor::E131MulticastAddress(1), (std::array<std::uint8_t, 4>{239, 255, 0, 1}));
  EXPECT_EQ(ledcolor::E131MulticastAddress(63999),
            (std::array<std::uint8_t, 4>{239, 255, 0xF9, 0xFF}));
}

// The source name: cut to 63 bytes at a character's boundary, NUL after it. Then what is rejected
// writes nothing.
TEST(NetEncoders, CutTheNameWholeAndRejectWithNothingWritten) {
  const std::array<std::uint8_t, 16> cid{};
  const Bytes slots(3, 9);
  const ledcolor::E131Packet data{
      ledcolor::E131Packet::Kind::kData, cid, 100, 0, 0, false, false, false, 1, slots};
  const std::string euro = "\xE2\x82\xAC";  // one character, three bytes
  const struct {
    std::string name;
    std::size_t kept;
  } names[] = {{std::string(70, 'a'), 63},
               {std::string(62, 'a') + euro, 62},
               {std::string(61, 'a') + euro, 61},
               {std::string(60, 'a') + euro, 63}};
  for (const auto& [name, kept] : names) {
    Bytes out(200, 0xEE);
    ASSERT_EQ(ledcolor::EncodeE131(data, name, out), 129U);
    EXPECT_TRUE(
        std::equal(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(kept), out.begin() + 44,
                   [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; }))
        << kept;
    EXPECT_TRUE(std::all_of(out.begin() + 44 + static_cast<std::ptrdiff_t>(kept), out.begin() + 108,
                            [](std::uint8_t b) { return b == 0; }))
        << kept;
  }

  const Bytes big(513, 1);
  const Bytes ddp_big(ledcolor::kDdpMaxData + 1, 1);
  Bytes out(2000, 0xEE);
  const auto rejected = [&](std::size_t size) {
    return size == 0 &&
           std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == 0xEE; });
  };
  EXPECT_TRUE(rejected(ledcolor::EncodeDdp({false, 16, 0x0B, 0, slots}, out)));
  EXPECT_TRUE(rejected(ledcolor::EncodeDdp({false, 1, 0x3B, 0, slots}, out)));
  EXPECT_TRUE(rejected(ledcolor::EncodeDdp({false, 1, 0x0B, 0, ddp_big}, out)));
  EXPECT_TRUE(rejected(ledcolor::EncodeDdp({false, 1, 0x0B, 0, slots}, std::span(out).first(12))));
  auto e131 = data;
  for (const auto edit : {+[](ledcolor::E131Packet& p) { p.universe = 0; },
                          +[](ledcolor::E131Packet& p) { p.universe = 64000; },
                          +[](ledcolor::E131Packet& p) { p.priority = 201; }}) {
    e131 = data;
    edit(e131);
    EXPECT_TRUE(rejected(ledcolor::EncodeE131(e131, "", out)));
  }
  e131 = data;
  e131.slots = big;
  EXPECT_TRUE(rejected(ledcolor::EncodeE131(e131, "", out)));
  EXPECT_TRUE(rejected(ledcolor::EncodeE131(data, "", std::span(out).first(128))));
  EXPECT_TRUE(
      rejected(ledcolor::EncodeArtNet({ledcolor::ArtNetPacket::Kind::kDmx, 0, 1, {}}, out)));
  EXPECT_TRUE(
      rejected(ledcolor::EncodeArtNet({ledcolor::ArtNetPacket::Kind::kDmx, 0, 1, big}, out)));
  EXPECT_TRUE(rejected(
      ledcolor::EncodeArtNet({ledcolor::ArtNetPacket::Kind::kDmx, 0, 0x8000, slots}, out)));
  EXPECT_TRUE(rejected(ledcolor::EncodeArtNet({ledcolor::ArtNetPacket::Kind::kDmx, 0, 1, slots},
                                              std::span(out).first(21))));
}

}  // namespace
