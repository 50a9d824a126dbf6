#include "platform/results_file.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/platform_lines.hpp"
#include "platform/system.hpp"

namespace lotrix {
namespace {

// Large enough that the system call per block is lost in the cost of the numbers, small
// enough that the three buffers keep the process's footprint under 4 MiB; pages never
// touched (short records) cost nothing.
constexpr std::size_t kBlock = 512 * 1024;

// How often a run waiting for another's record asks for the file again: a person sees no
// delay, and a waiting run costs nothing measurable.
constexpr int kLockRetryMs = 20;

// How often the file may be found moved (removed, renamed, replaced) once its lock is
// taken before the run gives up: a rotation moves it once; a name that keeps changing
// is not a file a record can be trusted to.
constexpr int kMovesAllowed = 5;

// Into a regular file, with a processor free for it, the writes go on a second thread,
// beside the making of the numbers: the run fills one buffer while up to two others are
// being written, in order. Three of 512 KiB were measured faster than two of 1 MiB.
constexpr std::uint32_t kBuffers = 3;
std::array<std::array<char, kBlock>, kBuffers> g_buffers;
char* g_buffer = g_buffers[0].data();  // the one being filled
std::size_t g_used = 0;

// The hand-over between the run and the writer: pieces are handed and done in order, piece
// n in buffer n % kBuffers; a piece of kLastPiece bytes tells the writer to return.
constexpr std::size_t kLastPiece = SIZE_MAX;
std::array<std::size_t, kBuffers> g_pieceSizes;
constinit std::atomic<std::uint32_t> g_handed{0};
constinit std::atomic<std::uint32_t> g_done{0};
constinit std::atomic<int> g_writerFailed{0};
bool g_writerRunning = false;
bool g_writerConsidered = false;  // asked once a record whether a thread is worth it
WriterThread g_writerChoice = WriterThread::whenFree;
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
    g_writerFailed.store(0, std::memory_order_relaxed);  // no writer runs between records
    g_writerConsidered = false;
    g_name = name;
    g_moves = 0;
    g_ownFailure = nullptr;
    g_open = system::OpenResultsFile(name);
    return g_open;
}

FileTurn TakeResultsFile(bool emptyFirst) {
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

void PauseBeforeAskingAgain() {
    system::Pause(kLockRetryMs);
}

namespace {

// Writes data[0..size), whole lines, in pieces no larger than the output takes whole, each
// ending on a line end; how many bytes were written.
std::size_t WriteInWholePieces(const char* data, std::size_t size) {
    const std::size_t limit = system::ResultsWholeWriteLimit();
    std::size_t written = 0;
    while (written < size) {
        std::size_t piece = size - written;
        if (piece > limit) {
            // A line is far shorter than the limit, so a piece always holds one.
            piece = WholeLines(data + written, limit);
            if (piece == 0) piece = size - written;
        }
        const std::size_t done = system::AppendToResultsFile(data + written, piece);
        written += done;
        if (done != piece) break;
    }
    return written;
}

// Writes whole lines; on a failure the file keeps whole lines only: the incomplete line's
// bytes are taken back. False when a write failed.
bool WriteWholeLines(const char* data, std::size_t size) {
    const std::size_t written = WriteInWholePieces(data, size);
    if (written == size) return true;
    const std::size_t complete = WholeLines(data, written);
    if (written > complete)
        system::TakeBackFromResultsFile(g_name, data + complete, written - complete);
    return false;
}

// Waits until `word` no longer holds `value`: a short spin first (some 20 microseconds:
// a hand-over is usually that close, and a sleep and a wake cost more), then the system's
// wait.
void AwaitChange(const std::atomic<std::uint32_t>& word, std::uint32_t value) {
    constexpr int kSpins = 20000;
    for (int spin = 0; spin < kSpins; ++spin) {
        if (word.load(std::memory_order_acquire) != value) return;
    }
    while (word.load(std::memory_order_acquire) == value)
        system::WaitWhile(word, value);
}

// The writer thread: each piece in turn, until the last; after a failure the pieces
// handed meanwhile are dropped, as the run drops what it makes once it knows.
void WritePieces(void*) {
    for (std::uint32_t piece = g_done.load(std::memory_order_relaxed);; ++piece) {
        AwaitChange(g_handed, piece);
        const std::size_t size = g_pieceSizes[piece % kBuffers];
        if (size != kLastPiece && !g_writerFailed.load(std::memory_order_relaxed) &&
            !WriteWholeLines(g_buffers[piece % kBuffers].data(), size))
            g_writerFailed.store(1, std::memory_order_relaxed);
        g_done.store(piece + 1, std::memory_order_release);
        system::WakeWaiter(g_done);
        if (size == kLastPiece) return;
    }
}

// Waits until at most `inFlight` handed pieces are not yet written.
void WaitForWriter(std::uint32_t inFlight) {
    const std::uint32_t handed = g_handed.load(std::memory_order_relaxed);
    for (std::uint32_t done = g_done.load(std::memory_order_acquire); handed - done > inFlight;
         done = g_done.load(std::memory_order_acquire))
        AwaitChange(g_done, done);
}

// Hands the first `size` bytes of the buffer being filled to the writer (`size` may be
// kLastPiece) and goes on in the next buffer, with the rest of this one.
void HandOver(std::size_t size) {
    const std::uint32_t handed = g_handed.load(std::memory_order_relaxed);
    g_pieceSizes[handed % kBuffers] = size;
    WaitForWriter(kBuffers - 2);  // the next buffer is free once this one's turn is near
    char* next = g_buffers[(handed + 1) % kBuffers].data();
    if (size != kLastPiece) {
        std::memcpy(next, g_buffer + size, g_used - size);
        g_used -= size;
    }
    g_buffer = next;
    g_handed.store(handed + 1, std::memory_order_release);
    system::WakeWaiter(g_handed);
}

// Whether a write failed, on this thread or the writer's.
bool AnyWriteFailed() {
    if (g_writerFailed.load(std::memory_order_acquire)) g_failed = true;
    return g_failed;
}

// Every complete line gathered handed on, or written; with `drain`, written before return.
bool WriteOut(bool drain) {
    if (!g_open || AnyWriteFailed()) {
        g_used = 0;
        return !g_failed;
    }
    // Only whole lines leave the buffer: an appending write lands in one piece, so a line
    // is never split between two writes that another program's write could come between;
    // and into a pipe, each piece is one a reader gets whole, however the process ends.
    const std::size_t whole = WholeLines(g_buffer, g_used);
    // A run that fills a buffer is long enough to be worth a thread.
    if (!g_writerConsidered && !drain) {
        g_writerConsidered = true;
        g_writerRunning = g_writerChoice != WriterThread::never &&
                          system::ResultsWriteBeside(g_writerChoice == WriterThread::whenFree) &&
                          system::StartWriterThread(WritePieces, nullptr);
    }
    if (g_writerRunning) {
        if (whole > 0) HandOver(whole);
        if (drain) WaitForWriter(0);
        return !AnyWriteFailed();
    }
    if (whole == 0) return true;
    if (!WriteWholeLines(g_buffer, whole)) {
        g_failed = true;
        g_used = 0;
        return false;
    }
    std::memmove(g_buffer, g_buffer + whole, g_used - whole);
    g_used -= whole;
    return true;
}

}  // namespace

void ReleaseResultsFile() {
    if (g_writerRunning) {
        (void)WriteOut(true);
        HandOver(kLastPiece);
        system::JoinWriterThread();
        g_writerRunning = false;
    }
    system::UnlockResultsFile();
}

bool FileFlush() {
    return WriteOut(true);
}

void UseWriterThread(WriterThread choice) {
    g_writerChoice = choice;
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
    if (kBlock - g_used < atLeast) (void)WriteOut(false);
    return {g_buffer + g_used, g_buffer + kBlock};
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
