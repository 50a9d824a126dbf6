// The AVX-512 path: the integer rows from sixteen generator lanes, the digits of sixteen
// numbers laid out as lines by byte permutes (VBMI); and choice 2's reals, eight at a
// time. The rows' loops are the shared ones (fast_lines_rows.inc); this file has
// AVX-512's own operations. Compiled for AVX-512 and chosen only where the processor has
// every part of it.
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

#if defined(LOTRIX_EMULATE_AVX512)
// The same code as plain code for every processor, each intrinsic emulated lane by lane:
// so that a machine without AVX-512 runs and tests this path too.
#include "generators/avx512_emulation.hpp"

LOTRIX_BEGIN_TARGET(avx512, "", "AVX-512")
#elif defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include "generators/x86_intrinsics.hpp"

LOTRIX_BEGIN_TARGET(avx512, "avx512f,avx512bw,avx512dq,avx512cd,avx512vl,avx512vbmi,bmi,bmi2,lzcnt",
                    "AVX-512")
#endif
#if defined(LOTRIX_EMULATE_AVX512) || \
    (defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)))

using Vector = __m512i;
using Negatives = __mmask16;  // a bit for each lane of a negative value
using Sixteen = __m128i;
constexpr int kLanes = 16;
constexpr bool kHasReals = true;

// clang-format off
inline Vector MulHi16(Vector a, Vector b) { return _mm512_mulhi_epu16(a, b); }
inline Vector Madd16(Vector a, Vector b) { return _mm512_madd_epi16(a, b); }
inline Vector Abs32(Vector a) { return _mm512_abs_epi32(a); }
inline Vector MulEven32(Vector a, Vector b) { return _mm512_mul_epu32(a, b); }
inline Vector InterleaveLow16(Vector a, Vector b) { return _mm512_unpacklo_epi16(a, b); }
inline Vector InterleaveHigh16(Vector a, Vector b) { return _mm512_unpackhi_epi16(a, b); }
inline Negatives NoNegatives() { return 0; }
template <int kLane> Sixteen Lane128(Vector v) { return _mm512_extracti32x4_epi32(v, kLane); }
// clang-format on
inline Vector JoinEvenOdd(Vector even, Vector odd) {
    return _mm512_mask_blend_epi32(0xAAAA, even, odd);
}
inline Negatives NegativeLanes(Vector v) {
    return _mm512_cmplt_epi32_mask(v, _mm512_setzero_si512());
}

// A constant the compiler may not see through: it would turn a multiplication by it into
// a longer chain of shifts and additions, which costs the vector unit more.
// Without AVX-512 a 64-byte vector lives in memory, where the barrier holds it instead.
inline Vector KeptInRegister(Vector constant) {
#if defined(LOTRIX_EMULATE_AVX512)
    asm("" : "+m"(constant));
#else
    asm("" : "+v"(constant));
#endif
    return constant;
}

#include "generators/fast_lines_digits.inc"

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

// The offsets of the four vectors for each lane's count of leading zeros (the table's
// second half for negative values).
[[gnu::always_inline]] inline Vector LookUp(const std::array<std::uint32_t, 32>& table,
                                            Vector entry) {
    return _mm512_permutex2var_epi32(Load(table.data()), entry, Load(table.data() + 16));
}

template <RowSigns kSigns>
[[gnu::always_inline]] inline FieldVectors Offsets(Vector magnitude, Negatives negative) {
    const Vector leading = _mm512_lzcnt_epi32(Or(magnitude, Splat32(1)));
    const Vector largest = LookUp(kZeroTables.largest, leading);
    Vector entry = LookUp(kZeroTables.zeros, leading);
    entry = _mm512_mask_sub_epi32(entry, _mm512_cmpgt_epu32_mask(magnitude, largest), entry,
                                  Splat32(1));
    if constexpr (kSigns == RowSigns::mixed)
        entry = _mm512_mask_add_epi32(entry, negative, entry, Splat32(16));
    const auto& tables = kSigns == RowSigns::plus ? kSignedOffsets : kUnsignedOffsets;
    Vector offsets[4];
    for (std::size_t vector = 0; vector < 4; ++vector) {
        offsets[vector] = kSigns == RowSigns::mixed
                              ? LookUp(kSignedOffsets[vector], entry)
                              : _mm512_permutexvar_epi32(entry, Load(tables[vector].data()));
    }
    return {offsets[0], offsets[1], offsets[2], offsets[3]};
}

// Numbers 0-7 and 8-15 each in a pair of registers, then four lines per 64-byte store: up
// to 12 bytes past the last line are overwritten.
template <int kLineEndSize>
[[gnu::always_inline]] inline void StoreLines(char* out, const FieldVectors& lines) {
    constexpr auto& layout = kLineEndSize == 1 ? kLayoutLf : kLayoutCrLf;
    constexpr int kLength = kFieldWidth + kLineEndSize;
    const Vector first = Load(layout[0].data()), second = Load(layout[1].data());
    for (int half = 0; half < 2; ++half) {
        const Vector a = half == 0 ? _mm512_shuffle_i64x2(lines.head, lines.top, 0x44)
                                   : _mm512_shuffle_i64x2(lines.head, lines.top, 0xEE);
        const Vector b = half == 0 ? _mm512_shuffle_i64x2(lines.hundreds, lines.rest, 0x44)
                                   : _mm512_shuffle_i64x2(lines.hundreds, lines.rest, 0xEE);
        _mm512_storeu_si512(out + (half * 2) * 4 * kLength, _mm512_permutex2var_epi8(a, first, b));
        _mm512_storeu_si512(out + (half * 2 + 1) * 4 * kLength,
                            _mm512_permutex2var_epi8(a, second, b));
    }
}
static_assert(64 - 4 * (kFieldWidth + 1) <= kSpill);

// Choice 2: eight lines for eight steps r, as WriteUnitRealLine writes them. The value
// x = r * K is made as the scalar reference makes it; from 0.0001 up, x * 10^p (p = 17 to 20,
// a power of ten that a double holds exactly) is the exact sum of its rounded product and
// the product's error, which a fused multiply-subtract gives, so the 17 digits are that
// sum rounded, halves up. A group with any other value (one in about a thousand) takes
// the scalar reference, line by line.
template <int kLineEndSize>
[[gnu::always_inline]] inline char* WriteEightReals(char* out, __m256i steps,
                                                    std::string_view lineEnd) {
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
    const Vector scaled = Add64(_mm512_cvtpd_epi64(high), _mm512_cvtpd_epi64(rounded));
    const __mmask8 usable = fromE4 &
                            _mm512_cmpge_epi64_mask(scaled, Splat64(10'000'000'000'000'000)) &
                            _mm512_cmplt_epi64_mask(scaled, Splat64(100'000'000'000'000'000));
    if (usable != 0xFF) {
        alignas(32) std::int32_t values[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(values), steps);
        return WriteRealLines(out, values, 8, lineEnd);
    }
    // scaled = q * 10^8 + low: the quotient estimated in doubles is off by one at most.
    const Vector ten8 = Splat64(100'000'000);
    Vector q = _mm512_cvttpd_epi64(_mm512_mul_pd(_mm512_cvtepi64_pd(scaled), _mm512_set1_pd(1e-8)));
    Vector low = Sub64(scaled, _mm512_mullo_epi64(q, KeptInRegister(ten8)));
    const __mmask8 under = _mm512_cmplt_epi64_mask(low, _mm512_setzero_si512());
    q = _mm512_mask_sub_epi64(q, under, q, Splat64(1));
    low = _mm512_mask_add_epi64(low, under, low, ten8);
    const __mmask8 over = _mm512_cmpge_epi64_mask(low, ten8);
    q = _mm512_mask_add_epi64(q, over, q, Splat64(1));
    low = _mm512_mask_sub_epi64(low, over, low, ten8);
    // q = first * 10^8 + middle, first = (q * ceil(2^57 / 10^8)) >> 57 for q below 2^32.
    const Vector first = ShiftRight64<57>(MulEven32(q, Splat64(1441151881)));
    const Vector middle = Sub64(q, MulEven32(first, ten8));
    const SixteenDigits digits = DigitsAfterTheFirst(middle, low);
    const Vector zero = Splat8('0');
    const RealGroup group{
        digits,
        {_mm512_cmpneq_epi8_mask(digits.even, zero), _mm512_cmpneq_epi8_mask(digits.odd, zero)},
        static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm512_cvtepi64_epi8(Or(first, zero)))),
        fromE3,
        fromE2,
        fromE1};
    return WriteRealGroup<kLineEndSize>(out, group, lineEnd, std::make_integer_sequence<int, 8>{});
}

template <int kLineEndSize>
[[gnu::always_inline]] inline char* WriteReals(char* out, Vector steps, std::string_view lineEnd) {
    out = WriteEightReals<kLineEndSize>(out, _mm512_castsi512_si256(steps), lineEnd);
    return WriteEightReals<kLineEndSize>(out, _mm512_extracti64x4_epi64(steps, 1), lineEnd);
}

#include "generators/fast_lines_rows.inc"

LOTRIX_END_TARGET(kAvx512Path)

#else  // no x86 vector unit known here

namespace lotrix {
constinit const Path kAvx512Path{"AVX-512", "",      16,      nullptr, nullptr,
                                 nullptr,   nullptr, nullptr, nullptr};
}

#endif
