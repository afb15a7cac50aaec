#include "nwemu/client_factory.h"

#include <sys/stat.h>

#include "netware/absent_client.h"
#include "nwemu/client.h"
#include "nwemu/config_text.h"
#include "platform/fs_util.h"

namespace ferrit {
namespace nwemu {

std::string DefaultNetWareConfigPath() {
    return ConfigDirectory() + "/ferrit-netware.ini";
}

NetWareClientChoice ChooseNetWareClient(const std::string& explicitConfig) {
    NetWareClientChoice choice;
    choice.configFile = explicitConfig.empty() ? DefaultNetWareConfigPath() : explicitConfig;
    // Any entry of the default name counts, a dangling link included: it is reported.
    struct stat st;
    choice.configured = !explicitConfig.empty() || ::lstat(choice.configFile.c_str(), &st) == 0;
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
