#include "generators/fast_lines.hpp"

#include <algorithm>

#include "generators/compat.hpp"
#include "generators/digits.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#endif

namespace lotrix {
namespace {

// The portable path: four generator states in flight, each stepping by the fourth power of
// the step, so that the products of four numbers overlap instead of each waiting for the
// one before; the digits by WriteFieldLine, which has no branches.
constexpr std::size_t kPortableLanes = 4;

struct PortableStates {
    std::uint32_t states[kPortableLanes];
};

PortableStates FirstLanes(std::int32_t state) {
    PortableStates lanes{};
    for (std::size_t i = 0; i < kPortableLanes; ++i)
        lanes.states[i] = MultiplyModulo(static_cast<std::uint32_t>(state),
                                         kMinimalStandardPowers<kPortableLanes>[i]);
    return lanes;
}

void Jump(PortableStates& lanes) {
    for (std::uint32_t& s : lanes.states)
        s = MultiplyModulo(s, kMinimalStandardPowers<kPortableLanes>.back());
}

void MinimalStandardPortable(char*& out, std::int32_t lines, std::int32_t& state,
                             std::string_view lineEnd) {
    PortableStates lanes = FirstLanes(state);
    const std::uint64_t word = LineEndWord(lineEnd);
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += kPortableLanes) {
        for (const std::uint32_t s : lanes.states)
            cursor = WriteFieldLine(cursor, s, Sign::none, word, lineEnd.size());
        state = static_cast<std::int32_t>(lanes.states[kPortableLanes - 1]);
        Jump(lanes);
    }
    out = cursor;
}

void CompatPortable(char*& out, std::int32_t lines, std::uint32_t& state,
                    std::string_view lineEnd) {
    constexpr auto& steps = kCompatSteps<kPortableLanes>;
    std::uint32_t lanes[kPortableLanes];
    for (std::size_t i = 0; i < kPortableLanes; ++i)
        lanes[i] = state * steps[0][i] + steps[1][i];
    const std::uint64_t word = LineEndWord(lineEnd);
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += kPortableLanes) {
        for (std::uint32_t& s : lanes) {
            cursor = WriteFieldLine(cursor, static_cast<std::uint32_t>(CompatValue(s)), Sign::none,
                                    word, lineEnd.size());
            state = s;
            s = s * steps[0].back() + steps[1].back();
        }
    }
    out = cursor;
}

void IntervalPortable(char*& out, std::int32_t lines, std::int32_t& state, std::int32_t lower,
                      std::int32_t width, std::uint32_t* offsets, std::string_view lineEnd) {
    PortableStates lanes = FirstLanes(state);
    const std::uint64_t word = LineEndWord(lineEnd);
    char* cursor = out;
    for (std::int32_t done = 0; done < lines; done += kPortableLanes) {
        for (const std::uint32_t s : lanes.states) {
            const std::uint32_t offset = IntervalOffset(width, static_cast<std::int32_t>(s));
            if (offsets != nullptr) *offsets++ = offset;
            cursor = WriteSignedFieldLine(cursor, OffsetValue(lower, offset), word, lineEnd.size());
        }
        state = static_cast<std::int32_t>(lanes.states[kPortableLanes - 1]);
        Jump(lanes);
    }
    out = cursor;
}

void FieldLinesPortable(char* out, const std::uint32_t* magnitudes, const Sign* signs,
                        std::string_view lineEnd) {
    for (std::size_t i = 0; i < kPortableLanes; ++i)
        out = WriteFieldLine(out, magnitudes[i], signs[i], lineEnd);
}

// The features a path may be compiled for, each with its question to the processor (the
// compiler's, which also asks whether the system saves the wider registers).
struct Feature {
    std::string_view name;
    bool (*has)();
};
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
constexpr Feature kFeatures[] = {
    {"avx2", [] { return __builtin_cpu_supports("avx2") != 0; }},
    {"fma", [] { return __builtin_cpu_supports("fma") != 0; }},
    {"bmi", [] { return __builtin_cpu_supports("bmi") != 0; }},
    {"bmi2", [] { return __builtin_cpu_supports("bmi2") != 0; }},
    {"avx512f", [] { return __builtin_cpu_supports("avx512f") != 0; }},
    {"avx512bw", [] { return __builtin_cpu_supports("avx512bw") != 0; }},
    {"avx512dq", [] { return __builtin_cpu_supports("avx512dq") != 0; }},
    {"avx512cd", [] { return __builtin_cpu_supports("avx512cd") != 0; }},
    {"avx512vl", [] { return __builtin_cpu_supports("avx512vl") != 0; }},
    {"avx512vbmi", [] { return __builtin_cpu_supports("avx512vbmi") != 0; }},
    // Not every compiler's builtin knows it: the processor's own word (ABM's bit).
    {"lzcnt",
     [] {
         unsigned a = 0, b = 0, c = 0, d = 0;
         return __get_cpuid(0x80000001u, &a, &b, &c, &d) != 0 && (c & (1u << 5)) != 0;
     }},
};
#else
constexpr Feature kFeatures[] = {{"", [] { return true; }}};
#endif

const Feature* FindFeature(std::string_view name) {
    for (const Feature& feature : kFeatures) {
        if (feature.name == name) return &feature;
    }
    return nullptr;
}

// Calls `each(name)` for each of the comma-separated features while it returns true.
template <typename Each>
bool EveryFeature(std::string_view features, Each each) {
    // By lengths, not substr: nothing here may throw (the program has no exceptions).
    while (!features.empty()) {
        const std::size_t length = std::min(features.find(','), features.size());
        if (!each(std::string_view(features.data(), length))) return false;
        features.remove_prefix(std::min(length + 1, features.size()));
    }
    return true;
}

}  // namespace

bool ProcessorHas(std::string_view features) {
    return EveryFeature(features, [](std::string_view name) {
        const Feature* feature = FindFeature(name);
        return feature != nullptr && feature->has();
    });
}

bool KnowsFeatures(std::string_view features) {
    return EveryFeature(features,
                        [](std::string_view name) { return FindFeature(name) != nullptr; });
}

constinit const Path kPortablePath{"portable",
                                   "",
                                   kPortableLanes,
                                   MinimalStandardPortable,
                                   CompatPortable,
                                   IntervalPortable,
                                   FieldLinesPortable,
                                   nullptr,
                                   nullptr};

const Path* ChoosePath() {
    for (const Path* path : kPaths) {
        if (RunsHere(*path)) return path;
    }
    return &kPortablePath;
}

}  // namespace lotrix
