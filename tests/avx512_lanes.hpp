// The AVX-512 operations the emulated build writes itself, as tables of plain functions
// over 64-byte inputs, so that a test can hold each emulated operation against the
// processor's own instructions: AVX-512 where it has them, and otherwise the AVX2, FMA,
// SSE2 and LZCNT instructions that do the same to fewer lanes at a time (or, for the two
// with none, the instruction set reference's words as code).
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace lotrix::lanes {

using Bytes = std::array<std::uint8_t, 64>;  // one 512-bit operand or result (a mask in bytes 0-7)

struct LaneOp {
    std::string_view name;
    Bytes (*run)(const Bytes& a, const Bytes& b, const Bytes& c);
    bool doubles;  // its result's lanes are doubles: any NaN equals any other
};
constexpr std::size_t kLaneOps = 16;
using LaneOps = std::array<LaneOp, kLaneOps>;

// The emulated build's operations (each as the path calls it), the native AVX-512 ones,
// the narrower processors' equivalents; and what the latter two ask of the processor.
extern const LaneOps kEmulatedOps;
extern const LaneOps kAvx512Ops;
extern const LaneOps kEquivalentOps;
constexpr std::string_view kAvx512Features = "avx512f,avx512bw,avx512dq,avx512cd";
constexpr std::string_view kEquivalentFeatures = "avx2,fma,lzcnt";

// A value of type T from the bytes at `at`, and a value's bytes as a result.
template <typename T>
T From(const Bytes& bytes, std::size_t at = 0) {
    T v;
    std::memcpy(&v, bytes.data() + at, sizeof v);
    return v;
}
template <typename T>
Bytes Out(const T& v) {
    Bytes bytes{};
    std::memcpy(bytes.data(), &v, sizeof v);
    return bytes;
}

// A table's entry: the operation's name, `expression` of the operands a, b and c, and
// whether its lanes are doubles. A macro, so that each entry is one line; LOTRIX_COMMA
// stands for a comma inside template arguments.
#define LOTRIX_COMMA ,
#define LOTRIX_OP(name, expression, doubles)                     \
    LaneOp {                                                     \
        name,                                                    \
            [](const Bytes& a, const Bytes& b, const Bytes& c) { \
                (void)a, (void)b, (void)c;                       \
                return expression;                               \
            },                                                   \
            doubles                                              \
    }

}  // namespace lotrix::lanes
