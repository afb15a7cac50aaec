// The system's part of the set-aside names on Windows.
#include <string>

#include "platform/set_aside.h"
#include "platform/win/win_api.h"

namespace ferrit {

long CurrentProcessId() {
    return static_cast<long>(GetCurrentProcessId());
}

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &n) ? win::Narrow(name, n) : std::string("localhost");
}

bool ProcessRuns(long pid) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (h == nullptr) {
        // No such process; any other refusal (no access) means one runs.
        return GetLastError() != ERROR_INVALID_PARAMETER;
    }
    DWORD code = 0;
    const bool runs = !GetExitCodeProcess(h, &code) || code == STILL_ACTIVE;
    CloseHandle(h);
    return runs;
}

}  // namespace ferrit
