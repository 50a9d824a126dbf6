// --verify: a results file checked against the numbers its records say they hold.
#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "e2e_support.hpp"

namespace lotrix::testing {
namespace {

using Arguments = std::vector<std::string>;

std::string Record(Arguments arguments) {
    arguments.insert(arguments.end(), {"-o", "-"});
    return RunCommand(arguments).output;
}

// The file's lines, 1 for the first; `Lines(text)[n]` is line n with its line end.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines{""};
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
        lines.push_back(text.substr(at, end - at));
        at = end;
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 1; i < lines.size(); ++i)
        text += lines[i];
    return text;
}

class Verify : public ::testing::Test {
  protected:
    void TearDown() override { Close(session_); }
    TempDir dir_;
    PtySession session_;
};

// Records of every choice, the widest and negative bounds, the stuck seed, a seed only the
// clock gives after 2038, a run stopped early, CR LF line ends: each is genuine.
TEST_F(Verify, EveryKindOfRecordIsGenuine) {
    std::string stopped = Record({"-c", "3", "-n", "5", "-s", "9"});
    stopped.replace(stopped.find("= 5\n"), 3, "= 9");  // asked for 9, a key stopped it at 5
    std::string crlf = Record({"-c", "2", "-n", "4", "-s", "3"});
    crlf = std::regex_replace(crlf, std::regex("\n"), "\r\n");
    const std::string file =
        Record({"-c", "1", "-n", "50", "-s", "5"}) + Record({"-c", "2", "-n", "50", "-s", "7"}) +
        Record({"-c", "3", "-n", "50", "-s", "2147483647"}) +
        Record({"-c", "4", "-l", "-2147483648", "-u", "-2", "-n", "50", "-s", "-2136004096"}) +
        "\n" + stopped + crlf;
    WriteFile("f.txt", file);
    const DetachedRun run = RunCommand({"--verify", "f.txt"});
    EXPECT_TRUE(Exited(run.status, 0)) << run.output;
    EXPECT_EQ(RunCommand({"--verify=f.txt"}).output, run.output);
    EXPECT_TRUE(EndsWith(run.output,
                         "line 235: choice 3, seed 9, 5 numbers: genuine\n"
                         "line 248: choice 2, seed 3, 4 numbers: genuine\n"
                         "6 records: 6 genuine, 0 altered, 0 incomplete; 0 lines in no record\n"))
        << run.output;
    EXPECT_NE(run.output.find("line 175: choice 4 from -2147483648 to -2, seed -2136004096, 50 "
                              "numbers: genuine\n"),
              std::string::npos)
        << run.output;
}

// Two records (choice 3 from line 1, numbers on lines 4-8, summary on 9; choice 4 from
// line 14, its interval on 16, numbers on 18-22), each corruption found where it is.
TEST_F(Verify, EachCorruptionIsFoundAtItsLine) {
    const std::string file = Record({"-c", "3", "-n", "5", "-s", "42"}) +
                             Record({"-c", "4", "-l", "-3", "-u", "2", "-n", "5", "-s", "1"});
    using Edit = std::function<void(std::vector<std::string>&)>;
    const std::pair<Edit, const char*> cases[] = {
        {[](auto& l) { l[6][11] = l[6][11] == '1' ? '2' : '1'; }, "altered at line 6"},
        {[](auto& l) { std::swap(l[5], l[6]); }, "altered at line 5"},
        {[](auto& l) { l.erase(l.begin() + 6); }, "altered at line 6"},
        {[](auto& l) { l.insert(l.begin() + 9, "       16807\n"); }, "altered at line 9"},
        {[](auto& l) { l[1].replace(7, 2, "43"); }, "altered at line 4"},
        {[](auto& l) { l[2] = "(interi tra 0 e 32.767)\n"; }, "line 1: choice 1"},
        {[](auto& l) { l[16] = "intervallo scelto: da +7 a +12\n"; }, "altered at line 18"},
        {[](auto& l) { l[9].replace(20, 1, "4"); }, "altered at line 9: its summary says 4"},
        {[](auto& l) { l.resize(7), l[6].resize(5); }, "incomplete: line 6 is torn"},
        {[](auto& l) { l[1] = "torn" + l[1]; }, "lines 1-9: not part of any record"},
        {[](auto& l) { l.insert(l.begin() + 14, "a note\n"); }, "line 14: not part of any record"},
        {[](auto& l) { l[6].insert(12, "\r"); }, "altered at line 6"},
        {[](auto& l) { l[6].insert(12, "\r"); }, "\\r\", it should hold"},  // the CR shown
        // A run killed mid-line, then another's record on a line of its own.
        {[](auto& l) { l[6].resize(7), l[6] += "\n", l.erase(l.begin() + 7, l.begin() + 14); },
         "line 1: choice 3, seed 42, 2 numbers: incomplete: line 6 is torn\n"
         "line 6: not part of any record\n"
         "line 7: choice 4 from -3 to +2, seed 1, 5 numbers: genuine\n"},
        // A line longer than any read is one line, in a record or in its header.
        {[](auto& l) { l[6] = std::string(3'000'000, '7') + "\n"; },
         "line 14: choice 4 from -3 to +2, seed 1, 5 numbers: genuine"},
        {[](auto& l) { l[2] = std::string(3'000'000, 'x') + "\n"; },
         "altered at line 2: it holds \"xxxx"},
        {[](auto& l) { l[16] = "intervallo scelto: da 7 a 12\n"; },
         "line 14: choice 4 with a header that cannot be read"},
        {[](auto& l) { l.resize(11); }, "incomplete: 1 empty line after its summary"},
    };
    for (const auto& [edit, found] : cases) {
        std::vector<std::string> lines = Lines(file);
        edit(lines);
        WriteFile("f.txt", Joined(lines));
        const DetachedRun run = RunCommand({"--verify", "f.txt"});
        EXPECT_TRUE(Exited(run.status, 1)) << found << "\n" << run.output;
        EXPECT_NE(run.output.find(found), std::string::npos) << found << "\n" << run.output;
    }
}

// Bare numbers against a sequence given on the command line, the file before or after the
// options; a file that cannot be read is said as cmp says it.
TEST_F(Verify, BareNumbersFromAnyPointOfTheSequence) {
    WriteFile("b.txt", Record({"-c", "4", "-l", "1", "-u", "6", "-s", "7", "-n", "100", "--skip",
                               "1000", "--numbers-only"}));
    const Arguments sequence{"-c", "4", "-l", "1", "-u", "6", "-s", "7"};
    Arguments before{"--verify", "b.txt"}, after = sequence;
    before.insert(before.end(), sequence.begin(), sequence.end());
    after.insert(after.end(), {"--skip", "1000", "--verify", "b.txt"});
    before.insert(before.end(), {"--skip", "1000"});
    for (const Arguments& arguments : {before, after}) {
        const DetachedRun run = RunCommand(arguments);
        EXPECT_TRUE(Exited(run.status, 0)) << run.output << run.errors;
        EXPECT_EQ(run.output,
                  "choice 4 from +1 to +6, seed 7, skip 1000: 100 numbers: genuine\n"
                  "genuine\n");
    }
    before.back() = "999";
    EXPECT_TRUE(Exited(RunCommand(before).status, 1));
    const DetachedRun missing = RunCommand({"--verify", "missing.txt"});
    EXPECT_TRUE(Exited(missing.status, 2));
    EXPECT_EQ(missing.errors, "lotrix20: missing.txt: No such file or directory\n");
}

// A draw without repeats is made again as drawn: its record and its bare lines are genuine,
// a line moved is found, and the same lines checked as the plain sequence are not.
TEST_F(Verify, DrawsWithoutRepeatsAreCheckedAsTheyWereMade) {
    const Arguments draw{"-c", "4", "-l", "1", "-u", "90", "-n", "90", "-s", "3", "--distinct"};
    std::vector<std::string> lines = Lines(Record(draw));
    WriteFile("f.txt", Joined(lines));
    EXPECT_EQ(RunCommand({"--verify", "f.txt"}).output,
              "line 1: choice 4 from +1 to +90 without repeats, seed 3, 90 numbers: genuine\n"
              "1 record: 1 genuine, 0 altered, 0 incomplete; 0 lines in no record\n");
    std::swap(lines[10], lines[11]);
    WriteFile("f.txt", Joined(lines));
    EXPECT_NE(RunCommand({"--verify", "f.txt"}).output.find("altered at line 10"),
              std::string::npos);
    Arguments bare = draw;
    bare.push_back("--numbers-only");
    WriteFile("b.txt", Record(bare));
    Arguments check{"--verify", "b.txt", "-c", "4", "-l", "1", "-u", "90", "-s", "3"};
    EXPECT_TRUE(Exited(RunCommand(check).status, 1));
    check.push_back("--distinct");
    const DetachedRun run = RunCommand(check);
    EXPECT_TRUE(Exited(run.status, 0)) << run.output << run.errors;
}

// At a terminal, --progress is taken away before each verdict, never written over. The
// clock goes a hundred times faster (faketime), so a check of a tenth of a second shows it.
TEST_F(Verify, ProgressMakesWayForEachVerdict) {
#ifndef LOTRIX_FAKETIME_LIBRARY
    GTEST_SKIP() << "faketime is not installed (Debian: faketime), or this is a cross build";
#else
    WriteFile("f.txt", Record({"-c", "3", "-n", "3000000", "-s", "5"}) + "a note\n" +
                           Record({"-c", "3", "-n", "3000000", "-s", "6"}));
    session_ = StartUnderPty(std::nullopt,
                             {.setup =
                                  [] {
                                      ::setenv("TERM", "xterm", 1);
                                      ::setenv("LD_PRELOAD", LOTRIX_FAKETIME_LIBRARY, 1);
                                      ::setenv("FAKETIME", "+0 x100", 1);
                                      ::setenv("FAKETIME_DONT_FAKE_MONOTONIC", "0", 1);
                                      ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
                                  },
                              .arguments = {"--verify", "--progress", "f.txt"}});
    ASSERT_TRUE(WaitForExit(session_, 20s));
    EXPECT_NE(session_.screen.find("bytes checked"), std::string::npos) << "no progress shown";
    for (const char* verdict :
         {"line 1: choice 3", "line 3000009: not part", "line 3000010: choice 3"}) {
        const std::size_t at = session_.screen.find(verdict);
        ASSERT_NE(at, std::string::npos) << session_.screen;
        // What stands on the verdict's row before it: nothing but the erasing of the row.
        const std::size_t row = session_.screen.find_last_of("\r\n", at) + 1;
        EXPECT_EQ(session_.screen.substr(row, at - row).find("left"), std::string::npos)
            << "written onto the progress line: " << session_.screen.substr(row, at - row + 40);
    }
#endif
}

}  // namespace
}  // namespace lotrix::testing
