// Checking a results file against the numbers its records say they hold: each record's
// seed line, header, numbers and summary are read, its numbers made again (on the same
// paths a run uses) and compared byte for byte, in constant memory. A record is genuine,
// altered (the first line that differs, what it holds and what it should hold) or
// incomplete (numbers missing against its summary, no summary, a torn last line); lines
// outside every record are said with their numbers. Records of either line end verify,
// whichever system wrote them; a record whose line ends are mixed is altered.
#pragma once

#include <cstdint>

#include "record/settings.hpp"

namespace lotrix {

struct VerifyRequest {
    const char* path = nullptr;  // nullptr: standard input
    // Bare number lines (as --numbers-only writes them) of this choice and seed, from the
    // skip-th number on, instead of records.
    bool bare = false;
    RunSettings settings;
    std::uint64_t skip = 0;
    bool withoutRepeats = false;  // choice 4 without repeats (--distinct)
    bool progress = false;        // the share done on standard error, at a terminal
};

// Writes one line per record (and per stretch of lines outside every record) and a last
// line that sums up to standard output. Returns the exit status: 0 when the file holds
// genuine records and nothing else, 1 otherwise, 2 when it cannot be read (said on
// standard error with the system's reason).
[[nodiscard]] int RunVerify(const VerifyRequest& request);

}  // namespace lotrix
