// The NetWare client installed on a Windows workstation: calwin32.dll, clxwin32.dll and
// netwin32.dll, every operation bound by its ordinal when the client is loaded, and the error-text
// library NWERR32.DLL, loaded by name for each text.
//
// Texts cross this seam as the program keeps them (UTF-8) and cross into the libraries as
// zero-terminated OEM text; a text the OEM code page cannot hold is never handed over in a
// lossy form (it would name another entry or object): the call fails without reaching the
// client. Records are marshalled into the client's packed layouts, each asserted where it is
// declared.
#pragma once

#include <memory>
#include <string>

#include "netware/netware_client.h"

namespace ferrit {

// The libraries' file names, in the order they are loaded.
constexpr const char* kNetWareClientLibraries[] = {"calwin32.dll", "clxwin32.dll", "netwin32.dll"};
constexpr const char* kNetWareErrorLibrary = "NWERR32.DLL";

// What loading the client gave.
struct NativeClientLoad {
    std::unique_ptr<NetWareClient> client;  // null when the client cannot be used
    // The calls library was found: a workstation with a client installed. A failure then is a
    // damaged or foreign installation; without it the workstation simply has no client.
    bool installed = false;
    // Why the client cannot be used: the library, the ordinal and the system's error.
    std::string problem;
    std::string location;  // the full path of the calls library, once loaded
};

// Loads the three client libraries and binds every operation. From `directory` when one is
// given; otherwise from the program's own directory and the system directories (never from the
// current directory, where a planted library would run as the program). When a library cannot
// be loaded or lacks an operation, nothing stays loaded. The error-text library is looked for
// where the client libraries were found.
NativeClientLoad LoadNativeClient(const std::string& directory = std::string());

}  // namespace ferrit
