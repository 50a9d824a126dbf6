// Windows's standard handles, results file and clock, on the Win32 API.
#include "platform/system.hpp"

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>

namespace lotrix::system {
namespace {

HANDLE g_results = INVALID_HANDLE_VALUE;
bool g_readable = false;               // the results handle may read too
HANDLE g_lock = INVALID_HANDLE_VALUE;  // a handle of its own: the results one may only append
DWORD g_resultsError = 0;
DWORD g_outputError = 0;  // the last failed write to standard output

// Windows's byte-range locks are mandatory, so the lock is on one byte far past any end a
// results file reaches: readers and other programs' appends never meet it.
constexpr DWORD kLockOffsetLow = 0xFFFFFFFEu;
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFFu;

// The performance counter in `perSecond` units (the remainder's product stays far below
// the 64-bit limit for any counter frequency up to some 10 GHz and units down to 100 ns).
std::int64_t CounterNow(std::int64_t perSecond) {
    LARGE_INTEGER count;
    LARGE_INTEGER frequency;
    ::QueryPerformanceCounter(&count);
    ::QueryPerformanceFrequency(&frequency);
    return count.QuadPart / frequency.QuadPart * perSecond +
           count.QuadPart % frequency.QuadPart * perSecond / frequency.QuadPart;
}

std::size_t WriteAll(HANDLE handle, const char* data, std::size_t size) {
    std::size_t written = 0;
    while (written < size) {
        const std::size_t left = size - written;
        const DWORD part = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD done = 0;
        if (!::WriteFile(handle, data + written, part, &done, nullptr) || done == 0) break;
        written += done;
    }
    return written;
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return ::GetFileType(handle) == FILE_TYPE_CHAR && ::GetConsoleMode(handle, &mode) != 0;
}

HANDLE OpenAnotherHandle(const char* name, DWORD access) {
    return ::CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Reads at `offset` without moving the handle's own position.
bool ReadAt(HANDLE handle, LONGLONG offset, char* buffer, DWORD size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    return ::ReadFile(handle, buffer, size, &got, &at) && got == size;
}

// The same file: the volume and the file's index agree.
bool SameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION first, second;
    return ::GetFileInformationByHandle(a, &first) && ::GetFileInformationByHandle(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

LONGLONG SizeOf(HANDLE handle) {
    LARGE_INTEGER size;
    return ::GetFileSizeEx(handle, &size) ? size.QuadPart : -1;
}

// The system's words for an error, without the closing full stop and line end.
const char* SystemWords(DWORD error) {
    static std::array<char, 256> text;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                         0, text.data(), static_cast<DWORD>(text.size()), nullptr);
    DWORD end = length;
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n' || text[end - 1] == '.'))
        --end;
    text[end] = '\0';
    return end > 0 ? text.data() : "unknown error";
}

}  // namespace

// A handle the process was started without stays invalid; nothing the program opens can
// take its place, so there is nothing to claim.
void ClaimStandardStreams() {}

bool StandardOutputIsInteractive() {
    return IsConsole(::GetStdHandle(STD_OUTPUT_HANDLE));
}

std::size_t WriteStandardOutput(const char* data, std::size_t size) {
    const std::size_t written = WriteAll(::GetStdHandle(STD_OUTPUT_HANDLE), data, size);
    if (written != size) g_outputError = ::GetLastError();
    return written;
}

const char* StandardOutputFailure() {
    if (g_outputError == ERROR_BROKEN_PIPE || g_outputError == ERROR_NO_DATA) return nullptr;
    return SystemWords(g_outputError);
}

std::size_t WriteStandardError(const char* data, std::size_t size) {
    return WriteAll(::GetStdHandle(STD_ERROR_HANDLE), data, size);
}

// A console takes the ANSI sequences once asked to (Windows 10 on).
bool TakesCursorMoves(Stream stream) {
    const HANDLE handle =
        ::GetStdHandle(stream == Stream::output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!IsConsole(handle) || !::GetConsoleMode(handle, &mode)) return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int TerminalColumns(Stream stream) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    const HANDLE handle =
        ::GetStdHandle(stream == Stream::output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (!::GetConsoleScreenBufferInfo(handle, &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

InputRead ReadStandardInput(char* buffer, std::size_t size) {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD got = 0;
    const DWORD want = size > 0x10000u ? 0x10000u : static_cast<DWORD>(size);
    if (!::ReadFile(input, buffer, want, &got, nullptr)) return {0, true};
    // On the console a line that begins with Ctrl+Z reads as nothing; the next read waits
    // for a new line. Anywhere else nothing means the end.
    if (got == 0) return {0, !IsConsole(input)};
    return {got, false};
}

bool OpenResultsFile(const char* name) {
    UnlockResultsFile();
    if (g_results != INVALID_HANDLE_VALUE) ::CloseHandle(g_results);
    if (name == nullptr) {
        const HANDLE process = ::GetCurrentProcess();
        if (!::DuplicateHandle(process, ::GetStdHandle(STD_OUTPUT_HANDLE), process, &g_results, 0,
                               FALSE, DUPLICATE_SAME_ACCESS)) {
            g_results = INVALID_HANDLE_VALUE;
        }
        g_resultsError = ::GetLastError();
        return g_results != INVALID_HANDLE_VALUE;
    }
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end of the file,
    // in one piece. Reading too where the file allows it, so that its last byte is read
    // through this handle. Shared as a file is on Linux: others may read, append, rename
    // or remove it meanwhile (a run checks, once it holds the lock, that it has the file
    // the name leads to).
    constexpr std::array<DWORD, 2> kAccess{FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                                           FILE_APPEND_DATA | FILE_READ_ATTRIBUTES};
    for (const DWORD access : kAccess) {
        g_results =
            ::CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        g_resultsError = ::GetLastError();
        g_readable = (access & FILE_READ_DATA) != 0;
        if (g_results != INVALID_HANDLE_VALUE || g_resultsError != ERROR_ACCESS_DENIED) break;
    }
    return g_results != INVALID_HANDLE_VALUE;
}

// Another program's write may be under way, so only an end that stays put is taken as
// torn; an end this program may not read is taken as torn too.
bool ResultsFileEndsWithLineEnd(const char* name) {
    if (name == nullptr || ::GetFileType(g_results) != FILE_TYPE_DISK) return true;
    for (int look = 0; look < 3; ++look) {
        const LONGLONG size = SizeOf(g_results);
        if (size == 0) return true;
        char last = '\n';
        if (size < 0 || !g_readable || !ReadAt(g_results, size - 1, &last, 1)) return false;
        if (last == '\n') return true;
        ::Sleep(2);
        if (SizeOf(g_results) == size) return false;
    }
    return true;
}

std::size_t ResultsWholeWriteLimit() {
    const DWORD type = ::GetFileType(g_results);
    return type == FILE_TYPE_PIPE || (type == FILE_TYPE_CHAR && IsConsole(g_results)) ? 4096
                                                                                      : SIZE_MAX;
}

std::size_t AppendToResultsFile(const char* data, std::size_t size) {
    // The appending handle puts every write at the end; the seek says the same to systems
    // that emulate appending by the handle's position (under the lock, nobody else moves
    // the end meanwhile).
    if (::GetFileType(g_results) == FILE_TYPE_DISK) {
        LARGE_INTEGER none{};
        (void)::SetFilePointerEx(g_results, none, nullptr, FILE_END);
    }
    const std::size_t written = WriteAll(g_results, data, size);
    g_resultsError = ::GetLastError();
    return written;
}

bool ResultsFileIsRegular() {
    return ::GetFileType(g_results) == FILE_TYPE_DISK;
}

namespace {

HANDLE g_second = nullptr;  // the run's second thread, while it runs
// The threads' identities, for a handler that asks which thread it runs on.
const DWORD g_mainId = ::GetCurrentThreadId();  // the program starts on its main thread
std::atomic<DWORD> g_secondId{0};
HANDLE g_turnEvent = nullptr;  // set at each turn passed; one thread waits on it at a time
DWORD_PTR g_mainProcessors = 0;
bool g_mainKept = false;

struct SecondWork {
    void (*work)(void*);
    void* argument;
};
SecondWork g_secondWork{};

DWORD WINAPI RunSecondThread(void*) {
    g_secondWork.work(g_secondWork.argument);
    return 0;
}

DWORD_PTR AllowedProcessors() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    return ::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) ? process : 1;
}

int CountOf(DWORD_PTR processors) {
    int count = 0;
    for (; processors != 0; processors &= processors - 1)
        ++count;
    return count;
}

std::int64_t Ticks(FILETIME time) {
    return static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) |
                                     time.dwLowDateTime);
}

// The performance counter in 100 ns units: it only goes forward, and finely.
std::int64_t TicksNow() {
    return CounterNow(10'000'000);
}

// The processors' idle time, summed over all of them, and when it was read; both in 100 ns
// units, 0 when unknown.
struct IdleSample {
    std::int64_t idle;
    std::int64_t at;
};

IdleSample IdleNow() {
    FILETIME idle{};
    if (!::GetSystemTimes(&idle, nullptr, nullptr)) return {0, 0};
    return {Ticks(idle), TicksNow()};
}

// Taken as the program starts: the processors' idle time is counted in whole clock ticks,
// so it says something only over a longer stretch than a run's first milliseconds.
const IdleSample g_atStart = IdleNow();
std::int64_t g_lookedAt = 0;  // the last look that had a long enough stretch behind it
bool g_looksFree = false;

}  // namespace

int ProcessorsForThisProgram() {
    return CountOf(AllowedProcessors());
}

// Windows counts no threads running at this moment, so the look is over the time since the
// program started (a person answering the questions gives it seconds; a run started with
// options, a few milliseconds, and it stays on one thread): a processor is free for the
// second thread when the processors were idle, between them, for at least one and a half
// processors' worth of that time, one for this thread and most of another. Looks close
// together get the same answer, which one more tick could hardly change (and the idle time
// can cost a call to the system's server under wine).
bool ProcessorLooksFree() {
    constexpr std::int64_t kLeastStretch = 2'500'000;  // a quarter of a second: 16 ticks
    constexpr std::int64_t kAnswerKept = 500'000;      // 50 ms
    if (g_atStart.at == 0) return false;
    const std::int64_t now = TicksNow();
    if (g_lookedAt != 0 && now - g_lookedAt < kAnswerKept) return g_looksFree;
    if (now - g_atStart.at < kLeastStretch) return false;
    const IdleSample sample = IdleNow();
    const std::int64_t stretch = sample.at - g_atStart.at;
    g_lookedAt = sample.at;
    g_looksFree = sample.at != 0 && (sample.idle - g_atStart.idle) * 2 >= stretch * 3;
    return g_looksFree;
}

bool StartSecondThread(void (*work)(void*), void* argument) {
    if (g_turnEvent == nullptr) g_turnEvent = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (g_turnEvent == nullptr) return false;
    g_secondWork = {work, argument};
    DWORD id = 0;
    g_second = ::CreateThread(nullptr, 0, RunSecondThread, nullptr, CREATE_SUSPENDED, &id);
    if (g_second == nullptr) return false;
    g_secondId.store(id);
    // Each thread keeps a processor of its own until the join (two threads that are always
    // busy may otherwise be left sharing one while another idles).
    const DWORD_PTR allowed = AllowedProcessors();
    const DWORD here = ::GetCurrentProcessorNumber();
    const DWORD_PTR mine = here < sizeof(DWORD_PTR) * 8 ? DWORD_PTR{1} << here : 0;
    if ((allowed & mine) != 0 && CountOf(allowed) >= 2 &&
        ::SetThreadAffinityMask(g_second, allowed & ~mine) != 0) {
        g_mainProcessors = ::SetThreadAffinityMask(::GetCurrentThread(), mine);
        g_mainKept = g_mainProcessors != 0;
    }
    ::ResumeThread(g_second);
    return true;
}

void JoinSecondThread() {
    if (g_second != nullptr) {
        ::WaitForSingleObject(g_second, INFINITE);
        ::CloseHandle(g_second);
        g_second = nullptr;
        g_secondId.store(0);
    }
    if (g_mainKept) (void)::SetThreadAffinityMask(::GetCurrentThread(), g_mainProcessors);
    g_mainKept = false;
}

// Large pages need a privilege an ordinary user lacks: the table has the system's pages.
void* TakeTableMemory(std::size_t bytes) {
    return ::VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void GiveBackTableMemory(void* memory, std::size_t) {
    if (memory != nullptr) (void)::VirtualFree(memory, 0, MEM_RELEASE);
}

Thread CurrentThread() {
    const DWORD self = ::GetCurrentThreadId();
    if (self == g_mainId) return Thread::main;
    return self == g_secondId.load() ? Thread::second : Thread::other;
}

void WaitWhile(const std::atomic<std::uint32_t>& word, std::uint32_t value) {
    // A turn passed between the look and the wait has left the event set, and the wait
    // returns at once; the bound only makes a lost wake cost a moment, not the run.
    constexpr DWORD kLookAgainMs = 50;
    if (word.load() == value) ::WaitForSingleObject(g_turnEvent, kLookAgainMs);
}

void WakeWaiter(std::atomic<std::uint32_t>&) {
    ::SetEvent(g_turnEvent);
}

// An appending handle tells no position, so the file's last bytes are compared with the
// ones this program wrote: only when they are the same is the file cut there.
void TakeBackFromResultsFile(const char* name, const char* data, std::size_t bytes) {
    std::array<char, 64> tail;
    if (name == nullptr || bytes == 0 || bytes > tail.size()) return;
    const HANDLE file = OpenAnotherHandle(name, GENERIC_READ | GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE) return;
    const LONGLONG size = SizeOf(file);
    const auto count = static_cast<LONGLONG>(bytes);
    if (size >= count && ReadAt(file, size - count, tail.data(), static_cast<DWORD>(bytes)) &&
        std::memcmp(tail.data(), data, bytes) == 0) {
        LARGE_INTEGER end;
        end.QuadPart = size - count;
        if (::SetFilePointerEx(file, end, nullptr, FILE_BEGIN)) ::SetEndOfFile(file);
    }
    ::CloseHandle(file);
}

namespace {
// After a failed open by the name: the name leads to no file (renamed or removed). Another
// refusal leaves the record written as before.
bool Gone() {
    const DWORD error = ::GetLastError();
    constexpr DWORD kDeletePending = 303;  // ERROR_DELETE_PENDING
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == kDeletePending;
}

// Whether the name has been moved off the file this program writes.
bool NameMoved(const char* name) {
    const HANDLE named = OpenAnotherHandle(name, GENERIC_READ);
    if (named == INVALID_HANDLE_VALUE) return Gone();
    const bool other = !SameFile(named, g_results);
    ::CloseHandle(named);
    return other;
}
}  // namespace

// The lock is taken through a handle opened by the name. As mail is delivered, it counts only
// if the name still leads to the file this program writes once it is held: the file may have
// been moved (renamed, removed, replaced) while the lock was waited for, up to the moment it
// was taken.
LockOutcome TryLockResultsFile(const char* name) {
    if (g_lock != INVALID_HANDLE_VALUE) return LockOutcome::taken;
    if (name == nullptr || ::GetFileType(g_results) != FILE_TYPE_DISK) return LockOutcome::taken;
    const HANDLE lock = OpenAnotherHandle(name, GENERIC_READ);
    if (lock == INVALID_HANDLE_VALUE) return Gone() ? LockOutcome::moved : LockOutcome::taken;
    if (!SameFile(lock, g_results)) {
        ::CloseHandle(lock);
        return LockOutcome::moved;
    }
    OVERLAPPED at{};
    at.Offset = kLockOffsetLow;
    at.OffsetHigh = kLockOffsetHigh;
    if (!::LockFileEx(lock, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(lock);
        return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? LockOutcome::busy
                                                                          : LockOutcome::taken;
    }
    if (NameMoved(name)) {
        ::UnlockFile(lock, kLockOffsetLow, kLockOffsetHigh, 1, 0);
        ::CloseHandle(lock);
        return LockOutcome::moved;
    }
    g_lock = lock;
    return LockOutcome::taken;
}

void UnlockResultsFile() {
    if (g_lock == INVALID_HANDLE_VALUE) return;
    ::UnlockFile(g_lock, kLockOffsetLow, kLockOffsetHigh, 1, 0);
    ::CloseHandle(g_lock);
    g_lock = INVALID_HANDLE_VALUE;
}

void Pause(int milliseconds) {
    ::Sleep(static_cast<DWORD>(milliseconds));
}

// The appending handle may not cut the file, so a handle of its own does.
void EmptyResultsFile(const char* name) {
    if (name == nullptr || ::GetFileType(g_results) != FILE_TYPE_DISK) return;
    const HANDLE file = OpenAnotherHandle(name, GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER start{};
    if (::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) ::SetEndOfFile(file);
    ::CloseHandle(file);
}

bool ResultsReaderGone() {
    return g_resultsError == ERROR_BROKEN_PIPE || g_resultsError == ERROR_NO_DATA;
}

const char* ResultsFileFailure() {
    return SystemWords(g_resultsError);
}

namespace {
HANDLE g_checked = INVALID_HANDLE_VALUE;
DWORD g_checkedError = 0;
}  // namespace

bool OpenCheckedFile(const char* name) {
    g_checked = name == nullptr
                    ? ::GetStdHandle(STD_INPUT_HANDLE)
                    : ::CreateFileA(name, GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    g_checkedError = ::GetLastError();
    return g_checked != INVALID_HANDLE_VALUE && g_checked != nullptr;
}

std::ptrdiff_t ReadCheckedFile(char* buffer, std::size_t size) {
    DWORD got = 0;
    const DWORD want = size > 0x100000u ? 0x100000u : static_cast<DWORD>(size);
    if (::ReadFile(g_checked, buffer, want, &got, nullptr)) return got;
    g_checkedError = ::GetLastError();
    return g_checkedError == ERROR_BROKEN_PIPE ? 0 : -1;  // a pipe's writer has closed it
}

std::int64_t CheckedFileSize() {
    return ::GetFileType(g_checked) == FILE_TYPE_DISK ? SizeOf(g_checked) : -1;
}

const char* CheckedFileFailure() {
    return SystemWords(g_checkedError);
}

std::int32_t CalendarSecondsNow() {
    constexpr std::uint64_t kUnixEpoch = 116'444'736'000'000'000;  // 1970 in 100 ns since 1601
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = static_cast<std::uint64_t>(Ticks(now));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>((ticks - kUnixEpoch) / 10'000'000));
}

// The performance counter: the tick count moves by whole clock ticks (some 16 ms), too
// coarse for the run's two threads waiting on each other.
std::int64_t MonotonicMilliseconds() {
    return CounterNow(1000);
}

}  // namespace lotrix::system
