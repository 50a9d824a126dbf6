// Micro-benchmarks of each generator step and each row's line maker.
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "generators/compat.hpp"
#include "generators/digits.hpp"
#include "generators/fast_lines.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "generators/unit_real.hpp"
#include "record/modes.hpp"
#include "record/settings.hpp"

namespace {

using namespace lotrix;

void MinimalStandardSteps(benchmark::State& state) {
    SeedMinimalStandard(1);
    for (auto _ : state)
        benchmark::DoNotOptimize(NextMinimalStandard());
}
BENCHMARK(MinimalStandardSteps);

void CompatSteps(benchmark::State& state) {
    SeedCompat(1);
    for (auto _ : state)
        benchmark::DoNotOptimize(NextCompat());
}
BENCHMARK(CompatSteps);

void UnitRealSteps(benchmark::State& state) {
    SeedMinimalStandard(1);
    for (auto _ : state)
        benchmark::DoNotOptimize(NextUnitReal());
}
BENCHMARK(UnitRealSteps);

void FormatReals(benchmark::State& state) {
    SeedMinimalStandard(1);
    std::array<char, 64> text;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatReal(NextUnitReal(), text.data()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(FormatReals);

void IntervalDraws(benchmark::State& state) {
    SeedMinimalStandard(1);
    const auto upper = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawInInterval(1, upper));
}
BENCHMARK(IntervalDraws)->Arg(10)->Arg(1'000'000)->Arg((1 << 30) + 1)->Arg(2147483646);

RunSettings g_row;

// Both generators seeded, the bounds of choice 4 set, and the row of the benchmark's
// choice, as a run would have them.
const ModeEntry& PrepareRow(const benchmark::State& state) {
    g_row.lower = -1000;
    g_row.upper = 1000000;
    SeedMinimalStandard(1);
    SeedCompat(1);
    return ModeFor(static_cast<std::int32_t>(state.range(0)));
}

constexpr std::int32_t kBatch = 4096;
std::array<char, kBatch * kLineRoom> g_buffer;

// A row's line maker, one line a call, into a buffer reused every 4096 lines.
void LineMaker(benchmark::State& state) {
    const ModeEntry& mode = PrepareRow(state);
    char* out = g_buffer.data();
    std::int64_t lines = 0;
    for (auto _ : state) {
        out = mode.makeLine(out, g_row);
        if (++lines % kBatch == 0) out = g_buffer.data();
    }
    benchmark::DoNotOptimize(out);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(LineMaker)->DenseRange(1, 4)->ArgName("choice");

// The same through the batch maker that the run uses, 4096 lines a call.
void LineBatch(benchmark::State& state) {
    const ModeEntry& mode = PrepareRow(state);
    const StopFlag never{0};
    for (auto _ : state) {
        char* out = g_buffer.data();
        benchmark::DoNotOptimize(mode.makeLines(out, kBatch, g_row, never));
        benchmark::ClobberMemory();
    }
    state.counters["per_number"] = benchmark::Counter(
        kBatch, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(LineBatch)->DenseRange(1, 4)->ArgName("choice");

// Choice 3's lines on the scalar reference (one step and WriteFieldLine a number), 4096 lines a
// round, to set beside the paths below.
void MinimalStandardScalarPath(benchmark::State& state) {
    std::int32_t s = 1;
    for (auto _ : state) {
        char* out = g_buffer.data();
        for (std::int32_t i = 0; i < kBatch; ++i) {
            s = MinimalStandardAdvance(s);
            out = WriteFieldLine(out, static_cast<std::uint32_t>(s), Sign::none, "\n");
        }
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.counters["per_number"] = benchmark::Counter(
        kBatch, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(MinimalStandardScalarPath);

// The lines on each path, 4096 a round: choice 3, choice 1, choice 4 with the bounds of
// PrepareRow, and choice 2 where the path has it; per_number is the time of one line.
void VectorPath(benchmark::State& state, const Path* path, std::int32_t choice) {
    if (path->minimalStandard == nullptr || !RunsHere(*path)) {
        state.SkipWithError("not supported here");
        return;
    }
    std::int32_t s = 1;
    std::uint32_t compat = 1;
    for (auto _ : state) {
        char* out = g_buffer.data();
        if (choice == 3) path->minimalStandard(out, kBatch, s, "\n");
        if (choice == 1) path->compat(out, kBatch, compat, "\n");
        if (choice == 4) path->interval(out, kBatch, s, -1000, 1001001, nullptr, "\n");
        if (choice == 2) path->unitReal(out, kBatch, s, "\n");
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.counters["per_number"] = benchmark::Counter(
        kBatch, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

[[maybe_unused]] const bool g_registered = [] {
    for (const Path* path : kPaths) {
        for (const std::int32_t choice : {3, 1, 4, 2}) {
            if (choice == 2 && path->unitReal == nullptr) continue;
            benchmark::RegisterBenchmark(
                (std::string("VectorPath/") + path->name + "/choice:" + std::to_string(choice))
                    .c_str(),
                VectorPath, path, choice);
        }
    }
    return true;
}();

}  // namespace
