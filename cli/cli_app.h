// ferrit-cli: the headless front end. It evaluates the two locations and the option rules as the
// window would, runs the engine once, and reports through its streams and its exit status.
#pragma once

#include <csignal>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

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
    const volatile std::sig_atomic_t* interrupted = nullptr;
    // Told when the overwrite prompt starts (true) and stops (false) waiting for a reply.
    std::function<void(bool)> promptWaiting;
};

// Runs ferrit-cli with the arguments (without the program name). Status-list lines go to out;
// dialog messages, warnings and progress lines to err; the overwrite question reads from in.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           std::istream& in, const CliHooks& hooks);

// The same with argv as main receives it, the process's interrupt flag and the given terminal
// state.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, std::istream& in,
           bool inputIsTerminal);

// Installs the Ctrl-C handler: the first Ctrl-C sets the process's interrupt flag, the second
// ends the program at once with status 130.
void InstallInterruptHandler();

}  // namespace ferrit
