// The program's entry: without arguments the dialogue runs once; with them, the command
// line says what to do.
#include "dialogue/dialogue.hpp"
#include "platform/console.hpp"
#include "platform/terminal.hpp"
#include "program/batch.hpp"
#include "program/options.hpp"

int main(int argc, char** argv) {
    lotrix::ClaimStandardStreams();
    lotrix::InstallStopHandlers();
    const lotrix::CommandLine line = lotrix::ReadCommandLine(argc, argv);
    const int status = line.action == lotrix::CommandAction::dialogue
                           ? lotrix::RunDialogue()
                           : lotrix::RunCommandLine(line);
    // --verify says trouble with 2, as cmp does; anything else with 1.
    return lotrix::ConsoleClose(status, line.action == lotrix::CommandAction::verify ? 2 : 1);
}
