// Each AVX-512 operation the emulated build writes itself against the processor's own
// instructions, lane for lane, over random operands and the edges of each lane's type:
// AVX-512 where the processor has it, and the narrower equivalents everywhere else.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "avx512_lanes.hpp"
#include "generators/avx512_emulation.hpp"
#include "generators/fast_lines.hpp"

namespace lotrix::lanes {

namespace {
simde__m512i V(const Bytes& b) {
    return From<simde__m512i>(b);
}
simde__m512d D(const Bytes& b) {
    return From<simde__m512d>(b);
}
}  // namespace

const LaneOps kEmulatedOps = {
    LOTRIX_OP("cmpgt_epu32_mask", Out(_mm512_cmpgt_epu32_mask(V(a), V(b))), false),
    LOTRIX_OP("cmplt_epi32_mask", Out(_mm512_cmplt_epi32_mask(V(a), V(b))), false),
    LOTRIX_OP("cmplt_epi64_mask", Out(_mm512_cmplt_epi64_mask(V(a), V(b))), false),
    LOTRIX_OP("cmpneq_epi8_mask", Out(_mm512_cmpneq_epi8_mask(V(a), V(b))), false),
    LOTRIX_OP("cvtepi32_pd", Out(_mm512_cvtepi32_pd(From<__m256i>(a))), true),
    LOTRIX_OP("cvtepi64_epi8", Out(_mm512_cvtepi64_epi8(V(a))), false),
    LOTRIX_OP("cvtepi64_pd", Out(_mm512_cvtepi64_pd(V(a))), true),
    LOTRIX_OP("cvtpd_epi64", Out(_mm512_cvtpd_epi64(D(a))), false),
    LOTRIX_OP("cvttpd_epi64", Out(_mm512_cvttpd_epi64(D(a))), false),
    LOTRIX_OP("lzcnt_epi32", Out(_mm512_lzcnt_epi32(V(a))), false),
    LOTRIX_OP("mulhi_epu16", Out(_mm512_mulhi_epu16(V(a), V(b))), false),
    LOTRIX_OP("madd_epi16", Out(_mm512_madd_epi16(V(a), V(b))), false),
    LOTRIX_OP("fmsub_pd", Out(_mm512_fmsub_pd(D(a), D(b), D(c))), true),
    LOTRIX_OP("shuffle_i64x2 0x44", Out(_mm512_shuffle_i64x2(V(a), V(b), 0x44)), false),
    LOTRIX_OP("shuffle_i64x2 0xEE", Out(_mm512_shuffle_i64x2(V(a), V(b), 0xEE)), false),
    LOTRIX_OP("shuffle_i64x2 0x1B", Out(_mm512_shuffle_i64x2(V(a), V(b), 0x1B)), false),
};

namespace {

// An operand: each 64-bit word random bits, a double of any size (halves and ties among
// them), a lane type's edge, or small numbers with random leading zeros.
Bytes Operand(std::mt19937_64& random) {
    constexpr std::uint64_t kEdges[] = {
        0,
        ~0ull,
        1,
        0x8000'0000'0000'0000,
        0x7FFF'FFFF'FFFF'FFFF,
        0x8000'0000'8000'0000,
        0x7FFF'FFFF'7FFF'FFFF,
        0x8000'8000'8000'8000,
        0x7FFF'7FFF'7FFF'7FFF,
        0x8080'8080'8080'8080,
        std::bit_cast<std::uint64_t>(0x1p63),
        std::bit_cast<std::uint64_t>(-0x1p63),
        std::bit_cast<std::uint64_t>(2.5),
        std::bit_cast<std::uint64_t>(-0.5),
        std::bit_cast<std::uint64_t>(std::numeric_limits<double>::quiet_NaN()),
        std::bit_cast<std::uint64_t>(std::numeric_limits<double>::infinity())};
    Bytes bytes{};
    for (std::size_t at = 0; at < bytes.size(); at += 8) {
        const std::uint64_t bits = random();
        std::uint64_t word = bits;
        switch (random() % 4) {
            case 1: {
                const double scale = std::ldexp(1.0, static_cast<int>(random() % 140) - 70);
                const double x = static_cast<double>(bits >> 11) * 0x1p-53 * scale;
                word = std::bit_cast<std::uint64_t>(random() % 4 == 0 ? std::round(x) + 0.5 : x);
                if (random() % 2) word ^= 0x8000'0000'0000'0000;
                break;
            }
            case 2:
                word = kEdges[bits % std::size(kEdges)];
                break;
            case 3:
                word = (bits >> (random() % 33)) & 0xFFFF'FFFF;
                word |= (random() >> (random() % 64)) << 32;
                break;
        }
        std::memcpy(bytes.data() + at, &word, 8);
    }
    return bytes;
}

bool SameLanes(const Bytes& x, const Bytes& y, bool doubles) {
    if (!doubles) return x == y;
    for (std::size_t at = 0; at < x.size(); at += 8) {
        double a, b;
        std::memcpy(&a, x.data() + at, 8);
        std::memcpy(&b, y.data() + at, 8);
        if (!(std::isnan(a) && std::isnan(b)) && std::memcmp(&a, &b, 8) != 0) return false;
    }
    return true;
}

void ExpectSameAs(const LaneOps& reference) {
    std::mt19937_64 random(20261208);
    for (int trial = 0; trial < 20000; ++trial) {
        const Bytes a = Operand(random), b = Operand(random), c = Operand(random);
        for (std::size_t i = 0; i < kLaneOps; ++i) {
            ASSERT_EQ(kEmulatedOps[i].name, reference[i].name);
            ASSERT_TRUE(SameLanes(kEmulatedOps[i].run(a, b, c), reference[i].run(a, b, c),
                                  kEmulatedOps[i].doubles))
                << kEmulatedOps[i].name << ", trial " << trial;
        }
    }
}

TEST(Avx512Emulation, EachOperationMatchesTheProcessorsAvx512) {
    if (!ProcessorHas(kAvx512Features)) GTEST_SKIP() << "no AVX-512 on this processor";
    ExpectSameAs(kAvx512Ops);
}

TEST(Avx512Emulation, EachOperationMatchesTheNarrowerInstructions) {
    if (!ProcessorHas(kEquivalentFeatures)) GTEST_SKIP() << "no AVX2, FMA or LZCNT here";
    ExpectSameAs(kEquivalentOps);
}

}  // namespace
}  // namespace lotrix::lanes
