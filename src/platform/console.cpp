#include "platform/console.hpp"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "platform/platform_lines.hpp"
#include "platform/system.hpp"

namespace lotrix {
namespace {

// --- output ---
constexpr std::size_t kOutputBlock = 4096;
std::array<char, kOutputBlock> g_outBuffer;
std::size_t g_outUsed = 0;
int g_outImmediate = -1;   // -1: not decided yet (asked of standard output on first use)
bool g_outFailed = false;  // a write failed: nothing more is written, and the end says so
ConsoleSink g_sink = nullptr;

void WriteStandardOutput(const char* data, std::size_t size) {
    if (!g_outFailed) g_outFailed = system::WriteStandardOutput(data, size) != size;
}

bool OutputImmediate() {
    if (g_outImmediate < 0) g_outImmediate = system::StandardOutputIsInteractive() ? 1 : 0;
    return g_outImmediate == 1;
}

// Text whose lines already end as the platform's do.
void WritePlatformText(std::string_view text) {
    if (g_sink != nullptr) {
        g_sink(text);
        return;
    }
    if (OutputImmediate()) {
        ConsoleFlush();
        WriteStandardOutput(text.data(), text.size());  // on a failure the dialogue goes on
        return;
    }
    while (!text.empty()) {
        const std::size_t take = std::min(text.size(), g_outBuffer.size() - g_outUsed);
        std::copy_n(text.data(), take, g_outBuffer.data() + g_outUsed);
        g_outUsed += take;
        text.remove_prefix(take);
        if (g_outUsed == g_outBuffer.size()) ConsoleFlush();
    }
}

// --- input ---
constexpr std::size_t kInputBlock = 4096;
std::array<char, kInputBlock> g_inBuffer;
const char* g_inNext = nullptr;  // first unread character
const char* g_inEnd = nullptr;
bool g_inEnded = false;
ConsoleSource g_source = nullptr;

system::InputRead FromSource(char* buffer, std::size_t size) {
    const std::size_t got = g_source(buffer, size);
    return {got, got == 0};
}

// The pending character, fetching more input when none is left; -1 at end of input.
int Peek() {
    while (g_inNext == g_inEnd) {
        if (g_inEnded) return -1;
        const system::InputRead got =
            g_source != nullptr ? FromSource(g_inBuffer.data(), g_inBuffer.size())
                                : system::ReadStandardInput(g_inBuffer.data(), g_inBuffer.size());
        if (got.bytes == 0) {
            g_inEnded = got.endedForGood;  // otherwise only this read has ended
            return -1;
        }
        g_inNext = g_inBuffer.data();
        g_inEnd = g_inNext + got.bytes;
    }
    return static_cast<unsigned char>(*g_inNext);
}

void Advance() {
    ++g_inNext;
}

constexpr bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
constexpr bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// Hands `text` on to `write` with its lines ended as the platform's are.
template <typename Write>
void InPlatformLines(std::string_view text, Write write) {
    if constexpr (kLineEndIsNewline) {
        write(text);
    } else {
        std::array<char, 512 * kLineEnd.size()> lines;
        while (!text.empty()) {
            const std::string_view part = text.substr(0, 512);
            write(std::string_view{lines.data(), CopyInPlatformLines(part, lines.data())});
            text.remove_prefix(part.size());
        }
    }
}

void WriteError(std::string_view text) {
    (void)system::WriteStandardError(text.data(), text.size());
}

// Formats as printf does. A message longer than the usual room (a path of hundreds of
// characters) is formatted again into room of its size, never cut.
template <typename Write>
void PrintTo(Write write, const char* format, va_list values) {
    std::array<char, 512> text;
    va_list again;
    va_copy(again, values);
    const int length = std::vsnprintf(text.data(), text.size(), format, values);
    if (length > 0 && static_cast<std::size_t>(length) < text.size()) {
        write(std::string_view{text.data(), static_cast<std::size_t>(length)});
    } else if (length > 0) {
        const auto size = static_cast<std::size_t>(length) + 1;
        if (char* whole = static_cast<char*>(std::malloc(size))) {
            std::vsnprintf(whole, size, format, again);
            write(std::string_view{whole, size - 1});
            std::free(whole);
        }
    }
    va_end(again);
}

}  // namespace

void ClaimStandardStreams() {
    system::ClaimStandardStreams();
}

void ConsoleWrite(std::string_view text) {
    InPlatformLines(text, WritePlatformText);
}

void ConsolePrint(const char* format, ...) {
    va_list values;
    va_start(values, format);
    PrintTo(ConsoleWrite, format, values);
    va_end(values);
}

void ErrorWrite(std::string_view text) {
    InPlatformLines(text, WriteError);
}

void ErrorPrint(const char* format, ...) {
    va_list values;
    va_start(values, format);
    PrintTo(ErrorWrite, format, values);
    va_end(values);
}

bool TakesCursorMoves(ConsoleStream stream) {
    return system::TakesCursorMoves(stream == ConsoleStream::output ? system::Stream::output
                                                                    : system::Stream::error);
}

int TerminalColumns(ConsoleStream stream) {
    return system::TerminalColumns(stream == ConsoleStream::output ? system::Stream::output
                                                                   : system::Stream::error);
}

void ConsoleFlush() {
    if (g_outUsed == 0) return;
    WriteStandardOutput(g_outBuffer.data(), g_outUsed);
    g_outUsed = 0;
}

int ConsoleClose(int status, int failureStatus) {
    ConsoleFlush();
    if (!g_outFailed) return status;
    const char* reason = system::StandardOutputFailure();
    if (reason == nullptr) return status;  // the reader has gone: nothing was lost on anyone
    ErrorPrint("lotrix20: write error: %s\n", reason);
    return std::max(status, failureStatus);
}

ReadOutcome ReadInteger(std::int32_t& target) {
    int c = Peek();
    while (IsSpace(c)) {
        Advance();
        c = Peek();
    }
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        Advance();  // a sign is consumed even when no digit follows
        c = Peek();
    }
    if (!IsDigit(c)) return c < 0 && g_inEnded ? ReadOutcome::endOfInput : ReadOutcome::notANumber;
    std::uint32_t value = 0;  // wraps modulo 2^32, as the entry is defined to
    while (IsDigit(c)) {
        value = value * 10u + static_cast<std::uint32_t>(c - '0');
        Advance();
        c = Peek();
    }
    if (negative) value = 0u - value;
    target = static_cast<std::int32_t>(value);
    return ReadOutcome::stored;
}

void ConsoleUseSink(ConsoleSink sink) {
    ConsoleFlush();
    g_sink = sink;
}

void ConsoleUseSource(ConsoleSource source) {
    g_source = source;
    g_inNext = g_inEnd = nullptr;
    g_inEnded = false;
}

void ConsoleUseInputText(std::string_view text) {
    g_source = nullptr;
    g_inNext = text.data();
    g_inEnd = text.data() + text.size();
    g_inEnded = true;
}

}  // namespace lotrix
