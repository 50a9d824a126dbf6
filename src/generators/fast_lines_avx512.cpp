// The AVX-512 path: the integer rows from sixteen generator lanes, the digits of sixteen
// numbers laid out as lines by byte permutes (VBMI); and choice 2's reals, eight at a
// time. Compiled for AVX-512 function by function and chosen only where the processor
// has every part of it.
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
// GCC 12's AVX-512 header starts some results from a self-initialised "undefined" vector,
// which its own flow analysis then reports as uninitialised.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace lotrix {
namespace {

constexpr int kLanes = 16;

// The offsets of each vector (see field_offsets.hpp) by entry zeros + 16 * sign, where
// sign is 0 for '+' (or none) and 1 for '-': entries 0-15 alone serve unsigned rows, which
// have their own table with blanks for signs.
using OffsetTable = std::array<std::uint32_t, 32>;
constexpr OffsetTable MakeOffsets(int vector, char plus, char minus) {
    OffsetTable table{};
    for (int entry = 0; entry < 32; ++entry) {
        const int zeros = entry % 16;
        if (zeros <= 9) {
            table[static_cast<std::size_t>(entry)] =
                FieldOffsets(static_cast<FieldVector>(vector), zeros, entry < 16 ? plus : minus);
        }
    }
    return table;
}
constexpr std::array<OffsetTable, 4> kUnsignedOffsets = {
    MakeOffsets(0, ' ', ' '), MakeOffsets(1, ' ', ' '), MakeOffsets(2, ' ', ' '),
    MakeOffsets(3, ' ', ' ')};
constexpr std::array<OffsetTable, 4> kSignedOffsets = {
    MakeOffsets(0, '+', '-'), MakeOffsets(1, '+', '-'), MakeOffsets(2, '+', '-'),
    MakeOffsets(3, '+', '-')};

// For a number's bit width (as 32 - leading zero bits of its value | 1): its count of
// leading zeros among ten places if it is the smallest of that width, and the largest
// value with that count (beyond which it has one zero fewer).
struct ZeroTables {
    std::array<std::uint32_t, 32> zeros, largest;
};
constexpr ZeroTables kZeroTables = [] {
    ZeroTables tables{};
    for (int leading = 0; leading < 32; ++leading) {
        const std::uint64_t smallest = std::uint64_t{1} << (31 - leading);
        int digits = 0;
        std::uint64_t power = 1;
        while (power <= smallest) {
            power *= 10;
            ++digits;
        }
        tables.zeros[static_cast<std::size_t>(leading)] = static_cast<std::uint32_t>(10 - digits);
        tables.largest[static_cast<std::size_t>(leading)] =
            power - 1 > 0xFFFF'FFFFu ? 0xFFFF'FFFFu : static_cast<std::uint32_t>(power - 1);
    }
    return tables;
}();

// The byte permutes that lay out four lines per 64-byte store. The vectors are regrouped
// by 128-bit lanes first, so that numbers 0-7 (and likewise 8-15) are in a pair of
// registers: {head, top} lanes 0-1 and 2-3 of the first, {hundreds, rest} of the second.
// Two index vectors, for lines 0-3 and 4-7 of each half.
constexpr std::array<std::array<std::uint8_t, 64>, 2> MakeLayout(int lineEndSize) {
    std::array<std::array<std::uint8_t, 64>, 2> layout{};
    const int length = kFieldWidth + lineEndSize;
    for (int store = 0; store < 2; ++store) {
        for (int line = 0; line < 4; ++line) {
            const int n = store * 4 + line;  // within the half
            for (int byte = 0; byte < length; ++byte) {
                int vector = 0, at = 0;
                if (byte >= kFieldWidth) {
                    vector = 1;
                    at = 2 + byte - kFieldWidth;
                } else {
                    for (int v = 0; v < 4; ++v)
                        for (int b = 0; b < 4; ++b)
                            if (kFieldPositions[static_cast<std::size_t>(v)]
                                               [static_cast<std::size_t>(b)] == byte) {
                                vector = v;
                                at = b;
                            }
                }
                const int source =
                    (vector / 2) * 64 + (vector % 2) * 32 + (n / 4) * 16 + (n % 4) * 4 + at;
                layout[static_cast<std::size_t>(store)]
                      [static_cast<std::size_t>(line * length + byte)] =
                          static_cast<std::uint8_t>(source);
            }
        }
    }
    return layout;
}
constexpr auto kLayoutLf = MakeLayout(1);
constexpr auto kLayoutCrLf = MakeLayout(2);

#define LOTRIX_AVX512                                                                       \
    [[gnu::target("avx512f,avx512bw,avx512dq,avx512cd,avx512vl,avx512vbmi,bmi,bmi2,lzcnt"), \
      gnu::always_inline]] inline

LOTRIX_AVX512 __m512i Load(const std::array<std::uint8_t, 64>& bytes) {
    return _mm512_loadu_si512(bytes.data());
}

// A constant the compiler may not see through: it would turn a multiplication by it into
// a longer chain of shifts and additions, which costs the vector unit more.
LOTRIX_AVX512 __m512i Opaque(__m512i constant) {
    asm("" : "+v"(constant));
    return constant;
}

// The two decimal digits of each 16-bit lane x < 100 as bytes 0-9, tens first: with
// t = x / 10, 256 * (x - 10t) + t = 256x - 2559t.
LOTRIX_AVX512 __m512i DigitPairs(__m512i x) {
    const __m512i tens = _mm512_mulhi_epu16(x, _mm512_set1_epi16(6554));  // exact below 100
    return _mm512_sub_epi16(_mm512_slli_epi16(x, 8),
                            _mm512_mullo_epi16(tens, Opaque(_mm512_set1_epi16(2559))));
}

// Two four-digit numbers in the 16-bit halves of each lane (`low` the first, `high` the
// second), as the byte pairs of their hundreds and of the rest, digits 0-9, tens first.
struct FourDigitPairs {
    __m512i hundreds, rest;
};
LOTRIX_AVX512 FourDigitPairs SplitFours(__m512i low, __m512i high) {
    const __m512i fours = _mm512_or_si512(low, _mm512_slli_epi32(high, 16));
    const __m512i hundreds =
        _mm512_srli_epi16(_mm512_mulhi_epu16(fours, _mm512_set1_epi16(5243)), 3);
    const __m512i rest =
        _mm512_sub_epi16(fours, _mm512_mullo_epi16(hundreds, Opaque(_mm512_set1_epi16(100))));
    return {DigitPairs(hundreds), DigitPairs(rest)};
}

LOTRIX_AVX512 __m512i Load(const std::uint32_t* words) {
    return _mm512_loadu_si512(words);
}

// What stands before the digits: no sign, '+' on every line (the table's first half
// serves), or either.
enum class Signs { none, plus, mixed };

// The offsets of one of the four vectors for each lane's table entry.
template <Signs kSigns>
LOTRIX_AVX512 __m512i Offsets(std::size_t vector, __m512i entry) {
    if constexpr (kSigns == Signs::mixed) {
        return _mm512_permutex2var_epi32(Load(kSignedOffsets[vector].data()), entry,
                                         Load(kSignedOffsets[vector].data() + 16));
    } else if constexpr (kSigns == Signs::plus) {
        return _mm512_permutexvar_epi32(entry, Load(kSignedOffsets[vector].data()));
    } else {
        return _mm512_permutexvar_epi32(entry, Load(kUnsignedOffsets[vector].data()));
    }
}

// Sixteen lines of the field format, as WriteFieldLine makes them, for magnitudes below
// 2^32 and, on signed rows, a mask of the negative ones (the others have '+').
// Stores 64 bytes at a time: up to 12 bytes past the last line are overwritten.
template <Signs kSigns, int kLineEndSize>
LOTRIX_AVX512 void WriteSixteenLines(char* out, __m512i magnitude, __mmask16 negative,
                                     std::uint32_t lineEnd) {
    // q = magnitude / 10^4 = (magnitude * ceil(2^45 / 10^4)) >> 45, even and odd lanes apart.
    const __m512i reciprocal = _mm512_set1_epi64(3518437209);
    const __m512i even = _mm512_mul_epu32(magnitude, reciprocal);
    const __m512i odd = _mm512_mul_epu32(_mm512_srli_epi64(magnitude, 32), reciprocal);
    const __m512i q =
        _mm512_mask_blend_epi32(0xAAAA, _mm512_srli_epi64(even, 45), _mm512_srli_epi64(odd, 13));
    const __m512i units =  // the last four digits
        _mm512_sub_epi32(magnitude, _mm512_mullo_epi32(q, Opaque(_mm512_set1_epi32(10000))));
    // top = q / 10^4 = (q >> 4) / 625, in the low 16-bit half; the high half stays zero.
    const __m512i top =
        _mm512_srli_epi16(_mm512_mulhi_epu16(_mm512_srli_epi32(q, 4), _mm512_set1_epi32(53688)), 9);
    const __m512i middle =
        _mm512_sub_epi32(q, _mm512_madd_epi16(top, Opaque(_mm512_set1_epi32(10000))));
    const FourDigitPairs pairs = SplitFours(middle, units);
    // The count of leading zeros, and with the sign the entry of the offset tables.
    const __m512i leading = _mm512_lzcnt_epi32(_mm512_or_si512(magnitude, _mm512_set1_epi32(1)));
    const __m512i largest = _mm512_permutex2var_epi32(Load(kZeroTables.largest.data()), leading,
                                                      Load(kZeroTables.largest.data() + 16));
    __m512i entry = _mm512_permutex2var_epi32(Load(kZeroTables.zeros.data()), leading,
                                              Load(kZeroTables.zeros.data() + 16));
    entry = _mm512_mask_sub_epi32(entry, _mm512_cmpgt_epu32_mask(magnitude, largest), entry,
                                  _mm512_set1_epi32(1));
    if constexpr (kSigns == Signs::mixed)
        entry = _mm512_mask_add_epi32(entry, negative, entry, _mm512_set1_epi32(16));
    const __m512i head = Offsets<kSigns>(0, entry), topOffsets = Offsets<kSigns>(1, entry);
    const __m512i hundredsOffsets = Offsets<kSigns>(2, entry);
    const __m512i restOffsets = Offsets<kSigns>(3, entry);
    const __m512i topLine = _mm512_add_epi8(
        _mm512_ternarylogic_epi32(DigitPairs(top), _mm512_set1_epi32(0xFFFF),
                                  _mm512_set1_epi32(static_cast<int>(lineEnd << 16)), 0xEA),
        topOffsets);
    const __m512i hundredsLine = _mm512_add_epi8(pairs.hundreds, hundredsOffsets);
    const __m512i restLine = _mm512_add_epi8(pairs.rest, restOffsets);
    // Numbers 0-7 and 8-15 each in a pair of registers, then four lines per store.
    constexpr auto& layout = kLineEndSize == 1 ? kLayoutLf : kLayoutCrLf;
    constexpr int kLength = kFieldWidth + kLineEndSize;
    const __m512i first = Load(layout[0]), second = Load(layout[1]);
    for (int half = 0; half < 2; ++half) {
        const __m512i a = half == 0 ? _mm512_shuffle_i64x2(head, topLine, 0x44)
                                    : _mm512_shuffle_i64x2(head, topLine, 0xEE);
        const __m512i b = half == 0 ? _mm512_shuffle_i64x2(hundredsLine, restLine, 0x44)
                                    : _mm512_shuffle_i64x2(hundredsLine, restLine, 0xEE);
        _mm512_storeu_si512(out + (half * 2) * 4 * kLength, _mm512_permutex2var_epi8(a, first, b));
        _mm512_storeu_si512(out + (half * 2 + 1) * 4 * kLength,
                            _mm512_permutex2var_epi8(a, second, b));
    }
}

LOTRIX_AVX512 __m512i Load(const std::array<std::uint32_t, kLanes>& words) {
    return _mm512_loadu_si512(words.data());
}

// Each lane's state times its multiplier modulo 2^31 - 1, by the Mersenne fold
// (p & M) + (p >> 31) and one conditional subtraction.
LOTRIX_AVX512 __m512i MultiplyModulo(__m512i states, __m512i multipliers) {
    const __m512i m = _mm512_set1_epi64(kModulus);
    const __m512i even = _mm512_mul_epu32(states, multipliers);
    const __m512i odd =
        _mm512_mul_epu32(_mm512_srli_epi64(states, 32), _mm512_srli_epi64(multipliers, 32));
    const __m512i evenFolded =
        _mm512_add_epi64(_mm512_and_si512(even, m), _mm512_srli_epi64(even, 31));
    const __m512i oddFolded =
        _mm512_add_epi64(_mm512_and_si512(odd, m), _mm512_srli_epi64(odd, 31));
    const __m512i folded =
        _mm512_mask_blend_epi32(0xAAAA, evenFolded, _mm512_slli_epi64(oddFolded, 32));
    return _mm512_min_epu32(folded, _mm512_sub_epi32(folded, _mm512_set1_epi32(kModulus)));
}

// The minimal-standard lanes of the block after `state`, and their jump to the next block.
struct MinimalStandardLanes {
    __m512i lanes, jump;
};
LOTRIX_AVX512 MinimalStandardLanes FirstMinimalStandardLanes(std::int32_t state) {
    constexpr auto& powers = kMinimalStandardPowers<kLanes>;
    return {MultiplyModulo(_mm512_set1_epi32(state), Load(powers)),
            _mm512_set1_epi32(static_cast<int>(powers.back()))};
}

LOTRIX_AVX512 std::int32_t LastLane(__m512i lanes) {
    return _mm_extract_epi32(_mm512_extracti32x4_epi32(lanes, 3), 3);
}

constexpr std::ptrdiff_t kStrideLf = kLanes * (kFieldWidth + 1);

// The rows, for a line end of kLineEndSize bytes whose bytes are `lineEnd`'s low ones.
#define LOTRIX_AVX512_ROWS      \
    template <int kLineEndSize> \
    [[gnu::target("avx512f,avx512bw,avx512dq,avx512cd,avx512vl,avx512vbmi,bmi,bmi2,lzcnt")]]

LOTRIX_AVX512_ROWS void MinimalStandardRows(char*& out, std::int32_t lines, std::int32_t& state,
                                            std::string_view lineEndText) {
    const auto lineEnd = static_cast<std::uint32_t>(LineEndWord(lineEndText));
    auto [lanes, jump] = FirstMinimalStandardLanes(state);
    __m512i written = lanes;
    char* cursor = out;  // in a register: stores through `out` could change `out` itself
    for (std::int32_t done = 0; done < lines; done += kLanes) {
        WriteSixteenLines<Signs::none, kLineEndSize>(cursor, lanes, 0, lineEnd);
        cursor += kStrideLf + kLanes * (kLineEndSize - 1);
        written = lanes;
        lanes = MultiplyModulo(lanes, jump);
    }
    out = cursor;
    if (lines > 0) state = LastLane(written);
}

LOTRIX_AVX512_ROWS void CompatRows(char*& out, std::int32_t lines, std::uint32_t& state,
                                   std::string_view lineEndText) {
    const auto lineEnd = static_cast<std::uint32_t>(LineEndWord(lineEndText));
    constexpr auto& multipliers = kCompatSteps<kLanes>[0];
    constexpr auto& increments = kCompatSteps<kLanes>[1];
    __m512i lanes = _mm512_add_epi32(
        _mm512_mullo_epi32(_mm512_set1_epi32(static_cast<int>(state)), Load(multipliers)),
        Load(increments));
    const __m512i multiplier = _mm512_set1_epi32(static_cast<int>(multipliers.back()));
    const __m512i increment = _mm512_set1_epi32(static_cast<int>(increments.back()));
    __m512i written = lanes;
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += kLanes) {
        const __m512i values =
            _mm512_and_si512(_mm512_srli_epi32(lanes, 16), _mm512_set1_epi32(0x7FFF));
        WriteSixteenLines<Signs::none, kLineEndSize>(cursor, values, 0, lineEnd);
        cursor += kStrideLf + kLanes * (kLineEndSize - 1);
        written = lanes;
        lanes = _mm512_add_epi32(_mm512_mullo_epi32(lanes, multiplier), increment);
    }
    out = cursor;
    if (lines > 0) state = static_cast<std::uint32_t>(LastLane(written));
}

// floor(p / M) for p = width * r below M^2: p >> 31, plus one when (p >> 31) + (p & M)
// reaches M (as ScaleStep does).
LOTRIX_AVX512 __m512i ScaledQuotient(__m512i product) {
    const __m512i high = _mm512_srli_epi64(product, 31);
    const __m512i sum =
        _mm512_add_epi64(high, _mm512_and_si512(product, _mm512_set1_epi64(kModulus)));
    const __mmask8 carry = _mm512_cmpge_epu64_mask(sum, _mm512_set1_epi64(kModulus));
    return _mm512_mask_add_epi64(high, carry, high, _mm512_set1_epi64(1));
}

template <int kLineEndSize, Signs kSigns>
LOTRIX_AVX512 void IntervalLoop(char*& out, std::int32_t lines, std::int32_t& state,
                                std::int32_t lower, std::int32_t width, std::uint32_t lineEnd) {
    auto [lanes, jump] = FirstMinimalStandardLanes(state);
    __m512i written = lanes;
    const __m512i widths = _mm512_set1_epi64(static_cast<std::uint32_t>(width));
    const __m512i lowers = _mm512_set1_epi32(lower);
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += kLanes) {
        const __m512i even = ScaledQuotient(_mm512_mul_epu32(lanes, widths));
        const __m512i odd = ScaledQuotient(_mm512_mul_epu32(_mm512_srli_epi64(lanes, 32), widths));
        const __m512i offset = _mm512_mask_blend_epi32(0xAAAA, even, _mm512_slli_epi64(odd, 32));
        const __m512i value = _mm512_add_epi32(lowers, offset);
        const __mmask16 negative = _mm512_cmplt_epi32_mask(value, _mm512_setzero_si512());
        WriteSixteenLines<kSigns, kLineEndSize>(cursor, _mm512_abs_epi32(value), negative, lineEnd);
        cursor += kStrideLf + kLanes * (kLineEndSize - 1);
        written = lanes;
        lanes = MultiplyModulo(lanes, jump);
    }
    out = cursor;
    if (lines > 0) state = LastLane(written);
}

LOTRIX_AVX512_ROWS void IntervalRows(char*& out, std::int32_t lines, std::int32_t& state,
                                     std::int32_t lower, std::int32_t width,
                                     std::string_view lineEndText) {
    const auto lineEnd = static_cast<std::uint32_t>(LineEndWord(lineEndText));
    // The values lie from lower up (the sum wraps only for widths that reach 2^31).
    if (lower >= 0 && static_cast<std::int64_t>(lower) + width <= 2147483648)
        IntervalLoop<kLineEndSize, Signs::plus>(out, lines, state, lower, width, lineEnd);
    else
        IntervalLoop<kLineEndSize, Signs::mixed>(out, lines, state, lower, width, lineEnd);
}

LOTRIX_AVX512_ROWS void FieldLines(char* out, const std::uint32_t* magnitudes, const char* signs,
                                   std::string_view lineEndText) {
    const auto lineEnd = static_cast<std::uint32_t>(LineEndWord(lineEndText));
    bool anySign = false;
    __mmask16 negative = 0;
    for (int i = 0; i < kLanes; ++i) {
        anySign = anySign || signs[i] != 0;
        negative = static_cast<__mmask16>(negative | (signs[i] == '-' ? 1u << i : 0u));
    }
    const __m512i magnitude = _mm512_loadu_si512(magnitudes);
    if (anySign)
        WriteSixteenLines<Signs::mixed, kLineEndSize>(out, magnitude, negative, lineEnd);
    else
        WriteSixteenLines<Signs::none, kLineEndSize>(out, magnitude, 0, lineEnd);
}

// What the vector part of choice 2 leaves for the lines of eight numbers: for number i, its
// sixteen digits after the first in 128-bit lane i / 2 of `even` (i even) or `odd`, its
// first digit in byte i of `firsts`, which of those digits are not zero, and the masks
// (`usable`: the values the short way takes).
struct RealLanes {
    __m256i steps;
    __m512i even, odd;
    std::uint64_t firsts;
    std::uint64_t nonZero[2];
    __mmask8 usable, fromE3, fromE2, fromE1;
};

template <int kLineEndSize, int kI>
LOTRIX_AVX512 char* WriteRealLine(char* out, RealLanes lanes, std::uint32_t lineEnd) {
    const unsigned zeros =
        3 - (lanes.fromE3 >> kI & 1u) - (lanes.fromE2 >> kI & 1u) - (lanes.fromE1 >> kI & 1u);
    std::memcpy(out, "       0.000    ", 16);
    char* text = out + 9 + zeros;
    text[0] = static_cast<char>(lanes.firsts >> (8 * kI));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(text + 1),
                     _mm512_extracti32x4_epi32(kI % 2 == 0 ? lanes.even : lanes.odd, kI / 2));
    const auto shown =
        static_cast<std::uint32_t>(lanes.nonZero[kI % 2] >> (16 * (kI / 2)) & 0xFFFFu);
    char* end = text + 1 + std::bit_width(shown);  // the digits up to the last not zero
    std::memcpy(end, &lineEnd, 2);
    return end + kLineEndSize;
}

template <int kLineEndSize, int... kI>
LOTRIX_AVX512 char* WriteRealLines(char* out, RealLanes lanes, std::uint32_t lineEnd,
                                   std::string_view lineEndText,
                                   std::integer_sequence<int, kI...>) {
    if (lanes.usable != 0xFF) {
        // A value the short way does not take is among the eight (one in about a thousand
        // groups): all eight the scalar way, kept out of the way of the others.
        alignas(32) std::int32_t steps[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(steps), lanes.steps);
        return WriteUnitRealLines(out, steps, 8, lineEndText);
    }
    ((out = WriteRealLine<kLineEndSize, kI>(out, lanes, lineEnd)), ...);
    return out;
}

// Choice 2: eight lines for eight steps r, as WriteUnitRealLine writes them. The value
// x = r * K is made as the scalar path makes it; from 0.0001 up, x * 10^p (p = 17 to 20,
// a power of ten that a double holds exactly) is the exact sum of its rounded product and
// the product's error, which a fused multiply-subtract gives, so the 17 digits are that
// sum rounded, halves up. Any other value takes the scalar way, line by line.
template <int kLineEndSize>
LOTRIX_AVX512 char* WriteEightReals(char* out, __m256i steps, std::uint32_t lineEnd,
                                    std::string_view lineEndText) {
    const __m512d x = _mm512_mul_pd(_mm512_cvtepi32_pd(steps), _mm512_set1_pd(kUnitScale));
    const __mmask8 fromE4 = _mm512_cmp_pd_mask(x, _mm512_set1_pd(0.0001), _CMP_GE_OQ);
    const __mmask8 fromE3 = _mm512_cmp_pd_mask(x, _mm512_set1_pd(0.001), _CMP_GE_OQ);
    const __mmask8 fromE2 = _mm512_cmp_pd_mask(x, _mm512_set1_pd(0.01), _CMP_GE_OQ);
    const __mmask8 fromE1 = _mm512_cmp_pd_mask(x, _mm512_set1_pd(0.1), _CMP_GE_OQ);
    __m512d power = _mm512_set1_pd(1e20);
    power = _mm512_mask_mov_pd(power, fromE3, _mm512_set1_pd(1e19));
    power = _mm512_mask_mov_pd(power, fromE2, _mm512_set1_pd(1e18));
    power = _mm512_mask_mov_pd(power, fromE1, _mm512_set1_pd(1e17));
    const __m512d high = _mm512_mul_pd(x, power);  // an integer from 2^53 up
    const __m512d error = _mm512_fmsub_pd(x, power, high);
    __m512d rounded = _mm512_roundscale_pd(error, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    const __mmask8 half =
        _mm512_cmp_pd_mask(_mm512_sub_pd(error, rounded), _mm512_set1_pd(0.5), _CMP_EQ_OQ);
    rounded = _mm512_mask_add_pd(rounded, half, rounded, _mm512_set1_pd(1.0));
    const __m512i scaled = _mm512_add_epi64(_mm512_cvtpd_epi64(high), _mm512_cvtpd_epi64(rounded));
    const __m512i ten8 = _mm512_set1_epi64(100'000'000);
    const __mmask8 usable =
        fromE4 & _mm512_cmpge_epi64_mask(scaled, _mm512_set1_epi64(10'000'000'000'000'000)) &
        _mm512_cmplt_epi64_mask(scaled, _mm512_set1_epi64(100'000'000'000'000'000));
    // scaled = q * 10^8 + low: the quotient estimated in doubles is off by one at most.
    __m512i q =
        _mm512_cvttpd_epi64(_mm512_mul_pd(_mm512_cvtepi64_pd(scaled), _mm512_set1_pd(1e-8)));
    __m512i low = _mm512_sub_epi64(scaled, _mm512_mullo_epi64(q, Opaque(ten8)));
    const __mmask8 under = _mm512_cmplt_epi64_mask(low, _mm512_setzero_si512());
    q = _mm512_mask_sub_epi64(q, under, q, _mm512_set1_epi64(1));
    low = _mm512_mask_add_epi64(low, under, low, ten8);
    const __mmask8 over = _mm512_cmpge_epi64_mask(low, ten8);
    q = _mm512_mask_add_epi64(q, over, q, _mm512_set1_epi64(1));
    low = _mm512_mask_sub_epi64(low, over, low, ten8);
    // q = first * 10^8 + middle, first = (q * ceil(2^57 / 10^8)) >> 57 for q below 2^32.
    const __m512i first = _mm512_srli_epi64(_mm512_mul_epu32(q, _mm512_set1_epi64(1441151881)), 57);
    const __m512i middle = _mm512_sub_epi64(q, _mm512_mul_epu32(first, ten8));
    // The sixteen digits after the first: middle and low as sixteen 32-bit lanes, each
    // split into two four-digit halves, then into pairs; laid out in order by interleaving.
    const __m512i eights = _mm512_or_si512(middle, _mm512_slli_epi64(low, 32));
    const __m512i reciprocal = _mm512_set1_epi64(109951163);  // ceil(2^40 / 10^4)
    const __m512i fours = _mm512_mask_blend_epi32(
        0xAAAA, _mm512_srli_epi64(_mm512_mul_epu32(eights, reciprocal), 40),
        _mm512_srli_epi64(_mm512_mul_epu32(_mm512_srli_epi64(eights, 32), reciprocal), 8));
    const __m512i lastFours =
        _mm512_sub_epi32(eights, _mm512_madd_epi16(fours, Opaque(_mm512_set1_epi32(10000))));
    const FourDigitPairs pairs = SplitFours(fours, lastFours);
    const __m512i hundredsPairs = pairs.hundreds, restPairs = pairs.rest;
    const __m512i zero = _mm512_set1_epi8('0');
    const __m512i even = _mm512_or_si512(_mm512_unpacklo_epi16(hundredsPairs, restPairs), zero);
    const __m512i odd = _mm512_or_si512(_mm512_unpackhi_epi16(hundredsPairs, restPairs), zero);
    const std::uint64_t nonZero[2] = {_mm512_cmpneq_epi8_mask(even, zero),
                                      _mm512_cmpneq_epi8_mask(odd, zero)};
    const auto firsts = static_cast<std::uint64_t>(
        _mm_cvtsi128_si64(_mm512_cvtepi64_epi8(_mm512_or_si512(first, zero))));
    const RealLanes lanes{steps,  even,   odd,    firsts, {nonZero[0], nonZero[1]},
                          usable, fromE3, fromE2, fromE1};
    return WriteRealLines<kLineEndSize>(out, lanes, lineEnd, lineEndText,
                                        std::make_integer_sequence<int, 8>{});
}

LOTRIX_AVX512_ROWS void UnitRealRows(char*& out, std::int32_t lines, std::int32_t& state,
                                     std::string_view lineEndText) {
    const auto lineEnd = static_cast<std::uint32_t>(LineEndWord(lineEndText));
    auto [lanes, jump] = FirstMinimalStandardLanes(state);
    __m512i written = lanes;
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += kLanes) {
        cursor = WriteEightReals<kLineEndSize>(cursor, _mm512_castsi512_si256(lanes), lineEnd,
                                               lineEndText);
        cursor = WriteEightReals<kLineEndSize>(cursor, _mm512_extracti64x4_epi64(lanes, 1), lineEnd,
                                               lineEndText);
        written = lanes;
        lanes = MultiplyModulo(lanes, jump);
    }
    out = cursor;
    if (lines > 0) state = LastLane(written);
}

LOTRIX_AVX512_ROWS char* UnitRealLines(char* out, const std::int32_t* steps,
                                       std::string_view lineEndText) {
    const auto lineEnd = static_cast<std::uint32_t>(LineEndWord(lineEndText));
    const __m512i lanes = _mm512_loadu_si512(steps);
    out = WriteEightReals<kLineEndSize>(out, _mm512_castsi512_si256(lanes), lineEnd, lineEndText);
    return WriteEightReals<kLineEndSize>(out, _mm512_extracti64x4_epi64(lanes, 1), lineEnd,
                                         lineEndText);
}

#undef LOTRIX_AVX512_ROWS

// The entries: each row's instance for the line end's length, so that its loop knows it.
void MinimalStandardAvx512(char*& out, std::int32_t lines, std::int32_t& state,
                           std::string_view lineEnd) {
    ForLineEnd(MinimalStandardRows<1>, MinimalStandardRows<2>, lineEnd, out, lines, state);
}

void CompatAvx512(char*& out, std::int32_t lines, std::uint32_t& state, std::string_view lineEnd) {
    ForLineEnd(CompatRows<1>, CompatRows<2>, lineEnd, out, lines, state);
}

void IntervalAvx512(char*& out, std::int32_t lines, std::int32_t& state, std::int32_t lower,
                    std::int32_t width, std::string_view lineEnd) {
    ForLineEnd(IntervalRows<1>, IntervalRows<2>, lineEnd, out, lines, state, lower, width);
}

void FieldLinesAvx512(char* out, const std::uint32_t* magnitudes, const char* signs,
                      std::string_view lineEnd) {
    ForLineEnd(FieldLines<1>, FieldLines<2>, lineEnd, out, magnitudes, signs);
}

void UnitRealAvx512(char*& out, std::int32_t lines, std::int32_t& state, std::string_view lineEnd) {
    ForLineEnd(UnitRealRows<1>, UnitRealRows<2>, lineEnd, out, lines, state);
}

char* UnitRealLinesAvx512(char* out, const std::int32_t* steps, std::string_view lineEnd) {
    return ForLineEnd(UnitRealLines<1>, UnitRealLines<2>, lineEnd, out, steps);
}

}  // namespace

const FastLines kAvx512Lines{
    "AVX-512",      HasAvx512,        kLanes,         MinimalStandardAvx512, CompatAvx512,
    IntervalAvx512, FieldLinesAvx512, UnitRealAvx512, UnitRealLinesAvx512};

bool HasAvx512() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512cd") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
           __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
}

}  // namespace lotrix

#else  // no x86 vector unit known here

namespace lotrix {

bool HasAvx512() {
    return false;
}

const FastLines kAvx512Lines{"AVX-512", HasAvx512, 16,      nullptr, nullptr,
                             nullptr,   nullptr,   nullptr, nullptr};

}  // namespace lotrix

#endif
