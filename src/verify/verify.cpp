// --verify: each record of a results file read back and its numbers made again, compared
// byte for byte.
#include "verify/verify.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

#include "generators/distinct.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "generators/rows.hpp"
#include "platform/checked_file.hpp"
#include "platform/console.hpp"
#include "record/modes.hpp"
#include "record/record.hpp"
#include "run/progress.hpp"
#include "run/run.hpp"

namespace lotrix {
namespace {

constexpr int kStatusGenuine = 0;
constexpr int kStatusNotGenuine = 1;
constexpr int kStatusUnreadable = 2;

// The numbers a record should hold, made a chunk of whole lines at a time by the batch
// makers a run uses, and compared with the file's bytes a chunk at a time.
constexpr std::int32_t kChunkLines = 4096;
std::array<char, kChunkLines * kLineRoom + kSpill> g_expected;

struct Expected {
    std::int32_t choice = 0, lower = 0, upper = 0;
    bool withoutRepeats = false;
    std::string_view lineEnd;
    std::int64_t left = 0;  // numbers still to be made
    const char* begin = g_expected.data();
    const char* end = g_expected.data();
    std::int64_t lines = 0;  // the lines from begin to end
};

const StopFlag kNeverStop{0};

// A draw without repeats is made again with the memory of the values it has drawn, taken
// for each record; without it, nothing can be compared, and the check ends in trouble.
bool g_outOfMemory = false;

void BeginNumbers(Expected& expected, const RunSettings& settings, bool withoutRepeats,
                  std::uint64_t skip, std::string_view lineEnd, std::int64_t count) {
    expected = Expected{};
    if (withoutRepeats) {
        // Never more numbers than the bounds hold.
        count = std::min(count, IntervalWidth(settings.lower, settings.upper));
        if (!BeginDrawWithoutRepeats(settings.lower, settings.upper, count)) {
            g_outOfMemory = true;
            return;
        }
    }
    StartSequence(RowFor(settings.choice, withoutRepeats), settings, skip);
    expected.choice = settings.choice;
    expected.lower = settings.lower;
    expected.upper = settings.upper;
    expected.withoutRepeats = withoutRepeats;
    expected.lineEnd = lineEnd;
    expected.left = count;
}

// False when every number has been made and compared.
bool MakeMoreNumbers(Expected& expected) {
    if (expected.begin != expected.end) return true;
    if (expected.left == 0) return false;
    const auto count =
        static_cast<std::int32_t>(std::min<std::int64_t>(expected.left, kChunkLines));
    char* out = g_expected.data();
    std::int32_t made = 0;
    switch (expected.choice) {
        case 1:
            made = CompatLines(out, count, expected.lineEnd, kNeverStop);
            break;
        case 2:
            made = UnitRealLines(out, count, expected.lineEnd, kNeverStop);
            break;
        case 3:
            made = MinimalStandardLines(out, count, expected.lineEnd, kNeverStop);
            break;
        default:
            made = expected.withoutRepeats
                       ? DistinctIntervalLines(out, count, expected.lineEnd, kNeverStop)
                       : IntervalLines(out, count, expected.lower, expected.upper, expected.lineEnd,
                                       kNeverStop);
            break;
    }
    // Fewer only when a draw without repeats has had every value its sequence reaches.
    expected.left = made < count ? 0 : expected.left - made;
    expected.begin = g_expected.data();
    expected.end = out;
    expected.lines = made;
    return made > 0;
}

std::size_t SameBytes(const char* a, const char* b, std::size_t size) {
    constexpr std::size_t kStretch = 4096;
    std::size_t same = 0;
    while (same < size) {
        const std::size_t step = std::min(kStretch, size - same);
        if (std::memcmp(a + same, b + same, step) != 0) break;
        same += step;
    }
    while (same < size && a[same] == b[same])
        ++same;
    return same;
}

std::int64_t g_line = 0;  // the line number of the next line of the file

void NoteTaken() {
    NoteProgress(CheckedFileTaken());
}

// Takes the file's lines while they are the expected ones, many at a time; returns how
// many. Stops before the first line that differs, or where the expected lines run out.
std::int64_t TakeMatchingNumbers(Expected& expected) {
    std::int64_t matched = 0;
    while (MakeMoreNumbers(expected)) {
        const auto want = static_cast<std::size_t>(expected.end - expected.begin);
        const std::string_view have = PeekCheckedBytes(want);
        const std::size_t same =
            SameBytes(have.data(), expected.begin, std::min(want, have.size()));
        std::size_t whole = same;  // back to the last line end both hold
        while (whole > 0 && expected.begin[whole - 1] != '\n')
            --whole;
        if (whole == 0) break;
        // A chunk taken whole has its count of lines; only a part of one needs counting.
        const std::int64_t lines = whole == want
                                       ? expected.lines
                                       : std::count(expected.begin, expected.begin + whole, '\n');
        expected.lines -= lines;
        matched += lines;
        g_line += lines;
        TakeChecked(whole);
        expected.begin += whole;
        NoteTaken();
    }
    return matched;
}

bool Ended(std::string_view line) {
    return !line.empty() && line.back() == '\n';
}

// Takes the next line, `line`, whole however long it is (a line longer than kLongestLine
// is peeked at in pieces), and counts it. `line` is not to be read afterwards.
void TakeLine(std::string_view line) {
    for (;;) {
        const bool piece = !Ended(line) && line.size() >= kLongestLine;
        TakeChecked(line.size());
        if (!piece) break;
        line = PeekCheckedLine();
        if (line.empty()) break;
    }
    ++g_line;
}

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

std::string_view WithoutLineEnd(std::string_view line) {
    if (Ended(line)) line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// The line's end as a constant of its own: the line's bytes move when the file's buffer is
// filled again.
std::string_view LineEndOf(std::string_view line) {
    const std::string_view end = line.substr(WithoutLineEnd(line).size());
    return end == "\r\n" ? "\r\n" : end == "\n" ? "\n" : "";
}

// A line shown in a verdict: without the record's line end, a carriage return left in it
// (a line end other than the record's) shown as \r, at most 60 characters.
void AppendShown(char*& out, const char* end, std::string_view line, std::string_view lineEnd) {
    std::string_view text = line;
    if (!lineEnd.empty() && text.ends_with(lineEnd)) {
        text.remove_suffix(lineEnd.size());
    } else if (Ended(text)) {
        text.remove_suffix(1);
    }
    *out++ = '"';
    for (std::size_t i = 0; i < text.size() && i < 60 && out + 4 < end; ++i) {
        if (text[i] == '\r') {
            *out++ = '\\';
            *out++ = 'r';
        } else {
            *out++ = static_cast<unsigned char>(text[i]) < 32 ? '?' : text[i];
        }
    }
    if (text.size() > 60 && out + 4 < end) out = std::copy_n("...", 3, out);
    *out++ = '"';
}

struct Counts {
    std::int64_t records = 0, genuine = 0, altered = 0, incomplete = 0, stray = 0;
};
Counts g_counts;

// Lines outside every record, said as one stretch once it ends.
std::int64_t g_strayFirst = 0, g_strayLast = 0;

void EndStray() {
    if (g_strayFirst == 0) return;
    HideProgress();
    if (g_strayFirst == g_strayLast) {
        ConsolePrint("line %lld: not part of any record\n", static_cast<long long>(g_strayFirst));
    } else {
        ConsolePrint("lines %lld-%lld: not part of any record\n",
                     static_cast<long long>(g_strayFirst), static_cast<long long>(g_strayLast));
    }
    g_counts.stray += g_strayLast - g_strayFirst + 1;
    g_strayFirst = g_strayLast = 0;
}

void NoteStray(std::int64_t line) {
    if (g_strayFirst == 0) g_strayFirst = line;
    g_strayLast = line;
}

// One record's verdict, written after what the record is.
struct Verdict {
    enum Kind { genuine, altered, incomplete } kind = genuine;
    std::array<char, 512> words{};
    std::int64_t summaryCount = -1;  // the count its summary gives, once read
    bool headerUnread = false;       // its header names a choice, but its interval is unreadable
    bool withoutRepeats = false;     // its interval's line says so
};

[[gnu::format(printf, 2, 3)]] void Say(Verdict& verdict, const char* format, ...) {
    va_list values;
    va_start(values, format);
    std::vsnprintf(verdict.words.data(), verdict.words.size(), format, values);
    va_end(values);
}

void Altered(Verdict& verdict, std::int64_t line, std::string_view holds,
             std::string_view shouldHold, std::string_view lineEnd) {
    verdict.kind = Verdict::altered;
    std::array<char, 400> text;
    char* out = text.data();
    const char* end = text.data() + text.size();
    out += std::snprintf(out, 40, "altered at line %lld: it holds ", static_cast<long long>(line));
    if (holds.empty()) {
        out += std::snprintf(out, 20, "nothing");
    } else {
        AppendShown(out, end - 100, holds, lineEnd);
    }
    out += std::snprintf(out, 20, ", it should hold ");
    if (StartsWith(shouldHold, "\"")) {
        const std::size_t size = std::min<std::size_t>(shouldHold.size(), 80);
        out = std::copy_n(shouldHold.data(), size, out);
    } else {
        AppendShown(out, end - 4, shouldHold, lineEnd);
    }
    *out = '\0';
    Say(verdict, "%s", text.data());
}

// The line the expected lines hold next, or the words for what should come instead.
std::string_view NextExpectedLine(Expected& expected, std::string_view instead) {
    if (!MakeMoreNumbers(expected)) return instead;
    const auto* end =
        static_cast<const char*>(std::memchr(expected.begin, '\n', expected.end - expected.begin));
    if (end == nullptr)
        return {expected.begin, static_cast<std::size_t>(expected.end - expected.begin)};
    return {expected.begin, static_cast<std::size_t>(end - expected.begin) + 1};
}

// A summary line as a run writes it, ending as the record's lines do: its count.
bool ReadSummaryLine(std::string_view line, std::string_view lineEnd, std::int64_t& count) {
    std::int32_t said = 0;
    if (LineEndOf(line) != lineEnd || !ReadSummary(WithoutLineEnd(line), said)) return false;
    count = said;
    return true;
}

// Takes lines up to the next summary (taken, with its empty lines) or the next record's
// seed line (left), after a record has been found altered.
void SkipRestOfRecord(std::string_view lineEnd) {
    for (std::string_view line = PeekCheckedLine(); !line.empty(); line = PeekCheckedLine()) {
        if (BeginsLikeSeedLine(line)) return;
        TakeLine(line);
        if (BeginsLikeSummary(line)) {
            for (int i = 0; i < kEmptyLinesAfterSummary && PeekCheckedLine() == lineEnd; ++i)
                TakeLine(lineEnd);
            return;
        }
    }
}

// Is `line` the first part of the line that should stand there, ended early, and followed
// by a record's seed line?
bool TornBeforeARecord(std::string_view line, std::string_view shouldHold) {
    const std::string_view text = WithoutLineEnd(line);
    if (!Ended(line) || text.empty() || text.size() >= WithoutLineEnd(shouldHold).size() ||
        shouldHold.substr(0, text.size()) != text) {
        return false;
    }
    const std::size_t size = line.size();
    std::string_view next = PeekCheckedBytes(size + kLongestLine);
    next.remove_prefix(std::min(size, next.size()));
    return BeginsLikeSeedLine(next.substr(0, next.find('\n')));
}

// The numbers of a record (or of a bare file) from the file's next line on, then what
// follows them: the summary for a record, the end of the file for bare numbers.
// `requested` is the seed line's count; `held` is set to the numbers found.
void CheckNumbers(Expected& expected, bool bare, Verdict& verdict, std::int64_t& held) {
    held = TakeMatchingNumbers(expected);
    const std::string_view line = PeekCheckedLine();
    const std::string_view instead = bare ? "the end of the file" : "\"the summary line\"";
    if (line.empty()) {
        if (bare && held > 0) return;
        if (bare) {
            verdict.kind = Verdict::incomplete;
            Say(verdict, "incomplete: the file holds no numbers");
            return;
        }
        verdict.kind = Verdict::incomplete;
        Say(verdict, "incomplete: the file ends before its summary");
        return;
    }
    if (!Ended(line) && line.size() < kLongestLine) {
        verdict.kind = Verdict::incomplete;
        Say(verdict, "incomplete: line %lld is torn", static_cast<long long>(g_line));
        TakeLine(line);
        return;
    }
    if (!bare && BeginsLikeSeedLine(line)) {
        verdict.kind = Verdict::incomplete;
        Say(verdict, "incomplete: no summary before line %lld", static_cast<long long>(g_line));
        return;
    }
    if (!bare && BeginsLikeSummary(line)) {
        const std::int64_t summaryLine = g_line;
        std::int64_t count = 0;
        const bool readable = ReadSummaryLine(line, expected.lineEnd, count);
        if (readable) verdict.summaryCount = count;
        if (!readable) {
            Altered(verdict, summaryLine, line, "\"a summary a run writes\"", expected.lineEnd);
        } else if (count < held) {
            Say(verdict, "altered at line %lld: its summary says %lld numbers, it holds %lld",
                static_cast<long long>(summaryLine), static_cast<long long>(count),
                static_cast<long long>(held));
            verdict.kind = Verdict::altered;
        } else if (count > held) {
            verdict.kind = Verdict::incomplete;
            Say(verdict, "incomplete: its summary at line %lld says %lld numbers, it holds %lld",
                static_cast<long long>(summaryLine), static_cast<long long>(count),
                static_cast<long long>(held));
        }
        TakeLine(line);
        for (int i = 0; i < kEmptyLinesAfterSummary; ++i) {
            const std::string_view empty = PeekCheckedLine();
            if (empty == expected.lineEnd) {
                TakeLine(empty);
            } else if (verdict.kind == Verdict::genuine) {
                verdict.kind = Verdict::incomplete;
                Say(verdict, "incomplete: %d empty %s after its summary, not 4", i,
                    i == 1 ? "line" : "lines");
                break;
            }
        }
        return;
    }
    const std::string_view shouldHold = NextExpectedLine(expected, instead);
    if (!bare && TornBeforeARecord(line, shouldHold)) {
        // A run killed mid-line, then another's record, which starts on a line of its own:
        // the torn line ends this record, and stands in none (it is left for the caller).
        verdict.kind = Verdict::incomplete;
        Say(verdict, "incomplete: line %lld is torn", static_cast<long long>(g_line));
        return;
    }
    Altered(verdict, g_line, line, shouldHold, expected.lineEnd);
    if (!bare) SkipRestOfRecord(expected.lineEnd);
}

// "choice 3", "choice 4 from -3 to +2", or, for a header that names none, "no known choice";
// for an interval that cannot be read, "choice 4 with a header that cannot be read".
std::array<char, 80> ChoiceWords(const RunSettings& settings, bool headerUnread,
                                 bool withoutRepeats) {
    std::array<char, 80> words{};
    if (settings.choice == 0) {
        std::snprintf(words.data(), words.size(), "no known choice");
    } else if (headerUnread) {
        std::snprintf(words.data(), words.size(), "choice %d with a header that cannot be read",
                      settings.choice);
    } else if (settings.choice == 4) {
        std::snprintf(words.data(), words.size(), "choice 4 from %+d to %+d%s", settings.lower,
                      settings.upper, withoutRepeats ? " without repeats" : "");
    } else {
        std::snprintf(words.data(), words.size(), "choice %d", settings.choice);
    }
    return words;
}

const char* VerdictWords(const Verdict& verdict) {
    return verdict.kind == Verdict::genuine ? "genuine" : verdict.words.data();
}

void Count(const Verdict& verdict) {
    ++g_counts.records;
    if (verdict.kind == Verdict::genuine) ++g_counts.genuine;
    if (verdict.kind == Verdict::altered) ++g_counts.altered;
    if (verdict.kind == Verdict::incomplete) ++g_counts.incomplete;
}

void SayRecord(std::int64_t line, const RunSettings& settings, std::int64_t held,
               const Verdict& verdict) {
    // The numbers the record says it holds, whatever the verdict: its summary's count;
    // where no summary was read, the numbers found in order.
    const std::int64_t count = verdict.summaryCount >= 0 ? verdict.summaryCount : held;
    HideProgress();
    ConsolePrint("line %lld: %s, seed %d, %lld numbers: %s\n", static_cast<long long>(line),
                 ChoiceWords(settings, verdict.headerUnread, verdict.withoutRepeats).data(),
                 settings.seed, static_cast<long long>(count), VerdictWords(verdict));
    Count(verdict);
}

// A seed line as a run writes it, whole (a torn one starts no record).
bool ReadSeedLine(std::string_view line, RunSettings& settings) {
    return Ended(line) && lotrix::ReadSeedLine(WithoutLineEnd(line), settings.seed, settings.count);
}

// The header's first line names the choice; 0 for none.
std::int32_t ChoiceOfHeader(std::string_view line, std::string_view lineEnd) {
    const ModeEntry* row = LineEndOf(line) == lineEnd ? RowOfHeader(WithoutLineEnd(line)) : nullptr;
    return row != nullptr ? row->choice : 0;
}

bool ReadInterval(std::string_view line, std::string_view lineEnd, RunSettings& settings,
                  bool& withoutRepeats) {
    return LineEndOf(line) == lineEnd &&
           ReadIntervalLine(WithoutLineEnd(line), settings.lower, settings.upper, withoutRepeats);
}

// One record from its seed line on.
void CheckRecord(std::string_view seedLine, RunSettings settings) {
    const std::int64_t start = g_line;
    const std::string_view lineEnd = LineEndOf(seedLine);
    TakeLine(seedLine);
    Verdict verdict;
    std::int64_t held = 0;
    // Another whole line of the header follows (or one too long to be a header's, read
    // as the header's line all the same); else the record ends inside it.
    const auto headerGoesOn = [&verdict] {
        const std::string_view line = PeekCheckedLine();
        if (!line.empty() && (Ended(line) || line.size() >= kLongestLine)) return true;
        verdict.kind = Verdict::incomplete;
        Say(verdict, "incomplete: the file ends inside its header");
        if (!line.empty()) TakeLine(line);
        return false;
    };
    if (!headerGoesOn()) return SayRecord(start, settings, held, verdict);
    std::string_view line = PeekCheckedLine();
    settings.choice = ChoiceOfHeader(line, lineEnd);
    if (settings.choice == 0) {
        Altered(verdict, g_line, line, "\"a choice's header\"", lineEnd);
        SkipRestOfRecord(lineEnd);
        return SayRecord(start, settings, held, verdict);
    }
    TakeLine(line);
    if (settings.choice == 4) {
        if (!headerGoesOn()) return SayRecord(start, settings, held, verdict);
        line = PeekCheckedLine();
        if (!ReadInterval(line, lineEnd, settings, verdict.withoutRepeats)) {
            verdict.headerUnread = true;
            Altered(verdict, g_line, line, "\"the chosen interval\"", lineEnd);
            SkipRestOfRecord(lineEnd);
            return SayRecord(start, settings, held, verdict);
        }
        TakeLine(line);
    }
    if (!headerGoesOn()) return SayRecord(start, settings, held, verdict);
    line = PeekCheckedLine();
    if (line != lineEnd) {
        Altered(verdict, g_line, line, "\"an empty line\"", lineEnd);
        SkipRestOfRecord(lineEnd);
        return SayRecord(start, settings, held, verdict);
    }
    TakeLine(line);
    Expected expected;
    BeginNumbers(expected, settings, verdict.withoutRepeats, 0, lineEnd, settings.count);
    CheckNumbers(expected, false, verdict, held);
    SayRecord(start, settings, held, verdict);
}

void CheckRecords() {
    for (std::string_view line = PeekCheckedLine(); !line.empty(); line = PeekCheckedLine()) {
        RunSettings settings;
        if (BeginsLikeSeedLine(line) && ReadSeedLine(line, settings)) {
            EndStray();
            CheckRecord(line, settings);
            continue;
        }
        // Empty lines part records (and one may follow a torn line's repair); any other
        // line outside a record is said. A line too long to be a record's comes in pieces.
        const bool empty = line == "\n" || line == "\r\n";
        if (!empty) NoteStray(g_line);
        TakeLine(line);
        NoteTaken();
    }
    EndStray();
}

void CheckBare(const VerifyRequest& request) {
    const std::string_view first = PeekCheckedLine();
    const std::string_view lineEnd = Ended(first) ? LineEndOf(first) : std::string_view("\n");
    Expected expected;
    BeginNumbers(expected, request.settings, request.withoutRepeats, request.skip, lineEnd,
                 std::numeric_limits<std::int64_t>::max());
    Verdict verdict;
    std::int64_t held = 0;
    CheckNumbers(expected, true, verdict, held);
    HideProgress();
    ConsolePrint("%s, seed %d, skip %llu: %lld numbers: %s\n",
                 ChoiceWords(request.settings, false, request.withoutRepeats).data(),
                 request.settings.seed, static_cast<unsigned long long>(request.skip),
                 static_cast<long long>(held), VerdictWords(verdict));
    Count(verdict);
}

}  // namespace

int RunVerify(const VerifyRequest& request) {
    g_counts = Counts{};
    g_line = 1;
    g_strayFirst = g_strayLast = 0;
    g_outOfMemory = false;
    const char* shown = request.path != nullptr ? request.path : "standard input";
    if (!OpenCheckedFile(request.path)) {
        ErrorPrint("lotrix20: %s: %s\n", shown, CheckedFileFailure());
        return kStatusUnreadable;
    }
    BeginProgress(request.progress ? ProgressPlace::standardError : ProgressPlace::none,
                  CheckedFileSize(), ProgressUnit::bytesChecked);
    if (request.bare) {
        CheckBare(request);
    } else {
        CheckRecords();
    }
    EndProgress();
    if (CheckedFileFailed()) {
        ConsoleFlush();
        ErrorPrint("lotrix20: %s: %s\n", shown, CheckedFileFailure());
        return kStatusUnreadable;
    }
    if (g_outOfMemory) {
        ConsoleFlush();
        ErrorPrint("lotrix20: %s: not enough memory to make a draw without repeats again\n", shown);
        return kStatusUnreadable;
    }
    if (request.bare) {
        ConsolePrint("%s\n", g_counts.genuine == 1 ? "genuine" : "not genuine");
    } else {
        ConsolePrint(
            "%lld %s: %lld genuine, %lld altered, %lld incomplete; %lld %s in no record\n",
            static_cast<long long>(g_counts.records), g_counts.records == 1 ? "record" : "records",
            static_cast<long long>(g_counts.genuine), static_cast<long long>(g_counts.altered),
            static_cast<long long>(g_counts.incomplete), static_cast<long long>(g_counts.stray),
            g_counts.stray == 1 ? "line" : "lines");
    }
    const bool allGenuine =
        g_counts.records > 0 && g_counts.genuine == g_counts.records && g_counts.stray == 0;
    return allGenuine ? kStatusGenuine : kStatusNotGenuine;
}

}  // namespace lotrix
