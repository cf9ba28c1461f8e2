// The firmware's parts. Main runs once the clocks are set and the image is in SRAM.
#pragma once

namespace firmware {

[[noreturn]] void Main();

}  // namespace firmware
