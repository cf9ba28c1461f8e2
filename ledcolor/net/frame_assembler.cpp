#include <algorithm>
#include <cstdint>

#include "ledcolor/net.h"

namespace ledcolor {

// The typed rows: the same bytes, and a layout that must name the row type's channels.
FrameAssembler::FrameAssembler(std::span<Rgb> row, UniverseLayout layout) noexcept
    : FrameAssembler(std::span(reinterpret_cast<std::uint8_t*>(row.data()), row.size_bytes()),
                     layout) {
  valid_ = valid_ && layout.channels == 3;
}

FrameAssembler::FrameAssembler(std::span<Rgbw> row, UniverseLayout layout) noexcept
    : FrameAssembler(std::span(reinterpret_cast<std::uint8_t*>(row.data()), row.size_bytes()),
                     layout) {
  valid_ = valid_ && layout.channels == 4;
}

FrameAssembler::FrameAssembler(std::span<std::uint8_t> row, UniverseLayout layout) noexcept
    : row_(row), layout_(layout) {
  e131_holder_.fill(kNobody);
  artnet_holder_.fill(kNobody);
  const std::size_t channels = layout.channels;
  if ((channels != 3 && channels != 4) || layout.first_channel < 1 || layout.first_channel > 512) {
    return;
  }
  first_leds_ = (512 - (layout.first_channel - 1U)) / channels;
  leds_per_ = 512 / channels;
  const std::size_t leds = row.size() / channels;
  if (first_leds_ == 0 || leds == 0) {
    return;
  }
  universes_ = leds <= first_leds_ ? 1 : 1 + (leds - first_leds_ + leds_per_ - 1) / leds_per_;
  // No sender numbers a universe past 63999, so a layout that reaches beyond it could never be
  // complete.
  valid_ = universes_ <= kMaxUniverses && layout.first_universe + universes_ - 1 <= 63999;
}

bool FrameAssembler::SenderActive(std::uint32_t now_ms) const noexcept {
  return valid_ && data_taken_ && now_ms - data_ms_ < 2500;
}

std::size_t FrameAssembler::IndexOf(std::uint32_t universe) const noexcept {
  const std::uint32_t index = universe - layout_.first_universe;  // wraps below the first
  return universe >= layout_.first_universe && index < universes_ ? index : kMaxUniverses;
}

std::size_t FrameAssembler::SlotOf(Sources& sources, Holders& holders,
                                   const std::array<std::uint8_t, 16>& id, std::uint32_t now_ms,
                                   std::uint32_t timeout_ms) noexcept {
  const auto live = [&](const Source& source) {
    return std::any_of(source.streams.begin(), source.streams.end(),
                       [&](const Stream& s) { return Live(s, now_ms, timeout_ms); });
  };
  // A slot never used before one whose source fell silent, so that a source coming back after a
  // pause finds its own.
  std::size_t free = kMaxSources;
  for (std::size_t slot = 0; slot < kMaxSources; ++slot) {
    const Source& source = sources[slot];
    if (source.used && source.id == id) {
      return slot;
    }
    const bool better = free == kMaxSources || (sources[free].used && !source.used);
    if (better && (!source.used || !live(source))) {
      free = slot;
    }
  }
  if (free != kMaxSources) {
    // A new source in a silent one's place: nothing of the old one may stay with it.
    sources[free] = Source{};
    sources[free].id = id;
    sources[free].used = true;
    std::replace(holders.begin(), holders.end(), static_cast<std::uint8_t>(free), kNobody);
  }
  return free;
}

std::uint8_t FrameAssembler::LiveHolder(const Sources& sources, const Holders& holders,
                                        std::size_t index, std::uint32_t now_ms,
                                        std::uint32_t timeout_ms) noexcept {
  const std::uint8_t slot = holders[index];
  return slot != kNobody && Live(sources[slot].streams[index], now_ms, timeout_ms) ? slot : kNobody;
}

bool FrameAssembler::HoldsAny(const Sources& sources, const Holders& holders,
                              const std::array<std::uint8_t, 16>& id, std::uint32_t now_ms,
                              std::uint32_t timeout_ms) const noexcept {
  for (std::size_t index = 0; index < universes_; ++index) {
    const std::uint8_t slot = LiveHolder(sources, holders, index, now_ms, timeout_ms);
    if (slot != kNobody && sources[slot].id == id) {
      return true;
    }
  }
  return false;
}

bool FrameAssembler::Stale(const Stream& stream, std::uint8_t sequence, std::uint32_t now_ms,
                           std::uint32_t timeout_ms) noexcept {
  // A sequence of 0 is a sender that does not number its packets; otherwise up to 19 behind the
  // last, or the last again, is a late or repeated packet, and anything else a new one (a sender
  // that restarted included). A stream that was lost or ended starts afresh.
  const auto behind =
      static_cast<std::int8_t>(static_cast<std::uint8_t>(sequence - stream.sequence));
  return sequence != 0 && stream.sequenced && Live(stream, now_ms, timeout_ms) && behind > -20 &&
         behind <= 0;
}

void FrameAssembler::Write(std::size_t index, std::span<const std::uint8_t> slots) noexcept {
  const std::size_t channels = layout_.channels;
  const std::size_t from = index == 0 ? layout_.first_channel - 1U : 0;
  const std::size_t leds = index == 0 ? first_leds_ : leds_per_;
  const std::size_t at = index == 0 ? 0 : (first_leds_ + (index - 1) * leds_per_) * channels;
  if (slots.size() <= from || at >= row_.size()) {
    return;
  }
  // Whole LEDs only: of the universe's, of the slots sent, of the row's.
  const std::size_t bytes =
      std::min({leds, (slots.size() - from) / channels, (row_.size() - at) / channels}) * channels;
  std::copy_n(slots.begin() + static_cast<std::ptrdiff_t>(from), bytes,
              row_.begin() + static_cast<std::ptrdiff_t>(at));
}

FrameAssembler::Result FrameAssembler::Accept(std::size_t index,
                                              std::span<const std::uint8_t> slots, bool synced,
                                              Stream& stream, std::uint8_t sequence,
                                              std::uint32_t now_ms) noexcept {
  const std::uint64_t bit = std::uint64_t{1} << index;
  if (!synced && (arrived_ & bit) != 0) {
    // The universe again before the frame was whole: the sender skips unchanged universes, or
    // lost a packet. Show what there is, untorn, and take this packet when asked again.
    arrived_ = 0;
    return {false, true};
  }
  Write(index, slots);
  written_ = true;
  stream.sequence = sequence;
  stream.sequenced = true;
  data_taken_ = true;
  data_ms_ = now_ms;
  arrived_ |= bit;
  const std::uint64_t all =
      universes_ == kMaxUniverses ? ~std::uint64_t{0} : (std::uint64_t{1} << universes_) - 1;
  if (synced || arrived_ != all) {
    return {true, false};
  }
  arrived_ = 0;
  return {true, true};
}

}  // namespace ledcolor
