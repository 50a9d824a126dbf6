// The program's entry: no arguments are read; the dialogue runs once.
#include "dialogue/dialogue.hpp"
#include "platform/console.hpp"
#include "platform/terminal.hpp"

int main() {
    lotrix::ClaimStandardStreams();
    lotrix::InstallStopHandlers();
    const int status = lotrix::RunDialogue();
    lotrix::ConsoleFlush();
    return status;
}
