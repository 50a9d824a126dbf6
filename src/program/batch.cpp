// Batch mode: the record the dialogue would write, from the command line's settings, with
// no question asked; and --verify, --help and --version.
#include "program/batch.hpp"

#include <string_view>

#include "generators/distinct.hpp"
#include "generators/interval.hpp"
#include "generators/minimal_standard.hpp"
#include "platform/clock.hpp"
#include "platform/console.hpp"
#include "platform/results_file.hpp"
#include "platform/terminal.hpp"
#include "run/run.hpp"
#include "verify/verify.hpp"

namespace lotrix {
namespace {

constexpr int kStatusFileError = 1;
constexpr int kStatusUsage = 2;

int RunBatch(const CommandLine& line) {
    TerminalDisable();  // keys belong to whoever else uses the terminal
    RunSettings settings = line.settings;
    RunTally tally;
    tally.start = CalendarSeconds();
    RecordOptions options;
    const bool toOutput = line.output != nullptr && std::string_view(line.output) == "-";
    options.path = toOutput ? nullptr : line.output != nullptr ? line.output : kResultsFileName;
    options.numbersOnly = line.numbersOnly;
    options.keysStop = false;
    options.progress = line.progress ? ProgressPlace::standardError : ProgressPlace::none;
    options.replace = line.replace;
    options.skip = line.skip;
    options.distinct = line.distinct;
    if (settings.seedMode == kSeedFromClock) {
        settings.seed = tally.start;
        // Bare numbers hold no seed line: without this the numbers could not be made again.
        if (line.numbersOnly) ErrorPrint("lotrix20: seed %d\n", settings.seed);
    }
    // 0, 2147483647 and -2147483647 are multiples of the modulus: the state stays 0.
    if (MinimalStandardAdvance(settings.seed) == 0 && settings.choice != 1) {
        ErrorPrint("lotrix20: warning: seed %d makes every number of choice %d the same\n",
                   settings.seed, settings.choice);
    }
    const RecordOutcome outcome = WriteRecord(options, settings, tally);
    ReleaseStopRequests();
    if (outcome == RecordOutcome::writeFailed && FileReaderGone()) EndForGoneReader();
    const char* shownName = toOutput ? "standard output" : options.path;
    if (outcome == RecordOutcome::noMemory) {
        const std::size_t bytes =
            DistinctMemory(IntervalWidth(settings.lower, settings.upper), settings.count);
        ErrorPrint(
            "lotrix20: --distinct: cannot get the %llu MiB that remembering the values "
            "drawn takes\n",
            static_cast<unsigned long long>((bytes >> 20) + 1));
    } else if (outcome == RecordOutcome::notOpened) {
        ErrorPrint("lotrix20: cannot open '%s': %s\n", shownName, FileFailureReason());
    } else if (outcome == RecordOutcome::writeFailed) {
        ErrorPrint("lotrix20: cannot write to '%s': %s\n", shownName, FileFailureReason());
    }
    const StopRequest stop = HeldStopRequest();
    if (stop != StopRequest::none) EndByStopRequest(stop);
    return outcome == RecordOutcome::written ? 0 : kStatusFileError;
}

}  // namespace

int RunCommandLine(const CommandLine& line) {
    switch (line.action) {
        case CommandAction::help:
            ConsoleWrite(kUsage);
            return 0;
        case CommandAction::version:
            ConsoleWrite("lotrix20 2.0.0\n");
            return 0;
        case CommandAction::mistake:
            ErrorPrint("lotrix20: %s\nTry 'lotrix20 --help' for more information.\n",
                       line.mistake.data());
            return kStatusUsage;
        case CommandAction::verify: {
            VerifyRequest request;
            const bool input = line.verified != nullptr && std::string_view(line.verified) == "-";
            request.path = input                      ? nullptr
                           : line.verified != nullptr ? line.verified
                                                      : kResultsFileName;
            request.bare = line.bareNumbers;
            request.settings = line.settings;
            request.skip = line.skip;
            request.withoutRepeats = line.distinct;
            request.progress = line.progress;
            return RunVerify(request);
        }
        case CommandAction::batch:
        case CommandAction::dialogue:
            break;
    }
    return RunBatch(line);
}

}  // namespace lotrix
