#include <algorithm>
#include <cstring>
#include <optional>

#include "ledcolor/adalight.h"
#include "ledcolor/adalight/check_sums.h"
#include "ledcolor/adalight/header.h"

namespace ledcolor {

bool DecodeAdalightFrame(std::span<const std::uint8_t> frame, std::span<Rgb> storage,
                         AdalightReader::Result& out) noexcept {
  using Kind = adalight::Judgement::Kind;
  if (frame.size() < kAdalightHeaderSize) {
    return false;
  }
  const adalight::Judgement judged =
      adalight::JudgeChecked(frame.data(), kAdalightHeaderSize, storage.size_bytes());
  if (judged.kind == Kind::kRequest) {
    out = {kAdalightHeaderSize, 0, {}, {}, {}, judged.request};
    return true;
  }
  if (judged.kind != Kind::kFrame) {
    return false;
  }
  const std::size_t colour_bytes = adalight::ColourBytes(judged.variant, judged.led_count);
  const bool calibrated = judged.variant == adalight::Variant::kCalibrated;
  const std::size_t payload = colour_bytes + (calibrated ? kAdalightCalibrationSize : 0);
  const std::size_t size = kAdalightHeaderSize + payload + kAdalightCheckSize;
  if (frame.size() < size) {
    return false;
  }
  // Checked where the bytes lie, and the calibration read, before anything is written: the
  // storage may overlap the frame.
  const auto check = adalight::CheckBytes(frame.subspan(kAdalightHeaderSize, payload));
  if (!std::equal(check.begin(), check.end(),
                  frame.begin() + static_cast<std::ptrdiff_t>(size) -
                      static_cast<std::ptrdiff_t>(check.size()))) {
    return false;
  }
  std::optional<WhiteCalibration> calibration;
  if (calibrated) {
    const std::uint8_t* c = frame.data() + kAdalightHeaderSize + colour_bytes;
    calibration = WhiteCalibration{c[0], c[1], c[2], c[3]};
  }
  std::memmove(storage.data(), frame.data() + kAdalightHeaderSize, colour_bytes);
  out = {size, judged.led_count, {}, {}, calibration, HostRequest::kNone};
  if (judged.variant == adalight::Variant::kRgbw) {
    out.leds_rgbw = {reinterpret_cast<const Rgbw*>(storage.data()), judged.led_count};
  } else {
    out.leds = storage.first(judged.led_count);
  }
  return true;
}

}  // namespace ledcolor
