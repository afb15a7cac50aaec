// Chooses the NetWare client of a program run: the emulated client when its configuration file
// exists; otherwise, on Windows, the installed client when its libraries load; otherwise the
// absent client (a workstation without a client).
#pragma once

#include <memory>
#include <string>

#include "netware/netware_client.h"

namespace ferrit {
namespace nwemu {

// `ferrit-netware.ini` in the user's configuration directory ($XDG_CONFIG_HOME, else
// ~/.config), beside Ferrit.Ini.
std::string DefaultNetWareConfigPath();

struct NetWareClientChoice {
    std::unique_ptr<NetWareClient> client;  // never null
    // A client was asked for: a file given, or the default file present (even when it cannot
    // be used); on Windows always, where the installed client is looked for and its start-up
    // reports when there is none. False means this workstation has no NetWare at all.
    bool configured = false;
    bool emulated = false;
    bool installed = false;  // the installed client's libraries, bound
    std::string clientText;  // names the installed client for the status bar; else empty
    std::string configFile;  // the file that was read or looked for
    std::string error;  // why the configuration or the installed client was not used; empty when
                        // all is well and when Windows simply has no client installed
};

// With an explicit file (the command line's --netware-config=FILE) that file must exist and be
// sound; without one the default file is used when it exists. A file that cannot be read (not
// a regular file, larger than 1 MiB, unreadable) or is malformed gives the absent client and
// the error text for the caller to show.
NetWareClientChoice ChooseNetWareClient(const std::string& explicitConfig = std::string());

}  // namespace nwemu
}  // namespace ferrit
