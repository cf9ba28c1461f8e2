#include <cstring>

#include "ledcolor/adalight/check_sums.h"
#include "ledcolor/adalight/header.h"

namespace ledcolor::adalight {

void WriteChecked(std::span<const std::uint8_t> row, bool overlap, const std::uint8_t (&magic)[3],
                  std::size_t led_count, std::span<const std::uint8_t> extra,
                  std::uint8_t* frame) noexcept {
  // A row apart from the frame is copied and summed in one pass. A row that overlaps it is moved
  // first, whole before the header can overwrite any of it, and summed where it landed. What
  // follows the colours (an "AwA" frame's calibration) is summed with them.
  std::uint8_t* colours = frame + kAdalightHeaderSize;
  CheckSums sums;
  if (overlap) {
    std::memmove(colours, row.data(), row.size());
    sums.Add({colours, row.size()});
  } else {
    sums.Add(row, colours);
  }
  if (!extra.empty()) {  // an empty span's data may be null, which memcpy must not get
    std::memcpy(colours + row.size(), extra.data(), extra.size());
    sums.Add(extra);
  }
  WriteHeader(frame, magic, led_count);
  const auto check = sums.Bytes();
  std::memcpy(colours + row.size() + extra.size(), check.data(), check.size());
}

}  // namespace ledcolor::adalight
