#include "platform/config_file.h"

namespace ferrit {

ConfigFileText RefusedConfigFile(const std::string& path, ConfigFileStatus status,
                                 const std::string& why) {
    ConfigFileText result;
    result.status = status;
    result.problem = path + ": " + why;
    return result;
}

}  // namespace ferrit
