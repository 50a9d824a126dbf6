// The Windows console: keys from the console's input buffer ("CONIN$"), stop requests
// from its control events (Ctrl+C, Ctrl+Break, the window closed, log-off, shut-down).
//
// The console queues key events whatever its mode, without echo until someone reads them,
// so the run needs no mode of its own: the key poll only peeks at the queue. No signal
// says that a key has come, so RefreshKeyPoll raises the stop flag once per block of
// numbers (about every 0.1 ms of work) and the run looks at the console then: no kernel
// call per number, and a key is seen well within 10 ms. The single-key read sets console
// mode 0 (no echo, no line editing, Ctrl+C a key) and restores the mode it found.
//
// The control handler runs on a thread of its own, so what it shares with the program's
// thread is atomic.
#include "platform/terminal.hpp"

#include <windows.h>

#include <array>

#include "platform/results_file.hpp"
#include "platform/windows/console_keys.hpp"

namespace lotrix {

std::atomic<int> g_stopFlag{0};

namespace {

// A stop request held while the record is written gets this long to see it completed;
// if a write blocks meanwhile, the request ends the process from the handler's thread.
constexpr DWORD kHeldStopDeadlineMs = 1000;
// What the system's own handler ends a process with for Ctrl+C.
constexpr UINT kStoppedExitCode = 0xC000013A;  // STATUS_CONTROL_C_EXIT

std::atomic<HANDLE> g_keyboard{nullptr};  // nullptr: not opened yet
std::atomic<bool> g_holdStops{false};
std::atomic<StopRequest> g_held{StopRequest::none};
std::atomic<bool> g_rawMode{false};  // the single-key read's mode is in force
std::atomic<DWORD> g_userMode{0};    // the mode it found
int g_pendingCode = -1;              // second code of a two-code key

// The console's keyboard, opened on first use; INVALID_HANDLE_VALUE without a console.
HANDLE Keyboard() {
    HANDLE keyboard = g_keyboard.load();
    if (keyboard == nullptr) {
        keyboard =
            ::CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        g_keyboard.store(keyboard);
    }
    return keyboard;
}

void RestoreUserMode() {
    if (g_rawMode.exchange(false)) ::SetConsoleMode(g_keyboard.load(), g_userMode.load());
}

StopRequest RequestFor(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            return StopRequest::interrupt;
        case CTRL_CLOSE_EVENT:
            return StopRequest::hangUp;
        default:
            return StopRequest::terminate;  // log-off, shut-down
    }
}

BOOL WINAPI OnControl(DWORD event) {
    if (!g_holdStops.load()) {
        RestoreUserMode();
        return FALSE;  // the system's own handler ends the process
    }
    StopRequest none = StopRequest::none;
    g_held.compare_exchange_strong(none, RequestFor(event));
    g_stopFlag.store(1, std::memory_order_relaxed);
    // The program's thread completes the record and ends the process; if it cannot (a
    // write blocks), the request ends it from here.
    ::Sleep(kHeldStopDeadlineMs);
    EndByStopRequest(g_held.load());
}

// A fault ends the process as the system ends it, but never with the console left in the
// single-key read's mode, nor a line cut by the other thread's write.
LONG WINAPI OnFault(EXCEPTION_POINTERS*) {
    RestoreUserMode();
    FileHaltWrites();
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

ConsoleKey KeyOfEvent(const KEY_EVENT_RECORD& key) {
    if (!key.bKeyDown) return kNotAKey;
    keys::TwoCodes two = keys::kNoKey;
    switch (key.wVirtualKeyCode) {
        case VK_UP:
            two = keys::kUp;
            break;
        case VK_DOWN:
            two = keys::kDown;
            break;
        case VK_LEFT:
            two = keys::kLeft;
            break;
        case VK_RIGHT:
            two = keys::kRight;
            break;
        case VK_HOME:
            two = keys::kHome;
            break;
        case VK_END:
            two = keys::kEnd;
            break;
        case VK_PRIOR:
            two = keys::kPageUp;
            break;
        case VK_NEXT:
            two = keys::kPageDown;
            break;
        case VK_INSERT:
            two = keys::kInsert;
            break;
        case VK_DELETE:
            two = keys::kDelete;
            break;
        default:
            if (key.wVirtualKeyCode >= VK_F1 && key.wVirtualKeyCode <= VK_F12) {
                two = keys::FunctionKey(key.wVirtualKeyCode - VK_F1 + 1);
            }
            break;
    }
    if (two.prefix >= 0) return {two.prefix, two.code};
    const auto character = static_cast<unsigned char>(key.uChar.AsciiChar);
    if (character != 0) return {character, -1};
    if (key.wVirtualKeyCode == VK_ESCAPE)
        return {keys::kEsc, -1};  // some consoles give it no character
    return kNotAKey;
}

ConsoleKey KeyOfRecord(const INPUT_RECORD& record) {
    return record.EventType == KEY_EVENT ? KeyOfEvent(record.Event.KeyEvent) : kNotAKey;
}

bool KeyWaiting() {
    if (g_pendingCode >= 0) return true;
    const HANDLE keyboard = Keyboard();
    if (keyboard == INVALID_HANDLE_VALUE) return false;
    std::array<INPUT_RECORD, 128> records;
    DWORD count = 0;
    if (!::PeekConsoleInputA(keyboard, records.data(), static_cast<DWORD>(records.size()),
                             &count)) {
        return false;
    }
    for (DWORD i = 0; i < count; ++i) {
        if (KeyOfRecord(records[i]).code >= 0) return true;
    }
    return false;
}

int ReadKey() {
    if (g_pendingCode >= 0) {
        const int code = g_pendingCode;
        g_pendingCode = -1;
        return code;
    }
    const HANDLE keyboard = Keyboard();
    if (keyboard == INVALID_HANDLE_VALUE) return keys::kEndOfInput;
    DWORD userMode = 0;
    const bool modeKnown = ::GetConsoleMode(keyboard, &userMode) != 0;
    if (modeKnown) {
        g_userMode.store(userMode);
        g_rawMode.store(true);
        ::SetConsoleMode(keyboard, 0);
    }
    int code = keys::kEndOfInput;
    for (;;) {
        INPUT_RECORD record;
        DWORD read = 0;
        if (!::ReadConsoleInputA(keyboard, &record, 1, &read) || read == 0) break;
        const ConsoleKey key = KeyOfRecord(record);
        if (key.code < 0) continue;
        code = key.code;
        g_pendingCode = key.second;
        break;
    }
    RestoreUserMode();
    return code;
}

void InstallStopHandlers() {
    // A process started with Ctrl+C ignored is not sent it at all, so that stays as it was.
    ::SetConsoleCtrlHandler(OnControl, TRUE);
    ::SetUnhandledExceptionFilter(OnFault);
}

void BeginKeyPoll() {
    g_stopFlag.store(1, std::memory_order_relaxed);  // a real look before the first number
}

void RefreshKeyPoll() {
    g_stopFlag.store(1, std::memory_order_relaxed);
}

void EndKeyPoll() {}

void HoldStopRequests() {
    g_held.store(StopRequest::none);
    g_holdStops.store(true);
}

StopRequest HeldStopRequest() {
    return g_held.load();
}

void ReleaseStopRequests() {
    g_holdStops.store(false);
}

void EndByStopRequest(StopRequest) {
    RestoreUserMode();
    FileHaltWrites();  // from the control handler's thread, both threads' writes are others'
    ::ExitProcess(kStoppedExitCode);
}

void EndForGoneReader() {
    RestoreUserMode();
    ::ExitProcess(0);
}

void TerminalDisable(bool disabled) {
    g_keyboard.store(disabled ? INVALID_HANDLE_VALUE : nullptr);
    g_pendingCode = -1;
}

}  // namespace lotrix
