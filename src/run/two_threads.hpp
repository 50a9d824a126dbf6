// The run on two threads. A long run into a regular file, once a processor looks free for a
// second thread, goes on with its numbers cut into shares of a buffer's worth of lines:
// share n reaches the file in turn n. The main thread makes and writes the even shares, the
// second thread the odd ones, each from its own generator state jumped past the other's
// shares and each from its own buffer, in its turn; so the making of one share goes on
// beside the writing of the one before, and no line crosses between processors. A draw
// without repeats shares the plain sequence's draws the same way, each share sifted of its
// repeats in a turn of its own before its writing turn.
//
// Its endings keep the record's promise: a failed write ends the record at that share; a
// key or a stop request lets no share begin to be written once seen, so the record ends
// with the write under way. Either way the file holds the first numbers of the sequence, in
// order, whichever thread made them, and the record counts exactly those. A process that
// ends at once (a signal, a fault) lets the other thread's write under way finish
// (FileHaltWrites).
#pragma once

#include <cstdint>

#include "record/modes.hpp"
#include "record/settings.hpp"

namespace lotrix {

// Before a run: whether it may go on two threads at all (a file that takes a second
// thread, and two processors for this program); the looks at the processors start again.
void BeginLooksForSecondThread();

// Before each buffer of a run on one thread, which has made `tally.index` of its `count`
// numbers: while the looks last, and the rest of the run is longer than a share, a look at
// the processors; where one is free, the rest of the run is made on two threads, counted
// on in `tally`, and true is returned. False: the run goes on, on one thread.
[[nodiscard]] bool RestOnTwoThreads(const ModeEntry& row, const RunSettings& settings,
                                    std::int32_t count, RunTally& tally);

// The look that finds a processor free for the second thread: by default the system's
// look at the threads running. Tests choose one or two threads through it; nullptr gives the
// system's look back.
using ProcessorCheck = bool (*)();
void UseProcessorCheck(ProcessorCheck check);

// How many shares the second thread wrote in the last run on two threads (0 after a run on
// one thread).
[[nodiscard]] std::int64_t SecondThreadShares();

}  // namespace lotrix
