#include <string>

#include "netware/netware_services.h"
#include "support/strings.h"

namespace ferrit {

NWCCODE NetWareServices::ConnInfoText(NWCONN_HANDLE conn, uint32_t kind, std::string& text) {
    std::string buffer;
    const NWCCODE code = client_.GetConnInfoText(conn, kind, 255, buffer);
    text = code == 0 ? buffer.substr(0, buffer.find('\0')) : std::string();
    return code;
}

NWCCODE NetWareServices::GetTreeName(NWCONN_HANDLE conn, std::string& text) {
    const NWCCODE code = ConnInfoText(conn, ConnInfo::TreeName, text);
    if (code == 0) {
        // Servers pad the tree name with underscores to 32 characters.
        text = TrimRightChars(text.substr(0, 32), "_");
    }
    return code;
}

NWCCODE NetWareServices::GetServerName(NWCONN_HANDLE conn, std::string& text) {
    return ConnInfoText(conn, ConnInfo::ServerName, text);
}

bool NetWareServices::IsDirectoryServicesConn(NWCONN_HANDLE conn) {
    uint32_t value = 0;
    return client_.GetConnInfoValue(conn, ConnInfo::DirectoryServices, value) == 0 && value != 0;
}

}  // namespace ferrit
