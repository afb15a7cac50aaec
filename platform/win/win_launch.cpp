// The platform's "open" on Windows: the shell's own open operation, which starts a program,
// opens a document with its program or an address in the browser, and returns at once.
#include <vector>

#include "platform/launch.h"
#include "platform/win/win_api.h"

// After <windows.h>, which it needs.
#include <shellapi.h>

namespace ferrit {

bool LaunchFileExists(const std::string& path) {
    std::wstring wide;
    if (path.empty() || !win::Widen(path, wide)) {
        return false;
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string GetEnvVar(const std::string& name) {
    std::wstring wide;
    if (name.empty() || !win::Widen(name, wide)) {
        return std::string();
    }
    // The system's names take no account of case, "comspec" and "COMSPEC" alike.
    std::vector<wchar_t> value(256);
    DWORD n = GetEnvironmentVariableW(wide.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (n >= value.size()) {
        value.resize(n);
        n = GetEnvironmentVariableW(wide.c_str(), value.data(), static_cast<DWORD>(value.size()));
    }
    return n == 0 || n >= value.size() ? std::string() : win::Narrow(value.data(), n);
}

int32_t ShellOpen(const LaunchRequest& request) {
    std::wstring operation, file, parameters, directory;
    if (request.file.empty() || !win::Widen(request.operation, operation) ||
        !win::Widen(request.file, file) || !win::Widen(request.parameters, parameters) ||
        !win::Widen(request.directory, directory)) {
        return kLaunchFileNotFound;
    }
    const HINSTANCE result =
        ShellExecuteW(GetDesktopWindow(), operation.c_str(), file.c_str(),
                      parameters.empty() ? nullptr : parameters.c_str(),
                      directory.empty() ? nullptr : directory.c_str(), request.showState);
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(result));
}

}  // namespace ferrit
