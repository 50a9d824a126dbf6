// A target region: the part of a source file compiled for a vector unit the baseline
// processor lacks. Every function defined between LOTRIX_BEGIN_TARGET_REGION("features")
// and LOTRIX_END_TARGET_REGION may use those features, so the inlined helpers and the
// loops that call them agree without an attribute on each. Such code runs only where the
// processor was asked first. The standard headers and the intrinsics' header are included
// before the region, so that nothing of theirs is compiled for the vector unit by accident.
#pragma once

// Pragmas cannot be written by a constant: these are the program's only macros of code.
#define LOTRIX_PRAGMA(text) _Pragma(#text)
#if defined(__clang__)
#define LOTRIX_BEGIN_TARGET_REGION(features) \
    LOTRIX_PRAGMA(clang attribute push(__attribute__((target(features))), apply_to = function))
#define LOTRIX_END_TARGET_REGION LOTRIX_PRAGMA(clang attribute pop)
#else
#define LOTRIX_BEGIN_TARGET_REGION(features) \
    LOTRIX_PRAGMA(GCC push_options) LOTRIX_PRAGMA(GCC target(features))
#define LOTRIX_END_TARGET_REGION LOTRIX_PRAGMA(GCC pop_options)
#endif
