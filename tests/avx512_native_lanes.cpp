// The processor's own instructions for the emulated AVX-512 operations (avx512_lanes.hpp).
#include <array>
#include <bit>
#include <cstring>

#include "avx512_lanes.hpp"
#include "generators/vector_target.hpp"

#include "generators/x86_intrinsics.hpp"

namespace lotrix::lanes {
namespace {

// A result made by `half` on each 32-byte half of the operands: a vector's halves, or a
// mask's bits, kBits a half.
template <typename Half>
Bytes ByHalves(const Bytes& a, const Bytes& b, const Bytes& c, Half half) {
    Bytes out{};
    for (std::size_t i = 0; i < 2; ++i) {
        const auto part =
            half(From<__m256i>(a, 32 * i), From<__m256i>(b, 32 * i), From<__m256i>(c, 32 * i));
        static_assert(sizeof part == 32);
        std::memcpy(out.data() + 32 * i, &part, 32);
    }
    return out;
}
template <int kBits, typename Half>
Bytes MaskByHalves(const Bytes& a, const Bytes& b, const Bytes& c, Half half) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 2; ++i) {
        bits |= std::uint64_t{half(From<__m256i>(a, 32 * i), From<__m256i>(b, 32 * i),
                                   From<__m256i>(c, 32 * i))}
                << (kBits * i);
    }
    return Out(bits);
}
// A result made lane by lane: `lane(a's lane, b's lane, c's lane)` for lanes of `In`.
template <typename In, typename Out, typename Lane>
Bytes ByLanes(const Bytes& a, const Bytes& b, const Bytes& c, Lane lane) {
    Bytes out{};
    for (std::size_t i = 0; i < 64 / sizeof(In); ++i) {
        const Out r = lane(From<In>(a, i * sizeof(In)), From<In>(b, i * sizeof(In)),
                           From<In>(c, i * sizeof(In)));
        std::memcpy(out.data() + i * sizeof(Out), &r, sizeof r);
    }
    return out;
}
// The instruction set reference's 128-bit lane choice: 0-1 from a, 2-3 from b.
template <int kControl>
Bytes ShuffleLanes(const Bytes& a, const Bytes& b) {
    Bytes out{};
    for (int i = 0; i < 4; ++i)
        std::memcpy(out.data() + 16 * i, (i < 2 ? a : b).data() + 16 * (kControl >> (2 * i) & 3),
                    16);
    return out;
}

}  // namespace

LOTRIX_BEGIN_TARGET_REGION("avx512f,avx512bw,avx512dq,avx512cd")
namespace {
__m512i V(const Bytes& b) {
    return _mm512_loadu_si512(b.data());
}
__m512d D(const Bytes& b) {
    return _mm512_loadu_pd(b.data());
}
}  // namespace
const LaneOps kAvx512Ops = {
#include "avx512_ops.inc"
};
LOTRIX_END_TARGET_REGION

LOTRIX_BEGIN_TARGET_REGION("avx2,fma,lzcnt")
namespace {
std::uint32_t Mask32(__m256i v) {
    return static_cast<std::uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(v)));
}
std::uint32_t Mask64(__m256i v) {
    return static_cast<std::uint32_t>(_mm256_movemask_pd(_mm256_castsi256_pd(v)));
}
struct Doubles {
    __m256d low, high;
};
}  // namespace
const LaneOps kEquivalentOps = {
    LOTRIX_OP("cmpgt_epu32_mask",
              MaskByHalves<8>(a, b, c,
                              [](__m256i x, __m256i y, __m256i) {
                                  return Mask32(_mm256_cmpgt_epi32(
                                      _mm256_xor_si256(x, _mm256_set1_epi32(INT32_MIN)),
                                      _mm256_xor_si256(y, _mm256_set1_epi32(INT32_MIN))));
                              }),
              false),
    LOTRIX_OP("cmplt_epi32_mask",
              MaskByHalves<8>(
                  a, b, c,
                  [](__m256i x, __m256i y, __m256i) { return Mask32(_mm256_cmpgt_epi32(y, x)); }),
              false),
    LOTRIX_OP("cmplt_epi64_mask",
              MaskByHalves<4>(
                  a, b, c,
                  [](__m256i x, __m256i y, __m256i) { return Mask64(_mm256_cmpgt_epi64(y, x)); }),
              false),
    LOTRIX_OP("cmpneq_epi8_mask",
              MaskByHalves<32>(a, b, c,
                               [](__m256i x, __m256i y, __m256i) {
                                   return ~static_cast<std::uint32_t>(
                                       _mm256_movemask_epi8(_mm256_cmpeq_epi8(x, y)));
                               }),
              false),
    LOTRIX_OP("cvtepi32_pd",
              Out(Doubles{_mm256_cvtepi32_pd(From<__m128i>(a)),
                          _mm256_cvtepi32_pd(From<__m128i>(a, 16))}),
              true),
    LOTRIX_OP("cvtepi64_epi8",
              ByLanes<std::uint64_t LOTRIX_COMMA std::uint8_t>(
                  a, b, c, [](auto x, auto, auto) { return static_cast<std::uint8_t>(x); }),
              false),
    LOTRIX_OP(
        "cvtepi64_pd",
        ByLanes<std::int64_t LOTRIX_COMMA double>(
            a, b, c,
            [](auto x, auto, auto) { return _mm_cvtsd_f64(_mm_cvtsi64_sd(_mm_setzero_pd(), x)); }),
        true),
    LOTRIX_OP("cvtpd_epi64",
              ByLanes<double LOTRIX_COMMA std::int64_t>(a, b, c,
                                                        [](auto x, auto, auto) {
                                                            return static_cast<std::int64_t>(
                                                                _mm_cvtsd_si64(_mm_set_sd(x)));
                                                        }),
              false),
    LOTRIX_OP("cvttpd_epi64",
              ByLanes<double LOTRIX_COMMA std::int64_t>(a, b, c,
                                                        [](auto x, auto, auto) {
                                                            return static_cast<std::int64_t>(
                                                                _mm_cvttsd_si64(_mm_set_sd(x)));
                                                        }),
              false),
    LOTRIX_OP(
        "lzcnt_epi32",
        ByLanes<std::uint32_t LOTRIX_COMMA std::uint32_t>(
            a, b, c, [](auto x, auto, auto) { return static_cast<std::uint32_t>(_lzcnt_u32(x)); }),
        false),
    LOTRIX_OP(
        "mulhi_epu16",
        ByHalves(a, b, c, [](__m256i x, __m256i y, __m256i) { return _mm256_mulhi_epu16(x, y); }),
        false),
    LOTRIX_OP(
        "madd_epi16",
        ByHalves(a, b, c, [](__m256i x, __m256i y, __m256i) { return _mm256_madd_epi16(x, y); }),
        false),
    LOTRIX_OP("fmsub_pd",
              ByHalves(a, b, c,
                       [](__m256i x, __m256i y, __m256i z) {
                           return _mm256_fmsub_pd(_mm256_castsi256_pd(x), _mm256_castsi256_pd(y),
                                                  _mm256_castsi256_pd(z));
                       }),
              true),
    LOTRIX_OP("shuffle_i64x2 0x44", ShuffleLanes<0x44>(a, b), false),
    LOTRIX_OP("shuffle_i64x2 0xEE", ShuffleLanes<0xEE>(a, b), false),
    LOTRIX_OP("shuffle_i64x2 0x1B", ShuffleLanes<0x1B>(a, b), false),
};
LOTRIX_END_TARGET_REGION

}  // namespace lotrix::lanes
