#include <algorithm>
#include <cstring>

#include "ledcolor/adalight.h"
#include "ledcolor/adalight/header.h"

namespace ledcolor {

namespace {

// Whether the first `size` bytes of a header seen so far can still be the start of a valid one.
bool CouldBeHeader(const std::array<std::uint8_t, kAdalightHeaderSize>& header, std::size_t size) {
  for (std::size_t i = 0; i < std::min(size, std::size(adalight::kMagic)); ++i) {
    if (header[i] != adalight::kMagic[i]) {
      return false;
    }
  }
  return size < kAdalightHeaderSize || adalight::LedCount(header.data()) != 0;
}

}  // namespace

AdalightReader::Result AdalightReader::FeedNothing(std::span<const std::uint8_t> bytes) noexcept {
  skipped_bytes_ += bytes.size();
  return {bytes.size(), 0, {}};
}

AdalightReader::Result AdalightReader::FeedClassic(std::span<const std::uint8_t> bytes) noexcept {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    if (payload_left_ == 0) {
      pos += Hunt(bytes.subspan(pos));
      continue;
    }
    pos += TakePayload(bytes.subspan(pos));
    if (payload_left_ == 0) {
      if (led_count_ > storage_.size()) {
        ++truncated_frames_;
      }
      return {pos, led_count_, storage_.first(std::min(led_count_, storage_.size()))};
    }
  }
  return {pos, 0, {}};
}

void AdalightReader::Reset() noexcept {
  // A classic frame's header is no longer in header_ once its payload is being read.
  const std::size_t classic_frame =
      payload_left_ == 0 ? 0 : kAdalightHeaderSize + payload_size_ - payload_left_;
  skipped_bytes_ += header_size_ + classic_frame + held_size_ + tail_size_;
  header_size_ = payload_left_ = held_from_ = held_size_ = tail_size_ = 0;
}

std::size_t AdalightReader::Hunt(std::span<const std::uint8_t> bytes) noexcept {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    if (header_size_ == 0) {  // nothing held: skip the noise
      const std::size_t next = adalight::NextStart(bytes, pos);
      skipped_bytes_ += next - pos;
      pos = next;
      if (pos == bytes.size()) {
        return pos;
      }
    }
    header_[header_size_++] = bytes[pos++];
    // A failed candidate is given up by its first byte only: a real header may start at any of
    // the others, and they were already taken from the caller, so they are searched here.
    while (header_size_ > 0 && !CouldBeHeader(header_, header_size_)) {
      std::memmove(header_.data(), header_.data() + 1, --header_size_);
      ++skipped_bytes_;
    }
    if (header_size_ == kAdalightHeaderSize) {
      header_size_ = 0;
      ++candidate_;
      led_count_ = adalight::LedCount(header_.data());
      payload_size_ = 3 * led_count_;
      payload_left_ = payload_size_;
      break;
    }
  }
  return pos;
}

std::size_t AdalightReader::TakePayload(std::span<const std::uint8_t> bytes) noexcept {
  // Colours go straight from the input to the storage; what does not fit is read past. memmove:
  // the input may lie in the storage itself.
  const std::size_t take = std::min(payload_left_, bytes.size());
  const std::size_t offset = payload_size_ - payload_left_;
  const std::size_t kept = storage_.size_bytes();
  if (offset < kept) {
    std::memmove(reinterpret_cast<std::uint8_t*>(storage_.data()) + offset, bytes.data(),
                 std::min(take, kept - offset));
  }
  payload_left_ -= take;
  return take;
}

AdalightReader::Progress AdalightReader::Collecting() const noexcept {
  // Told apart by state, not by feed_, so that a firmware links the reading of its format alone:
  // only kClassic reads a payload, and only kAwa holds a whole header (Hunt lets go of one once it
  // is whole; a request's is taken as soon as it is), which is then a frame's, its colours at the
  // front of the storage.
  if (payload_left_ != 0) {
    const std::size_t stored = std::min(payload_size_ - payload_left_, storage_.size_bytes());
    return {led_count_, false, false, {StorageBytes(), stored}, candidate_};
  }
  if (header_size_ != kAdalightHeaderSize) {
    return {0, false, false, {}, candidate_};
  }
  const auto variant = adalight::LettersOf(header_.data(), 3);
  return {adalight::CountField(header_.data()),
          variant == adalight::Variant::kRgbw,
          variant == adalight::Variant::kCalibrated,
          {StorageBytes() + held_from_, std::min(held_size_, colour_bytes_)},
          candidate_};
}

}  // namespace ledcolor
