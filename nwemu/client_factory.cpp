#include "nwemu/client_factory.h"

#include "netware/absent_client.h"
#include "nwemu/client.h"
#include "nwemu/config_text.h"
#include "platform/fs_util.h"
#include "support/strings.h"

#ifdef _WIN32
#include "netware/win/native_client.h"
#endif

namespace ferrit {
namespace nwemu {

#ifdef _WIN32
namespace {

// A Windows workstation's own client: the installed libraries when they load; otherwise the
// absent client, whose start-up then reports that the client could not be initialised. A
// client that is there but cannot be bound is told apart by its own error.
void InstalledClient(NetWareClientChoice& choice) {
    NativeClientLoad load = LoadNativeClient();
    choice.configured = true;
    if (load.client) {
        choice.client = std::move(load.client);
        choice.installed = true;
        choice.clientText = "NetWare: the installed client (" + load.location + ")";
    } else {
        choice.client = std::make_unique<AbsentClient>();
        if (load.installed) {
            choice.error = "The installed NetWare client cannot be used: " + load.problem;
        }
    }
}

}  // namespace
#endif

std::string DefaultNetWareConfigPath() {
    return WithTrailingSlash(ConfigDirectory()) + "ferrit-netware.ini";
}

NetWareClientChoice ChooseNetWareClient(const std::string& explicitConfig) {
    NetWareClientChoice choice;
    choice.configFile = explicitConfig.empty() ? DefaultNetWareConfigPath() : explicitConfig;
    // Any entry of the default name counts, a dangling link included: it is reported.
    PathFacts facts;
    choice.configured = !explicitConfig.empty() || StatPath(choice.configFile, facts) == 0;
    if (!choice.configured) {
#ifdef _WIN32
        InstalledClient(choice);
#else
        choice.client = std::make_unique<AbsentClient>();
#endif
        return choice;
    }
    Config config;
    if (!LoadConfig(choice.configFile, config, choice.error)) {
        choice.client = std::make_unique<AbsentClient>();
        return choice;
    }
    choice.client = std::make_unique<Client>(std::move(config));
    choice.emulated = true;
    return choice;
}

}  // namespace nwemu
}  // namespace ferrit
