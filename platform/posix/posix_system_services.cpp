// The Linux side of system_services.h and interrupt.h.
#include <signal.h>

#include "platform/interrupt.h"
#include "platform/posix/posix_file_services.h"
#include "platform/system_services.h"

namespace ferrit {

namespace {

// Set once, before the first Ctrl-C can come, and only read by the handler.
void (*gOnInterrupt)() = nullptr;

extern "C" void OnSigint(int) {
    if (gOnInterrupt != nullptr) {
        gOnInterrupt();
    }
}

void InstallSigint(bool restart) {
    struct sigaction action {};
    action.sa_handler = OnSigint;
    sigemptyset(&action.sa_mask);
    action.sa_flags = restart ? SA_RESTART : 0;
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace

std::unique_ptr<FileServices> MakeFileServices() {
    return std::make_unique<PosixFileServices>();
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void CatchInterrupts(void (*onInterrupt)()) {
    gOnInterrupt = onInterrupt;
    InstallSigint(true);
}

// Interrupted system calls restart, so a Ctrl-C never cuts an output write short; only while a
// wait is to end do they not.
void SetInterruptEndsWaits(bool ends) {
    InstallSigint(!ends);
}

}  // namespace ferrit
