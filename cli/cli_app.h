// ferrit-cli: the headless front end. It evaluates the two locations and the option rules as the
// window would, runs the engine once, and reports through its streams and its exit status.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "platform/interrupt.h"

namespace ferrit {

// Exit statuses of ferrit-cli.
constexpr int kExitDone = 0;
constexpr int kExitError = 1;  // an error dialog was shown, or the run was refused
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 3;  // Ctrl-C stopped the run
constexpr int kExitSecondInterrupt = 130;

// What RunCli needs from the process besides its streams.
struct CliHooks {
    // Whether the input stream is a terminal: the overwrite question is then asked by default.
    bool inputIsTerminal = false;
    // Set (to nonzero) when the operator asks for the abort; polled at every pump.
    const InterruptFlag* interrupted = nullptr;
    // Told when the overwrite prompt starts (true) and stops (false) waiting for a reply.
    std::function<void(bool)> promptWaiting;
    // Whether the error stream and the output stream are terminals: the live progress line is
    // then drawn on the error stream, and the status lines are written around it.
    bool errorIsTerminal = false;
    bool outputIsTerminal = false;
    // The width of the error stream's terminal now, 0 when not known; 80 columns when not given.
    std::function<int()> terminalColumns;
    // A steady clock in milliseconds for the live line; the system's when not given.
    std::function<int64_t()> nowMs;
};

// Runs ferrit-cli with the arguments (without the program name). Status-list lines go to out;
// dialog messages, warnings, the progress and the summary to err; the overwrite question reads
// from in.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           std::istream& in, const CliHooks& hooks);

// The same with argv as main receives it, the process's interrupt flag and terminals, for the
// process's standard streams.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, std::istream& in);

// Installs the Ctrl-C handler: the first Ctrl-C sets the process's interrupt flag, the second
// ends the program at once with status 130.
void InstallInterruptHandler();

// What ferrit-cli's process sets up before its run: the locale, fully buffered standard streams
// (a large run writes several lines per file; they are flushed before every prompt and at the
// end), an error stream that flushes nothing else, and the Ctrl-C handler.
void PrepareCliProcess();

}  // namespace ferrit
