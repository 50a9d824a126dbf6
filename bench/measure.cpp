// Whole-process timings of the real program against the textbook loops and a dd of the
// same byte count, run alternately, with medians, ratios and peak resident memory.
// Usage: measure LOTRIX20 TEXTBOOK_INTEGERS TEXTBOOK_REALS [COUNT] [ROUNDS] [LOTRIX20_PLAIN]
// (LOTRIX20_PLAIN: the same program built without the hardening flags)
// Run it in a scratch directory: every contestant writes lotrix20.txt or dd.out there.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

struct Sample {
    double seconds;
    long peakKiB;
};

std::string g_lotrix, g_textbookIntegers, g_textbookReals;

// Runs argv with `input` on standard input and standard output thrown away, in a new
// session without a terminal, or under a pseudo-terminal that answers the closing prompt.
// With `fresh`, the files of the run before are removed first.
Sample Run(const std::vector<std::string>& argv, const std::string& input, bool terminal,
           bool fresh = true) {
    if (fresh) {
        std::filesystem::remove("lotrix20.txt");
        std::filesystem::remove("dd.out");
    }
    ::sync();  // each run starts with no dirty pages of an earlier one
    int in[2];
    if (::pipe(in) != 0) std::abort();
    int master = -1;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = terminal ? ::forkpty(&master, nullptr, nullptr, nullptr) : ::fork();
    if (pid == 0) {
        if (!terminal) {
            ::setsid();
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
        }
        ::dup2(in[0], STDIN_FILENO);
        ::close(in[0]);
        ::close(in[1]);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(in[0]);
    (void)!::write(in[1], input.data(), input.size());
    ::close(in[1]);
    if (terminal) {
        std::string screen;
        char chunk[4096];
        while (screen.find("per uscire...") == std::string::npos) {
            const ssize_t got = ::read(master, chunk, sizeof chunk);
            if (got <= 0) break;
            screen.append(chunk, static_cast<std::size_t>(got));
        }
        (void)!::write(master, "k", 1);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (master >= 0) ::close(master);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", argv[0].c_str(), status);
        std::exit(1);
    }
    return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Contestant {
    std::string name;
    std::function<Sample()> run;
    std::vector<double> seconds;
    long peakKiB = 0;
    double bytes = 0;
};

struct Scenario {
    std::string title;
    std::vector<Contestant> contestants;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: %s LOTRIX20 TEXTBOOK_INTEGERS TEXTBOOK_REALS [COUNT] [ROUNDS] "
                     "[LOTRIX20_PLAIN] [LOTRIX20_BEFORE]\n",
                     argv[0]);
        return 2;
    }
    g_lotrix = std::filesystem::absolute(argv[1]);
    g_textbookIntegers = std::filesystem::absolute(argv[2]);
    g_textbookReals = std::filesystem::absolute(argv[3]);
    const long count = argc > 4 ? std::atol(argv[4]) : 5'000'000;
    const int rounds = argc > 5 ? std::atoi(argv[5]) : 7;
    const std::string plain = argc > 6 ? std::filesystem::absolute(argv[6]).string() : "";
    // Another build of the program (say, before a change), run beside this one in every
    // scenario of its own, so that the two are compared within one run.
    const std::string before = argc > 7 ? std::filesystem::absolute(argv[7]).string() : "";
    const std::string n = std::to_string(count);

    auto ours = [&](const std::string& entries, bool terminal = false) {
        return [=] { return Run({g_lotrix}, entries, terminal); };
    };
    auto textbook = [&](std::vector<std::string> argv) {
        return [=] { return Run(argv, "", false); };
    };
    // dd writes as many bytes as the program's record of the same scenario.
    auto ddLike = [&](const double* bytes) {
        return [=] {
            return Run({"/bin/dd", "if=/dev/zero", "of=dd.out", "bs=262144", "iflag=count_bytes",
                        "count=" + std::to_string(static_cast<long>(*bytes)), "status=none"},
                       "", false);
        };
    };

    std::vector<Scenario> scenarios;
    auto add = [&](std::string title, std::string entries, std::vector<std::string> textbookArgs) {
        Scenario s{std::move(title), {}};
        s.contestants.push_back({"lotrix20", ours(entries), {}, 0, 0});
        if (!textbookArgs.empty())
            s.contestants.push_back({"textbook", textbook(textbookArgs), {}, 0, 0});
        scenarios.push_back(std::move(s));
    };
    add("choice 3", "3\n" + n + "\n1\n1\n", {g_textbookIntegers, "3", n, "1"});
    add("choice 1", "1\n" + n + "\n1\n1\n", {g_textbookIntegers, "1", n, "1"});
    add("choice 2", "2\n" + n + "\n1\n1\n", {g_textbookReals, n, "1"});
    add("choice 4, width 10", "4\n1\n10\n" + n + "\n1\n1\n", {});
    add("choice 4, width 10^6", "4\n1\n1000000\n" + n + "\n1\n1\n", {});
    add("choice 4, width 2^30+1", "4\n0\n1073741824\n" + n + "\n1\n1\n", {});
    add("choice 4, width 2147483647", "4\n0\n2147483646\n" + n + "\n1\n1\n", {});
    {
        Scenario s{"choice 3, batch mode", {}};
        s.contestants.push_back(
            {"lotrix20",
             [=] {
                 return Run({g_lotrix, "-c", "3", "-n", n, "-s", "1"}, "", false);
             },
             {},
             0,
             0});
        scenarios.push_back(std::move(s));
    }
    if (!plain.empty()) {
        Scenario s{"choice 3, without hardening", {}};
        s.contestants.push_back(
            {"lotrix20", [=] { return Run({plain}, "3\n" + n + "\n1\n1\n", false); }, {}, 0, 0});
        scenarios.push_back(std::move(s));
    }
    // Checking a file against making it: the record the program has just written, verified.
    for (const char* choice : {"3", "2"}) {
        Scenario s{std::string("choice ") + choice + ", verified", {}};
        s.contestants.push_back(
            {"lotrix20", ours(std::string(choice) + "\n" + n + "\n1\n1\n"), {}, 0, 0});
        s.contestants.push_back(
            {"--verify",
             [=] {
                 return Run({g_lotrix, "--verify", "lotrix20.txt"}, "", false, false);
             },
             {},
             0,
             0});
        scenarios.push_back(std::move(s));
    }
    // A draw without repeats of a tenth of its interval's values, and of a hundredth (its
    // memory then far past the caches), beside the plain choice 4 with the same bounds.
    for (const auto& [part, name] : {std::pair{10L, "a tenth"}, {100L, "a hundredth"}}) {
        const std::string upper = std::to_string(std::min(count * part, 2147483646L));
        Scenario s{std::string("choice 4 without repeats, ") + name + " of the values", {}};
        for (const bool distinct : {false, true}) {
            std::vector<std::string> args{g_lotrix, "-c", "4", "-l", "1", "-u",
                                          upper,    "-n", n,   "-s", "1"};
            if (distinct) args.push_back("--distinct");
            s.contestants.push_back({distinct ? "--distinct" : "plain",
                                     [=] { return Run(args, "", false); },
                                     {},
                                     0,
                                     0});
        }
        scenarios.push_back(std::move(s));
    }
    // Another program keeps one core busy: the writes then stay beside the numbers only
    // where a processor is free, and the program must be no slower than writing alone.
    for (const char* choice : {"3", "2"}) {
        Scenario s{std::string("choice ") + choice + ", one core busy", {}};
        s.contestants.push_back(
            {"lotrix20", ours(std::string(choice) + "\n" + n + "\n1\n1\n"), {}, 0, 0});
        scenarios.push_back(std::move(s));
    }
    {
        Scenario s{"choice 3, terminal attached", {}};
        s.contestants.push_back({"lotrix20", ours("3\n" + n + "\n1\n1\n", true), {}, 0, 0});
        scenarios.push_back(std::move(s));
    }
    for (auto& s : scenarios) {
        if (before.empty() || s.title.find("hardening") != std::string::npos ||
            s.title.find("verified") != std::string::npos ||
            s.title.find("without repeats") != std::string::npos) {
            continue;
        }
        s.contestants.push_back({"before",
                                 [run = s.contestants[0].run, before] {
                                     const std::string ours = g_lotrix;
                                     g_lotrix = before;
                                     const Sample sample = run();
                                     g_lotrix = ours;
                                     return sample;
                                 },
                                 {},
                                 0,
                                 0});
    }
    // A dd of the same byte count goes with each scenario but the terminal one, right
    // after the program (after a textbook loop's long write, the file system is still
    // busy and dd is slower).
    for (auto& s : scenarios) {
        if (s.title.find("terminal") == std::string::npos &&
            s.title.find("verified") == std::string::npos) {
            s.contestants.insert(s.contestants.begin() + 1, {"dd", nullptr, {}, 0, 0});
        }
    }
    for (auto& s : scenarios) {
        for (auto& c : s.contestants) {
            if (c.name == "dd") c.run = ddLike(&s.contestants[0].bytes);
        }
    }

    // Each contestant of a busy scenario, its dd too, runs beside a loop on one core.
    for (auto& s : scenarios) {
        if (s.title.find("busy") == std::string::npos) continue;
        for (auto& c : s.contestants) {
            c.run = [run = c.run] {
                const pid_t busy = ::fork();
                if (busy == 0) {
                    volatile unsigned spin = 0;
                    for (;;)
                        spin = spin + 1;
                }
                const Sample sample = run();
                ::kill(busy, SIGKILL);
                ::waitpid(busy, nullptr, 0);
                return sample;
            };
        }
    }

    for (int round = 0; round < rounds; ++round) {
        for (auto& s : scenarios) {
            for (auto& c : s.contestants) {
                const Sample sample = c.run();
                c.seconds.push_back(sample.seconds);
                c.peakKiB = std::max(c.peakKiB, sample.peakKiB);
                if (c.name != "dd" && c.bytes == 0 && std::filesystem::exists("lotrix20.txt")) {
                    c.bytes = static_cast<double>(std::filesystem::file_size("lotrix20.txt"));
                }
            }
        }
    }

    std::printf("%ld numbers per run, %d rounds alternating, medians\n\n", count, rounds);
    std::printf("| scenario | program | ns/number | MB/s | ratio | × dd | peak RSS KiB |\n");
    std::printf("|---|---|---:|---:|---:|---:|---:|\n");
    const double choiceThree = Median(scenarios[0].contestants[0].seconds);
    for (auto& s : scenarios) {
        const bool verified = s.title.find("verified") != std::string::npos;
        const bool distinct = s.title.find("without repeats") != std::string::npos;
        const bool againstChoiceThree =
            !verified && !distinct &&
            (s.title.rfind("choice 4", 0) == 0 || s.title.find(", ") != std::string::npos);
        const double reference = verified || distinct ? Median(s.contestants[0].seconds)
                                 : againstChoiceThree ? choiceThree
                                 : s.contestants.size() > 2 && s.contestants[2].name == "textbook"
                                     ? Median(s.contestants[2].seconds)
                                     : 0;
        const char* against = verified             ? "writing"
                              : distinct           ? "plain"
                              : againstChoiceThree ? "choice 3"
                                                   : "textbook";
        const double bytes = s.contestants[0].bytes;
        double dd = 0;
        for (auto& c : s.contestants) {
            if (c.name == "dd") dd = Median(c.seconds);
        }
        for (auto& c : s.contestants) {
            const double median = Median(c.seconds);
            std::printf("| %s | %s | %.1f | %.0f | ", s.title.c_str(), c.name.c_str(),
                        median * 1e9 / static_cast<double>(count), bytes / median / 1e6);
            if (reference > 0) {
                std::printf("%.3f of %s", median / reference, against);
            }
            std::printf(" | ");
            if (dd > 0) std::printf("%.2f", median / dd);
            std::printf(" | %ld |\n", c.peakKiB);
        }
    }
    return 0;
}
