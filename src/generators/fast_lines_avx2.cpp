// The AVX2 path: eight generator lanes, the digits of eight numbers by multiply-and-shift,
// blanks and signs by offsets looked up by the count of leading zeros, and each number's
// 16 bytes gathered by a transposition and a shuffle; choice 2's reals four at a time.
// The rows' loops are the shared ones (fast_lines_rows.inc); this file has AVX2's own
// operations. Compiled for AVX2 (the rest of the program stays baseline x86-64) and
// chosen only where the processor has it.
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#include "generators/compat.hpp"
#include "generators/digits.hpp"
#include "generators/fast_lines.hpp"
#include "generators/field_offsets.hpp"
#include "generators/minimal_standard.hpp"
#include "generators/unit_real.hpp"
#include "generators/vector_target.hpp"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

LOTRIX_BEGIN_TARGET(avx2, "avx2,fma", "AVX2")

using Vector = __m256i;
using Negatives = __m256i;  // all ones in the lanes of negative values
using Sixteen = __m128i;
constexpr int kLanes = 8;
constexpr bool kHasReals = true;

// clang-format off
inline Vector MulHi16(Vector a, Vector b) { return _mm256_mulhi_epu16(a, b); }
inline Vector Madd16(Vector a, Vector b) { return _mm256_madd_epi16(a, b); }
inline Vector Abs32(Vector a) { return _mm256_abs_epi32(a); }
inline Vector MulEven32(Vector a, Vector b) { return _mm256_mul_epu32(a, b); }
inline Vector InterleaveLow16(Vector a, Vector b) { return _mm256_unpacklo_epi16(a, b); }
inline Vector InterleaveHigh16(Vector a, Vector b) { return _mm256_unpackhi_epi16(a, b); }
inline Vector JoinEvenOdd(Vector even, Vector odd) { return _mm256_blend_epi32(even, odd, 0xAA); }
inline Negatives NegativeLanes(Vector v) { return _mm256_cmpgt_epi32(_mm256_setzero_si256(), v); }
inline Negatives NoNegatives() { return _mm256_setzero_si256(); }
template <int kLane> Sixteen Lane128(Vector v) { return _mm256_extracti128_si256(v, kLane); }
// clang-format on

// A constant the compiler may not see through: it would turn a multiplication by it into
// a longer chain of shifts and additions, which costs the vector unit more.
inline Vector KeptInRegister(Vector constant) {
    asm("" : "+x"(constant));
    return constant;
}

#include "generators/fast_lines_digits.inc"

// The offsets of each vector (see field_offsets.hpp) for the eight table entries. The head
// and top bytes are the same for 7 leading zeros and more, the others for 2 and fewer, so
// head and top take min(zeros, 7), hundreds and rest max(zeros - 2, 0).
using OffsetTables = std::array<std::array<std::uint32_t, 8>, 4>;
constexpr OffsetTables MakeOffsets(char sign) {
    OffsetTables tables{};
    for (int vector = 0; vector < 4; ++vector) {
        for (int entry = 0; entry < 8; ++entry) {
            const int zeros = vector < 2 ? entry : entry + 2;
            tables[static_cast<std::size_t>(vector)][static_cast<std::size_t>(entry)] =
                FieldOffsets(static_cast<FieldVector>(vector), zeros, sign);
        }
    }
    return tables;
}
constexpr OffsetTables kUnsignedOffsets = MakeOffsets(' ');
constexpr OffsetTables kPlusOffsets = MakeOffsets('+');
constexpr OffsetTables kMinusOffsets = MakeOffsets('-');

template <RowSigns kSigns>
[[gnu::always_inline]] inline Vector OffsetsOf(std::size_t vector, Vector entry,
                                               Negatives negative) {
    const Vector plus = _mm256_permutevar8x32_epi32(Load(&kPlusOffsets[vector]), entry);
    if constexpr (kSigns == RowSigns::none)
        return _mm256_permutevar8x32_epi32(Load(&kUnsignedOffsets[vector]), entry);
    if constexpr (kSigns == RowSigns::plus) return plus;
    return _mm256_blendv_epi8(
        plus, _mm256_permutevar8x32_epi32(Load(&kMinusOffsets[vector]), entry), negative);
}

template <RowSigns kSigns>
[[gnu::always_inline]] inline FieldVectors Offsets(Vector magnitude, Negatives negative) {
    // How many leading places are zeros, 9 - #{k : magnitude >= 10^k}, compared unsigned.
    const Vector flip = Splat32(0x80000000u);
    const Vector flipped = _mm256_xor_si256(magnitude, flip);
    Vector zeros = Splat32(9);
    std::uint32_t power = 10;
    for (int k = 1; k <= 9; ++k, power *= 10) {
        const Vector below = _mm256_xor_si256(Splat32(power - 1), flip);
        zeros = Add32(zeros, _mm256_cmpgt_epi32(flipped, below));  // -1 where above
    }
    const Vector upper = MinU32(zeros, Splat32(7));
    const Vector lower = _mm256_subs_epu16(zeros, Splat32(2));
    return {OffsetsOf<kSigns>(0, upper, negative), OffsetsOf<kSigns>(1, upper, negative),
            OffsetsOf<kSigns>(2, lower, negative), OffsetsOf<kSigns>(3, lower, negative)};
}

// Each number's 16 bytes together (a 4 x 4 transposition in each 128-bit lane), then in
// the line's order: head 0-1, top 0-1, hundreds 0-1, rest 0-1, hundreds 2-3, rest 2-3, the
// line end. Each line is stored as 16 bytes: up to 3 bytes past the last line are
// overwritten.
template <int kLineEndSize>
[[gnu::always_inline]] inline void StoreLines(char* out, const FieldVectors& lines) {
    const Vector headsTops01 = _mm256_unpacklo_epi32(lines.head, lines.top);
    const Vector headsTops23 = _mm256_unpackhi_epi32(lines.head, lines.top);
    const Vector pairs01 = _mm256_unpacklo_epi32(lines.hundreds, lines.rest);
    const Vector pairs23 = _mm256_unpackhi_epi32(lines.hundreds, lines.rest);
    const Vector order = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 10, 11, 14, 15, 6, 7, 7, 7, 0,
                                          1, 4, 5, 8, 9, 12, 13, 10, 11, 14, 15, 6, 7, 7, 7);
    const Vector numbers[4] = {
        _mm256_shuffle_epi8(_mm256_unpacklo_epi64(headsTops01, pairs01), order),
        _mm256_shuffle_epi8(_mm256_unpackhi_epi64(headsTops01, pairs01), order),
        _mm256_shuffle_epi8(_mm256_unpacklo_epi64(headsTops23, pairs23), order),
        _mm256_shuffle_epi8(_mm256_unpackhi_epi64(headsTops23, pairs23), order)};
    constexpr int kLength = kFieldWidth + kLineEndSize;
    for (int i = 0; i < 4; ++i)  // in order: each store overwrites the one before's spare
        StoreSixteen(out + i * kLength, _mm256_castsi256_si128(numbers[i]));
    for (int i = 0; i < 4; ++i)
        StoreSixteen(out + (4 + i) * kLength, Lane128<1>(numbers[i]));
}
static_assert(16 - kFieldWidth - 1 <= kSpill);

// Choice 2, four values at a time, as the AVX-512 path makes them (see there), with the
// conversions AVX2 lacks made by hand: a double from 2^53 up is its significand shifted
// left by its exponent, and a small whole double is the low bits of itself plus 1.5 * 2^52.
// `usable` has a bit for each value the short way takes.
struct FourReals {
    Vector first, middle, low;                     // 64-bit lanes
    std::uint32_t fromE3, fromE2, fromE1, usable;  // a bit a number
};

[[gnu::always_inline]] inline FourReals FourRealsFrom(__m128i steps) {
    const __m256d x = _mm256_mul_pd(_mm256_cvtepi32_pd(steps), _mm256_set1_pd(kUnitScale));
    const __m256d fromE4 = _mm256_cmp_pd(x, _mm256_set1_pd(0.0001), _CMP_GE_OQ);
    const __m256d fromE3 = _mm256_cmp_pd(x, _mm256_set1_pd(0.001), _CMP_GE_OQ);
    const __m256d fromE2 = _mm256_cmp_pd(x, _mm256_set1_pd(0.01), _CMP_GE_OQ);
    const __m256d fromE1 = _mm256_cmp_pd(x, _mm256_set1_pd(0.1), _CMP_GE_OQ);
    __m256d power = _mm256_blendv_pd(_mm256_set1_pd(1e20), _mm256_set1_pd(1e19), fromE3);
    power = _mm256_blendv_pd(power, _mm256_set1_pd(1e18), fromE2);
    power = _mm256_blendv_pd(power, _mm256_set1_pd(1e17), fromE1);
    const __m256d high = _mm256_mul_pd(x, power);
    const __m256d error = _mm256_fmsub_pd(x, power, high);
    __m256d rounded = _mm256_round_pd(error, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    const __m256d half =
        _mm256_cmp_pd(_mm256_sub_pd(error, rounded), _mm256_set1_pd(0.5), _CMP_EQ_OQ);
    rounded = _mm256_add_pd(rounded, _mm256_and_pd(half, _mm256_set1_pd(1.0)));
    const Vector bits = _mm256_castpd_si256(high);
    const Vector significand =
        Or(And(bits, Splat64((std::uint64_t{1} << 52) - 1)), Splat64(std::uint64_t{1} << 52));
    const Vector shift = Sub64(ShiftRight64<52>(bits), Splat64(1075));
    const __m256d magic = _mm256_set1_pd(6755399441055744.0);  // 1.5 * 2^52
    const Vector scaled = Add64(
        _mm256_sllv_epi64(significand, shift),
        Sub64(_mm256_castpd_si256(_mm256_add_pd(rounded, magic)), _mm256_castpd_si256(magic)));
    const Vector usable =
        And(_mm256_castpd_si256(fromE4),
            _mm256_andnot_si256(GreaterThan64(Splat64(10'000'000'000'000'000), scaled),
                                GreaterThan64(Splat64(100'000'000'000'000'000), scaled)));
    // scaled = q * 10^8 + low: the quotient estimated in doubles is off by one at most.
    const Vector ten8 = Splat64(100'000'000);
    Vector q = _mm256_cvtepi32_epi64(
        _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_add_pd(high, rounded), _mm256_set1_pd(1e-8))));
    Vector low = Sub64(scaled, MulEven32(q, ten8));
    const Vector under = GreaterThan64(_mm256_setzero_si256(), low);
    q = Add64(q, under);
    low = Add64(low, And(under, ten8));
    const Vector over = GreaterThan64(low, Splat64(100'000'000 - 1));
    q = Sub64(q, over);
    low = Sub64(low, And(over, ten8));
    const Vector first = ShiftRight64<57>(MulEven32(q, Splat64(1441151881)));
    const Vector middle = Sub64(q, MulEven32(first, ten8));
    const auto mask = [](__m256d lanes) {
        return static_cast<std::uint32_t>(_mm256_movemask_pd(lanes));
    };
    return {first,
            middle,
            low,
            mask(fromE3),
            mask(fromE2),
            mask(fromE1),
            mask(_mm256_castsi256_pd(usable))};
}

// The digits of four values the short way takes, made only when they are written.
[[gnu::always_inline]] inline RealGroup ToRealGroup(const FourReals& reals) {
    // The first digits, byte 0 of each 64-bit lane, gathered into bytes 0-3.
    const Vector gathered = _mm256_shuffle_epi8(
        Or(reals.first, Splat64('0')),
        _mm256_setr_epi8(0, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 8,
                         -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1));
    const auto firsts = static_cast<std::uint32_t>(
        _mm_cvtsi128_si32(_mm_or_si128(_mm256_castsi256_si128(gathered), Lane128<1>(gathered))));
    const SixteenDigits digits = DigitsAfterTheFirst(reals.middle, reals.low);
    const auto nonZero = [](Vector text) {
        return ~static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(text, Splat8('0'))));
    };
    return {digits,       {nonZero(digits.even), nonZero(digits.odd)},
            firsts,       reals.fromE3,
            reals.fromE2, reals.fromE1};
}

// Eight lines of choice 2 for eight steps; a group with a value the short way does not
// take (one in about a thousand) is written by the scalar reference.
template <int kLineEndSize>
[[gnu::always_inline]] inline char* WriteReals(char* out, Vector steps, std::string_view lineEnd) {
    const FourReals first = FourRealsFrom(_mm256_castsi256_si128(steps));
    const FourReals second = FourRealsFrom(Lane128<1>(steps));
    if ((first.usable & second.usable) != 0xF) {
        alignas(32) std::int32_t values[8];
        _mm256_store_si256(reinterpret_cast<Vector*>(values), steps);
        return WriteRealLines(out, values, 8, lineEnd);
    }
    constexpr auto kFour = std::make_integer_sequence<int, 4>{};
    out = WriteRealGroup<kLineEndSize>(out, ToRealGroup(first), lineEnd, kFour);
    return WriteRealGroup<kLineEndSize>(out, ToRealGroup(second), lineEnd, kFour);
}

#include "generators/fast_lines_rows.inc"

LOTRIX_END_TARGET(kAvx2Path)

#else  // no x86 vector unit known here: the portable path only

namespace lotrix {
constinit const Path kAvx2Path{"AVX2", "", 8, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
}

#endif
