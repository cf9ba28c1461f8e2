#include <algorithm>
#include <array>
#include <cstring>

#include "ledcolor/adalight.h"
#include "ledcolor/adalight/check_sums.h"
#include "ledcolor/adalight/header.h"

namespace ledcolor {

using adalight::Judgement;

namespace {

// memmove where the compiler cannot see that the two do not overlap: else it calls memcpy, which
// a firmware that reads frames would link for this alone (the reader needs memmove anyway).
[[gnu::noinline]] void Move(std::uint8_t* to, const std::uint8_t* from, std::size_t size) noexcept {
  std::memmove(to, from, size);
}

// Moves bytes from the front of `bytes` to `to` + `size` until `size` reaches `full`; returns how
// many it moved.
std::size_t TakeInto(std::uint8_t* to, std::size_t& size, std::size_t full,
                     std::span<const std::uint8_t> bytes) noexcept {
  const std::size_t take = std::min(full - size, bytes.size());
  std::memmove(to + size, bytes.data(), take);
  size += take;
  return take;
}

}  // namespace

AdalightReader::Result AdalightReader::FeedChecked(std::span<const std::uint8_t> bytes) noexcept {
  // Held bytes with no header are what followed a frame or request found in a failed candidate:
  // they are searched before any new byte.
  if (header_size_ == 0 && held_size_ + tail_size_ != 0 && Search()) {
    return Found(0);
  }
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    if (header_size_ == 0) {  // nothing held: skip the noise
      const std::size_t start = adalight::NextStart(bytes, pos);
      skipped_bytes_ += start - pos;
      pos = start;
      if (pos == bytes.size()) {
        break;
      }
    }
    // The candidate grows by its header, its colours in one copy straight into the front of the
    // storage, where they wait, and what follows them. Each header byte can rule it out and its
    // last byte settles it; while it may still be a frame, nothing but its header is held, so
    // it is judged here on all the header bytes at hand (a byte that rules it out rules out every
    // longer header too). Else Search goes on from its second byte, or takes the request it is.
    if (header_size_ < kAdalightHeaderSize) {
      pos += TakeInto(header_.data(), header_size_, kAdalightHeaderSize, bytes.subspan(pos));
      const Judgement judged =
          adalight::JudgeChecked(header_.data(), header_size_, storage_.size_bytes());
      if (judged.kind == Judgement::Kind::kMaybe) {
        continue;
      }
      if (judged.kind == Judgement::Kind::kFrame) {
        ++candidate_;
        colour_sums_ = adalight::CheckSums().State();  // no memset, as CheckSums() says
        colour_bytes_ = adalight::ColourBytes(judged.variant, judged.led_count);
        trailer_bytes_ = adalight::TrailerBytes(judged.variant);
        continue;
      }
    } else if (held_size_ < colour_bytes_) {
      // memmove: the input may lie in the storage itself. Summed where they land.
      const std::size_t from = held_size_;
      pos += TakeInto(StorageBytes(), held_size_, colour_bytes_, bytes.subspan(pos));
      adalight::CheckSums sums(colour_sums_);
      sums.Add({StorageBytes() + from, held_size_ - from});
      colour_sums_ = sums.State();
      continue;
    } else if (pos += TakeInto(tail_.data(), tail_size_, trailer_bytes_, bytes.subspan(pos));
               tail_size_ < trailer_bytes_) {
      continue;
    } else if (TakeWhole()) {
      return Found(pos);
    }
    if (Search()) {
      return Found(pos);
    }
  }
  return {pos, 0, {}};
}

AdalightReader::Result AdalightReader::Found(std::size_t consumed) const noexcept {
  // Each member given its value, rather than cleared first: an object cleared whole is cleared
  // through a memset call at -Os.
  const bool frame = found_.request == HostRequest::kNone;
  const bool rgbw = frame && found_.variant == 2;  // "AWa" holds four bytes an LED
  const std::optional<WhiteCalibration> calibration =
      found_.variant == 1
          ? std::optional(WhiteCalibration{found_.calibration[0], found_.calibration[1],
                                           found_.calibration[2], found_.calibration[3]})
          : std::nullopt;
  return {consumed,
          found_leds_,
          {storage_.data(), frame && !rgbw ? found_leds_ : 0},
          {reinterpret_cast<const Rgbw*>(storage_.data()), rgbw ? found_leds_ : 0},
          calibration,
          found_.request};
}

bool AdalightReader::TakeWhole() noexcept {
  // The candidate's colours lie at the front of the storage, and its calibration (for "AwA") and
  // check bytes in tail_: taken as they lie.
  const std::size_t extra = trailer_bytes_ - kAdalightCheckSize;
  adalight::CheckSums sums(colour_sums_);  // its colours', summed as they came
  if (extra != 0) {
    sums.Add(std::span(tail_).first(extra));
  }
  const auto check = sums.Bytes();
  if (check[0] != tail_[extra] || check[1] != tail_[extra + 1] || check[2] != tail_[extra + 2]) {
    return false;  // Search gives the candidate up, and goes on from its second byte
  }
  // Only an "AwA" frame's calibration is read, and it is the first four bytes of tail_.
  found_.variant = static_cast<std::uint8_t>(*adalight::LettersOf(header_.data(), 3));
  found_.request = HostRequest::kNone;
  found_.calibration = {tail_[0], tail_[1], tail_[2], tail_[3]};
  found_leds_ = adalight::CountField(header_.data());
  header_size_ = held_size_ = tail_size_ = 0;
  return true;
}

bool AdalightReader::Search() noexcept {
  using Kind = Judgement::Kind;
  const std::size_t held = header_size_ + held_size_ + tail_size_;
  const std::size_t storage_end = header_size_ + held_size_;  // the run's bytes in the storage end
  for (std::size_t at = 0; at < held; ++at, ++skipped_bytes_) {
    // Through the held bytes in the storage, straight to the next possible start.
    if (at >= header_size_ && at < storage_end) {
      const std::span<const std::uint8_t> run(StorageBytes() + held_from_, held_size_);
      const std::size_t start = header_size_ + adalight::NextStart(run, at - header_size_);
      skipped_bytes_ += start - at;
      at = start;
      if (at == held) {
        break;
      }
    }
    std::array<std::uint8_t, kAdalightHeaderSize> header;  // its first `have` bytes are read
    const std::size_t have = std::min(held - at, kAdalightHeaderSize);
    for (std::size_t i = 0; i < have; ++i) {
      header[i] = HeldByte(at + i);
    }
    const Judgement judged = adalight::JudgeChecked(header.data(), have, storage_.size_bytes());
    if (judged.kind == Kind::kNo) {
      continue;
    }
    if (judged.kind == Kind::kRequest) {
      KeepFrom(at + kAdalightHeaderSize);
      found_.variant = 0;
      found_.request = judged.request;
      found_leds_ = 0;
      return true;
    }
    const std::size_t colours = at + kAdalightHeaderSize;
    const std::size_t colour_bytes = adalight::ColourBytes(judged.variant, judged.led_count);
    const std::size_t trailer_bytes = adalight::TrailerBytes(judged.variant);
    const bool calibrated = judged.variant == adalight::Variant::kCalibrated;
    const std::size_t checked_bytes = colour_bytes + (calibrated ? kAdalightCalibrationSize : 0);
    if (judged.kind == Kind::kMaybe || colours + colour_bytes + trailer_bytes > held) {
      Adopt(at, header, have, colour_bytes, trailer_bytes);  // it may yet be a frame or request
      return false;
    }
    if (!ChecksMatch(colours, checked_bytes)) {
      continue;
    }
    // Taken: the calibration read before the colours move, the colours to the front of the
    // storage, below the bytes after the frame, which stay held.
    found_.variant = static_cast<std::uint8_t>(judged.variant);
    found_.request = HostRequest::kNone;
    for (std::size_t i = 0; calibrated && i < kAdalightCalibrationSize; ++i) {
      found_.calibration[i] = HeldByte(colours + colour_bytes + i);
    }
    found_leds_ = judged.led_count;
    ++candidate_;  // not the candidate that was being read
    MoveToStorage(colours, colour_bytes);
    KeepFrom(colours + colour_bytes + trailer_bytes);
    return true;
  }
  header_size_ = held_from_ = held_size_ = tail_size_ = 0;
  return false;
}

void AdalightReader::KeepFrom(std::size_t end) noexcept {
  // The run from `end` on starts in the storage, or in tail_; never in header_, since `end`
  // follows a whole six-byte header.
  const std::size_t held = header_size_ + held_size_ + tail_size_;
  const std::size_t storage_end = header_size_ + held_size_;
  const std::size_t rest_in_tail = held - std::max(end, storage_end);
  std::memmove(tail_.data(), tail_.data() + (tail_size_ - rest_in_tail), rest_in_tail);
  held_size_ = end < storage_end ? storage_end - end : 0;
  held_from_ = held_size_ == 0 ? 0 : held_from_ + (end - header_size_);
  header_size_ = 0;
  tail_size_ = rest_in_tail;
}

void AdalightReader::Adopt(std::size_t at,
                           const std::array<std::uint8_t, kAdalightHeaderSize>& header,
                           std::size_t have, std::size_t colour_bytes,
                           std::size_t trailer_bytes) noexcept {
  // The held bytes from `at` on, laid out as the candidate being read: its header (whole or not),
  // its colours at the front of the storage, what follows them in tail_. Those last are copied
  // first, since moving the colours down may overwrite them. A candidate is adopted only when it
  // is not whole, so fewer than `trailer_bytes` follow its colours.
  const std::size_t held = header_size_ + held_size_ + tail_size_;
  const std::size_t colours = at + kAdalightHeaderSize;
  const std::size_t colours_held =
      have < kAdalightHeaderSize ? 0 : std::min(held - colours, colour_bytes);
  std::array<std::uint8_t, kAdalightCalibrationSize + kAdalightCheckSize> tail;  // NOLINT(*-init)
  const std::size_t tail_size = held - at - have - colours_held;
  for (std::size_t i = 0; i < tail_size; ++i) {
    tail[i] = HeldByte(colours + colours_held + i);
  }
  MoveToStorage(colours, colours_held);
  adalight::CheckSums sums;
  sums.Add({StorageBytes(), colours_held});
  colour_sums_ = sums.State();
  Move(header_.data(), header.data(), have);
  header_size_ = have;
  held_from_ = 0;
  held_size_ = colours_held;
  Move(tail_.data(), tail.data(), tail_size);
  tail_size_ = tail_size;
  colour_bytes_ = colour_bytes;
  trailer_bytes_ = trailer_bytes;
  ++candidate_;
}

std::uint8_t AdalightReader::HeldByte(std::size_t at) const noexcept {
  if (at < header_size_) {
    return header_[at];
  }
  at -= header_size_;
  return at < held_size_ ? StorageBytes()[held_from_ + at] : tail_[at - held_size_];
}

void AdalightReader::MoveToStorage(std::size_t from, std::size_t size) noexcept {
  // A run starts after its header, so its bytes lie in the storage, then in tail_. Moving them to
  // the front of the storage never overwrites one not yet moved: they only move down.
  const std::size_t storage_end = header_size_ + held_size_;
  const std::size_t in_storage = from < storage_end ? std::min(size, storage_end - from) : 0;
  const std::size_t offset = held_from_ + (from - header_size_);
  if (in_storage != 0 && offset != 0) {  // a candidate's colours are already in place
    std::memmove(StorageBytes(), StorageBytes() + offset, in_storage);
  }
  for (std::size_t i = in_storage; i < size; ++i) {
    StorageBytes()[i] = tail_[from + i - storage_end];
  }
}

bool AdalightReader::ChecksMatch(std::size_t payload, std::size_t size) const noexcept {
  // The payload's bytes in the storage are summed where they lie; the few that a failed
  // candidate's tail_ held (a frame found at its very end), and an "AwA" frame's calibration,
  // one by one.
  const std::size_t storage_end = header_size_ + held_size_;
  const std::size_t in_storage = payload < storage_end ? std::min(size, storage_end - payload) : 0;
  adalight::CheckSums sums;
  if (in_storage != 0) {
    sums.Add({StorageBytes() + held_from_ + (payload - header_size_), in_storage});
  }
  // Only its first size - in_storage bytes are written and read.
  std::array<std::uint8_t, kAdalightCalibrationSize + kAdalightCheckSize> rest;  // NOLINT(*-init)
  for (std::size_t i = in_storage; i < size; ++i) {
    rest[i - in_storage] = HeldByte(payload + i);
  }
  sums.Add(std::span(rest).first(size - in_storage));
  const auto check = sums.Bytes();
  for (std::size_t k = 0; k < check.size(); ++k) {
    if (HeldByte(payload + size + k) != check[k]) {
      return false;
    }
  }
  return true;
}

}  // namespace ledcolor
