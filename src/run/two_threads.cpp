// The run on two threads: the shares of a long run made, sifted (a draw without repeats)
// and written in turn.
#include "run/two_threads.hpp"

#include <algorithm>
#include <array>
#include <atomic>

#include "generators/compat.hpp"
#include "generators/distinct.hpp"
#include "generators/minimal_standard.hpp"
#include "platform/clock.hpp"
#include "platform/platform_lines.hpp"
#include "platform/results_file.hpp"
#include "platform/system.hpp"
#include "platform/terminal.hpp"
#include "run/progress.hpp"
#include "run/run_stop.hpp"

namespace lotrix {
namespace {

// Everything the two threads share. Beside each field: who writes it, and when the other
// thread may read it. "In turn": only the thread whose turn it is touches the field; the
// turn is passed with a release store and taken with an acquire load, which orders every
// such access of one thread before the other's.
struct TwoThreadRun {
    // Written by the main thread before the second starts; read-only afterwards.
    const ModeEntry* row = nullptr;
    const RunSettings* settings = nullptr;
    std::int64_t count = 0;         // numbers of the run on two threads
    std::int32_t shareLines = 0;    // lines in a share
    std::int32_t startMinimal = 0;  // the generators where the first share starts
    std::uint32_t startCompat = 0;
    // In the sifting turn (a draw without repeats): its shares are the plain sequence's
    // draws, and a share's new values are known only once every share before it is sifted.
    std::int64_t kept = 0;   // new values kept
    bool siftEnded = false;  // the last value wanted (or left) is kept: no share after
    // In the writing turn.
    std::int32_t written = 0;       // lines handed to the file
    bool ended = false;             // no share after the last one written reaches the file
    std::int64_t secondShares = 0;  // shares the second thread wrote
    // Raised by either thread at any time, once the run has stopped: the share the second
    // thread is making ends within a block of 64 lines (relaxed: nothing is read through it).
    StopFlag secondStop{0};
    // Written by the thread that passes its turn, read by the one that waits for its own:
    // the share whose turn it is to be written, and to be sifted.
    std::atomic<std::uint32_t> turn{0};
    std::atomic<std::uint32_t> siftTurn{0};
};

TwoThreadRun g_run;
// The second thread's own buffer: a share's lines, made before its turn.
std::array<char, kFileBuffer> g_secondLines;
// A draw without repeats: the offsets of the values of each thread's share.
using ShareOffsets = std::array<std::uint32_t, kFileBuffer / kFieldWidth>;
ShareOffsets g_mainOffsets;
ShareOffsets g_secondOffsets;

ProcessorCheck g_processorCheck = nullptr;
// Looks at the processors left in this run: one before each buffer, a look costing what
// some 3,000 numbers do. A kernel thread that was running for a moment has gone by the next
// look; on a busy machine the looks are all it costs.
constexpr int kLooks = 32;
int g_looksLeft = 0;

// As many of the row's longest lines as fit in a buffer after a record's first lines, in
// whole blocks of the vector paths.
std::int32_t LinesPerShare(const ModeEntry& row) {
    constexpr std::size_t kFirstLinesRoom = 4096;  // the seed line and the header
    const auto lines =
        static_cast<std::int32_t>((kFileBuffer - kFirstLinesRoom - kSpill) / row.lineRoom);
    return lines - lines % kBlockLines;
}

// Waits for share `share`'s turn. The other thread's part (a share made or written) ends
// within a fraction of a millisecond, and a thread put to sleep can take as long again to
// wake on a virtual machine, so the wait spins for up to about two milliseconds (a processor
// was free for it) before the system's wait.
void AwaitTurn(const std::atomic<std::uint32_t>& turn, std::uint32_t share) {
    constexpr int kSpinsBetweenLooks = 1024;  // a look at the clock costs some 50 loads
    constexpr std::int64_t kSpinMilliseconds = 2;
    const std::int64_t until = MonotonicMilliseconds() + kSpinMilliseconds;
    do {
        for (int spin = 0; spin < kSpinsBetweenLooks; ++spin) {
            if (turn.load(std::memory_order_acquire) == share) return;
            system::SpinPause();
        }
    } while (MonotonicMilliseconds() < until);
    for (std::uint32_t now; (now = turn.load(std::memory_order_acquire)) != share;)
        system::WaitWhile(turn, now);
}

void PassTurn(std::atomic<std::uint32_t>& turn, std::uint32_t share) {
    turn.store(share + 1, std::memory_order_release);
    system::WakeWaiter(turn);
}

// The generators' states moved past a share of the other thread's.
void SkipOtherShare() {
    g_minimalStandardState = MinimalStandardJump(g_minimalStandardState, g_run.shareLines);
    g_compatState = CompatJump(g_compatState, g_run.shareLines);
}

// Lines in share `share`; 0 past the run's end. A draw without repeats ends where its
// sifting finds the last value wanted.
std::int32_t LinesInShare(std::int64_t share) {
    if (g_run.row->withoutRepeats) return g_run.shareLines;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(g_run.count - share * g_run.shareLines, 0, g_run.shareLines));
}

// Up to `lines` lines of a share: the row's, or for a draw without repeats the plain
// sequence's, with their values' offsets, to be sifted in turn.
std::int32_t MakeShareLines(char*& out, std::int32_t lines, std::uint32_t* offsets,
                            const StopFlag& stop) {
    return g_run.row->withoutRepeats ? DrawLines(out, offsets, lines, kLineEnd, stop)
                                     : g_run.row->makeLines(out, lines, *g_run.settings, stop);
}

// A draw without repeats, in share `share`'s sifting turn: the share's lines of new values
// kept, moved down over the repeats, up to the numbers still wanted; none once the run has
// stopped or the last value was kept. Whether this share holds the run's last value. Other
// rows keep every line, and have no sifting turn.
bool SiftShare(std::uint32_t share, char* lines, char*& end, std::int32_t& made,
               const std::uint32_t* offsets, bool stopped) {
    if (!g_run.row->withoutRepeats) return false;
    AwaitTurn(g_run.siftTurn, share);
    bool last = false;
    if (g_run.siftEnded || stopped) {
        made = 0;
        end = lines;
    } else {
        const KeptLines kept =
            KeepNewLines(lines, offsets, made, static_cast<std::int32_t>(g_run.count - g_run.kept),
                         kFieldWidth + kLineEnd.size());
        made = kept.lines;
        end = kept.end;
        g_run.kept += made;
        last = g_run.siftEnded = g_run.kept == g_run.count || DistinctExhausted();
    }
    PassTurn(g_run.siftTurn, share);
    return last;
}

// The second thread: the odd shares, until the last or until the run ends. Its generator
// state is its own (the generators' states are the thread's own variables).
void MakeOddShares(TwoThreadRun& run) {
    g_minimalStandardState = run.startMinimal;
    g_compatState = run.startCompat;
    SkipOtherShare();
    for (std::int64_t share = 1;; share += 2) {
        const std::int32_t lines = LinesInShare(share);
        if (lines == 0) return;
        char* out = g_secondLines.data();
        std::int32_t made = MakeShareLines(out, lines, g_secondOffsets.data(), run.secondStop);
        const bool lastLines =
            SiftShare(static_cast<std::uint32_t>(share), g_secondLines.data(), out, made,
                      g_secondOffsets.data(), run.secondStop.load(std::memory_order_relaxed));
        AwaitTurn(run.turn, static_cast<std::uint32_t>(share));
        if (run.ended || run.secondStop.load(std::memory_order_relaxed)) {
            run.ended = true;  // the run has stopped: no share begins to be written
        } else {
            run.written += made;
            ++run.secondShares;
            const auto size = static_cast<std::size_t>(out - g_secondLines.data());
            run.ended = !FileWriteSecondThreadLines(g_secondLines.data(), size) || lastLines;
        }
        const bool last = run.ended;
        PassTurn(run.turn, static_cast<std::uint32_t>(share));
        if (last) return;
        SkipOtherShare();
    }
}

// The main thread: the even shares, each made into the results file's buffer and written in
// its turn; false when it has ended the run (a key, a stop request, a failed write). The
// progress counts from `before`, the numbers made before the run went on two threads.
bool MakeEvenShare(std::int64_t share, std::int32_t lines, std::int32_t before) {
    const ModeEntry& row = *g_run.row;
    // Room for the whole share, so that nothing is written before its turn.
    const FileSpan space = FileFreeSpace(static_cast<std::size_t>(lines) * row.lineRoom + kSpill);
    char* out = space.begin;
    std::int32_t made = 0;
    bool stopped = false;
    while (made < lines && !stopped) {
        RefreshKeyPoll();
        stopped = KeyOrStopRequest();
        if (!stopped)
            made += MakeShareLines(out, lines - made, g_mainOffsets.data() + made, g_stopFlag);
    }
    // Once the run has stopped no share begins to be written (the second thread's share
    // under way ends at once): the record ends with the write under way, if any.
    if (stopped) g_run.secondStop.store(1, std::memory_order_relaxed);
    const bool lastLines = SiftShare(static_cast<std::uint32_t>(share), space.begin, out, made,
                                     g_mainOffsets.data(), stopped);
    FileCommit(out);
    AwaitTurn(g_run.turn, static_cast<std::uint32_t>(share));
    if (!stopped) stopped = KeyOrStopRequest();  // one that came while waiting
    if (g_run.ended || stopped) {
        FileCommit(space.begin);  // the share is dropped
    } else {
        g_run.written += made;
        const bool written = FileFlush();
        stopped = KeyOrStopRequest();  // one that came during the write
        g_run.ended = !written || lastLines;
    }
    if (stopped) g_run.ended = true;
    const bool goesOn = !g_run.ended;
    const std::int32_t written = g_run.written;
    PassTurn(g_run.turn, static_cast<std::uint32_t>(share));
    NoteProgress(before + written);
    return goesOn;
}

// The next `count` numbers on two threads, counted on in `tally`; false, with nothing done,
// when no thread could be started.
bool RunOnTwoThreads(const ModeEntry& row, const RunSettings& settings, std::int32_t count,
                     RunTally& tally) {
    g_run.row = &row;
    g_run.settings = &settings;
    g_run.count = count;
    g_run.shareLines = LinesPerShare(row);
    g_run.startMinimal = g_minimalStandardState;
    g_run.startCompat = g_compatState;
    g_run.written = 0;
    g_run.ended = false;
    g_run.secondShares = 0;
    g_run.kept = 0;
    g_run.siftEnded = false;
    g_run.secondStop.store(0, std::memory_order_relaxed);
    g_run.turn.store(0, std::memory_order_relaxed);
    g_run.siftTurn.store(0, std::memory_order_relaxed);
    const auto second = [](void* run) { MakeOddShares(*static_cast<TwoThreadRun*>(run)); };
    if (!system::StartSecondThread(second, &g_run)) return false;

    for (std::int64_t share = 0;; share += 2) {
        const std::int32_t lines = LinesInShare(share);
        if (lines == 0) break;
        if (!MakeEvenShare(share, lines, tally.index)) {
            // The second thread's share under way is not wanted: it ends at once.
            g_run.secondStop.store(1, std::memory_order_relaxed);
            break;
        }
        SkipOtherShare();
    }
    system::JoinSecondThread();  // the last share may be the second thread's
    tally.written += g_run.written;
    tally.index += g_run.written;
    return true;
}

}  // namespace

void BeginLooksForSecondThread() {
    g_run.secondShares = 0;
    g_looksLeft = FileTakesSecondThread() && system::ProcessorsForThisProgram() >= 2 ? kLooks : 0;
}

bool RestOnTwoThreads(const ModeEntry& row, const RunSettings& settings, std::int32_t count,
                      RunTally& tally) {
    // The stuck state's draw without repeats ends at its first repeat, on one thread.
    if (g_looksLeft == 0 || (row.withoutRepeats && g_minimalStandardState == 0)) return false;
    --g_looksLeft;
    if (count - tally.index <= LinesPerShare(row)) {
        g_looksLeft = 0;  // too short a rest to share
        return false;
    }
    const bool free =
        g_processorCheck != nullptr ? g_processorCheck() : system::ProcessorLooksFree();
    return free && RunOnTwoThreads(row, settings, count - tally.index, tally);
}

void UseProcessorCheck(ProcessorCheck check) {
    g_processorCheck = check;
}

std::int64_t SecondThreadShares() {
    return g_run.secondShares;
}

}  // namespace lotrix
