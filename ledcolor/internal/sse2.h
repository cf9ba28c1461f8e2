// Whether the SSE2 kernels are built: on every x86-64 target, where SSE2 is baseline, and on 32-bit
// x86 when the compiler is told it may use it. Internal: not installed.
#pragma once

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define LEDCOLOR_SSE2 1
#endif
