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
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "platform/posix/fault_signals.hpp"

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
bool g_secondRunning = false;
bool g_pieces = false;  // the results go to a reader that takes writes as they come
int g_outputErrno = 0;  // the last failed write to standard output
pthread_t g_second;
// The second thread's kernel id, while it runs: a fault's handler asks which thread it is on.
constinit std::atomic<pid_t> g_secondId{0};
// The processors the main thread may run on, while the run keeps it on one of them.
cpu_set_t g_mainProcessors;
bool g_mainKept = false;

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
    errno = 0;
    const std::size_t written = WriteAll(STDOUT_FILENO, data, size);
    if (written != size) g_outputErrno = errno != 0 ? errno : EIO;
    return written;
}

const char* StandardOutputFailure() {
    return g_outputErrno == EPIPE ? nullptr : std::strerror(g_outputErrno);
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

// What the opened results file is: a regular file, or a reader that takes writes as they
// come (a pipe, a FIFO, a socket, a terminal).
void NoteResultsKind() {
    struct stat file {};
    const bool known = g_results >= 0 && ::fstat(g_results, &file) == 0;
    g_regular = known && S_ISREG(file.st_mode);
    g_pieces = known && (S_ISFIFO(file.st_mode) || S_ISSOCK(file.st_mode) || ::isatty(g_results));
}

}  // namespace

bool OpenResultsFile(const char* name) {
    if (g_results >= 0) ::close(g_results);
    g_locked = false;
    g_readable = false;
    if (name == nullptr) {
        g_results = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
        g_resultsErrno = errno;
        NoteResultsKind();
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
    NoteResultsKind();
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
    return g_pieces ? PIPE_BUF : SIZE_MAX;
}

std::size_t AppendToResultsFile(const char* data, std::size_t size) {
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

bool ResultsFileIsRegular() {
    return g_regular;
}

namespace {

int AllowedProcessors() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    return ::sched_getaffinity(0, sizeof allowed, &allowed) == 0 ? CPU_COUNT(&allowed) : 1;
}

// A small file of the kernel's, as text; empty when it cannot be read.
template <std::size_t kRoom>
std::string_view ReadSmallFile(const char* name, char (&text)[kRoom]) {
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0) return {};
    text[got] = '\0';
    return {text, static_cast<std::size_t>(got)};
}

// The whole processors a quota grants: `quota` microseconds of processor time per
// `period`; INT_MAX without a quota.
int Granted(long long quota, long long period) {
    if (quota <= 0 || period <= 0) return INT_MAX;
    return static_cast<int>(std::max(1LL, std::min<long long>(quota / period, INT_MAX)));
}

// The text before `end` (all of it when `end` is past it); string_view's own substr would
// tie the program to the C++ runtime library for its exception.
std::string_view Before(std::string_view text, std::size_t end) {
    return {text.data(), std::min(end, text.size())};
}

// Reads the numbers a control group's file begins with (at most two); how many it read.
int ReadGroupNumbers(const char* root, std::string_view group, const char* file,
                     long long (&numbers)[2]) {
    char name[PATH_MAX];
    char text[256];
    const int length = std::snprintf(name, sizeof name, "%s%.*s/%s", root,
                                     static_cast<int>(group.size()), group.data(), file);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof name ||
        ReadSmallFile(name, text).empty())
        return 0;
    return std::sscanf(text, "%lld %lld", &numbers[0], &numbers[1]);
}

// The least quota from a control group up to its hierarchy's root (a container's quota is
// often set on a group above the program's): cgroup v2's cpu.max ("max 100000" or
// "200000 100000"), v1's cpu.cfs_quota_us over cpu.cfs_period_us.
int LeastGrantedUpFrom(const char* root, std::string_view group, bool v2) {
    int granted = INT_MAX;
    for (;;) {
        long long quota[2] = {};
        long long period[2] = {};
        if (v2 && ReadGroupNumbers(root, group, "cpu.max", quota) == 2) {
            granted = std::min(granted, Granted(quota[0], quota[1]));
        } else if (!v2 && ReadGroupNumbers(root, group, "cpu.cfs_quota_us", quota) >= 1 &&
                   ReadGroupNumbers(root, group, "cpu.cfs_period_us", period) >= 1) {
            granted = std::min(granted, Granted(quota[0], period[0]));
        }
        if (group.empty()) return granted;
        group = Before(group, group.rfind('/'));
    }
}

// Does a list of control-group controllers ("cpu,cpuacct") hold the processor's?
bool ListsProcessor(std::string_view controllers) {
    for (;;) {
        const std::size_t comma = controllers.find(',');
        if (Before(controllers, comma) == "cpu") return true;
        if (comma == std::string_view::npos) return false;
        controllers.remove_prefix(comma + 1);
    }
}

// The processors this program's control groups grant; INT_MAX where none sets a quota.
int ProcessorsGranted() {
    // A line per hierarchy, "id:controllers:/path": v2's is "0::/path"; v1's list of
    // controllers holds "cpu".
    char text[1024];
    std::string_view lines = ReadSmallFile("/proc/self/cgroup", text);
    int granted = INT_MAX;
    while (!lines.empty()) {
        const std::string_view line = Before(lines, lines.find('\n'));
        lines.remove_prefix(std::min(lines.size(), line.size() + 1));
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == std::string_view::npos || second == std::string_view::npos) continue;
        const std::string_view controllers(line.data() + first + 1, second - first - 1);
        std::string_view group(line.data() + second + 1, line.size() - second - 1);
        if (group == "/") group = {};
        if (controllers.empty()) {
            granted = std::min(granted, LeastGrantedUpFrom("/sys/fs/cgroup", group, true));
        } else if (ListsProcessor(controllers)) {
            for (const char* root : {"/sys/fs/cgroup/cpu,cpuacct", "/sys/fs/cgroup/cpu"})
                granted = std::min(granted, LeastGrantedUpFrom(root, group, false));
        }
    }
    return granted;
}

}  // namespace

int ProcessorsForThisProgram() {
#if defined(__i386__)
    // 32-bit x86 makes and writes on the main thread: the emulator its build is tested under
    // cannot start a thread, and a way of writing that no test runs is not shipped.
    return 1;
#endif
    return std::min(AllowedProcessors(), ProcessorsGranted());
}

bool ProcessorLooksFree() {
    // The threads running at this moment (the fourth field of /proc/loadavg, this one
    // among them) against the processors this program may run on.
    char text[256];
    long running = 0;
    return !ReadSmallFile("/proc/loadavg", text).empty() &&
           std::sscanf(text, "%*s %*s %*s %ld/", &running) == 1 && running < AllowedProcessors();
}

namespace {

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

struct SecondWork {
    void (*work)(void*);
    void* argument;
};
SecondWork g_secondWork{};
// Room for a fault's handler on the second thread, as the main thread has (an alternate
// stack is a thread's own).
alignas(16) std::array<char, 64 * 1024> g_secondFaultStack;

void* RunSecondThread(void*) {
    stack_t faultStack{};
    faultStack.ss_sp = g_secondFaultStack.data();
    faultStack.ss_size = g_secondFaultStack.size();
    (void)::sigaltstack(&faultStack, nullptr);
    g_secondId.store(static_cast<pid_t>(::syscall(SYS_gettid)));
    g_secondWork.work(g_secondWork.argument);
    g_secondId.store(0);
    faultStack.ss_flags = SS_DISABLE;
    (void)::sigaltstack(&faultStack, nullptr);
    return nullptr;
}

}  // namespace

bool StartSecondThread(void (*work)(void*), void* argument) {
    // Requests to stop are the main thread's, which holds the run's state: the second thread
    // starts with them blocked. A fault is raised on the thread that makes it; blocked, the
    // system would end the process without its handler, the terminal left as the run had it.
    sigset_t blocked, before;
    ::sigfillset(&blocked);
    for (const int fault : kFaultSignals)
        ::sigdelset(&blocked, fault);
    ::pthread_sigmask(SIG_SETMASK, &blocked, &before);  // the new thread starts with this mask
    g_secondWork = {work, argument};
    pthread_attr_t attributes;
    ::pthread_attr_init(&attributes);
    KeepApart(attributes);
    const bool started = ::pthread_create(&g_second, &attributes, RunSecondThread, nullptr) == 0;
    ::pthread_attr_destroy(&attributes);
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    g_secondRunning = started;
    if (!started) JoinSecondThread();  // only gives the main thread its processors back
    return started;
}

void JoinSecondThread() {
    if (g_secondRunning) ::pthread_join(g_second, nullptr);
    g_secondRunning = false;
    if (g_mainKept)
        (void)::pthread_setaffinity_np(::pthread_self(), sizeof g_mainProcessors,
                                       &g_mainProcessors);
    g_mainKept = false;
}

Thread CurrentThread() {
    const auto self = static_cast<pid_t>(::syscall(SYS_gettid));
    if (self == ::getpid()) return Thread::main;
    return self == g_secondId.load() ? Thread::second : Thread::other;
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

namespace {
// The large page of the processors that have one size of them in common use (x86-64's
// and ARM's 2 MiB); the kernel takes a hint for one only where the range is aligned to it.
constexpr std::size_t kLargePage = std::size_t{2} << 20;

std::size_t WholePages(std::size_t bytes) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}
}  // namespace

void* TakeTableMemory(std::size_t bytes) {
    // A large page's worth more than asked, so that the table can start on a boundary; what
    // lies outside it is given back at once.
    const std::size_t size = WholePages(bytes);
    const std::size_t span = size + kLargePage;
    if (size < bytes || span < size) return nullptr;
    void* mapped = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    const auto begin = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t start = (begin + kLargePage - 1) / kLargePage * kLargePage;
    if (start > begin) munmap(mapped, start - begin);
    if (begin + span > start + size)
        munmap(reinterpret_cast<void*>(start + size), begin + span - (start + size));
#ifdef MADV_HUGEPAGE
    // A hint: where the system has no large pages to give, the table has small ones.
    if (size >= kLargePage) (void)madvise(reinterpret_cast<void*>(start), size, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(start);
}

void GiveBackTableMemory(void* memory, std::size_t bytes) {
    if (memory != nullptr) munmap(memory, WholePages(bytes));
}

}  // namespace lotrix::system
