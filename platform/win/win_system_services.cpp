// The Windows side of system_services.h and interrupt.h.
#include <atomic>

#include "platform/interrupt.h"
#include "platform/system_services.h"
#include "platform/win/win_api.h"
#include "platform/win/win_file_services.h"

// After <windows.h>, which it needs.
#include <shellapi.h>

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

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    }
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        args.push_back(win::Narrow(wide[i], wcslen(wide[i])));
    }
    LocalFree(wide);
    return args;
}

void CatchInterrupts(void (*onInterrupt)()) {
    gOnInterrupt.store(onInterrupt);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

// A console read already ends when Ctrl-C is pressed, and writes are never cut short by it.
void SetInterruptEndsWaits(bool) {}

}  // namespace ferrit
