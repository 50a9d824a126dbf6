// Linux's standard streams, results file and clock, on descriptors and the C library.
#include "platform/system.hpp"

#include <fcntl.h>
#include <linux/futex.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace lotrix::system {
namespace {

int g_results = -1;
int g_resultsErrno = 0;
bool g_locked = false;
bool g_readable = false;  // the results descriptor may read too (a regular file only)
bool g_regular = false;
// ext4 spends much of a large append's time choosing where its blocks go (delayed
// allocation); reserving exactly the range a write is about to fill, the file's size left
// as it is, makes the write a quarter cheaper. Other file systems (tmpfs, XFS, btrfs) gain
// nothing or lose: they are not asked. Nothing is reserved ahead of a write, so nothing
// is left reserved past the file's end.
bool g_preallocate = false;
constexpr long kExt4Magic = 0xEF53;
constexpr std::size_t kPreallocateFrom = 64 * 1024;
pthread_t g_writer;
// The processors the main thread may run on, while the run keeps it on one of them.
cpu_set_t g_mainProcessors;
bool g_mainKept = false;
// Between a writer thread's writes a signal may end the process at once; in the middle of
// one it would cut the write short at a page, mid-line. So an ending waits for the write
// under way, and none begins after it. Int-sized, as the stop flag: lock-free on every
// processor, so the signal handler may use them.
constinit std::atomic<int> g_writerRunning{0};
constinit std::atomic<int> g_writing{0};
constinit std::atomic<int> g_halted{0};

std::size_t WriteAll(int fd, const char* data, std::size_t size) {
    std::size_t written = 0;
    while (written < size) {
        const ssize_t done = ::write(fd, data + written, size - written);
        if (done < 0) {
            if (errno == EINTR) continue;
            // A descriptor inherited in non-blocking mode (a pipe a parent set up so):
            // the bytes still go out whole, once the reader has made room.
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                pollfd writable{fd, POLLOUT, 0};
                if (::poll(&writable, 1, -1) >= 0 || errno == EINTR) continue;
            }
            break;
        }
        if (done == 0) break;  // no progress and no error: treat as a failed device
        written += static_cast<std::size_t>(done);
    }
    return written;
}

}  // namespace

void ClaimStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        // open() takes the lowest free number, which is this one.
        (void)::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    }
}

bool StandardOutputIsInteractive() {
    return ::isatty(STDOUT_FILENO) != 0;
}

std::size_t WriteStandardOutput(const char* data, std::size_t size) {
    return WriteAll(STDOUT_FILENO, data, size);
}

std::size_t WriteStandardError(const char* data, std::size_t size) {
    return WriteAll(STDERR_FILENO, data, size);
}

bool TakesCursorMoves(Stream stream) {
    const char* terminal = std::getenv("TERM");
    return ::isatty(stream == Stream::output ? STDOUT_FILENO : STDERR_FILENO) != 0 &&
           terminal != nullptr && std::strcmp(terminal, "dumb") != 0;
}

int TerminalColumns(Stream stream) {
    winsize size{};
    const int fd = stream == Stream::output ? STDOUT_FILENO : STDERR_FILENO;
    return ::ioctl(fd, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

InputRead ReadStandardInput(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, size);
        if (got < 0 && errno == EINTR) continue;
        if (got > 0) return {static_cast<std::size_t>(got), false};
        // At a terminal, Ctrl+D at the start of a line ends that entry only, as Ctrl+Z does
        // on the Windows console; anywhere else the end is final.
        return {0, got < 0 || ::isatty(STDIN_FILENO) == 0};
    }
}

namespace {

// Is the name a regular file, or nothing yet (it is created as one)?
bool RegularOrAbsent(const char* name) {
    struct stat file {};
    return ::stat(name, &file) == 0 ? S_ISREG(file.st_mode) : errno == ENOENT;
}

bool IsRegular(int fd) {
    struct stat file {};
    return ::fstat(fd, &file) == 0 && S_ISREG(file.st_mode);
}

}  // namespace

bool OpenResultsFile(const char* name) {
    if (g_results >= 0) ::close(g_results);
    g_locked = false;
    g_readable = false;
    if (name == nullptr) {
        g_results = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
        g_resultsErrno = errno;
        g_regular = g_results >= 0 && IsRegular(g_results);
        return g_results >= 0;
    }
    // A regular file is opened for reading too, so that its last byte is read through the
    // descriptor that writes it (no second descriptor, which a limit on open files or a
    // file its owner may write but not read would refuse). Anything else, or a file this
    // program may not read, is opened for writing only: opening a FIFO for reading would
    // make this program its reader.
    constexpr int kAppend = O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK;
    g_results = -1;
    if (RegularOrAbsent(name)) {
        g_results = ::open(name, O_RDWR | kAppend, 0666);
        if (g_results >= 0 && !IsRegular(g_results)) {  // replaced meanwhile
            ::close(g_results);
            g_results = -1;
        }
        g_readable = g_results >= 0;
    }
    // O_NONBLOCK makes the open itself refuse what would wait for ever (a FIFO nobody
    // reads); writes then wait as usual, so pipes and devices work as they always have.
    if (g_results < 0) g_results = ::open(name, O_WRONLY | kAppend, 0666);
    g_resultsErrno = errno;
    if (g_results < 0) return false;
    const int flags = ::fcntl(g_results, F_GETFL);
    if (flags >= 0) (void)::fcntl(g_results, F_SETFL, flags & ~O_NONBLOCK);
    g_regular = IsRegular(g_results);
    struct statfs system {};
    g_preallocate = g_regular && ::fstatfs(g_results, &system) == 0 && system.f_type == kExt4Magic;
    return true;
}

// Another program's write may be under way: the file's size then grows while its last
// bytes are still arriving, and a last byte read at that moment is no sign of a torn line,
// so only an end that stays put is taken as torn.
bool ResultsFileEndsWithLineEnd(const char* name) {
    if (name == nullptr || !g_regular) return true;  // standard output is taken as it is
    struct stat file {};
    if (::fstat(g_results, &file) != 0) return false;
    for (int look = 0; look < 3; ++look) {
        const off_t size = file.st_size;
        if (size == 0) return true;
        char last = '\n';
        if (!g_readable || ::pread(g_results, &last, 1, size - 1) != 1) return false;
        if (last == '\n') return true;
        ::usleep(2000);
        if (::fstat(g_results, &file) != 0 || file.st_size == size) return false;
    }
    return true;
}

std::size_t ResultsWholeWriteLimit() {
    return g_regular ? SIZE_MAX : PIPE_BUF;
}

namespace {

std::size_t AppendNow(const char* data, std::size_t size) {
    if (g_preallocate && size >= kPreallocateFrom) {
        const off_t end = ::lseek(g_results, 0, SEEK_END);
        if (end >= 0 &&
            ::fallocate(g_results, FALLOC_FL_KEEP_SIZE, end, static_cast<off_t>(size)) != 0 &&
            errno == EOPNOTSUPP)
            g_preallocate = false;  // a failure of any other kind is the write's to say
    }
    errno = 0;
    const std::size_t written = WriteAll(g_results, data, size);
    g_resultsErrno = errno != 0 ? errno : EIO;
    return written;
}

}  // namespace

std::size_t AppendToResultsFile(const char* data, std::size_t size) {
    g_writing.store(1);
    if (g_halted.load()) {
        g_writing.store(0);
        return 0;  // the process is ending
    }
    const std::size_t written = AppendNow(data, size);
    g_writing.store(0);
    return written;
}

namespace {

int AllowedProcessors() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    return ::sched_getaffinity(0, sizeof allowed, &allowed) == 0 ? CPU_COUNT(&allowed) : 1;
}

}  // namespace

bool ResultsWriteBeside() {
#if defined(__i386__)
    // 32-bit x86 writes on the main thread: the emulator its build is tested under cannot
    // start a thread, and a way of writing that no test runs is not shipped.
    return false;
#endif
    return g_regular && AllowedProcessors() >= 2;
}

bool ProcessorLooksFree() {
    // The threads running at this moment (the fourth field of /proc/loadavg, this one
    // among them) against the processors this program may run on.
    char text[128] = {};
    const int fd = ::open("/proc/loadavg", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    long running = 0;
    return got > 0 && std::sscanf(text, "%*s %*s %*s %ld/", &running) == 1 &&
           running < AllowedProcessors();
}

// The two threads on processors of their own: the scheduler may start the second beside the
// first and, both always busy, leave them sharing one processor while another stays idle
// (seen here for tens of milliseconds). The main thread is kept on the processor it is on,
// the second thread on the others, until the join.
void KeepApart(pthread_attr_t& second) {
    const int here = ::sched_getcpu();
    if (here < 0 || ::sched_getaffinity(0, sizeof g_mainProcessors, &g_mainProcessors) != 0 ||
        !CPU_ISSET(here, &g_mainProcessors) || CPU_COUNT(&g_mainProcessors) < 2)
        return;
    cpu_set_t others = g_mainProcessors;
    CPU_CLR(here, &others);
    cpu_set_t mine;
    CPU_ZERO(&mine);
    CPU_SET(here, &mine);
    if (::pthread_attr_setaffinity_np(&second, sizeof others, &others) == 0)
        g_mainKept = ::pthread_setaffinity_np(::pthread_self(), sizeof mine, &mine) == 0;
}

bool StartWriterThread(void (*work)(void*), void* argument) {
    sigset_t all, before;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &before);  // the new thread starts with this mask
    struct Start {
        void (*work)(void*);
        void* argument;
    };
    static Start start;
    start = {work, argument};
    pthread_attr_t attributes;
    ::pthread_attr_init(&attributes);
    KeepApart(attributes);
    const bool started = ::pthread_create(
                             &g_writer, &attributes,
                             [](void* s) -> void* {
                                 const Start& what = *static_cast<Start*>(s);
                                 what.work(what.argument);
                                 return nullptr;
                             },
                             &start) == 0;
    ::pthread_attr_destroy(&attributes);
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    g_writerRunning.store(started ? 1 : 0);
    if (!started) JoinWriterThread();  // only gives the main thread its processors back
    return started;
}

void JoinWriterThread() {
    if (g_writerRunning.load()) ::pthread_join(g_writer, nullptr);
    g_writerRunning.store(0);
    if (g_mainKept)
        (void)::pthread_setaffinity_np(::pthread_self(), sizeof g_mainProcessors,
                                       &g_mainProcessors);
    g_mainKept = false;
}

void HaltWriterThread() {
    g_halted.store(1);
    if (!g_writerRunning.load()) return;  // the writes, if any, are this thread's own
    for (int waited = 0; waited < 1000 && g_writing.load(); ++waited) {
        const timespec millisecond{0, 1'000'000};
        ::nanosleep(&millisecond, nullptr);
    }
}

// The kernel's futex on the atomic's own word (std::atomic's waiting would tie the
// program to the C++ runtime library for its error path).
static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));
void WaitWhile(const std::atomic<std::uint32_t>& word, std::uint32_t value) {
    // The kernel compares the word with `value` itself, atomically with going to sleep.
    ::syscall(SYS_futex, reinterpret_cast<const std::uint32_t*>(&word), FUTEX_WAIT_PRIVATE, value,
              nullptr, nullptr, 0);
}

void WakeWaiter(std::atomic<std::uint32_t>& word) {
    ::syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE_PRIVATE, 1, nullptr,
              nullptr, 0);
}

void TakeBackFromResultsFile(const char*, const char*, std::size_t bytes) {
    const auto torn = static_cast<off_t>(bytes);
    struct stat file {};
    const off_t end = ::lseek(g_results, 0, SEEK_CUR);  // just after this program's last byte
    if (end >= torn && ::fstat(g_results, &file) == 0 && S_ISREG(file.st_mode) &&
        file.st_size == end) {
        if (::ftruncate(g_results, end - torn) != 0) return;  // the torn line stays: no worse
    }
}

LockOutcome TryLockResultsFile(const char* name) {
    struct stat held {};
    if (g_locked || ::fstat(g_results, &held) != 0 || !S_ISREG(held.st_mode))
        return LockOutcome::taken;
    // flock's lock belongs to this open file, so it ends with the process however that
    // ends. A file system that cannot lock (ENOLCK, EINVAL) is written unlocked.
    if (::flock(g_results, LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK || errno == EINTR ? LockOutcome::busy : LockOutcome::taken;
    }
    g_locked = true;
    // As mail is delivered: the lock counts only if the name still leads to the locked file.
    struct stat named {};
    if (name != nullptr &&
        (::stat(name, &named) != 0 || named.st_dev != held.st_dev || named.st_ino != held.st_ino)) {
        UnlockResultsFile();
        return LockOutcome::moved;
    }
    return LockOutcome::taken;
}

void UnlockResultsFile() {
    if (g_locked) (void)::flock(g_results, LOCK_UN);
    g_locked = false;
}

void Pause(int milliseconds) {
    const timespec wait{milliseconds / 1000, (milliseconds % 1000) * 1'000'000L};
    ::nanosleep(&wait, nullptr);
}

void EmptyResultsFile(const char*) {
    struct stat file {};
    if (::fstat(g_results, &file) != 0 || !S_ISREG(file.st_mode)) return;
    if (::ftruncate(g_results, 0) != 0) return;  // kept as it was: the record is appended
}

bool ResultsReaderGone() {
    return g_resultsErrno == EPIPE;
}

const char* ResultsFileFailure() {
    return std::strerror(g_resultsErrno);
}

namespace {
int g_checked = -1;
int g_checkedErrno = 0;
}  // namespace

bool OpenCheckedFile(const char* name) {
    g_checked = name == nullptr ? STDIN_FILENO : ::open(name, O_RDONLY | O_CLOEXEC);
    g_checkedErrno = errno;
    return g_checked >= 0;
}

std::ptrdiff_t ReadCheckedFile(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(g_checked, buffer, size);
        if (got >= 0) return got;
        if (errno != EINTR) {
            g_checkedErrno = errno;
            return -1;
        }
    }
}

std::int64_t CheckedFileSize() {
    struct stat file {};
    return ::fstat(g_checked, &file) == 0 && S_ISREG(file.st_mode) ? file.st_size : -1;
}

const char* CheckedFileFailure() {
    return std::strerror(g_checkedErrno);
}

std::int32_t CalendarSecondsNow() {
    const auto now = static_cast<std::uint64_t>(std::time(nullptr));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(now));
}

std::int64_t MonotonicMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);  // through the vDSO: no system call
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

}  // namespace lotrix::system
