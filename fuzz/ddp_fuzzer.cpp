// The DDP decoder on fuzzer-chosen datagrams, held to the field-by-field reference, and what it
// decodes fed to a FrameAssembler held to the model of its rules (net_fuzz.h).
#include <cstddef>
#include <cstdint>

#include "net_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return ledcolor_fuzzing::FuzzNet(data, size, ledcolor_fuzzing::Protocol::kDdp);
}
