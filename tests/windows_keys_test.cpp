// The console's key events as the program reads them: records shaped as Windows gives
// them, and the quirks of wine's console.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/terminal.hpp"
#include "platform/windows/console_keys.hpp"

namespace lotrix {
namespace {

KEY_EVENT_RECORD Key(WORD virtualKey, char character, bool down = true, DWORD state = 0,
                     WORD scan = 0) {
    KEY_EVENT_RECORD key{};
    key.bKeyDown = down;
    key.wRepeatCount = 1;
    key.wVirtualKeyCode = virtualKey;
    key.wVirtualScanCode = scan;
    key.uChar.AsciiChar = character;
    key.dwControlKeyState = state;
    return key;
}

void ExpectKey(const KEY_EVENT_RECORD& key, int code, int second) {
    const ConsoleKey got = KeyOfEvent(key);
    EXPECT_EQ(got.code, code) << "virtual key " << key.wVirtualKeyCode;
    EXPECT_EQ(got.second, second) << "virtual key " << key.wVirtualKeyCode;
}

TEST(WindowsKeys, CharactersReadAsTheirCodes) {
    ExpectKey(Key('A', 'a'), 'a', -1);
    ExpectKey(Key(VK_RETURN, '\r'), 13, -1);
    ExpectKey(Key('C', 3, true, LEFT_CTRL_PRESSED), 3, -1);  // Ctrl+C in the raw wait
    ExpectKey(Key(VK_ESCAPE, 27), 27, -1);
    ExpectKey(Key(VK_ESCAPE, 0), 27, -1);  // wine gives Escape no character
}

TEST(WindowsKeys, CursorEditingAndFunctionKeysReadAsTheSameTwoCodesAsOnLinux) {
    const std::pair<WORD, int> extended[] = {{VK_UP, 72},     {VK_DOWN, 80}, {VK_LEFT, 75},
                                             {VK_RIGHT, 77},  {VK_HOME, 71}, {VK_END, 79},
                                             {VK_PRIOR, 73},  {VK_NEXT, 81}, {VK_INSERT, 82},
                                             {VK_DELETE, 83}, {VK_F11, 133}, {VK_F12, 134}};
    for (const auto& [virtualKey, code] : extended) {
        ExpectKey(Key(virtualKey, 0, true, ENHANCED_KEY), 224, code);
        ExpectKey(Key(virtualKey, 0), 224, code);  // wine leaves ENHANCED_KEY out
    }
    ExpectKey(Key(VK_F1, 0), 0, 59);
    ExpectKey(Key(VK_F10, 0), 0, 68);
    ExpectKey(Key(VK_UP, 0, true, LEFT_CTRL_PRESSED | ENHANCED_KEY), 224, 72);
}

TEST(WindowsKeys, ReleasesModifiersAloneAndOtherEventsAreNoKey) {
    ExpectKey(Key('A', 'a', false), -1, -1);
    ExpectKey(Key(VK_UP, 0, false, ENHANCED_KEY), -1, -1);
    for (const WORD modifier : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_CAPITAL}) {
        ExpectKey(Key(modifier, 0, true, SHIFT_PRESSED), -1, -1);
    }
    INPUT_RECORD mouse{};
    mouse.EventType = MOUSE_EVENT;
    EXPECT_EQ(KeyOfRecord(mouse).code, -1);
    INPUT_RECORD focus{};
    focus.EventType = FOCUS_EVENT;
    EXPECT_EQ(KeyOfRecord(focus).code, -1);
    INPUT_RECORD key{};
    key.EventType = KEY_EVENT;
    key.Event.KeyEvent = Key(VK_DOWN, 0, true, ENHANCED_KEY);
    EXPECT_EQ(KeyOfRecord(key).second, 80);
}

// With a console (under wine, a pseudo-terminal made the console): synthetic key events
// written to its input buffer.
TEST(WindowsConsole, ThePollConsumesNothingAndTheRawWaitRestoresTheMode) {
    const HANDLE input =
        ::CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE) GTEST_SKIP() << "no console";
    ::FlushConsoleInputBuffer(input);
    const auto write = [input](const KEY_EVENT_RECORD& key) {
        INPUT_RECORD record{};
        record.EventType = KEY_EVENT;
        record.Event.KeyEvent = key;
        DWORD written = 0;
        ASSERT_TRUE(::WriteConsoleInputA(input, &record, 1, &written));
    };
    write(Key(VK_SHIFT, 0, true, SHIFT_PRESSED));
    write(Key('X', 'x', false));
    EXPECT_FALSE(KeyWaiting());  // Shift alone and a release are no key
    write(Key('A', 'a'));
    write(Key(VK_UP, 0, true, ENHANCED_KEY));
    DWORD queued = 0;
    ASSERT_TRUE(::GetNumberOfConsoleInputEvents(input, &queued));
    EXPECT_TRUE(KeyWaiting());
    DWORD still = 0;
    ::GetNumberOfConsoleInputEvents(input, &still);
    EXPECT_EQ(still, queued);  // the poll consumed nothing
    DWORD before = 0, after = 0;
    ::GetConsoleMode(input, &before);
    EXPECT_EQ(ReadKey(), 'a');  // the events before it are passed over
    EXPECT_EQ(ReadKey(), 224);
    EXPECT_TRUE(KeyWaiting());  // the second code is pending
    EXPECT_EQ(ReadKey(), 72);
    EXPECT_FALSE(KeyWaiting());
    ::GetConsoleMode(input, &after);
    EXPECT_EQ(after, before);
    ::CloseHandle(input);
}

}  // namespace
}  // namespace lotrix
