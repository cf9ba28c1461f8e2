// What every fuzz target stops on: a broken promise aborts, which libFuzzer reports with the input.
#pragma once

#include <cstdlib>

namespace ledcolor_fuzzing {

inline void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace ledcolor_fuzzing
