// The x86 intrinsics' header, for x86-64 builds with GCC or clang: GCC 12's AVX-512 part
// starts some results from a self-initialised "undefined" vector, which its own flow
// analysis then reports as uninitialised; those reports are silenced here, for it alone.
#pragma once

#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
