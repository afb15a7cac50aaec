// The client factory of the Windows build while the emulated NetWare network is not built there:
// a workstation without NetWare runs with the absent client, as everywhere; a description given
// or found cannot be served, and the caller says so and runs without NetWare. The installed
// client (netware/win/) is chosen by the full factory, which comes with the emulated network.
#include "nwemu/client_factory.h"

#include "netware/absent_client.h"
#include "platform/fs_util.h"
#include "platform/system_services.h"
#include "support/strings.h"

namespace ferrit {
namespace nwemu {

std::string DefaultNetWareConfigPath() {
    return WithTrailingSlash(ConfigDirectory()) + "ferrit-netware.ini";
}

NetWareClientChoice ChooseNetWareClient(const std::string& explicitConfig) {
    NetWareClientChoice choice;
    choice.client = std::make_unique<AbsentClient>();
    choice.configFile = explicitConfig.empty() ? DefaultNetWareConfigPath() : explicitConfig;
    EntryStat st;
    choice.configured =
        !explicitConfig.empty() || MakeFileServices()->StatEntry(choice.configFile, st) == 0;
    if (choice.configured) {
        choice.error = choice.configFile + ": the emulated NetWare servers are not in this build";
    }
    return choice;
}

}  // namespace nwemu
}  // namespace ferrit
