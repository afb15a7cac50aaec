// Looking a directory pair up through the NetWare client: its two entries, the available-space
// text and the rights warnings.
#include <algorithm>

#include "netware/directory_pair.h"
#include "netware/netware_services.h"
#include "support/format_size.h"
#include "support/strings.h"

namespace ferrit {

namespace {
// NetWare keeps directory space limits in blocks of 4 KB.
constexpr int64_t kSpaceLimitBlockBytes = 4096;
}  // namespace

NetWareServices::NetWareServices(NetWareClient& client, FileServices& files, Dialogs& dialogs)
    : client_(client), files_(files), dialogs_(dialogs) {}

TPathInfo NetWareServices::ResolveLocation(const std::string& path) {
    TPathInfo info;
    info.DirExists = files_.DirectoryExists(path);
    const std::string oem = OemConvert(path, true);
    if (oem.empty()) {
        return info;
    }
    info.OemPath = oem;
    // The client's buffers hold 511 characters. A longer text is never cut and parsed: the cut
    // text names another directory (a parent, where a trustee would reach a whole subtree).
    if (path.size() > kMaxNetWarePath) {
        info.PathTooLong = true;
        return info;
    }
    if (!info.DirExists) {
        ResolveNewDirectory(path, info);
        return info;
    }
    NWDIR_HANDLE dirHandle = 0;
    std::string volumePath;
    if (client_.ParsePath(oem, info.ConnHandle, dirHandle, volumePath) == 0) {
        if (volumePath.size() > kMaxNetWarePath) {
            info.ConnHandle = 0;
            info.PathTooLong = true;
            return info;
        }
        info.NetWarePath = volumePath;
    } else {
        volumePath.clear();
    }
    // The server name is asked even when the parse failed; it then stays empty.
    GetServerName(info.ConnHandle, info.ServerName);
    info.OnNetWare = !info.ServerName.empty();
    if (info.OnNetWare) {
        uint16_t rights = 0;
        const NWCCODE code =
            client_.GetEffectiveRights(info.ConnHandle, dirHandle, volumePath, rights);
        if (code != 0) {
            ShowErrorCode(dialogs_, DialogKind::Error, code, "Error getting effective rights",
                          Btn::OK);
            rights = 0;
        }
        info.EffectiveRights = rights;
    }
    return info;
}

// A directory that does not exist yet lies where its nearest existing parent lies, and gets that
// parent's rights when it is made (it has no trustee and the full mask). So the NetWare options
// apply to a target that the run itself will make. Nothing is shown when the parent's rights
// cannot be read: the directory in question is not there to be asked about.
void NetWareServices::ResolveNewDirectory(const std::string& path, TPathInfo& info) {
    std::string parent = path;
    std::vector<std::string> names;
    for (;;) {
        std::string name;
        if (!SplitLastName(parent, parent, name)) {
            return;
        }
        names.insert(names.begin(), name);
        if (name == "." || name == "..") {
            return;  // the names below the parent must be the directories to be made
        }
        if (files_.DirectoryExists(parent)) {
            break;
        }
    }
    NWCONN_HANDLE conn = 0;
    NWDIR_HANDLE dirHandle = 0;
    std::string volumePath;
    if (client_.ParsePath(OemConvert(parent, true), conn, dirHandle, volumePath) != 0) {
        return;
    }
    std::string server;
    GetServerName(conn, server);
    if (server.empty()) {
        return;
    }
    uint16_t rights = 0;
    if (client_.GetEffectiveRights(conn, dirHandle, volumePath, rights) != 0) {
        rights = 0;
    }
    std::string newPath = volumePath;
    for (const std::string& name : names) {
        newPath += (newPath.empty() || newPath.back() == ':' ? "" : "\\") + name;
    }
    if (newPath.size() > kMaxNetWarePath) {
        info.PathTooLong = true;
        return;
    }
    info.ConnHandle = conn;
    info.NetWarePath = newPath;
    info.ServerName = server;
    info.OnNetWare = true;
    info.EffectiveRights = rights;
}

DirectoryPair NetWareServices::GetNetWarePaths(const std::string& source,
                                               const std::string& target) {
    DirectoryPair pair;
    pair.PathInfo[kSource] = ResolveLocation(source);
    pair.PathInfo[kTarget] = ResolveLocation(target);
    const TPathInfo& src = pair.PathInfo[kSource];
    const TPathInfo& tgt = pair.PathInfo[kTarget];
    pair.BothNetWare = src.ConnHandle != 0 && tgt.ConnHandle != 0;
    pair.SameConnection = pair.BothNetWare && src.ConnHandle == tgt.ConnHandle;
    pair.AvailText = "Available Space: n/a";
    // Free space is known for an absolute path naming an existing directory (the drive-letter
    // test of a Windows path). A target that does not exist yet will be made on the file system
    // of its nearest existing parent: that one's space is shown.
    int64_t bytes = 0;
    std::string name;
    for (std::string dir = tgt.OemPath; IsAbsolutePath(dir);) {
        if (files_.FreeSpace(dir, bytes)) {
            // On NetWare the directory's space limit may leave less than the volume has.
            int64_t limitLeft = 0;
            if (tgt.OnNetWare && SpaceLimitLeft(tgt, limitLeft) && limitLeft < bytes) {
                bytes = limitLeft;
            }
            pair.FreeSpace = bytes;
            pair.AvailText = "Available Space: " + FormatSize(bytes);
            break;
        }
        if (!SplitLastName(dir, dir, name)) {
            break;
        }
    }
    return pair;
}

bool NetWareServices::SpaceLimitLeft(const TPathInfo& entry, int64_t& bytes) {
    NWDIR_HANDLE handle = 0;
    uint8_t rights = 0;
    if (entry.NetWarePath.empty() ||
        client_.AllocTemporaryDirectoryHandle(entry.ConnHandle, 0, entry.NetWarePath, handle,
                                              rights) != 0) {
        return false;
    }
    std::vector<SpaceLimitEntry> list;
    const bool listed = client_.GetDirSpaceLimitList(entry.ConnHandle, handle, list) == 0;
    client_.DeallocateDirectoryHandle(entry.ConnHandle, handle);
    // The directory's own limit and each of its ancestors' count: the tightest decides.
    bool limited = false;
    for (const SpaceLimitEntry& limit : list) {
        if (!listed || limit.maximum == kNoSpaceLimit) {
            continue;
        }
        const int64_t left =
            std::max<int64_t>(0, static_cast<int64_t>(limit.maximum) - limit.current) *
            kSpaceLimitBlockBytes;
        bytes = limited ? std::min(bytes, left) : left;
        limited = true;
    }
    return limited;
}

std::vector<std::string> NetWareServices::CheckRights(const DirectoryPair& pair,
                                                      const OptionSet& options) const {
    const uint16_t src = static_cast<uint16_t>(pair.PathInfo[kSource].EffectiveRights);
    const uint16_t tgt = static_cast<uint16_t>(pair.PathInfo[kTarget].EffectiveRights);
    const bool trusteesOrMask =
        options.cbAllowed(KeepDirectoryTrustees) || options.cbAllowed(KeepInheritedRightsMask);
    std::vector<std::string> lines;
    if (LacksRights(src, 0x41)) {
        lines.push_back("  Insufficient rights to scan files on source");
    }
    if (trusteesOrMask && LacksRights(src, 0x20)) {
        lines.push_back("  Insufficient rights to read all trustees on source");
    }
    if (options.cbAllowed(MoveFiles) && LacksRights(src, 0x10)) {
        lines.push_back("  Insufficient rights to move source files from source");
    }
    if (LacksRights(tgt, 0x0A)) {
        lines.push_back("  Insufficient rights to create files on target");
    }
    if (trusteesOrMask && LacksRights(tgt, 0x20)) {
        lines.push_back("  Insufficient rights to grant rights on target");
    }
    return lines;
}

}  // namespace ferrit
