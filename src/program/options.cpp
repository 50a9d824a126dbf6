// The command line read into what the program is to do: the settings of a batch run, a
// file to verify, help, the version, or a mistake to say.
#include "program/options.hpp"

#include <getopt.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "record/modes.hpp"

namespace lotrix {

const char* const kUsage =
    "Usage: lotrix20\n"
    "       lotrix20 -c CHOICE -n COUNT (-s SEED | --clock-seed) [-l LOWER -u UPPER]\n"
    "                [--distinct] [-o FILE] [--replace] [--numbers-only [--skip K]]\n"
    "                [--progress]\n"
    "       lotrix20 --verify [FILE] [-c CHOICE -s SEED [-l LOWER -u UPPER]\n"
    "                [--distinct | --skip K]] [--progress]\n"
    "\n"
    "Without options, asks (in Italian) which generator to use, how many numbers and\n"
    "which seed, and appends a record of the numbers to lotrix20.txt. With options,\n"
    "writes the same record without asking anything.\n"
    "\n"
    "  -c, --choice CHOICE  1: integers 0..32767 (the previous version's generator)\n"
    "                       2: reals in (0, 1), 17 significant digits\n"
    "                       3: integers 1..2147483646 (the minimal-standard generator)\n"
    "                       4: integers from LOWER to UPPER\n"
    "  -n, --count COUNT    how many numbers: 1 to 2147483647\n"
    "  -s, --seed SEED      the seed: -2147483648 to 2147483647, every value the clock\n"
    "                       can give (the dialogue takes 1 to 2147483647)\n"
    "      --clock-seed     the seed is the current time (seconds since 1970)\n"
    "  -l, --lower LOWER    choice 4's lower bound\n"
    "  -u, --upper UPPER    choice 4's upper bound (at most 2147483647 values in all)\n"
    "      --distinct       choice 4 without repeats: each value the first time it comes;\n"
    "                       COUNT at most the values from LOWER to UPPER\n"
    "  -o, --output FILE    append to FILE instead of lotrix20.txt; - for standard output\n"
    "      --replace        replace the file's contents instead of appending to them\n"
    "      --numbers-only   write the number lines alone\n"
    "      --skip K         start K numbers into the seed's sequence (with --numbers-only);\n"
    "                       K from 0 to 18446744073709551615, at no cost\n"
    "      --progress       show progress on standard error when it is a terminal\n"
    "      --verify [FILE]  check FILE (lotrix20.txt; - for standard input): each record's\n"
    "                       numbers made again from its seed and compared; with -c and -s,\n"
    "                       FILE holds bare number lines of that sequence\n"
    "  -h, --help           show this help and exit\n"
    "  -V, --version        show the version and exit\n"
    "\n"
    "Arguments without any option are ignored: the dialogue runs.\n"
    "\n"
    "Exit status: 0 when the record is written, 1 when the output cannot be opened or\n"
    "written, 2 for a wrong command line. A reader of standard output that stops early\n"
    "ends the program quietly, as by SIGPIPE. With --verify: 0 when the file holds genuine\n"
    "records and nothing else, 1 otherwise, 2 when it cannot be read.\n";

namespace {

enum LongOnly : int {
    kClockSeed = 256,
    kNumbersOnly,
    kProgress,
    kReplace,
    kSkip,
    kVerify,
    kDistinct
};

constexpr option kOptions[] = {
    {"choice", required_argument, nullptr, 'c'},
    {"count", required_argument, nullptr, 'n'},
    {"seed", required_argument, nullptr, 's'},
    {"clock-seed", no_argument, nullptr, kClockSeed},
    {"lower", required_argument, nullptr, 'l'},
    {"upper", required_argument, nullptr, 'u'},
    {"output", required_argument, nullptr, 'o'},
    {"numbers-only", no_argument, nullptr, kNumbersOnly},
    {"progress", no_argument, nullptr, kProgress},
    {"replace", no_argument, nullptr, kReplace},
    {"skip", required_argument, nullptr, kSkip},
    {"distinct", no_argument, nullptr, kDistinct},
    {"verify", optional_argument, nullptr, kVerify},  // --verify=FILE as well
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

// Leading zeros are any in number, as strtol's callers take them: "007" is 7.
std::string_view WithoutLeadingZeros(std::string_view digits) {
    while (digits.size() > 1 && digits[0] == '0')
        digits.remove_prefix(1);
    return digits;
}

// A whole decimal number from `lowest` to `highest`, an optional sign first, nothing after.
bool ReadWhole(std::string_view text, std::int64_t lowest, std::int64_t highest,
               std::int32_t& value) {
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
    text = WithoutLeadingZeros(text);
    if (text.empty() || text.size() > 12) return false;
    std::int64_t magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        magnitude = magnitude * 10 + (c - '0');
    }
    const std::int64_t whole = negative ? -magnitude : magnitude;
    if (whole < lowest || whole > highest) return false;
    value = static_cast<std::int32_t>(whole);
    return true;
}

// A whole decimal number from 0 to 2^64 - 1, nothing before or after it.
bool ReadCount64(std::string_view text, std::uint64_t& value) {
    text = WithoutLeadingZeros(text);
    if (text.empty() || text.size() > 20) return false;
    std::uint64_t whole = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (whole > (UINT64_MAX - digit) / 10) return false;
        whole = whole * 10 + digit;
    }
    value = whole;
    return true;
}

// An option is a word that begins with '-' and has more after it ("-" alone names standard
// output), or "/?", the Windows way to ask for help.
bool LooksLikeOption(std::string_view word) {
    return (word.size() > 1 && word[0] == '-') || word == "/?";
}

[[gnu::format(printf, 1, 2)]] CommandLine Mistake(const char* format, ...) {
    CommandLine line;
    line.action = CommandAction::mistake;
    va_list values;
    va_start(values, format);
    std::vsnprintf(line.mistake.data(), line.mistake.size(), format, values);
    va_end(values);
    return line;
}

// --distinct is for choice 4, and goes with no --skip: where a distinct draw's K-th number
// lies depends on every number before it.
CommandLine DistinctMistake(const CommandLine& line) {
    if (!line.distinct) return line;
    if (line.settings.choice != 4) return Mistake("--distinct is for choice 4 only");
    if (line.skip > 0) {
        return Mistake(
            "--skip cannot go with --distinct: where a draw without repeats reaches its K-th "
            "number depends on every number before it");
    }
    return line;
}

// --verify's command line: the file, and with -c and -s the sequence of bare numbers.
CommandLine VerifyLine(CommandLine line, int argc, char** argv, bool hasChoice, bool hasCount,
                       bool hasLower, bool hasUpper, bool hasOutput) {
    const bool hasBounds = hasLower || hasUpper;
    line.action = CommandAction::verify;
    if (line.verified == nullptr && ::optind < argc) line.verified = argv[::optind++];
    if (::optind < argc) return Mistake("--verify checks one file, not also '%s'", argv[::optind]);
    if (hasCount || hasOutput || line.replace || line.numbersOnly ||
        line.settings.seedMode == kSeedFromClock) {
        return Mistake("--verify takes a file, and -c, -s, -l, -u, --skip for bare numbers");
    }
    const bool hasSeed = line.settings.seedMode == kSeedTyped;
    if (!hasChoice) {
        if (hasSeed || hasBounds || line.skip > 0 || line.distinct) {
            return Mistake("to check bare numbers give the choice (-c) and the seed (-s)");
        }
        return line;
    }
    if (!hasSeed) return Mistake("to check bare numbers give the seed (-s) too");
    if (const CommandLine wrong = DistinctMistake(line); wrong.action == CommandAction::mistake)
        return wrong;
    line.bareNumbers = true;
    RunSettings& settings = line.settings;
    if (ModeFor(settings.choice).asksForBounds) {
        if (!hasLower || !hasUpper) return Mistake("choice 4 needs both bounds (-l and -u)");
        if (settings.lower >= settings.upper ||
            IntervalWidth(settings.lower, settings.upper) > kModulus) {
            return Mistake("the bounds must be lower < upper, at most 2147483647 values");
        }
    } else if (hasBounds) {
        return Mistake("the bounds (-l, -u) are for choice 4 only");
    }
    return line;
}

}  // namespace

CommandLine ReadCommandLine(int argc, char** argv) {
    CommandLine line;
    bool anyOption = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "/?") {
            line.action = CommandAction::help;
            return line;
        }
        anyOption = anyOption || LooksLikeOption(argv[i]);
    }
    if (!anyOption) return line;  // a file dropped onto the program, a launcher's arguments
    line.action = CommandAction::batch;
    RunSettings& settings = line.settings;
    bool hasChoice = false, hasCount = false, hasLower = false, hasUpper = false;
    bool verify = false, hasOutput = false;
    ::opterr = 0;  // the messages are ours
    ::optind = 1;
    for (;;) {
        const int previous = ::optind;
        // Operands are gathered after the options, wherever they stand (--verify's file).
        const int option = ::getopt_long(argc, argv, ":c:n:s:l:u:o:hV", kOptions, nullptr);
        if (option == -1) break;
        const char* name = previous < argc ? argv[previous] : "";
        const char* value = ::optarg != nullptr ? ::optarg : "";
        switch (option) {
            case 'h':
                line.action = CommandAction::help;
                return line;
            case 'V':
                line.action = CommandAction::version;
                return line;
            case 'c':
                if (!ReadWhole(value, 1, kRows, settings.choice)) {
                    return Mistake("the choice must be 1, 2, 3 or 4, not '%s'", value);
                }
                hasChoice = true;
                break;
            case 'n':
                if (!ReadWhole(value, 1, INT32_MAX, settings.count)) {
                    return Mistake(
                        "the count must be a whole number from 1 to 2147483647, not '%s'", value);
                }
                hasCount = true;
                break;
            case 's':
                // Every seed the clock can give, so that a clock seed said on standard
                // error can be given back.
                if (!ReadWhole(value, INT32_MIN, INT32_MAX, settings.seed)) {
                    return Mistake(
                        "the seed must be a whole number from -2147483648 to 2147483647, not '%s'",
                        value);
                }
                if (settings.seedMode == kSeedFromClock) {
                    return Mistake("give either --seed or --clock-seed, not both");
                }
                settings.seedMode = kSeedTyped;
                break;
            case kClockSeed:
                if (settings.seedMode == kSeedTyped) {
                    return Mistake("give either --seed or --clock-seed, not both");
                }
                settings.seedMode = kSeedFromClock;
                break;
            case 'l':
            case 'u': {
                std::int32_t& bound = option == 'l' ? settings.lower : settings.upper;
                if (!ReadWhole(value, INT32_MIN, INT32_MAX, bound)) {
                    return Mistake(
                        "the %s bound must be a whole number from -2147483648 to 2147483647, "
                        "not '%s'",
                        option == 'l' ? "lower" : "upper", value);
                }
                (option == 'l' ? hasLower : hasUpper) = true;
                break;
            }
            case 'o':
                if (*value == '\0') return Mistake("the output file's name is empty");
                line.output = ::optarg;
                hasOutput = true;
                break;
            case kNumbersOnly:
                line.numbersOnly = true;
                break;
            case kProgress:
                line.progress = true;
                break;
            case kReplace:
                line.replace = true;
                break;
            case kDistinct:
                line.distinct = true;
                break;
            case kVerify:
                verify = true;
                if (::optarg != nullptr) line.verified = ::optarg;
                break;
            case kSkip:
                if (!ReadCount64(value, line.skip)) {
                    return Mistake(
                        "the numbers to skip must be a whole number from 0 to "
                        "18446744073709551615, not '%s'",
                        value);
                }
                break;
            case ':':
                return Mistake("option '%s' needs a value", name);
            default:
                return Mistake("unknown option '%s'", name);
        }
    }
    if (verify) {
        return VerifyLine(line, argc, argv, hasChoice, hasCount, hasLower, hasUpper, hasOutput);
    }
    if (::optind < argc) return Mistake("unexpected argument '%s'", argv[::optind]);
    if (!hasChoice || !hasCount || settings.seedMode == 0) {
        return Mistake("give the choice (-c), the count (-n) and the seed (-s or --clock-seed)");
    }
    if (line.skip > 0 && !line.numbersOnly) {
        return Mistake(
            "--skip needs --numbers-only: a record's seed line could not say where "
            "its numbers start");
    }
    if (const CommandLine wrong = DistinctMistake(line); wrong.action == CommandAction::mistake)
        return wrong;
    if (line.replace && line.output != nullptr && std::string_view(line.output) == "-") {
        return Mistake("--replace needs a file, not standard output");
    }
    const bool asksForBounds = ModeFor(settings.choice).asksForBounds;
    if (!asksForBounds && (hasLower || hasUpper)) {
        return Mistake("the bounds (-l, -u) are for choice 4 only");
    }
    if (asksForBounds) {
        if (!hasLower || !hasUpper) return Mistake("choice 4 needs both bounds (-l and -u)");
        if (settings.lower >= settings.upper) {
            return Mistake("the lower bound must be below the upper bound");
        }
        if (IntervalWidth(settings.lower, settings.upper) > kModulus) {
            return Mistake("the interval may hold at most 2147483647 values");
        }
    }
    if (line.distinct && IntervalWidth(settings.lower, settings.upper) < settings.count) {
        return Mistake("--distinct: the bounds hold %lld values, fewer than the %d asked for",
                       static_cast<long long>(IntervalWidth(settings.lower, settings.upper)),
                       settings.count);
    }
    return line;
}

}  // namespace lotrix
