// ReadInteger against a plain model of the entry: the same outcomes, the same values,
// read after read, over memory and handed over a few bytes at a time (as a pipe delivers).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/console.hpp"

namespace {

using lotrix::ReadOutcome;

struct Model {
    std::string_view text;
    std::size_t at = 0;

    static bool Space(char c) {
        return std::string_view(" \t\n\r\v\f").find(c) != std::string_view::npos;
    }
    static bool Digit(char c) { return c >= '0' && c <= '9'; }

    ReadOutcome Read(std::int32_t& target) {
        while (at < text.size() && Space(text[at]))
            ++at;
        int sign = 1;
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            sign = text[at++] == '-' ? -1 : 1;
        if (at == text.size()) return ReadOutcome::endOfInput;
        if (!Digit(text[at])) return ReadOutcome::notANumber;
        std::uint64_t value = 0;  // kept below 2^32 at every digit
        while (at < text.size() && Digit(text[at])) {
            value = (value * 10 + static_cast<std::uint64_t>(text[at++] - '0')) % 4294967296u;
        }
        if (sign < 0) value = (4294967296u - value) % 4294967296u;
        target = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        return ReadOutcome::stored;
    }
};

void Compare(std::string_view text) {
    Model model{text};
    for (int read = 0; read < 200; ++read) {
        std::int32_t expected = 12345, got = 12345;
        const ReadOutcome wanted = model.Read(expected);
        const ReadOutcome outcome = lotrix::ReadInteger(got);
        if (outcome != wanted || got != expected) std::abort();
        if (outcome == ReadOutcome::endOfInput) return;
    }
}

}  // namespace

namespace {

// The same text handed to the reader a few bytes at a time, as a pipe may deliver it.
std::string_view g_chunked;

std::size_t NextChunk(char* buffer, std::size_t size) {
    const std::size_t take = std::min({size, g_chunked.size(), std::size_t{7}});
    g_chunked.copy(buffer, take);
    g_chunked.remove_prefix(take);
    return take;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    lotrix::ConsoleUseInputText(text);
    Compare(text);
    g_chunked = text;
    lotrix::ConsoleUseSource(NextChunk);
    Compare(text);
    lotrix::ConsoleUseInputText("");
    return 0;
}
