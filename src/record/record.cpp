// The record's lines, written with their formats and read back against the same formats.
#include "record/record.hpp"

#include <array>
#include <cstdio>

#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "platform/console.hpp"
#include "platform/results_file.hpp"

namespace lotrix {
namespace {

// The summary's words, which the file's line and the console's message share. The
// console's form has always printed the count with %u and the file's with %d: the count is
// never negative, so one format gives both bytes.
std::array<char, 128> SummaryWords(const RunTally& tally) {
    std::array<char, 128> words{};
    if (tally.elapsed < 60) {
        std::snprintf(words.data(), words.size(), kSummaryFormat, tally.written, tally.elapsed);
    } else {
        std::snprintf(words.data(), words.size(), kLongSummaryFormat, tally.written, tally.minutes,
                      tally.seconds);
    }
    return words;
}

// One conversion of a format, read from the start of `text` in the one form printf writes:
// %d (no leading zero, no "-0"), %+d (the sign always), %02d (two digits). Taken off `text`.
bool TakeConversion(std::string_view& text, std::string_view& format, std::int64_t& value) {
    bool sign = false;
    std::size_t digits = 0;  // a fixed number of digits, or 0 for as many as the value has
    if (format.substr(0, 3) == "%+d") {
        sign = true;
        format.remove_prefix(3);
    } else if (format.substr(0, 4) == "%02d") {
        digits = 2;
        format.remove_prefix(4);
    } else if (format.substr(0, 2) == "%d") {
        format.remove_prefix(2);
    } else {
        return false;  // no other conversion is used
    }
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || (sign && text[0] == '+'))) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    } else if (sign) {
        return false;
    }
    std::size_t at = 0;
    std::int64_t magnitude = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at < 11) {
        magnitude = magnitude * 10 + (text[at] - '0');
        ++at;
    }
    const bool canonical = digits != 0 ? at == digits : at > 0 && (text[0] != '0' || at == 1);
    if (!canonical || (negative && magnitude == 0)) return false;
    value = negative ? -magnitude : magnitude;
    text.remove_prefix(at);
    return value >= INT32_MIN && value <= INT32_MAX;
}

// Is `text` exactly what printf writes with `format` for some values? They are read into
// `values`, in order.
template <std::size_t kValues>
bool ReadAs(const char* format, std::string_view text, std::array<std::int64_t, kValues>& values) {
    std::string_view rest = format;
    std::size_t read = 0;
    while (!rest.empty()) {
        if (rest[0] == '%') {
            if (read == kValues || !TakeConversion(text, rest, values[read])) return false;
            ++read;
        } else {
            if (text.empty() || text[0] != rest[0]) return false;
            text.remove_prefix(1);
            rest.remove_prefix(1);
        }
    }
    return text.empty() && read == kValues;
}

// Does `text` begin with the format's words before its first conversion?
bool BeginsAs(const char* format, std::string_view text) {
    const std::string_view words =
        std::string_view(format).substr(0, std::string_view(format).find('%'));
    return text.substr(0, words.size()) == words;
}

}  // namespace

void WriteSeedLine(std::int32_t seed, std::int32_t count) {
    std::array<char, 96> line;
    std::snprintf(line.data(), line.size(), kSeedLineFormat, seed, count);
    FilePrint("%s\n", line.data());
}

void WriteHeader(const ModeEntry& row, std::int32_t lower, std::int32_t upper) {
    FilePrint("%s", row.header);
    if (!row.asksForBounds) return;
    std::array<char, 96> line;
    std::snprintf(line.data(), line.size(),
                  row.withoutRepeats ? kDistinctIntervalLineFormat : kIntervalLineFormat, lower,
                  upper);
    FilePrint("%s\n\n", line.data());
}

void ComputeElapsed(RunTally& tally) {
    tally.elapsed = ElapsedSeconds(tally.start, tally.end);
    if (tally.elapsed >= 60) {
        tally.minutes = tally.elapsed / 60;
        tally.seconds = tally.elapsed % 60;
    }
}

void WriteSummary(const RunTally& tally) {
    FilePrint("%s\n", SummaryWords(tally).data());
    for (int empty = 0; empty < kEmptyLinesAfterSummary; ++empty)
        FilePrint("\n");
}

void PrintSummary(const RunTally& tally) {
    ConsolePrint("\n\n%s,\n", SummaryWords(tally).data());
}

bool BeginsLikeSeedLine(std::string_view text) {
    return BeginsAs(kSeedLineFormat, text);
}

bool BeginsLikeSummary(std::string_view text) {
    return BeginsAs(kSummaryFormat, text);
}

bool ReadSeedLine(std::string_view text, std::int32_t& seed, std::int32_t& count) {
    std::array<std::int64_t, 2> values{};
    if (!ReadAs(kSeedLineFormat, text, values) || values[1] < 1) return false;
    seed = static_cast<std::int32_t>(values[0]);
    count = static_cast<std::int32_t>(values[1]);
    return true;
}

const ModeEntry* RowOfHeader(std::string_view text) {
    for (const ModeEntry& row : kModes) {
        const std::string_view header = row.header;
        if (header.substr(0, header.find('\n')) == text) return &row;
    }
    return nullptr;
}

bool ReadIntervalLine(std::string_view text, std::int32_t& lower, std::int32_t& upper,
                      bool& withoutRepeats) {
    std::array<std::int64_t, 2> values{};
    withoutRepeats = ReadAs(kDistinctIntervalLineFormat, text, values);
    if (!withoutRepeats && !ReadAs(kIntervalLineFormat, text, values)) return false;
    lower = static_cast<std::int32_t>(values[0]);
    upper = static_cast<std::int32_t>(values[1]);
    return lower < upper && IntervalWidth(lower, upper) <= kModulus;
}

bool ReadSummary(std::string_view text, std::int32_t& count) {
    std::array<std::int64_t, 2> seconds{};
    std::array<std::int64_t, 3> minutes{};
    if (ReadAs(kSummaryFormat, text, seconds) && seconds[0] >= 0 && seconds[1] < 60) {
        count = static_cast<std::int32_t>(seconds[0]);
        return true;
    }
    // From a minute up; the whole time still fits the 32-bit count of seconds.
    if (ReadAs(kLongSummaryFormat, text, minutes) && minutes[0] >= 0 && minutes[1] >= 1 &&
        minutes[2] < 60 && minutes[1] * 60 + minutes[2] <= INT32_MAX) {
        count = static_cast<std::int32_t>(minutes[0]);
        return true;
    }
    return false;
}

}  // namespace lotrix
