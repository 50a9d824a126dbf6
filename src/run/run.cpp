// The run: one record written into the results file, its numbers made by the chosen row,
// on one thread or (two_threads.cpp) two, its progress shown (progress.cpp).
#include "run/run.hpp"

#include <algorithm>

#include "generators/compat.hpp"
#include "generators/distinct.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "platform/clock.hpp"
#include "platform/results_file.hpp"
#include "platform/system.hpp"
#include "platform/terminal.hpp"
#include "record/record.hpp"
#include "run/run_stop.hpp"
#include "run/two_threads.hpp"

namespace lotrix {
namespace {

// The buffer is written out when less than this is free: room for a batch of lines large
// enough that the loop's own cost is lost in theirs.
constexpr std::size_t kBatchReserve = kSpill + 256 * kLineRoom;

// Another run is writing its record into the same file: wait for it to finish, saying so.
// A key taken meanwhile stops this run before its first number; a stop request ends the
// wait with nothing written (busy).
FileTurn WaitForResultsFile(const RecordOptions& options, bool& stoppedByKey) {
    FileTurn turn = FileTakeTurn(options.replace);
    if (turn != FileTurn::busy) return turn;
    ShowWaitingForFile(options.keysStop ? ProgressPlace::belowPrompt : ProgressPlace::standardError,
                       options.path);
    while (turn == FileTurn::busy && HeldStopRequest() == StopRequest::none) {
        if (options.keysStop && !stoppedByKey && KeyWaiting()) {
            (void)ReadKey();
            stoppedByKey = true;
        }
        FilePauseBeforeAskingAgain();
        KeepWaitingLineFitting();
        turn = FileTakeTurn(options.replace);
    }
    EndProgress();
    return turn;
}

}  // namespace

RecordOutcome WriteRecord(const RecordOptions& options, RunSettings& settings, RunTally& tally) {
    const ModeEntry& row = RowFor(settings.choice, options.distinct);
    if (row.withoutRepeats &&
        !BeginDrawWithoutRepeats(settings.lower, settings.upper, settings.count))
        return RecordOutcome::noMemory;
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
    if (!options.numbersOnly) {
        WriteSeedLine(settings.seed, settings.count);
        WriteHeader(row, settings.lower, settings.upper);
    }
    StartSequence(row, settings, options.skip);

    const std::int32_t count = stoppedByKey ? 0 : std::min(settings.count, options.countCeiling);
    BeginProgress(options.progress, count);
    RunLoop(row, settings, count, tally);
    EndProgress();
    if (options.keysStop) EndKeyPoll();

    tally.end = CalendarSeconds();
    ComputeElapsed(tally);
    if (!options.numbersOnly) WriteSummary(tally);
    const bool whole = FileFlush();
    FileReleaseTurn();
    return whole ? RecordOutcome::written : RecordOutcome::writeFailed;
}

bool BeginDrawWithoutRepeats(std::int32_t lower, std::int32_t upper, std::int64_t count) {
    static void* memory = nullptr;
    static std::size_t bytes = 0;
    system::GiveBackTableMemory(memory, bytes);
    bytes = DistinctMemory(IntervalWidth(lower, upper), count);
    memory = system::TakeTableMemory(bytes);
    if (memory == nullptr) return false;
    BeginDistinct(lower, upper, count, memory);
    return true;
}

void StartSequence(const ModeEntry& row, const RunSettings& settings, std::uint64_t skip) {
    SeedMinimalStandard(settings.seed);
    if (row.startAction != nullptr) row.startAction(settings);
    if (skip > 0) {
        g_minimalStandardState = MinimalStandardJump(g_minimalStandardState, skip);
        g_compatState = CompatJump(g_compatState, skip);
    }
}

void RunLoop(const ModeEntry& row, const RunSettings& settings, std::int32_t count,
             RunTally& tally) {
    tally.index = 0;
    BeginLooksForSecondThread();
    while (tally.index < count) {
        if (RestOnTwoThreads(row, settings, count, tally)) return;
        RefreshKeyPoll();
        if (KeyOrStopRequest()) break;
        const FileSpan space = FileFreeSpace(kBatchReserve);
        if (FileFailed()) break;
        const auto room =
            static_cast<std::int32_t>((space.end - space.begin - kSpill) / row.lineRoom);
        char* out = space.begin;
        const std::int32_t asked = std::min(room, count - tally.index);
        const std::int32_t made = row.makeLines(out, asked, settings, g_stopFlag);
        FileCommit(out);
        tally.written += made;
        tally.index += made;
        NoteProgress(tally.index);
        // Fewer with the stop flag down: the row has no more numbers to give (a draw without
        // repeats that has had every value its sequence reaches).
        if (made < asked && !g_stopFlag.load(std::memory_order_relaxed)) break;
    }
}

}  // namespace lotrix
