// The AVX2 path of the integer rows' lines: eight generator lanes, the digits of eight
// numbers by multiply-and-shift, blanks and signs by offsets looked up by the count of
// leading zeros, and each number's 16 bytes gathered by a transposition and a shuffle.
// Compiled for AVX2 function by function (the rest of the program stays baseline x86-64)
// and chosen only where the processor has it.
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#include "generators/compat.hpp"
#include "generators/digits.hpp"
#include "generators/fast_lines.hpp"
#include "generators/field_offsets.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "generators/unit_real.hpp"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

namespace lotrix {
namespace {

#define LOTRIX_AVX2 [[gnu::target("avx2,fma"), gnu::always_inline]] inline

// The products of the even and of the odd 32-bit lanes of v with m, as 64-bit lanes.
struct Products {
    __m256i even, odd;
};
LOTRIX_AVX2 Products MultiplyLanes(__m256i v, __m256i m) {
    return {_mm256_mul_epu32(v, m), _mm256_mul_epu32(_mm256_srli_epi64(v, 32), m)};
}
// The low 32 bits of the even and odd 64-bit results, back in lane order.
LOTRIX_AVX2 __m256i JoinLanes(__m256i even, __m256i odd) {
    return _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
}

// A constant the compiler may not see through: it would turn a multiplication by it into
// a longer chain of shifts and additions, which costs the vector unit more.
LOTRIX_AVX2 __m256i Opaque(__m256i constant) {
    asm("" : "+x"(constant));
    return constant;
}

// The two decimal digits of each 16-bit lane x < 100 as bytes 0-9, tens first: with
// t = x / 10, 256 * (x - 10t) + t = 256x - 2559t.
LOTRIX_AVX2 __m256i DigitPairs(__m256i x) {
    const __m256i tens = _mm256_mulhi_epu16(x, _mm256_set1_epi16(6554));  // exact below 100
    return _mm256_sub_epi16(_mm256_slli_epi16(x, 8),
                            _mm256_mullo_epi16(tens, Opaque(_mm256_set1_epi16(2559))));
}

// Two four-digit numbers in the 16-bit halves of each lane (`low` the first, `high` the
// second), as the byte pairs of their hundreds and of the rest, digits 0-9, tens first.
struct FourDigitPairs {
    __m256i hundreds, rest;
};
LOTRIX_AVX2 FourDigitPairs SplitFours(__m256i low, __m256i high) {
    const __m256i fours = _mm256_or_si256(low, _mm256_slli_epi32(high, 16));
    const __m256i hundreds =
        _mm256_srli_epi16(_mm256_mulhi_epu16(fours, _mm256_set1_epi16(5243)), 3);
    const __m256i rest =
        _mm256_sub_epi16(fours, _mm256_mullo_epi16(hundreds, Opaque(_mm256_set1_epi16(100))));
    return {DigitPairs(hundreds), DigitPairs(rest)};
}

// What stands before the digits: no sign, '+' on every line, or either.
enum class Signs { none, plus, mixed };

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

LOTRIX_AVX2 __m256i Load(const std::array<std::uint32_t, 8>& words) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words.data()));
}

template <Signs kSigns>
LOTRIX_AVX2 __m256i Offsets(std::size_t vector, __m256i entry, __m256i negative) {
    if constexpr (kSigns == Signs::none) {
        return _mm256_permutevar8x32_epi32(Load(kUnsignedOffsets[vector]), entry);
    } else if constexpr (kSigns == Signs::plus) {
        return _mm256_permutevar8x32_epi32(Load(kPlusOffsets[vector]), entry);
    } else {
        return _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(Load(kPlusOffsets[vector]), entry),
                                  _mm256_permutevar8x32_epi32(Load(kMinusOffsets[vector]), entry),
                                  negative);
    }
}

// Eight lines of the field format, as WriteFieldLine makes them, for magnitudes below 2^32
// and, on signed rows, the lanes of the negative ones set. Each line is stored as 16
// bytes: up to 3 bytes past the last line are overwritten.
template <Signs kSigns, int kLineEndSize>
LOTRIX_AVX2 void WriteEightLines(char* out, __m256i magnitude, __m256i negative,
                                 std::uint32_t lineEnd) {
    // q = magnitude / 10^4 = (magnitude * ceil(2^45 / 10^4)) >> 45, even and odd lanes apart.
    const Products p = MultiplyLanes(magnitude, _mm256_set1_epi64x(3518437209));
    const __m256i q =
        _mm256_blend_epi32(_mm256_srli_epi64(p.even, 45), _mm256_srli_epi64(p.odd, 13), 0xAA);
    const __m256i units =
        _mm256_sub_epi32(magnitude, _mm256_mullo_epi32(q, Opaque(_mm256_set1_epi32(10000))));
    // top = q / 10^4 = (q >> 4) / 625, in the low 16-bit half; the high half stays zero.
    const __m256i top =
        _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_srli_epi32(q, 4), _mm256_set1_epi32(53688)), 9);
    const __m256i middle =
        _mm256_sub_epi32(q, _mm256_madd_epi16(top, Opaque(_mm256_set1_epi32(10000))));
    const FourDigitPairs pairs = SplitFours(middle, units);
    // How many leading places are zeros, 9 - #{k : magnitude >= 10^k}, compared unsigned.
    const __m256i flip = _mm256_set1_epi32(static_cast<int>(0x80000000u));
    const __m256i flipped = _mm256_xor_si256(magnitude, flip);
    __m256i zeros = _mm256_set1_epi32(9);
    std::uint32_t power = 10;
    for (int k = 1; k <= 9; ++k, power *= 10) {
        const __m256i below =
            _mm256_xor_si256(_mm256_set1_epi32(static_cast<int>(power - 1)), flip);
        zeros = _mm256_add_epi32(zeros, _mm256_cmpgt_epi32(flipped, below));  // -1 where above
    }
    const __m256i upper = _mm256_min_epu32(zeros, _mm256_set1_epi32(7));
    const __m256i lower = _mm256_subs_epu16(zeros, _mm256_set1_epi32(2));
    const __m256i head = Offsets<kSigns>(0, upper, negative);
    const __m256i topLine = _mm256_add_epi8(
        _mm256_or_si256(_mm256_and_si256(DigitPairs(top), _mm256_set1_epi32(0xFFFF)),
                        _mm256_set1_epi32(static_cast<int>(lineEnd << 16))),
        Offsets<kSigns>(1, upper, negative));
    const __m256i hundredsLine =
        _mm256_add_epi8(pairs.hundreds, Offsets<kSigns>(2, lower, negative));
    const __m256i restLine = _mm256_add_epi8(pairs.rest, Offsets<kSigns>(3, lower, negative));
    // Each number's 16 bytes together (a 4 x 4 transposition in each 128-bit lane), then in
    // the line's order: head 0-1, top 0-1, hundreds 0-1, rest 0-1, hundreds 2-3, rest 2-3,
    // the line end.
    const __m256i headsTops01 = _mm256_unpacklo_epi32(head, topLine);
    const __m256i headsTops23 = _mm256_unpackhi_epi32(head, topLine);
    const __m256i pairs01 = _mm256_unpacklo_epi32(hundredsLine, restLine);
    const __m256i pairs23 = _mm256_unpackhi_epi32(hundredsLine, restLine);
    const __m256i order = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 10, 11, 14, 15, 6, 7, 7, 7, 0,
                                           1, 4, 5, 8, 9, 12, 13, 10, 11, 14, 15, 6, 7, 7, 7);
    const __m256i numbers[4] = {
        _mm256_shuffle_epi8(_mm256_unpacklo_epi64(headsTops01, pairs01), order),
        _mm256_shuffle_epi8(_mm256_unpackhi_epi64(headsTops01, pairs01), order),
        _mm256_shuffle_epi8(_mm256_unpacklo_epi64(headsTops23, pairs23), order),
        _mm256_shuffle_epi8(_mm256_unpackhi_epi64(headsTops23, pairs23), order)};
    constexpr int kLength = kFieldWidth + kLineEndSize;
    for (int i = 0; i < 4; ++i) {  // in order: each store overwrites the one before's spare
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * kLength),
                         _mm256_castsi256_si128(numbers[i]));
    }
    for (int i = 0; i < 4; ++i) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (4 + i) * kLength),
                         _mm256_extracti128_si256(numbers[i], 1));
    }
}

// Each lane's state times its multiplier modulo 2^31 - 1, by the Mersenne fold
// (p & M) + (p >> 31) and one conditional subtraction.
LOTRIX_AVX2 __m256i MultiplyModulo(__m256i states, __m256i multipliers) {
    const __m256i m = _mm256_set1_epi64x(kModulus);
    const __m256i evenProduct = _mm256_mul_epu32(states, multipliers);
    const __m256i oddProduct =
        _mm256_mul_epu32(_mm256_srli_epi64(states, 32), _mm256_srli_epi64(multipliers, 32));
    const __m256i even =
        _mm256_add_epi64(_mm256_and_si256(evenProduct, m), _mm256_srli_epi64(evenProduct, 31));
    const __m256i odd =
        _mm256_add_epi64(_mm256_and_si256(oddProduct, m), _mm256_srli_epi64(oddProduct, 31));
    const __m256i folded = JoinLanes(even, odd);
    return _mm256_min_epu32(folded, _mm256_sub_epi32(folded, _mm256_set1_epi32(kModulus)));
}

// floor(p / M) for p = width * r below M^2: p >> 31, plus one when (p >> 31) + (p & M)
// reaches M (as in ScaleStep).
LOTRIX_AVX2 __m256i ScaledQuotient(__m256i product) {
    const __m256i m = _mm256_set1_epi64x(kModulus);
    const __m256i high = _mm256_srli_epi64(product, 31);
    const __m256i sum = _mm256_add_epi64(high, _mm256_and_si256(product, m));
    return _mm256_sub_epi64(high, _mm256_cmpgt_epi64(sum, _mm256_set1_epi64x(kModulus - 1)));
}

// The minimal-standard lanes of the block after `state`, and their jump to the next block.
struct MinimalStandardLanes {
    __m256i lanes, jump;
};
LOTRIX_AVX2 MinimalStandardLanes FirstMinimalStandardLanes(std::int32_t state) {
    constexpr auto& powers = kMinimalStandardPowers<8>;
    return {MultiplyModulo(_mm256_set1_epi32(state), Load(powers)),
            _mm256_set1_epi32(static_cast<int>(powers.back()))};
}

LOTRIX_AVX2 std::int32_t LastLane(__m256i lanes) {
    return _mm256_extract_epi32(lanes, 7);
}

constexpr std::ptrdiff_t kStrideLf = 8 * (kFieldWidth + 1);

// The rows, for a line end of kLineEndSize bytes whose bytes are `lineEnd`'s low ones.
#define LOTRIX_AVX2_ROWS        \
    template <int kLineEndSize> \
    [[gnu::target("avx2,fma")]]

LOTRIX_AVX2_ROWS void MinimalStandardRows(char*& out, std::int32_t lines, std::int32_t& state,
                                          std::string_view lineEndText) {
    const auto lineEnd = static_cast<std::uint32_t>(LineEndWord(lineEndText));
    auto [lanes, jump] = FirstMinimalStandardLanes(state);
    __m256i written = lanes;
    char* cursor = out;  // in a register: stores through `out` could change `out` itself
    for (std::int32_t done = 0; done < lines; done += 8) {
        WriteEightLines<Signs::none, kLineEndSize>(cursor, lanes, _mm256_setzero_si256(), lineEnd);
        cursor += kStrideLf + 8 * (kLineEndSize - 1);
        written = lanes;
        lanes = MultiplyModulo(lanes, jump);
    }
    out = cursor;
    if (lines > 0) state = LastLane(written);
}

LOTRIX_AVX2_ROWS void CompatRows(char*& out, std::int32_t lines, std::uint32_t& state,
                                 std::string_view lineEndText) {
    const auto lineEnd = static_cast<std::uint32_t>(LineEndWord(lineEndText));
    constexpr auto& multipliers = kCompatSteps<8>[0];
    constexpr auto& increments = kCompatSteps<8>[1];
    __m256i lanes = _mm256_add_epi32(
        _mm256_mullo_epi32(_mm256_set1_epi32(static_cast<int>(state)), Load(multipliers)),
        Load(increments));
    const __m256i multiplier = _mm256_set1_epi32(static_cast<int>(multipliers.back()));
    const __m256i increment = _mm256_set1_epi32(static_cast<int>(increments.back()));
    __m256i written = lanes;
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += 8) {
        const __m256i values =
            _mm256_and_si256(_mm256_srli_epi32(lanes, 16), _mm256_set1_epi32(0x7FFF));
        WriteEightLines<Signs::none, kLineEndSize>(cursor, values, _mm256_setzero_si256(), lineEnd);
        cursor += kStrideLf + 8 * (kLineEndSize - 1);
        written = lanes;
        lanes = _mm256_add_epi32(_mm256_mullo_epi32(lanes, multiplier), increment);
    }
    out = cursor;
    if (lines > 0) state = static_cast<std::uint32_t>(LastLane(written));
}

template <int kLineEndSize, Signs kSigns>
LOTRIX_AVX2 void IntervalLoop(char*& out, std::int32_t lines, std::int32_t& state,
                              std::int32_t lower, std::int32_t width, std::uint32_t lineEnd) {
    auto [lanes, jump] = FirstMinimalStandardLanes(state);
    __m256i written = lanes;
    const __m256i widths = _mm256_set1_epi64x(static_cast<std::uint32_t>(width));
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += 8) {
        const Products p = MultiplyLanes(lanes, widths);
        const __m256i offset = JoinLanes(ScaledQuotient(p.even), ScaledQuotient(p.odd));
        const __m256i value = _mm256_add_epi32(_mm256_set1_epi32(lower), offset);
        const __m256i negative = _mm256_cmpgt_epi32(_mm256_setzero_si256(), value);
        WriteEightLines<kSigns, kLineEndSize>(cursor, _mm256_abs_epi32(value), negative, lineEnd);
        cursor += kStrideLf + 8 * (kLineEndSize - 1);
        written = lanes;
        lanes = MultiplyModulo(lanes, jump);
    }
    out = cursor;
    if (lines > 0) state = LastLane(written);
}

LOTRIX_AVX2_ROWS void IntervalRows(char*& out, std::int32_t lines, std::int32_t& state,
                                   std::int32_t lower, std::int32_t width,
                                   std::string_view lineEndText) {
    const auto lineEnd = static_cast<std::uint32_t>(LineEndWord(lineEndText));
    // The values lie from lower up (the sum wraps only for widths that reach 2^31).
    if (lower >= 0 && static_cast<std::int64_t>(lower) + width <= 2147483648)
        IntervalLoop<kLineEndSize, Signs::plus>(out, lines, state, lower, width, lineEnd);
    else
        IntervalLoop<kLineEndSize, Signs::mixed>(out, lines, state, lower, width, lineEnd);
}

LOTRIX_AVX2_ROWS void FieldLines(char* out, const std::uint32_t* magnitudes, const char* signs,
                                 std::string_view lineEndText) {
    const auto lineEnd = static_cast<std::uint32_t>(LineEndWord(lineEndText));
    alignas(32) std::int32_t negative[8];
    bool anySign = false;
    for (int i = 0; i < 8; ++i) {
        negative[i] = signs[i] == '-' ? -1 : 0;
        anySign = anySign || signs[i] != 0;
    }
    const __m256i magnitude = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(magnitudes));
    if (anySign) {
        WriteEightLines<Signs::mixed, kLineEndSize>(
            out, magnitude, _mm256_load_si256(reinterpret_cast<const __m256i*>(negative)), lineEnd);
    } else {
        WriteEightLines<Signs::none, kLineEndSize>(out, magnitude, _mm256_setzero_si256(), lineEnd);
    }
}

// Choice 2: four values at a time, as the AVX-512 path makes them (see there), with the
// conversions AVX2 lacks made by hand: a double from 2^53 up is its significand shifted
// left by its exponent, and a small whole double is the low bits of itself plus 1.5 * 2^52.
struct FourReals {
    __m256i first, middle, low;   // 64-bit lanes
    std::uint32_t usable, zeros;  // per number a bit; two bits a number
};

LOTRIX_AVX2 FourReals FourRealsFrom(__m128i steps) {
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
    const __m256i bits = _mm256_castpd_si256(high);
    const __m256i significand =
        _mm256_or_si256(_mm256_and_si256(bits, _mm256_set1_epi64x((std::int64_t{1} << 52) - 1)),
                        _mm256_set1_epi64x(std::int64_t{1} << 52));
    const __m256i shift = _mm256_sub_epi64(_mm256_srli_epi64(bits, 52), _mm256_set1_epi64x(1075));
    const __m256d magic = _mm256_set1_pd(6755399441055744.0);  // 1.5 * 2^52
    const __m256i scaled =
        _mm256_add_epi64(_mm256_sllv_epi64(significand, shift),
                         _mm256_sub_epi64(_mm256_castpd_si256(_mm256_add_pd(rounded, magic)),
                                          _mm256_castpd_si256(magic)));
    const __m256i usable = _mm256_and_si256(
        _mm256_castpd_si256(fromE4),
        _mm256_andnot_si256(
            _mm256_cmpgt_epi64(_mm256_set1_epi64x(10'000'000'000'000'000), scaled),
            _mm256_cmpgt_epi64(_mm256_set1_epi64x(100'000'000'000'000'000), scaled)));
    // scaled = q * 10^8 + low: the quotient estimated in doubles is off by one at most.
    const __m256i ten8 = _mm256_set1_epi64x(100'000'000);
    __m256i q = _mm256_cvtepi32_epi64(
        _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_add_pd(high, rounded), _mm256_set1_pd(1e-8))));
    __m256i low = _mm256_sub_epi64(scaled, _mm256_mul_epu32(q, ten8));
    const __m256i under = _mm256_cmpgt_epi64(_mm256_setzero_si256(), low);
    q = _mm256_add_epi64(q, under);
    low = _mm256_add_epi64(low, _mm256_and_si256(under, ten8));
    const __m256i over = _mm256_cmpgt_epi64(low, _mm256_set1_epi64x(100'000'000 - 1));
    q = _mm256_sub_epi64(q, over);
    low = _mm256_sub_epi64(low, _mm256_and_si256(over, ten8));
    const __m256i first =
        _mm256_srli_epi64(_mm256_mul_epu32(q, _mm256_set1_epi64x(1441151881)), 57);
    const __m256i middle = _mm256_sub_epi64(q, _mm256_mul_epu32(first, ten8));
    const std::uint32_t e3 = static_cast<std::uint32_t>(_mm256_movemask_pd(fromE3));
    const std::uint32_t e2 = static_cast<std::uint32_t>(_mm256_movemask_pd(fromE2));
    const std::uint32_t e1 = static_cast<std::uint32_t>(_mm256_movemask_pd(fromE1));
    return {first, middle, low,
            static_cast<std::uint32_t>(_mm256_movemask_pd(_mm256_castsi256_pd(usable))),
            e3 | e2 << 4 | e1 << 8};
}

// The sixteen digits after the first of four numbers: number i's in 128-bit lane i / 2 of
// `even` (i even) or `odd`, and which of them are not '0'.
struct SixteenDigits {
    __m256i even, odd;
    std::uint32_t nonZero[2];
};

LOTRIX_AVX2 SixteenDigits DigitsOf(const FourReals& reals) {
    const __m256i eights = _mm256_or_si256(reals.middle, _mm256_slli_epi64(reals.low, 32));
    const __m256i reciprocal = _mm256_set1_epi64x(109951163);  // ceil(2^40 / 10^4)
    const Products p = MultiplyLanes(eights, reciprocal);
    const __m256i fours =
        _mm256_blend_epi32(_mm256_srli_epi64(p.even, 40), _mm256_srli_epi64(p.odd, 8), 0xAA);
    const __m256i lastFours =
        _mm256_sub_epi32(eights, _mm256_madd_epi16(fours, Opaque(_mm256_set1_epi32(10000))));
    const FourDigitPairs pairs = SplitFours(fours, lastFours);
    const __m256i hundredsPairs = pairs.hundreds, restPairs = pairs.rest;
    const __m256i zero = _mm256_set1_epi8('0');
    const __m256i even = _mm256_or_si256(_mm256_unpacklo_epi16(hundredsPairs, restPairs), zero);
    const __m256i odd = _mm256_or_si256(_mm256_unpackhi_epi16(hundredsPairs, restPairs), zero);
    return {even,
            odd,
            {~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(even, zero))),
             ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(odd, zero)))}};
}

template <int kLineEndSize, int kI>
LOTRIX_AVX2 char* WriteRealLine(char* out, FourReals reals, SixteenDigits digits,
                                std::uint32_t lineEnd) {
    const unsigned zeros = 3 - (reals.zeros >> kI & 1u) - (reals.zeros >> (4 + kI) & 1u) -
                           (reals.zeros >> (8 + kI) & 1u);
    std::memcpy(out, "       0.000    ", 16);
    char* text = out + 9 + zeros;
    text[0] = static_cast<char>('0' + _mm256_extract_epi64(reals.first, kI));
    const __m256i lanes = kI % 2 == 0 ? digits.even : digits.odd;
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(text + 1),
        kI / 2 == 0 ? _mm256_castsi256_si128(lanes) : _mm256_extracti128_si256(lanes, 1));
    const std::uint32_t shown = digits.nonZero[kI % 2] >> (16 * (kI / 2)) & 0xFFFFu;
    char* end = text + 1 + std::bit_width(shown);  // the digits up to the last not zero
    std::memcpy(end, &lineEnd, 2);
    return end + kLineEndSize;
}

template <int kLineEndSize, int... kI>
LOTRIX_AVX2 char* WriteFourReals(char* out, FourReals reals, std::uint32_t lineEnd,
                                 std::integer_sequence<int, kI...>) {
    const SixteenDigits digits = DigitsOf(reals);
    ((out = WriteRealLine<kLineEndSize, kI>(out, reals, digits, lineEnd)), ...);
    return out;
}

// Eight lines of choice 2 for eight steps; a group with a value the short way does not
// take (one in about a thousand) is written the scalar way.
template <int kLineEndSize>
LOTRIX_AVX2 char* WriteEightReals(char* out, __m256i steps, std::uint32_t lineEnd,
                                  std::string_view lineEndText) {
    const FourReals first = FourRealsFrom(_mm256_castsi256_si128(steps));
    const FourReals second = FourRealsFrom(_mm256_extracti128_si256(steps, 1));
    if ((first.usable & second.usable) != 0xF) {
        alignas(32) std::int32_t values[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(values), steps);
        return WriteUnitRealLines(out, values, 8, lineEndText);
    }
    out = WriteFourReals<kLineEndSize>(out, first, lineEnd, std::make_integer_sequence<int, 4>{});
    return WriteFourReals<kLineEndSize>(out, second, lineEnd, std::make_integer_sequence<int, 4>{});
}

LOTRIX_AVX2_ROWS void UnitRealRows(char*& out, std::int32_t lines, std::int32_t& state,
                                   std::string_view lineEndText) {
    const auto lineEnd = static_cast<std::uint32_t>(LineEndWord(lineEndText));
    auto [lanes, jump] = FirstMinimalStandardLanes(state);
    __m256i written = lanes;
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += 8) {
        cursor = WriteEightReals<kLineEndSize>(cursor, lanes, lineEnd, lineEndText);
        written = lanes;
        lanes = MultiplyModulo(lanes, jump);
    }
    out = cursor;
    if (lines > 0) state = LastLane(written);
}

LOTRIX_AVX2_ROWS char* UnitRealLines(char* out, const std::int32_t* steps,
                                     std::string_view lineEndText) {
    const auto lineEnd = static_cast<std::uint32_t>(LineEndWord(lineEndText));
    for (int i = 0; i < kFastUnit; i += 8) {
        out = WriteEightReals<kLineEndSize>(
            out, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(steps + i)), lineEnd,
            lineEndText);
    }
    return out;
}

#undef LOTRIX_AVX2_ROWS

// The entries: each row's instance for the line end's length, so that its loop knows it.
void MinimalStandardAvx2(char*& out, std::int32_t lines, std::int32_t& state,
                         std::string_view lineEnd) {
    ForLineEnd(MinimalStandardRows<1>, MinimalStandardRows<2>, lineEnd, out, lines, state);
}

void CompatAvx2(char*& out, std::int32_t lines, std::uint32_t& state, std::string_view lineEnd) {
    ForLineEnd(CompatRows<1>, CompatRows<2>, lineEnd, out, lines, state);
}

void IntervalAvx2(char*& out, std::int32_t lines, std::int32_t& state, std::int32_t lower,
                  std::int32_t width, std::string_view lineEnd) {
    ForLineEnd(IntervalRows<1>, IntervalRows<2>, lineEnd, out, lines, state, lower, width);
}

void FieldLinesAvx2(char* out, const std::uint32_t* magnitudes, const char* signs,
                    std::string_view lineEnd) {
    ForLineEnd(FieldLines<1>, FieldLines<2>, lineEnd, out, magnitudes, signs);
}

void UnitRealAvx2(char*& out, std::int32_t lines, std::int32_t& state, std::string_view lineEnd) {
    ForLineEnd(UnitRealRows<1>, UnitRealRows<2>, lineEnd, out, lines, state);
}

char* UnitRealLinesAvx2(char* out, const std::int32_t* steps, std::string_view lineEnd) {
    return ForLineEnd(UnitRealLines<1>, UnitRealLines<2>, lineEnd, out, steps);
}

}  // namespace

const FastLines kAvx2Lines{"AVX2",
                           HasAvx2,
                           8,
                           MinimalStandardAvx2,
                           CompatAvx2,
                           IntervalAvx2,
                           FieldLinesAvx2,
                           UnitRealAvx2,
                           UnitRealLinesAvx2};

bool HasAvx2() {
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

}  // namespace lotrix

#else  // no x86 vector unit known here: the scalar path only

namespace lotrix {

bool HasAvx2() {
    return false;
}

const FastLines kAvx2Lines{"AVX2",  HasAvx2, 8,       nullptr, nullptr,
                           nullptr, nullptr, nullptr, nullptr};

}  // namespace lotrix

#endif
