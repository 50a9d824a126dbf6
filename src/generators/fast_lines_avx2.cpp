// The AVX2 path of the integer rows' lines. Compiled for AVX2 function by function (the
// rest of the program stays baseline x86-64) and chosen only where the processor has it.
#include <array>
#include <cstring>

#include "generators/compat.hpp"
#include "generators/digits.hpp"
#include "generators/fast_lines.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

namespace lotrix {
namespace {

#define LOTRIX_AVX2 [[gnu::target("avx2"), gnu::always_inline]] inline

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

// Two decimal digits of each 16-bit lane x < 100, as ASCII, tens first.
LOTRIX_AVX2 __m256i DigitPairs(__m256i x) {
    const __m256i tens = _mm256_mulhi_epu16(x, _mm256_set1_epi16(6554));  // x / 10, exact
    const __m256i ones = _mm256_sub_epi16(x, _mm256_mullo_epi16(tens, _mm256_set1_epi16(10)));
    return _mm256_add_epi16(_mm256_or_si256(tens, _mm256_slli_epi16(ones, 8)),
                            _mm256_set1_epi16(0x3030));
}

// Eight lines of the field format, as WriteFieldLine makes them: magnitudes (below 2^32)
// and, for signed rows, the sign character of each ('+' or '-'; 0 for none).
LOTRIX_AVX2 void WriteEightLines(char* out, __m256i magnitude, __m256i sign,
                                 std::string_view lineEnd) {
    const auto stride = static_cast<std::ptrdiff_t>(kFieldWidth + lineEnd.size());
    // The top two digits and the low eight: magnitude / 10^8 = (m * ceil(2^57 / 10^8)) >> 57.
    const Products top = MultiplyLanes(magnitude, _mm256_set1_epi64x(1441151881));
    const __m256i high = JoinLanes(_mm256_srli_epi64(top.even, 57), _mm256_srli_epi64(top.odd, 57));
    const __m256i low =
        _mm256_sub_epi32(magnitude, _mm256_mullo_epi32(high, _mm256_set1_epi32(100000000)));
    // The low eight as two halves of four digits, a = low / 10^4 and b = low % 10^4.
    const Products half = MultiplyLanes(low, _mm256_set1_epi64x(109951163));
    const __m256i a = JoinLanes(_mm256_srli_epi64(half.even, 40), _mm256_srli_epi64(half.odd, 40));
    const __m256i b = _mm256_sub_epi32(low, _mm256_mullo_epi32(a, _mm256_set1_epi32(10000)));
    const __m256i halves = _mm256_or_si256(a, _mm256_slli_epi32(b, 16));  // a, b as 16-bit lanes
    // Each half as two pairs of digits: c = x / 100 and d = x % 100.
    const __m256i c = _mm256_srli_epi16(_mm256_mulhi_epu16(halves, _mm256_set1_epi16(5243)), 3);
    const __m256i d = _mm256_sub_epi16(halves, _mm256_mullo_epi16(c, _mm256_set1_epi16(100)));
    const __m256i pairsC = DigitPairs(c), pairsD = DigitPairs(d);
    // Per number, the eight low digits in order: c of a, d of a, c of b, d of b.
    const __m256i digitsLow = _mm256_unpacklo_epi16(pairsC, pairsD);   // numbers 0, 1, 4, 5
    const __m256i digitsHigh = _mm256_unpackhi_epi16(pairsC, pairsD);  // numbers 2, 3, 6, 7
    // The first four bytes of each line: two blanks and the top two digits.
    const __m256i head = _mm256_or_si256(
        _mm256_set1_epi32(0x2020),
        _mm256_slli_epi32(_mm256_and_si256(DigitPairs(high), _mm256_set1_epi32(0xFFFF)), 16));
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
    // The last four bytes: the line end, the sign character and the count of zeros, which
    // the finishing reads and the next line's store overwrites.
    const __m256i tail =
        _mm256_or_si256(_mm256_set1_epi32(static_cast<int>(LineEndWord(lineEnd))),
                        _mm256_or_si256(_mm256_slli_epi32(sign, 16), _mm256_slli_epi32(zeros, 24)));
    const __m256i takeLow = _mm256_setr_epi32(0, 0, 1, 1, 4, 4, 5, 5);
    const __m256i takeHigh = _mm256_setr_epi32(2, 2, 3, 3, 6, 6, 7, 7);
    const __m256i low32 = _mm256_set1_epi64x(0xFFFFFFFF);
    __m256i lines[4];
    for (int part = 0; part < 2; ++part) {
        const __m256i take = part == 0 ? takeLow : takeHigh;
        const __m256i digits = part == 0 ? digitsLow : digitsHigh;
        const __m256i first =
            _mm256_or_si256(_mm256_and_si256(_mm256_permutevar8x32_epi32(head, take), low32),
                            _mm256_slli_epi64(digits, 32));
        const __m256i second =
            _mm256_or_si256(_mm256_srli_epi64(digits, 32),
                            _mm256_slli_epi64(_mm256_permutevar8x32_epi32(tail, take), 32));
        lines[part * 2] = _mm256_unpacklo_epi64(first, second);      // numbers 0, 4 (2, 6)
        lines[part * 2 + 1] = _mm256_unpackhi_epi64(first, second);  // numbers 1, 5 (3, 7)
    }
    // Leading zeros become blanks, and the sign stands just before the first digit.
    const __m256i place = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0,
                                           1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    for (__m256i& line : lines) {
        const __m256i z = _mm256_shuffle_epi8(line, _mm256_set1_epi8(15));
        const __m256i s = _mm256_shuffle_epi8(line, _mm256_set1_epi8(14));
        const __m256i blank =
            _mm256_and_si256(_mm256_cmpgt_epi8(_mm256_add_epi8(z, _mm256_set1_epi8(2)), place),
                             _mm256_cmpgt_epi8(place, _mm256_set1_epi8(1)));
        line = _mm256_xor_si256(line, _mm256_and_si256(blank, _mm256_set1_epi8('0' ^ ' ')));
        const __m256i signHere =
            _mm256_andnot_si256(_mm256_cmpeq_epi8(s, _mm256_setzero_si256()),
                                _mm256_cmpeq_epi8(place, _mm256_add_epi8(z, _mm256_set1_epi8(1))));
        line = _mm256_blendv_epi8(line, s, signHere);
    }
    // In order, so that each line's store overwrites the spare bytes of the one before.
    const int order[8][2] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 1}, {1, 1}, {2, 1}, {3, 1}};
    for (int i = 0; i < 8; ++i) {
        const __m256i line = lines[order[i][0]];
        const __m128i half128 =
            order[i][1] == 0 ? _mm256_castsi256_si128(line) : _mm256_extracti128_si256(line, 1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + stride * i), half128);
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

LOTRIX_AVX2 __m256i Load(const std::array<std::uint32_t, 8>& words) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words.data()));
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

[[gnu::target("avx2")]] void MinimalStandardAvx2(char*& out, std::int32_t lines,
                                                 std::int32_t& state, std::string_view lineEnd) {
    auto [lanes, jump] = FirstMinimalStandardLanes(state);
    __m256i written = lanes;
    const auto stride = static_cast<std::ptrdiff_t>(8 * (kFieldWidth + lineEnd.size()));
    for (std::int32_t done = 0; done < lines; done += 8) {
        WriteEightLines(out, lanes, _mm256_setzero_si256(), lineEnd);
        out += stride;
        written = lanes;
        lanes = MultiplyModulo(lanes, jump);
    }
    if (lines > 0) state = LastLane(written);
}

[[gnu::target("avx2")]] void CompatAvx2(char*& out, std::int32_t lines, std::uint32_t& state,
                                        std::string_view lineEnd) {
    constexpr auto& multipliers = kCompatSteps<8>[0];
    constexpr auto& increments = kCompatSteps<8>[1];
    __m256i lanes = _mm256_add_epi32(
        _mm256_mullo_epi32(_mm256_set1_epi32(static_cast<int>(state)), Load(multipliers)),
        Load(increments));
    const __m256i multiplier = _mm256_set1_epi32(static_cast<int>(multipliers.back()));
    const __m256i increment = _mm256_set1_epi32(static_cast<int>(increments.back()));
    __m256i written = lanes;
    const auto stride = static_cast<std::ptrdiff_t>(8 * (kFieldWidth + lineEnd.size()));
    for (std::int32_t done = 0; done < lines; done += 8) {
        const __m256i values =
            _mm256_and_si256(_mm256_srli_epi32(lanes, 16), _mm256_set1_epi32(0x7FFF));
        WriteEightLines(out, values, _mm256_setzero_si256(), lineEnd);
        out += stride;
        written = lanes;
        lanes = _mm256_add_epi32(_mm256_mullo_epi32(lanes, multiplier), increment);
    }
    if (lines > 0) state = static_cast<std::uint32_t>(LastLane(written));
}

[[gnu::target("avx2")]] void IntervalAvx2(char*& out, std::int32_t lines, std::int32_t& state,
                                          std::int32_t lower, std::int32_t width,
                                          std::string_view lineEnd) {
    auto [lanes, jump] = FirstMinimalStandardLanes(state);
    __m256i written = lanes;
    const __m256i widths = _mm256_set1_epi64x(static_cast<std::uint32_t>(width));
    const auto stride = static_cast<std::ptrdiff_t>(8 * (kFieldWidth + lineEnd.size()));
    for (std::int32_t done = 0; done < lines; done += 8) {
        const Products p = MultiplyLanes(lanes, widths);
        const __m256i offset = JoinLanes(ScaledQuotient(p.even), ScaledQuotient(p.odd));
        const __m256i value = _mm256_add_epi32(_mm256_set1_epi32(lower), offset);
        const __m256i negative = _mm256_cmpgt_epi32(_mm256_setzero_si256(), value);
        const __m256i sign =
            _mm256_blendv_epi8(_mm256_set1_epi32('+'), _mm256_set1_epi32('-'), negative);
        WriteEightLines(out, _mm256_abs_epi32(value), sign, lineEnd);
        out += stride;
        written = lanes;
        lanes = MultiplyModulo(lanes, jump);
    }
    if (lines > 0) state = LastLane(written);
}

[[gnu::target("avx2")]] void FieldLinesAvx2(char* out, const std::uint32_t* magnitudes,
                                            const char* signs, std::string_view lineEnd) {
    alignas(32) std::uint32_t signWords[8];
    for (int i = 0; i < 8; ++i)
        signWords[i] = static_cast<unsigned char>(signs[i]);
    WriteEightLines(out, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(magnitudes)),
                    _mm256_load_si256(reinterpret_cast<const __m256i*>(signWords)), lineEnd);
}

#undef LOTRIX_AVX2

}  // namespace

const FastLines kAvx2Lines{
    "AVX2",         HasAvx2, 8,      MinimalStandardAvx2, CompatAvx2, IntervalAvx2,
    FieldLinesAvx2, nullptr, nullptr};

bool HasAvx2() {
    return __builtin_cpu_supports("avx2");
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
