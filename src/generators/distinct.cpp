#include "generators/distinct.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "generators/digits.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"

namespace lotrix {
namespace {

// The generator's period: after as many draws every value it can give has come.
constexpr std::uint32_t kPeriod = 2147483646;

// What the draw remembers: the values' offsets from the lower bound, as bits of a bitmap
// of the interval, or in a set (open addressing, each slot an offset plus one, 0 empty,
// at most half full).
struct Seen {
    std::int32_t lower = 0;
    std::int32_t width = 0;
    bool bitmap = false;
    std::uint64_t* words = nullptr;  // the bitmap
    std::uint32_t* slots = nullptr;  // the set
    std::uint32_t mask = 0;          // slots - 1
    int shift = 0;                   // 32 - log2(slots)
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

// Fibonacci hashing: the top bits of the offset times 2^32 / golden ratio.
std::uint32_t SlotOf(std::uint32_t offset) {
    return static_cast<std::uint32_t>((offset * 0x9E3779B1u) >> g_seen.shift);
}

const void* PlaceOf(std::uint32_t offset) {
    return g_seen.bitmap ? static_cast<const void*>(&g_seen.words[offset >> 6])
                         : static_cast<const void*>(&g_seen.slots[SlotOf(offset)]);
}

// Notes the value; whether it is new.
bool NoteNew(std::uint32_t offset) {
    if (g_seen.bitmap) {
        std::uint64_t& word = g_seen.words[offset >> 6];
        const std::uint64_t bit = std::uint64_t{1} << (offset & 63);
        const bool fresh = (word & bit) == 0;
        word |= bit;
        return fresh;
    }
    const std::uint32_t key = offset + 1;
    for (std::uint32_t slot = SlotOf(offset);; slot = (slot + 1) & g_seen.mask) {
        std::uint32_t& held = g_seen.slots[slot];
        if (held == key) return false;
        if (held == 0) {
            held = key;
            return true;
        }
    }
}

}  // namespace

std::size_t DistinctMemory(std::int64_t width, std::int64_t count) {
    // In 64 bits: a set for two billion numbers would be 16 GiB, past a 32-bit size.
    const std::uint64_t bytes =
        std::min<std::uint64_t>(BitmapBytes(width), SetSlots(count) * sizeof(std::uint32_t));
    return static_cast<std::size_t>(std::min<std::uint64_t>(bytes, SIZE_MAX));
}

bool BeginDistinct(std::int32_t lower, std::int32_t upper, std::int64_t count) {
    std::free(g_seen.words);
    std::free(g_seen.slots);
    g_seen = Seen{};
    const std::int64_t width = IntervalWidth(lower, upper);
    const std::size_t bytes = DistinctMemory(width, count);
    g_seen.lower = lower;
    g_seen.width = static_cast<std::int32_t>(width);
    g_seen.bitmap = bytes == BitmapBytes(width);
    // Zeroed by the system as the pages are first touched: a draw of a few numbers from
    // the widest bounds costs a few pages, not 256 MiB of clearing.
    void* memory = std::calloc(bytes, 1);
    if (memory == nullptr) return false;
    if (g_seen.bitmap) {
        g_seen.words = static_cast<std::uint64_t*>(memory);
    } else {
        g_seen.slots = static_cast<std::uint32_t*>(memory);
        const std::uint64_t slots = bytes / sizeof(std::uint32_t);
        g_seen.mask = static_cast<std::uint32_t>(slots - 1);
        g_seen.shift = 32 - std::countr_zero(slots);
    }
    return true;
}

namespace {

// A group of draws made ahead: their states and their values' offsets, the places that
// remember those values fetched as they are drawn; and their lines, made together on the
// path a run uses (a line of "%+12d" has one length whatever its value).
constexpr int kGroup = 64;
constexpr std::size_t kLongestLine = kFieldWidth + 2;
struct Group {
    std::array<std::int32_t, kGroup> states;
    std::array<std::uint32_t, kGroup> offsets;
    std::array<char, kGroup * kLongestLine + kSpill> lines;
};

std::array<Group, 2> g_groups;  // the group taken and the one drawn ahead

void DrawGroup(Group& group, std::int32_t state, std::string_view lineEnd) {
    const std::int32_t first = state;
    for (int k = 0; k < kGroup; ++k) {
        state = MinimalStandardAdvance(state);
        group.states[k] = state;
        group.offsets[k] = static_cast<std::uint32_t>(ScaleStep(g_seen.width, state) - 1);
        __builtin_prefetch(PlaceOf(group.offsets[k]), 1);
    }
    static const StopFlag kNeverStop{0};
    g_minimalStandardState = first;
    char* out = group.lines.data();
    (void)IntervalLines(out, kGroup, g_seen.lower,
                        static_cast<std::int32_t>(static_cast<std::uint32_t>(g_seen.lower) +
                                                  static_cast<std::uint32_t>(g_seen.width) - 1u),
                        lineEnd, kNeverStop);
}

}  // namespace

std::int32_t DistinctIntervalLines(char*& out, std::int32_t count, std::string_view lineEnd,
                                   const StopFlag& stop) {
    // The draws are made a group ahead of those taken, so that the memory's delays for one
    // group pass while the one before is taken; they are taken in order, and the state is
    // left after the last draw taken. The stop flag is looked at every group: 64 draws.
    const std::size_t lineSize = kFieldWidth + lineEnd.size();
    std::int32_t state = g_minimalStandardState;
    std::int32_t made = 0;
    std::array<Group, 2>& groups = g_groups;
    int taking = 0;
    DrawGroup(groups[0], state, lineEnd);
    while (made < count && !g_seen.exhausted && !stop.load(std::memory_order_relaxed)) {
        const Group& current = groups[taking];
        DrawGroup(groups[1 - taking], current.states[kGroup - 1], lineEnd);
        for (int k = 0; k < kGroup && made < count; ++k) {
            state = current.states[k];
            if (!NoteNew(current.offsets[k])) {
                // The stuck state gives its one value again and again.
                if (state == 0 || ++g_seen.drawsSinceNew >= kPeriod) {
                    g_seen.exhausted = true;
                    break;
                }
                continue;
            }
            g_seen.drawsSinceNew = 0;
            std::memcpy(out, current.lines.data() + k * lineSize, 16);  // a line and no more
            out += lineSize;
            ++made;
        }
        taking = 1 - taking;
    }
    g_minimalStandardState = state;
    return made;
}

}  // namespace lotrix
