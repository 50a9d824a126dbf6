#include "dialogue/run.hpp"

#include <algorithm>
#include <array>
#include <atomic>

#include "dialogue/record.hpp"
#include "generators/compat.hpp"
#include "generators/minimal_standard.hpp"
#include "platform/clock.hpp"
#include "platform/results_file.hpp"
#include "platform/system.hpp"
#include "platform/terminal.hpp"

namespace lotrix {
namespace {

// The buffer is written out when less than this is free: room for a batch of lines large
// enough that the loop's own cost is lost in theirs.
constexpr std::size_t kBatchReserve = kSpill + 256 * kLineRoom;

// The key test that precedes each number. The flag is cheap; the terminal is asked only
// when the flag says something may have happened.
bool StopRequested() {
    if (!g_stopFlag.load(std::memory_order_relaxed)) return false;
    // Cleared before looking, so a key arriving meanwhile raises it again.
    g_stopFlag.store(0, std::memory_order_relaxed);
    if (HeldStopRequest() != StopRequest::none) return true;
    if (!KeyWaiting()) return false;
    (void)ReadKey();  // the key that stops the run is taken; any others stay queued
    return true;
}

// Another run is writing its record into the same file: wait for it to finish, saying so.
// A key taken meanwhile stops this run before its first number; a stop request ends the
// wait with nothing written (busy).
FileTurn WaitForResultsFile(const RecordOptions& options, bool& stoppedByKey) {
    FileTurn turn = TakeResultsFile(options.replace);
    if (turn != FileTurn::busy) return turn;
    ShowWaitingForFile(options.keysStop ? ProgressPlace::belowPrompt : ProgressPlace::standardError,
                       options.path);
    while (turn == FileTurn::busy && HeldStopRequest() == StopRequest::none) {
        if (options.keysStop && !stoppedByKey && KeyWaiting()) {
            (void)ReadKey();
            stoppedByKey = true;
        }
        PauseBeforeAskingAgain();
        KeepWaitingLineFitting();
        turn = TakeResultsFile(options.replace);
    }
    EndProgress();
    return turn;
}

// A long run into a regular file goes on two threads: block n of the numbers (a fixed
// number of lines) reaches the file in turn n, and the main thread makes the even blocks,
// the second thread the odd ones, each from its own generator state jumped past the other's
// blocks. Each thread writes the block it made, from its own cache, in its turn; so the
// making of one block goes on beside the writing of the one before, and no line crosses
// between processors. A failed write in block n ends the record there; a key or a stop
// request lets no block begin to be written once seen, so the record ends with the write
// under way: either way the file holds the first numbers of the sequence, in order,
// whichever thread made them, and the record counts exactly those.
//
// The state below is set before the second thread starts; what changes afterwards is
// touched only by the thread whose turn it is (g_turn orders the turns).
const ModeEntry* g_pairMode = nullptr;
const RunSettings* g_pairSettings = nullptr;
std::int64_t g_pairCount = 0;
std::int32_t g_pairBlock = 0;  // lines in a block
std::int32_t g_pairStartMinimal = 0;
std::uint32_t g_pairStartCompat = 0;
std::int32_t g_pairWritten = 0;  // lines handed to the file, in turn
bool g_pairEnded = false;        // no block after the one written last reaches the file
constinit std::atomic<std::uint32_t> g_turn{0};
constinit StopFlag g_secondStop{0};  // the run has stopped: the second thread's block ends
std::array<char, kFileBuffer> g_secondLines;

// As many of the row's longest lines as fit in a buffer after a record's first lines, in
// whole blocks of the vector paths.
std::int32_t LinesPerBlock(const ModeEntry& mode) {
    constexpr std::size_t kFirstLinesRoom = 4096;  // the seed line and the header
    const auto lines =
        static_cast<std::int32_t>((kFileBuffer - kFirstLinesRoom - kSpill) / mode.lineRoom);
    return lines - lines % kBlockLines;
}

// Waits for block `block`'s turn. The other thread's part (a block made or written) ends
// within a fraction of a millisecond, and a thread put to sleep can take as long again to
// wake on a virtual machine, so the wait spins for up to about two milliseconds (a processor
// was free for it) before the system's wait.
void AwaitTurn(std::uint32_t block) {
    constexpr int kSpinsBetweenLooks = 4096;  // a look at the clock costs some 50 loads
    constexpr std::int64_t kSpinMilliseconds = 2;
    const std::int64_t until = MonotonicMilliseconds() + kSpinMilliseconds;
    do {
        for (int spin = 0; spin < kSpinsBetweenLooks; ++spin) {
            if (g_turn.load(std::memory_order_acquire) == block) return;
        }
    } while (MonotonicMilliseconds() < until);
    for (std::uint32_t turn; (turn = g_turn.load(std::memory_order_acquire)) != block;)
        system::WaitWhile(g_turn, turn);
}

void PassTurn(std::uint32_t block) {
    g_turn.store(block + 1, std::memory_order_release);
    system::WakeWaiter(g_turn);
}

// The generators' states moved past a block of the other thread's.
void SkipOtherBlock() {
    g_minimalStandardState = MinimalStandardJump(g_minimalStandardState, g_pairBlock);
    g_compatState = CompatJump(g_compatState, g_pairBlock);
}

// Lines in block `block`; 0 past the run's end.
std::int32_t LinesInBlock(std::int64_t block) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(g_pairCount - block * g_pairBlock, 0, g_pairBlock));
}

// The second thread: the odd blocks, until the last or until the run ends.
void MakeOddBlocks(void*) {
    g_minimalStandardState = g_pairStartMinimal;
    g_compatState = g_pairStartCompat;
    SkipOtherBlock();
    for (std::int64_t block = 1;; block += 2) {
        const std::int32_t lines = LinesInBlock(block);
        if (lines == 0) return;
        char* out = g_secondLines.data();
        const std::int32_t made = g_pairMode->makeLines(out, lines, *g_pairSettings, g_secondStop);
        AwaitTurn(static_cast<std::uint32_t>(block));
        if (g_pairEnded || g_secondStop.load(std::memory_order_relaxed)) {
            g_pairEnded = true;  // the run has stopped: no block begins to be written
        } else {
            g_pairWritten += made;
            const auto size = static_cast<std::size_t>(out - g_secondLines.data());
            g_pairEnded = !FileWriteLinesInTurn(g_secondLines.data(), size);
        }
        const bool last = g_pairEnded;
        PassTurn(static_cast<std::uint32_t>(block));
        if (last) return;
        SkipOtherBlock();
    }
}

// The next `count` numbers of the run on two threads, counted on in `tally`; false, with
// nothing done, when no thread could be started.
bool RunOnTwoThreads(const ModeEntry& mode, const RunSettings& settings, std::int32_t count,
                     RunTally& tally) {
    g_pairMode = &mode;
    g_pairSettings = &settings;
    g_pairCount = count;
    g_pairBlock = LinesPerBlock(mode);
    g_pairStartMinimal = g_minimalStandardState;
    g_pairStartCompat = g_compatState;
    g_pairWritten = 0;
    g_pairEnded = false;
    g_turn.store(0, std::memory_order_relaxed);
    g_secondStop.store(0, std::memory_order_relaxed);
    if (!system::StartWriterThread(MakeOddBlocks, nullptr)) return false;

    bool endedEarly = false;
    for (std::int64_t block = 0; !endedEarly; block += 2) {
        const std::int32_t lines = LinesInBlock(block);
        if (lines == 0) break;
        // Room for the whole block, so that nothing is written before its turn.
        const FileSpan space =
            FileFreeSpace(static_cast<std::size_t>(lines) * mode.lineRoom + kSpill);
        char* out = space.begin;
        std::int32_t made = 0;
        bool stopped = false;
        while (made < lines && !stopped) {
            RefreshKeyPoll();
            stopped = StopRequested();
            if (!stopped) made += mode.makeLines(out, lines - made, settings, g_stopFlag);
        }
        // Once the run has stopped no block begins to be written (the second thread's
        // block under way ends at once): the record ends with the write under way, if any.
        if (stopped) g_secondStop.store(1, std::memory_order_relaxed);
        FileCommit(out);
        AwaitTurn(static_cast<std::uint32_t>(block));
        if (!stopped) stopped = StopRequested();  // one that came while waiting
        if (g_pairEnded || stopped) {
            FileCommit(space.begin);  // the block is dropped
        } else {
            g_pairWritten += made;
            const bool written = FileFlush();
            stopped = StopRequested();  // one that came during the write
            g_pairEnded = !written;
        }
        if (stopped) {
            g_pairEnded = true;
            g_secondStop.store(1, std::memory_order_relaxed);
        }
        endedEarly = g_pairEnded;
        const std::int32_t written = g_pairWritten;
        PassTurn(static_cast<std::uint32_t>(block));
        NoteProgress(tally.index + written);
        SkipOtherBlock();
    }
    // The second thread's block under way is not wanted when the run ended early; when it
    // did not, the last block may be the second thread's.
    if (endedEarly) g_secondStop.store(1, std::memory_order_relaxed);
    system::JoinWriterThread();
    tally.written += g_pairWritten;
    tally.index += g_pairWritten;
    return true;
}

}  // namespace

RecordOutcome WriteRecord(const RecordOptions& options, RunSettings& settings, RunTally& tally) {
    HoldStopRequests();
    if (!OpenAppend(options.path)) return RecordOutcome::notOpened;
    if (options.keysStop) BeginKeyPoll();
    bool stoppedByKey = false;
    const FileTurn turn = WaitForResultsFile(options, stoppedByKey);
    if (turn != FileTurn::taken) {
        if (options.keysStop) EndKeyPoll();
        return turn == FileTurn::lost ? RecordOutcome::notOpened : RecordOutcome::notBegun;
    }
    if (settings.seedMode == kSeedFromClock) settings.seed = tally.start;
    const ModeEntry& mode = ModeFor(settings.choice);
    if (!options.numbersOnly) {
        WriteSeedLine(settings.seed, settings.count);
        WriteHeader(mode, settings.lower, settings.upper);
    }
    StartSequence(mode, settings, options.skip);

    const std::int32_t count = stoppedByKey ? 0 : std::min(settings.count, options.countCeiling);
    BeginProgress(options.progress, count);
    RunLoop(mode, settings, count, tally);
    EndProgress();
    if (options.keysStop) EndKeyPoll();

    tally.end = CalendarSeconds();
    ComputeElapsed(tally);
    if (!options.numbersOnly) WriteSummary(tally);
    const bool whole = FileFlush();
    ReleaseResultsFile();
    return whole ? RecordOutcome::written : RecordOutcome::writeFailed;
}

void StartSequence(const ModeEntry& mode, const RunSettings& settings, std::uint64_t skip) {
    SeedMinimalStandard(settings.seed);
    if (mode.startAction != nullptr) mode.startAction(settings);
    if (skip > 0) {
        g_minimalStandardState = MinimalStandardJump(g_minimalStandardState, skip);
        g_compatState = CompatJump(g_compatState, skip);
    }
}

void RunLoop(const ModeEntry& mode, const RunSettings& settings, std::int32_t count,
             RunTally& tally) {
    tally.index = 0;
    // A long run into a regular file goes on two threads once a processor looks free: at
    // the start, or at one of the next few looks (a kernel thread that was running for a
    // moment has gone by then); on a busy machine the looks are all it costs.
    constexpr int kLooks = 32;  // one before each buffer; a look costs what some 3,000 numbers do
    int looksLeft = FileTakesSecondWriter() ? kLooks : 0;
    while (tally.index < count) {
        if (looksLeft > 0) {
            --looksLeft;
            if (count - tally.index <= LinesPerBlock(mode)) {
                looksLeft = 0;  // too short a rest to share
            } else if (ProcessorFreeForSecondWriter() &&
                       RunOnTwoThreads(mode, settings, count - tally.index, tally)) {
                return;
            }
        }
        RefreshKeyPoll();
        if (StopRequested()) break;
        const FileSpan space = FileFreeSpace(kBatchReserve);
        if (FileFailed()) break;
        const auto room =
            static_cast<std::int32_t>((space.end - space.begin - kSpill) / mode.lineRoom);
        char* out = space.begin;
        const std::int32_t made =
            mode.makeLines(out, std::min(room, count - tally.index), settings, g_stopFlag);
        FileCommit(out);
        tally.written += made;
        tally.index += made;
        NoteProgress(tally.index);
    }
}

}  // namespace lotrix
