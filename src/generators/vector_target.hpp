// A target: the part of a source file compiled for a vector unit the baseline processor
// lacks, and the path it makes. Each target is named in one place,
//     LOTRIX_BEGIN_TARGET(namespace, "features", "name") ... LOTRIX_END_TARGET(kPathName)
// which opens its target region for those features and its namespace lotrix::namespace,
// defines kFeatures (the same string: the processor is asked for exactly what the code was
// compiled for) and kName, and at the end makes lotrix::kPathName its path (kTargetPath,
// fast_lines_rows.inc). Every function defined in between may use those features, so the
// inlined helpers and the loops that call them agree without an attribute on each; such
// code runs only where the processor was asked first. The standard headers and the
// intrinsics' header are included before the target, so that nothing of theirs is compiled
// for the vector unit by accident. A target built as plain code (LOTRIX_EMULATE_AVX512,
// its intrinsics emulated) has no region and asks nothing.
#pragma once

#include <string_view>

#include "generators/fast_lines.hpp"

// Pragmas cannot be written by a constant, nor namespaces opened by one: these are the
// program's only macros of code.
#define LOTRIX_PRAGMA(text) _Pragma(#text)
#if defined(LOTRIX_EMULATE_AVX512)
#define LOTRIX_BEGIN_TARGET_REGION(features)
#define LOTRIX_END_TARGET_REGION
#elif defined(__clang__)
#define LOTRIX_BEGIN_TARGET_REGION(features) \
    LOTRIX_PRAGMA(clang attribute push(__attribute__((target(features))), apply_to = function))
#define LOTRIX_END_TARGET_REGION LOTRIX_PRAGMA(clang attribute pop)
#else
#define LOTRIX_BEGIN_TARGET_REGION(features) \
    LOTRIX_PRAGMA(GCC push_options) LOTRIX_PRAGMA(GCC target(features))
#define LOTRIX_END_TARGET_REGION LOTRIX_PRAGMA(GCC pop_options)
#endif

#define LOTRIX_BEGIN_TARGET(space, features, name)                    \
    namespace lotrix::space {}                                        \
    namespace lotrix {                                                \
    namespace this_target = space;                                    \
    }                                                                 \
    LOTRIX_BEGIN_TARGET_REGION(features)                              \
    namespace lotrix::space {                                         \
    namespace {                                                       \
    [[maybe_unused]] constexpr std::string_view kFeatures = features; \
    [[maybe_unused]] constexpr const char* kName = name;

#define LOTRIX_END_TARGET(pathName)                           \
    }                                                         \
    }                                                         \
    LOTRIX_END_TARGET_REGION                                  \
    namespace lotrix {                                        \
    constinit const Path pathName = this_target::kTargetPath; \
    }
