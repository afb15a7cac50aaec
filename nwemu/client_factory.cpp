#include "nwemu/client_factory.h"

#include "netware/absent_client.h"
#include "nwemu/client.h"
#include "nwemu/config_text.h"
#include "platform/fs_util.h"
#include "support/strings.h"

namespace ferrit {
namespace nwemu {

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
        choice.client = std::make_unique<AbsentClient>();
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
