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
#include "avx512_ops.inc"
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
