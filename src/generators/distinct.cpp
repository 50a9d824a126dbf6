// Draws without repeats: the plain sequence's lines sifted of the values seen before.
#include "generators/distinct.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "generators/digits.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"

namespace lotrix {
namespace {

// The offsets of a chunk's values, on one thread.
std::array<std::uint32_t, kDistinctChunk> g_chunkOffsets;

// What the draw remembers: the values' offsets from the lower bound, as bits of a bitmap
// of the interval, or in a set (each slot an offset plus one, 0 empty, at most half full).
// The set's slots are in buckets of a cache line: a value is looked for in the bucket its
// hash gives, and in the next only when that one is full, so a lookup is one line's
// compare, not a walk whose length the processor cannot foresee.
struct Seen {
    std::int32_t lower = 0;
    std::int32_t width = 0;
    std::int32_t upper = 0;
    bool bitmap = false;
    std::uint64_t* words = nullptr;  // the bitmap
    std::uint32_t* slots = nullptr;  // the set
    std::uint32_t lastBucket = 0;    // buckets - 1
    int shift = 0;                   // 32 - log2(buckets)
    std::uint32_t drawsSinceNew = 0;
    bool exhausted = false;  // the sequence has no value left to give
};
Seen g_seen;

std::size_t BitmapBytes(std::int64_t width) {
    return static_cast<std::size_t>((width + 63) / 64 * 8);
}

// A power of two, at least twice the values the set will hold.
std::uint64_t SetSlots(std::int64_t count) {
    std::uint64_t slots = 64;
    while (slots < static_cast<std::uint64_t>(count) * 2)
        slots *= 2;
    return slots;
}

constexpr std::uint32_t kBucketSlots = 16;  // 64 bytes

// The bucket a value is first looked for in. Fibonacci hashing: the top bits of the offset
// times 2^32 / golden ratio.
std::uint32_t BucketOf(std::uint32_t offset) {
    return static_cast<std::uint32_t>((offset * 0x9E3779B1u) >> g_seen.shift);
}
std::uint32_t* BucketSlots(std::uint32_t bucket) {
    return g_seen.slots + static_cast<std::size_t>(bucket) * kBucketSlots;
}

// Where the value is remembered, or would be.
template <bool kBitmap>
const void* PlaceOf(std::uint32_t offset) {
    if constexpr (kBitmap) return &g_seen.words[offset >> 6];
    return BucketSlots(BucketOf(offset));
}

// A bucket fills from its first slot on, so the key, if there, comes before the first empty
// slot: the first slot that holds the key or is empty; kBucketSlots when neither is.
std::uint32_t KeyOrEmptyIn(const std::uint32_t* bucket, std::uint32_t key) {
#if defined(__SSE2__)
    // The sixteen slots compared at once, each answer narrowed to a byte and then a bit.
    const __m128i keys = _mm_set1_epi32(static_cast<int>(key));
    const __m128i empty = _mm_setzero_si128();
    __m128i quarters[4];
    for (int q = 0; q < 4; ++q) {
        const __m128i slots = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bucket + 4 * q));
        quarters[q] = _mm_or_si128(_mm_cmpeq_epi32(slots, keys), _mm_cmpeq_epi32(slots, empty));
    }
    const __m128i answers = _mm_packs_epi16(_mm_packs_epi32(quarters[0], quarters[1]),
                                            _mm_packs_epi32(quarters[2], quarters[3]));
    const auto found = static_cast<std::uint32_t>(_mm_movemask_epi8(answers));
    return found != 0 ? static_cast<std::uint32_t>(std::countr_zero(found)) : kBucketSlots;
#else
    std::uint32_t slot = 0;
    while (slot < kBucketSlots && bucket[slot] != key && bucket[slot] != 0)
        ++slot;
    return slot;
#endif
}

}  // namespace

std::size_t DistinctMemory(std::int64_t width, std::int64_t count) {
    // In 64 bits: a set for two billion numbers would be 16 GiB, past a 32-bit size.
    const std::uint64_t bytes =
        std::min<std::uint64_t>(BitmapBytes(width), SetSlots(count) * sizeof(std::uint32_t));
    return static_cast<std::size_t>(std::min<std::uint64_t>(bytes, SIZE_MAX));
}

void BeginDistinct(std::int32_t lower, std::int32_t upper, std::int64_t count, void* memory) {
    g_seen = Seen{};
    const std::int64_t width = IntervalWidth(lower, upper);
    const std::size_t bytes = DistinctMemory(width, count);
    g_seen.lower = lower;
    g_seen.width = static_cast<std::int32_t>(width);
    g_seen.upper = upper;
    g_seen.bitmap = bytes == BitmapBytes(width);
    if (g_seen.bitmap) {
        g_seen.words = static_cast<std::uint64_t*>(memory);
    } else {
        g_seen.slots = static_cast<std::uint32_t*>(memory);
        const std::uint64_t buckets = bytes / sizeof(std::uint32_t) / kBucketSlots;
        g_seen.lastBucket = static_cast<std::uint32_t>(buckets - 1);
        g_seen.shift = 32 - std::countr_zero(buckets);
    }
}

namespace {

// The generator's period: after as many draws every value it can give has come.
constexpr std::uint32_t kPeriod = 2147483646;

// A line moved down over the gaps: exactly its bytes, read before any is stored (the place
// it goes to may be its own), so the lines after it stay whole.
void MoveLine(char* to, const char* from, std::size_t size) {
    std::uint64_t head;
    std::uint64_t tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + size - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + size - 8, &tail, 8);
}

// How far ahead of the draw looked at the place that remembers a value is fetched: far
// enough for the memory's delay to pass behind the draws in between.
constexpr std::int32_t kFetchAhead = 128;

// Notes the value; whether it is new.
template <bool kBitmap>
bool NoteNew(std::uint32_t offset) {
    if constexpr (kBitmap) {
        std::uint64_t& word = g_seen.words[offset >> 6];
        const std::uint64_t bit = std::uint64_t{1} << (offset & 63);
        const bool fresh = (word & bit) == 0;
        word |= bit;
        return fresh;
    } else {
        const std::uint32_t key = offset + 1;
        // Past a full bucket to the next, the last one followed by the first.
        for (std::uint32_t bucket = BucketOf(offset);; bucket = (bucket + 1) & g_seen.lastBucket) {
            std::uint32_t* slots = BucketSlots(bucket);
            const std::uint32_t slot = KeyOrEmptyIn(slots, key);
            if (slot == kBucketSlots) continue;
            if (slots[slot] == key) return false;
            slots[slot] = key;
            return true;
        }
    }
}

// KeepNewLines for the bitmap or the set.
template <bool kBitmap>
KeptLines KeepNew(char* lines, const std::uint32_t* offsets, std::int32_t draws,
                  std::int32_t wanted, std::size_t lineSize) {
    KeptLines kept{lines, 0, 0};
    std::int32_t k = 0;
    for (; k < draws && kept.lines < wanted; ++k) {
        // Into the outer caches only: the processor keeps more such fetches in flight.
        if (k + kFetchAhead < draws)
            __builtin_prefetch(PlaceOf<kBitmap>(offsets[k + kFetchAhead]), 0, 1);
        if (NoteNew<kBitmap>(offsets[k])) {
            g_seen.drawsSinceNew = 0;
            MoveLine(kept.end, lines + static_cast<std::size_t>(k) * lineSize, lineSize);
            kept.end += lineSize;
            ++kept.lines;
        } else if (++g_seen.drawsSinceNew >= kPeriod) {
            g_seen.exhausted = true;
            ++k;
            break;
        }
    }
    kept.draws = k;
    return kept;
}

}  // namespace

std::int32_t DrawLines(char*& out, std::uint32_t* offsets, std::int32_t draws,
                       std::string_view lineEnd, const StopFlag& stop) {
    return IntervalLines(out, draws, g_seen.lower, g_seen.upper, lineEnd, stop, offsets);
}

KeptLines KeepNewLines(char* lines, const std::uint32_t* offsets, std::int32_t draws,
                       std::int32_t wanted, std::size_t lineSize) {
    return g_seen.bitmap ? KeepNew<true>(lines, offsets, draws, wanted, lineSize)
                         : KeepNew<false>(lines, offsets, draws, wanted, lineSize);
}

bool DistinctExhausted() {
    return g_seen.exhausted;
}

std::int32_t DistinctIntervalLines(char*& out, std::int32_t count, std::string_view lineEnd,
                                   const StopFlag& stop) {
    // The plain sequence's lines are made where the kept ones go, a chunk at a time, and
    // moved down over the repeats; the state is left after the last draw kept.
    std::array<std::uint32_t, kDistinctChunk>& offsets = g_chunkOffsets;
    const std::size_t lineSize = kFieldWidth + lineEnd.size();
    std::int32_t made = 0;
    while (made < count && !g_seen.exhausted) {
        const std::int32_t start = g_minimalStandardState;
        // The stuck state gives one value, again and again: one draw shows whether it is new.
        const std::int32_t draws = start == 0 ? 1 : std::min(count - made, kDistinctChunk);
        char* end = out;
        const std::int32_t drawn = DrawLines(end, offsets.data(), draws, lineEnd, stop);
        if (drawn == 0) break;  // stopped
        const KeptLines kept = KeepNewLines(out, offsets.data(), drawn, count - made, lineSize);
        out = kept.end;
        made += kept.lines;
        if (kept.draws < drawn) g_minimalStandardState = MinimalStandardJump(start, kept.draws);
        if (start == 0) g_seen.exhausted = true;
    }
    return made;
}

}  // namespace lotrix
