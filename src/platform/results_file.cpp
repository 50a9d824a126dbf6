#include "platform/results_file.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "platform/platform_lines.hpp"
#include "platform/system.hpp"

namespace lotrix {
namespace {

static_assert(kFileBuffer >= 64 * 1024, "the system call per buffer is lost in the numbers");

// How often a run waiting for another's record asks for the file again: a person sees no
// delay, and a waiting run costs nothing measurable.
constexpr int kLockRetryMs = 20;

// How often the file may be found moved (removed, renamed, replaced) once its lock is
// taken before the run gives up: a rotation moves it once; a name that keeps changing
// is not a file a record can be trusted to.
constexpr int kMovesAllowed = 5;

std::array<char, kFileBuffer> g_bufferSpace;
char* const g_buffer = g_bufferSpace.data();
std::size_t g_used = 0;

// A write of the run's second thread failed (it is seen here when the run next looks).
constinit std::atomic<int> g_secondFailed{0};
// A write under way, by thread (the main one, the run's second); none begins once the
// process is ending. Int-sized, as the stop flag: lock-free on every processor, so that a
// signal's handler may use them.
constexpr system::Thread kWriters[] = {system::Thread::main, system::Thread::second};
constinit std::atomic<int> g_writing[std::size(kWriters)] = {0, 0};
constinit std::atomic<int> g_halted{0};
const char* g_name = nullptr;  // nullptr: standard output
bool g_open = false;
bool g_failed = false;
int g_moves = 0;
const char* g_ownFailure = nullptr;  // a failure in the program's words, not the system's

// The length of the whole lines at the start of data[0..size): the last line end is
// never more than a line from the end.
std::size_t WholeLines(const char* data, std::size_t size) {
    while (size > 0 && data[size - 1] != '\n')
        --size;
    return size;
}

}  // namespace

bool OpenAppend(const char* name) {
    g_used = 0;
    g_failed = false;
    g_secondFailed.store(0, std::memory_order_relaxed);  // no second thread runs between records
    g_name = name;
    g_moves = 0;
    g_ownFailure = nullptr;
    g_open = system::OpenResultsFile(name);
    return g_open;
}

FileTurn FileTakeTurn(bool emptyFirst) {
    if (!g_open) return FileTurn::taken;
    for (;;) {
        const system::LockOutcome lock = system::TryLockResultsFile(g_name);
        if (lock == system::LockOutcome::busy) return FileTurn::busy;
        if (lock == system::LockOutcome::taken) break;
        // The record goes where the name leads now, under that file's lock.
        if (++g_moves > kMovesAllowed) {
            g_ownFailure = "it was moved or replaced again and again while waiting for it";
            g_open = false;
            return FileTurn::lost;
        }
        if (!system::OpenResultsFile(g_name)) {
            g_open = false;
            return FileTurn::lost;
        }
    }
    if (emptyFirst) system::EmptyResultsFile(g_name);
    if (!system::ResultsFileEndsWithLineEnd(g_name)) {
        std::memcpy(g_buffer, kLineEnd.data(), kLineEnd.size());  // the buffer is empty
        g_used = kLineEnd.size();
    }
    return FileTurn::taken;
}

void FilePauseBeforeAskingAgain() {
    system::Pause(kLockRetryMs);
}

namespace {

// One write of the results file, flagged as under way on `thread` so that an ending lets
// it finish; none begins once the process is ending. The flag's store and the look at the
// halt are sequentially consistent, as are the halt's: either the write sees the halt, or
// the halt sees the write.
std::size_t Append(system::Thread thread, const char* data, std::size_t size) {
    std::atomic<int>& writing = g_writing[thread == kWriters[0] ? 0 : 1];
    writing.store(1);
    const std::size_t written = g_halted.load() ? 0 : system::AppendToResultsFile(data, size);
    writing.store(0);
    return written;
}

// Writes data[0..size), whole lines, in pieces no larger than the output takes whole, each
// ending on a line end; how many bytes were written.
std::size_t WriteInWholePieces(system::Thread thread, const char* data, std::size_t size) {
    const std::size_t limit = system::ResultsWholeWriteLimit();
    std::size_t written = 0;
    while (written < size) {
        std::size_t piece = size - written;
        if (piece > limit) {
            // A line is far shorter than the limit, so a piece always holds one.
            piece = WholeLines(data + written, limit);
            if (piece == 0) piece = size - written;
        }
        const std::size_t done = Append(thread, data + written, piece);
        written += done;
        if (done != piece) break;
    }
    return written;
}

// Writes whole lines; on a failure the file keeps whole lines only: the incomplete line's
// bytes are taken back. False when a write failed.
bool WriteWholeLines(system::Thread thread, const char* data, std::size_t size) {
    const std::size_t written = WriteInWholePieces(thread, data, size);
    if (written == size) return true;
    const std::size_t complete = WholeLines(data, written);
    if (written > complete)
        system::TakeBackFromResultsFile(g_name, data + complete, written - complete);
    return false;
}

// Whether a write failed, on this thread or the run's second one.
bool AnyWriteFailed() {
    if (g_secondFailed.load(std::memory_order_acquire)) g_failed = true;
    return g_failed;
}

// Writes out every complete line gathered.
bool WriteOut() {
    if (!g_open || AnyWriteFailed()) {
        g_used = 0;
        return !g_failed;
    }
    // Only whole lines leave the buffer: an appending write lands in one piece, so a line
    // is never split between two writes that another program's write could come between;
    // and into a pipe, each piece is one a reader gets whole, however the process ends.
    const std::size_t whole = WholeLines(g_buffer, g_used);
    if (whole == 0) return true;
    if (!WriteWholeLines(system::Thread::main, g_buffer, whole)) {
        g_failed = true;
        g_used = 0;
        return false;
    }
    std::memmove(g_buffer, g_buffer + whole, g_used - whole);
    g_used -= whole;
    return true;
}

}  // namespace

void FileReleaseTurn() {
    system::UnlockResultsFile();
}

bool FileFlush() {
    return WriteOut();
}

bool FileTakesSecondThread() {
    return g_open && system::ResultsFileIsRegular();
}

bool FileWriteSecondThreadLines(const char* data, std::size_t size) {
    if (WriteWholeLines(system::Thread::second, data, size)) return true;
    g_secondFailed.store(1, std::memory_order_release);
    return false;
}

void FileHaltWrites() {
    constexpr int kLongestWaitMs = 1000;  // a write of a buffer takes milliseconds
    g_halted.store(1);
    const system::Thread self = system::CurrentThread();
    for (int waited = 0; waited < kLongestWaitMs; ++waited) {
        bool underWay = false;
        for (std::size_t writer = 0; writer < std::size(kWriters); ++writer)
            underWay = underWay || (kWriters[writer] != self && g_writing[writer].load() != 0);
        if (!underWay) return;
        system::Pause(1);
    }
}

const char* FileFailureReason() {
    return g_ownFailure != nullptr ? g_ownFailure : system::ResultsFileFailure();
}

bool FileFailed() {
    return AnyWriteFailed();
}

bool FileReaderGone() {
    return g_failed && system::ResultsReaderGone();
}

FileSpan FileFreeSpace(std::size_t atLeast) {
    if (kFileBuffer - g_used < atLeast) (void)WriteOut();
    return {g_buffer + g_used, g_buffer + kFileBuffer};
}

void FileCommit(char* newEnd) {
    g_used = static_cast<std::size_t>(newEnd - g_buffer);
    if (!g_open || AnyWriteFailed()) g_used = 0;  // nothing may reach a file that is not sound
}

void FilePrint(const char* format, ...) {
    constexpr std::size_t kLongest = 512;  // every record line but the numbers is shorter
    std::array<char, kLongest> text;
    va_list values;
    va_start(values, format);
    const int length = std::vsnprintf(text.data(), text.size(), format, values);
    va_end(values);
    if (length <= 0) return;
    const auto size = std::min(static_cast<std::size_t>(length), kLongest - 1);
    const FileSpan space = FileFreeSpace(kLongest * kLineEnd.size());
    FileCommit(CopyInPlatformLines({text.data(), size}, space.begin));
}

}  // namespace lotrix
