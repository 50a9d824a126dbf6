// The whole dialogue fed arbitrary bytes as its standard input: no terminal, the console
// thrown away, the results file in a private directory, runs of at most a few hundred
// numbers. Whatever comes in, the dialogue must end with status 0 or 1 and any record it
// writes must be complete.
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "dialogue/dialogue.hpp"
#include "platform/console.hpp"
#include "platform/terminal.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char directory[] = "/tmp/lotrix-fuzz-XXXXXX";
    if (::mkdtemp(directory) == nullptr || ::chdir(directory) != 0) std::abort();
    lotrix::TerminalDisable();
    lotrix::ConsoleUseSink([](std::string_view) {});
    lotrix::g_countCeiling = 300;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    lotrix::ConsoleUseInputText(input);
    const int status = lotrix::RunDialogue();
    lotrix::ConsoleFlush();
    if (status != 0 && status != 1) std::abort();
    std::ifstream file("lotrix20.txt", std::ios::binary);
    if (file) {
        const std::string record{std::istreambuf_iterator<char>(file), {}};
        if (record.rfind("seme = ", 0) != 0) std::abort();
        if (record.size() < 6 || record.compare(record.size() - 6, 6, "\n\n\n\n\n\n") == 0 ||
            record.compare(record.size() - 5, 5, "\n\n\n\n\n") != 0) {
            std::abort();
        }
        ::unlink("lotrix20.txt");
    }
    return 0;
}
