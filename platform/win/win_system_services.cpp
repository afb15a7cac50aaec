// The Windows side of system_services.h and interrupt.h.
#include <atomic>

#include "platform/interrupt.h"
#include "platform/system_services.h"
#include "platform/win/win_api.h"
#include "platform/win/win_file_services.h"

namespace ferrit {

namespace {

std::atomic<void (*)()> gOnInterrupt{nullptr};

// Runs on a thread the console starts for the event. Ctrl-C and Ctrl-Break are the operator's
// interrupt; closing the console or logging off is left to the system's default.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    void (*onInterrupt)() = gOnInterrupt.load();
    if ((event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) || onInterrupt == nullptr) {
        return FALSE;
    }
    onInterrupt();
    return TRUE;
}

}  // namespace

std::unique_ptr<FileServices> MakeFileServices() {
    return std::make_unique<WinFileServices>();
}

void CatchInterrupts(void (*onInterrupt)()) {
    gOnInterrupt.store(onInterrupt);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

// A console read already ends when Ctrl-C is pressed, and writes are never cut short by it.
void SetInterruptEndsWaits(bool) {}

}  // namespace ferrit
