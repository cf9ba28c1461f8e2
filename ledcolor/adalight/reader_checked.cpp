#include <algorithm>
#include <array>
#include <cstring>

#include "ledcolor/adalight.h"
#include "ledcolor/adalight/check_sums.h"
#include "ledcolor/adalight/header.h"

namespace ledcolor {

namespace {

using Header = std::array<std::uint8_t, kAdalightHeaderSize>;

// Whether the first `size` bytes of a header can still begin a checked frame whose colours fit
// `storage_leds`: each byte is judged as it comes, the count as soon as both its bytes are there.
bool CouldBeCheckedHeader(const Header& header, std::size_t size, std::size_t storage_leds) {
  for (std::size_t i = 0; i < std::min(size, std::size(adalight::kCheckedMagic)); ++i) {
    if (header[i] != adalight::kCheckedMagic[i]) {
      return false;
    }
  }
  // The count field holds N - 1: N > storage_leds exactly when the field reaches storage_leds.
  if (size >= 5 && ((std::size_t{header[3]} << 8) | header[4]) >= storage_leds) {
    return false;
  }
  return size < kAdalightHeaderSize || header[5] == (header[3] ^ header[4] ^ 0x55);
}

}  // namespace

AdalightReader::Result AdalightReader::FeedChecked(std::span<const std::uint8_t> bytes) noexcept {
  const auto found = [this](std::size_t consumed, std::size_t led_count) {
    return Result{consumed, led_count, storage_.first(led_count)};
  };
  // Held bytes with no header are what followed a frame found in a failed candidate: they are
  // searched before any new byte.
  if (header_size_ == 0 && held_size_ + tail_size_ != 0) {
    if (const std::size_t led_count = Search(); led_count != 0) {
      return found(0, led_count);
    }
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
    // The candidate grows by its header a byte at a time, its colours in one copy straight into
    // the front of the storage, where they wait, and its check bytes. Each header byte can rule it
    // out and the last check byte settles it: Search judges it there, and when it fails goes on
    // from its second byte.
    if (header_size_ < kAdalightHeaderSize) {
      header_[header_size_++] = bytes[pos++];
    } else if (held_size_ < 3 * led_count_) {
      const std::size_t take = std::min(3 * led_count_ - held_size_, bytes.size() - pos);
      // memmove: the input may lie in the storage itself.
      std::memmove(StorageBytes() + held_size_, bytes.data() + pos, take);
      held_size_ += take;
      pos += take;
      continue;
    } else if (tail_[tail_size_++] = bytes[pos++]; tail_size_ < kAdalightCheckSize) {
      continue;
    }
    if (const std::size_t led_count = Search(); led_count != 0) {
      return found(pos, led_count);
    }
  }
  return {pos, 0, {}};
}

std::size_t AdalightReader::Search() noexcept {
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
    Header header{};
    const std::size_t have = std::min(held - at, kAdalightHeaderSize);
    for (std::size_t i = 0; i < have; ++i) {
      header[i] = HeldByte(at + i);
    }
    if (!CouldBeCheckedHeader(header, have, storage_.size())) {
      continue;
    }
    const std::size_t led_count =
        have < kAdalightHeaderSize ? 0 : adalight::LedCount(header.data(), adalight::kCheckedMagic);
    const std::size_t colours = at + kAdalightHeaderSize;
    if (led_count == 0 || colours + 3 * led_count + kAdalightCheckSize > held) {
      Adopt(at, header, led_count);  // it may yet be a frame
      return 0;
    }
    if (ChecksMatch(colours, led_count)) {
      TakeFrame(colours, led_count);
      return led_count;
    }
  }
  header_size_ = held_from_ = held_size_ = tail_size_ = 0;
  return 0;
}

void AdalightReader::TakeFrame(std::size_t colours, std::size_t led_count) noexcept {
  // Its colours go to the front of the storage, below the bytes after it, which stay held, with no
  // header, for the next search.
  const std::size_t held = header_size_ + held_size_ + tail_size_;
  const std::size_t storage_end = header_size_ + held_size_;
  const std::size_t end = colours + 3 * led_count + kAdalightCheckSize;
  MoveToStorage(colours, 3 * led_count);
  const std::size_t rest_in_tail = held - std::max(end, storage_end);
  std::memmove(tail_.data(), tail_.data() + (tail_size_ - rest_in_tail), rest_in_tail);
  held_size_ = end < storage_end ? storage_end - end : 0;
  held_from_ = held_size_ == 0 ? 0 : held_from_ + (end - header_size_);
  header_size_ = 0;
  tail_size_ = rest_in_tail;
}

void AdalightReader::Adopt(std::size_t at,
                           const std::array<std::uint8_t, kAdalightHeaderSize>& header,
                           std::size_t led_count) noexcept {
  // The held bytes from `at` on, laid out as the candidate being read: its header (whole or not),
  // its colours at the front of the storage, the check bytes after them. Those last are copied
  // first, since moving the colours down may overwrite them.
  const std::size_t held = header_size_ + held_size_ + tail_size_;
  const std::size_t have = std::min(held - at, kAdalightHeaderSize);
  const std::size_t colours = at + kAdalightHeaderSize;
  const std::size_t colours_held = led_count == 0 ? 0 : std::min(held - colours, 3 * led_count);
  std::array<std::uint8_t, kAdalightCheckSize> tail{};
  const std::size_t tail_size = held - at - have - colours_held;
  for (std::size_t i = 0; i < tail_size; ++i) {
    tail[i] = HeldByte(colours + colours_held + i);
  }
  MoveToStorage(colours, colours_held);
  header_ = header;
  header_size_ = have;
  held_from_ = 0;
  held_size_ = colours_held;
  tail_ = tail;
  tail_size_ = tail_size;
  led_count_ = led_count;
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

bool AdalightReader::ChecksMatch(std::size_t colours, std::size_t led_count) const noexcept {
  // A whole candidate's colours always lie in the storage: after them come its three check bytes,
  // and the tail holds no more than three.
  const std::size_t size = 3 * led_count;
  const auto check =
      adalight::CheckBytes({StorageBytes() + held_from_ + (colours - header_size_), size});
  for (std::size_t k = 0; k < check.size(); ++k) {
    if (HeldByte(colours + size + k) != check[k]) {
      return false;
    }
  }
  return true;
}

}  // namespace ledcolor
