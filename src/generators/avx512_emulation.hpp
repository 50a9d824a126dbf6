// AVX-512 as plain code, for the emulated build only (LOTRIX_EMULATE_AVX512): SIMD
// Everywhere's portable intrinsics under their native names, and, written here lane by lane
// from the instruction set reference, the ones it lacks or gets wrong. Its multiply-add of
// 16-bit pairs is declared with the masked form's four arguments, and its fused
// multiply-subtract, without an FMA unit, rounds the product before subtracting, which
// loses the very error term choice 2's digits are made from.
//
// Every operation here gives each lane exactly the instruction's result (on the default
// rounding mode), so the path built on them writes the bytes the real one writes.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#define SIMDE_ENABLE_NATIVE_ALIASES
#include <simde/x86/avx512.h>

#undef _mm512_madd_epi16
#undef _mm512_fmsub_pd

namespace lotrix::avx512_emulation {

// The names SIMD Everywhere does not give under their native spelling.
using __mmask8 = simde__mmask8;
using __mmask16 = simde__mmask16;
using __mmask64 = simde__mmask64;
constexpr int _MM_FROUND_NO_EXC = SIMDE_MM_FROUND_NO_EXC;

// A vector's lanes as an array of `Lane` (lane i at bytes i * sizeof(Lane), as on x86), and back.
template <typename Lane, typename Vector>
std::array<Lane, sizeof(Vector) / sizeof(Lane)> LanesOf(const Vector& v) {
    std::array<Lane, sizeof(Vector) / sizeof(Lane)> lanes;
    std::memcpy(lanes.data(), &v, sizeof v);
    return lanes;
}
template <typename Vector, typename Lanes>
Vector VectorOf(const Lanes& lanes) {
    static_assert(sizeof(Lanes) == sizeof(Vector));
    Vector v;
    std::memcpy(&v, lanes.data(), sizeof v);
    return v;
}

// A mask with bit i set where `holds(a[i], b[i])`.
template <typename Mask, typename Lane, typename Holds>
Mask CompareLanes(const simde__m512i& a, const simde__m512i& b, Holds holds) {
    const auto x = LanesOf<Lane>(a), y = LanesOf<Lane>(b);
    Mask mask = 0;
    for (std::size_t i = 0; i < x.size(); ++i)
        if (holds(x[i], y[i])) mask = static_cast<Mask>(mask | Mask{1} << i);
    return mask;
}

inline simde__mmask16 _mm512_cmpgt_epu32_mask(simde__m512i a, simde__m512i b) {
    return CompareLanes<simde__mmask16, std::uint32_t>(a, b, [](auto x, auto y) { return x > y; });
}
inline simde__mmask16 _mm512_cmplt_epi32_mask(simde__m512i a, simde__m512i b) {
    return CompareLanes<simde__mmask16, std::int32_t>(a, b, [](auto x, auto y) { return x < y; });
}
inline simde__mmask8 _mm512_cmplt_epi64_mask(simde__m512i a, simde__m512i b) {
    return CompareLanes<simde__mmask8, std::int64_t>(a, b, [](auto x, auto y) { return x < y; });
}
inline simde__mmask64 _mm512_cmpneq_epi8_mask(simde__m512i a, simde__m512i b) {
    return CompareLanes<simde__mmask64, std::uint8_t>(a, b, [](auto x, auto y) { return x != y; });
}

// Each lane of `a` through `f`, into a vector of `Out` lanes of as many lanes.
template <typename Result, typename Out, typename In, typename Vector, typename F>
Result MapLanes(const Vector& a, F f) {
    const auto in = LanesOf<In>(a);
    std::array<Out, sizeof(Result) / sizeof(Out)> out{};
    for (std::size_t i = 0; i < in.size(); ++i)
        out[i] = f(in[i]);
    return VectorOf<Result>(out);
}

inline simde__m512d _mm512_cvtepi32_pd(simde__m256i a) {
    return MapLanes<simde__m512d, double, std::int32_t>(
        a, [](std::int32_t x) { return static_cast<double>(x); });
}
inline simde__m512d _mm512_cvtepi64_pd(simde__m512i a) {
    return MapLanes<simde__m512d, double, std::int64_t>(
        a, [](std::int64_t x) { return static_cast<double>(x); });  // rounded to nearest
}
// The eight 64-bit lanes cut to their low bytes, in bytes 0-7; bytes 8-15 are zero.
inline simde__m128i _mm512_cvtepi64_epi8(simde__m512i a) {
    const auto in = LanesOf<std::uint64_t>(a);
    std::array<std::uint8_t, 16> out{};
    for (std::size_t i = 0; i < in.size(); ++i)
        out[i] = static_cast<std::uint8_t>(in[i]);
    return VectorOf<simde__m128i>(out);
}

// A double to a 64-bit integer, rounded by `round`; beyond the range (and NaN) the
// instruction's "integer indefinite", the smallest 64-bit value.
template <typename Round>
std::int64_t ToInt64(double x, Round round) {
    if (!(x >= -0x1p63 && x < 0x1p63)) return INT64_MIN;
    return static_cast<std::int64_t>(round(x));
}
inline simde__m512i _mm512_cvtpd_epi64(simde__m512d a) {  // to nearest, ties to even
    return MapLanes<simde__m512i, std::int64_t, double>(
        a, [](double x) { return ToInt64(x, [](double y) { return std::nearbyint(y); }); });
}
inline simde__m512i _mm512_cvttpd_epi64(simde__m512d a) {  // towards zero
    return MapLanes<simde__m512i, std::int64_t, double>(
        a, [](double x) { return ToInt64(x, [](double y) { return std::trunc(y); }); });
}

inline simde__m512i _mm512_lzcnt_epi32(simde__m512i a) {
    return MapLanes<simde__m512i, std::uint32_t, std::uint32_t>(
        a, [](std::uint32_t x) { return static_cast<std::uint32_t>(std::countl_zero(x)); });
}

// The lanes of `a` and `b` pairwise through `f`.
template <typename Lane, typename Vector, typename F>
Vector ZipLanes(const Vector& a, const Vector& b, F f) {
    const auto x = LanesOf<Lane>(a), y = LanesOf<Lane>(b);
    std::array<Lane, x.size()> out{};
    for (std::size_t i = 0; i < x.size(); ++i)
        out[i] = f(x[i], y[i]);
    return VectorOf<Vector>(out);
}

inline simde__m512i _mm512_mulhi_epu16(simde__m512i a, simde__m512i b) {
    return ZipLanes<std::uint16_t>(a, b, [](std::uint16_t x, std::uint16_t y) {
        return static_cast<std::uint16_t>(std::uint32_t{x} * y >> 16);
    });
}

inline simde__m512d _mm512_fmsub_pd(simde__m512d a, simde__m512d b, simde__m512d c) {
    const auto z = LanesOf<double>(c);
    std::size_t i = 0;
    return ZipLanes<double>(a, b, [&](double x, double y) { return std::fma(x, y, -z[i++]); });
}

// Lane i: a[2i] * b[2i] + a[2i + 1] * b[2i + 1], signed 16-bit pairs to 32 bits; the one
// sum beyond 32 bits (four times -32768) wraps, as the instruction's does.
inline simde__m512i _mm512_madd_epi16(simde__m512i a, simde__m512i b) {
    const auto x = LanesOf<std::int16_t>(a), y = LanesOf<std::int16_t>(b);
    std::array<std::uint32_t, 16> out{};
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::int64_t sum =
            std::int64_t{x[2 * i]} * y[2 * i] + std::int64_t{x[2 * i + 1]} * y[2 * i + 1];
        out[i] = static_cast<std::uint32_t>(sum);
    }
    return VectorOf<simde__m512i>(out);
}

// 128-bit lanes: the result's 0 and 1 from `a`, 2 and 3 from `b`, each chosen by two bits
// of `control`.
inline simde__m512i _mm512_shuffle_i64x2(simde__m512i a, simde__m512i b, int control) {
    const auto x = LanesOf<std::array<std::uint64_t, 2>>(a);
    const auto y = LanesOf<std::array<std::uint64_t, 2>>(b);
    const auto pick = [control](int i) { return static_cast<std::size_t>(control >> (2 * i) & 3); };
    return VectorOf<simde__m512i>(std::array<std::array<std::uint64_t, 2>, 4>{
        x[pick(0)], x[pick(1)], y[pick(2)], y[pick(3)]});
}

}  // namespace lotrix::avx512_emulation

using namespace lotrix::avx512_emulation;  // NOLINT: the intrinsics' own names, unqualified
