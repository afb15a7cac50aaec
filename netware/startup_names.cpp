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

uint16_t NetWareServices::InitNetWare() {
    // The start-up connection handle keeps its marker until a connection has been opened.
    if (startupConn_ != kNoStartupConn) {
        return 0;
    }
    uint16_t code = client_.CallsInit();
    if (code == 0) {
        // The connection layer's start writes a reference; it is opened when the primary
        // connection cannot be asked for.
        uint32_t reference = 0;
        code = client_.ConnLayerInit(reference);
        if (code == 0) {
            uint32_t primary = 0;
            if (client_.GetPrimaryConnRef(primary) == 0) {
                reference = primary;
            }
            NWCONN_HANDLE conn = 0;
            code = client_.OpenConnByReference(reference, 1, 0, conn);
            if (code == 0) {
                startupConn_ = conn;
            }
        }
    }
    if (code != 0) {
        ReportNetWareError(code, code == 0xFFFF
                                     ? "Could not initialize NetWare Client. InitNetWare"
                                     : "Could not find server/tree connection. InitNetWare");
    }
    return code;
}

NWDSCCODE NetWareServices::PrepareContext(NWDSContextHandle context, NWCONN_HANDLE conn) {
    std::string tree;
    NWDSCCODE code = GetTreeName(conn, tree);
    if (code != 0) {
        return code;
    }
    if (!tree.empty()) {
        std::string current;
        if (client_.DSGetContextText(context, ContextKey::TreeName, current) != 0) {
            current.clear();
        }
        current = current.substr(0, current.find('\0')).substr(0, 255);
        current = ReplaceStr(current, "CN=", "", true, false);
        if (UpperAscii(current) != UpperAscii(tree)) {
            code = client_.DSSetContextText(context, ContextKey::TreeName, tree);
            if (code != 0) {
                return code;
            }
        }
    }
    return client_.DSSetContextText(context, ContextKey::NameContext, "[Root]");
}

NWDSCCODE NetWareServices::IdToName(NWCONN_HANDLE conn, NWObjectID id, std::string& name) {
    name.clear();
    NWDSCCODE code = 0xFFFFFFFF;
    if (IsDirectoryServicesConn(conn)) {
        NWDSContextHandle context = 0;
        code = client_.DSCreateContext(context);
        if (code == 0) {
            code = PrepareContext(context, conn);
            if (code == 0) {
                std::string buffer;
                code = client_.DSMapIDToName(context, conn, id, buffer);
                if (code == 0) {
                    name = buffer.substr(0, buffer.find('\0')).substr(0, 255);
                }
            }
            client_.DSFreeContext(context);
        }
    }
    if (code != 0) {
        std::string buffer;
        uint16_t type = 0;
        code = client_.GetObjectName(conn, id, buffer, type);
        name = code == 0 ? buffer.substr(0, buffer.find('\0')).substr(0, 47) : std::string();
    }
    return code;
}

std::string BinderyLeaf(const std::string& name) {
    std::string leaf = name;
    const size_t equals = leaf.find('=');
    if (equals != std::string::npos) {
        leaf = UpperAscii(leaf.substr(equals + 1, 255));
    }
    leaf = TrimRightChars(TrimLeftChars(leaf, "."), ".");
    const size_t dot = leaf.find('.');
    if (dot != std::string::npos) {
        leaf = UpperAscii(leaf.substr(0, dot));
    }
    return leaf;
}

NWDSCCODE NetWareServices::NameToId(NWCONN_HANDLE conn, const std::string& name, NWObjectID& id) {
    id = 0;
    NWDSContextHandle context = 0;
    NWDSCCODE code = client_.DSCreateContext(context);
    if (code == 0) {
        code = PrepareContext(context, conn);
        if (code == 0) {
            code = client_.DSMapNameToID(context, conn, name, id);
            if (code != 0) {
                id = 0;
            }
        }
        client_.DSFreeContext(context);
    }
    if (code == 0) {
        return code;
    }
    const std::string leaf = BinderyLeaf(name);
    NWObjectID found = 0;
    code = client_.GetObjectID(conn, leaf, ObjType::User, found);
    if (code != 0) {
        code = client_.GetObjectID(conn, leaf, ObjType::Group, found);
    }
    id = code == 0 ? found : 0;
    return code;
}

}  // namespace ferrit
