#include "netware/dry_run_client.h"

#include "netware/netware_services.h"
#include "netware/server_rules.h"
#include "support/strings.h"

namespace ferrit {

namespace {

constexpr uint16_t kSearchDirectories = 0x10;
constexpr uint32_t kBeforeScan = 0xFFFFFFFF;
constexpr uint32_t kMadeEntryScan = 1;  // the iteration handle a scan of a made directory answers

// The volume path of an entry's directory ("VOL:a" for "VOL:a\b", "VOL:" for "VOL:a"); empty for
// a volume root, which has none.
std::string ParentVolumePath(const std::string& volumePath) {
    const size_t colon = volumePath.find(':');
    if (colon == std::string::npos || colon + 1 >= volumePath.size()) {
        return std::string();
    }
    const size_t slash = volumePath.find_last_of("\\/");
    return slash == std::string::npos || slash < colon ? volumePath.substr(0, colon + 1)
                                                       : volumePath.substr(0, slash);
}

}  // namespace

DryRunClient::Fate DryRunClient::FateOf(NWCONN_HANDLE conn, const std::string& volumePath) const {
    // The workstation path of the entry: from the nearest of it and its directories that was
    // parsed, with the names below that one.
    std::string dir = volumePath;
    std::string below;
    auto parsed = localOf_.find(Key(conn, UpperAscii(dir)));
    while (parsed == localOf_.end()) {
        const std::string parent = ParentVolumePath(dir);
        if (parent.empty()) {
            return Fate::Real;
        }
        const std::string name = dir.substr(parent.size() + (parent.back() == ':' ? 0 : 1));
        below = below.empty() ? name : name + kPathSeparator + below;
        dir = parent;
        parsed = localOf_.find(Key(conn, UpperAscii(dir)));
    }
    const std::string local =
        below.empty() ? parsed->second : WithTrailingSlash(parsed->second) + below;
    switch (markOf_(local)) {
        case PreviewMark::Made:
            return Fate::Made;
        case PreviewMark::Removed:
            return Fate::Gone;
        case PreviewMark::Untouched:
            break;
    }
    return Fate::Real;
}

NWCCODE DryRunClient::RightsAt(NWCONN_HANDLE conn, const std::string& volumePath,
                               uint16_t& rights) {
    rights = 0;
    switch (FateOf(conn, volumePath)) {
        case Fate::Real:
            return inner_.GetEffectiveRights(conn, 0, volumePath, rights);
        case Fate::Gone:
            return NWErr::InvalidPath;
        case Fate::Made:
            break;
    }
    // A new entry has no trustee and the full mask: its parent's rights are its own.
    const std::string parent = ParentVolumePath(volumePath);
    return parent.empty() ? NWErr::InvalidPath : RightsAt(conn, parent, rights);
}

uint16_t DryRunClient::HeldBy(NWCONN_HANDLE conn, const std::string& volumePath, NWObjectID id) {
    if (FateOf(conn, volumePath) != Fate::Real) {
        return 0;
    }
    uint32_t iter = 0;
    TrusteeBatch batch;
    while (inner_.ScanTrustees(conn, 0, volumePath, iter, batch) == 0 && batch[0].objectId != 0) {
        for (const TrusteeEntry& entry : batch) {
            if (entry.objectId == id) {
                return entry.rights;
            }
        }
    }
    return 0;
}

DryRunClient::Held* DryRunClient::HeldAt(NWCONN_HANDLE conn, NWDIR_HANDLE handle) {
    const auto it = handles_.find({conn, handle});
    return it == handles_.end() ? nullptr : &it->second;
}

NWCCODE DryRunClient::ParsePath(const std::string& path, NWCONN_HANDLE& conn,
                                NWDIR_HANDLE& dirHandle, std::string& volumePath) {
    NWCCODE code = inner_.ParsePath(path, conn, dirHandle, volumePath);
    std::string dir, name;
    // A directory only this preview made may be unknown to the client: it is named within its
    // parent.
    if (code != 0 && markOf_(path) == PreviewMark::Made && SplitLastName(path, dir, name)) {
        code = ParsePath(dir, conn, dirHandle, volumePath);
        if (code == 0) {
            volumePath += (volumePath.back() == ':' ? "" : "\\") + name;
        }
    }
    if (code == 0) {
        localOf_[Key(conn, UpperAscii(volumePath))] = path;
    }
    return code;
}

NWCCODE DryRunClient::GetEffectiveRights(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                         const std::string& path, uint16_t& rights) {
    if (dirHandle != 0) {
        return inner_.GetEffectiveRights(conn, dirHandle, path, rights);
    }
    return RightsAt(conn, path, rights);
}

NWCCODE DryRunClient::AllocTemporaryDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                                    const std::string& path,
                                                    NWDIR_HANDLE& newHandle, uint8_t& rightsMask) {
    newHandle = 0;
    rightsMask = 0;
    const Fate fate = dirHandle == 0 ? FateOf(conn, path) : Fate::Real;
    if (fate == Fate::Gone) {
        return NWErr::InvalidPath;
    }
    if (fate == Fate::Real) {
        const NWCCODE code =
            inner_.AllocTemporaryDirectoryHandle(conn, dirHandle, path, newHandle, rightsMask);
        if (code == 0) {
            handles_[{conn, newHandle}] = Held{path, false, kBeforeScan};
        }
        return code;
    }
    // A directory the preview made gets a handle of the preview's own, counted down from the
    // top so that it does not meet the client's, which are counted up.
    uint16_t rights = 0;
    if (const NWCCODE code = RightsAt(conn, path, rights)) {
        return code;
    }
    for (int h = 255; h >= 1; --h) {
        if (HeldAt(conn, static_cast<NWDIR_HANDLE>(h)) == nullptr) {
            newHandle = static_cast<NWDIR_HANDLE>(h);
            handles_[{conn, newHandle}] = Held{path, true, kBeforeScan};
            rightsMask = static_cast<uint8_t>(rights & 0xFF);
            return 0;
        }
    }
    return inner_.AllocTemporaryDirectoryHandle(conn, dirHandle, path, newHandle, rightsMask);
}

NWCCODE DryRunClient::DeallocateDirectoryHandle(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle) {
    const Held* held = HeldAt(conn, dirHandle);
    const bool made = held != nullptr && held->made;
    handles_.erase({conn, dirHandle});
    return made ? 0 : inner_.DeallocateDirectoryHandle(conn, dirHandle);
}

NWCCODE DryRunClient::ScanTrustees(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                   const std::string& path, uint32_t& iterHandle,
                                   TrusteeBatch& batch) {
    if (dirHandle == 0 && FateOf(conn, path) != Fate::Real) {
        batch = TrusteeBatch();
        return NWErr::InvalidPath;  // a new entry has no trustees
    }
    return inner_.ScanTrustees(conn, dirHandle, path, iterHandle, batch);
}

NWCCODE DryRunClient::GetOwningNameSpace(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                         const std::string& path, uint8_t& nameSpace) {
    const Fate fate = dirHandle == 0 ? FateOf(conn, path) : Fate::Real;
    if (fate == Fate::Real) {
        return inner_.GetOwningNameSpace(conn, dirHandle, path, nameSpace);
    }
    // A new entry is made in the name space its directory's entries are made in.
    const std::string parent = ParentVolumePath(path);
    if (fate == Fate::Gone || parent.empty()) {
        return NWErr::InvalidPath;
    }
    return GetOwningNameSpace(conn, 0, parent, nameSpace);
}

NWCCODE DryRunClient::ObtainEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                      const std::string& path, uint8_t sourceNameSpace,
                                      uint8_t targetNameSpace, uint16_t searchAttributes,
                                      uint32_t infoMask, EntryInfo& info) {
    const Fate fate = dirHandle == 0 ? FateOf(conn, path) : Fate::Real;
    if (fate == Fate::Real) {
        return inner_.ObtainEntryInfo(conn, dirHandle, path, sourceNameSpace, targetNameSpace,
                                      searchAttributes, infoMask, info);
    }
    if (fate == Fate::Gone) {
        return NWErr::InvalidPath;
    }
    // A new entry belongs to the login that makes it.
    uint32_t login = 0;
    if (const NWCCODE code = inner_.GetConnInfoValue(conn, ConnInfo::UserId, login)) {
        return code;
    }
    info = EntryInfo();
    info.ownerId = login;
    return 0;
}

NWCCODE DryRunClient::GetDirSpaceLimitList(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                           std::vector<SpaceLimitEntry>& list) {
    const Held* held = HeldAt(conn, dirHandle);
    if (held == nullptr || !held->made) {
        return inner_.GetDirSpaceLimitList(conn, dirHandle, list);
    }
    // A new directory has no limit of its own.
    list.assign(
        1, SpaceLimitEntry{static_cast<uint8_t>(PathDepth(held->volumePath)), kNoSpaceLimit, 0});
    return 0;
}

NWCCODE DryRunClient::ScanDirEntryInfo(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                       uint16_t searchAttributes, uint32_t& iterHandle,
                                       DirEntryRecord& record) {
    Held* held = HeldAt(conn, dirHandle);
    if (held == nullptr || !held->made) {
        const NWCCODE code =
            inner_.ScanDirEntryInfo(conn, dirHandle, searchAttributes, iterHandle, record);
        if (code == 0 && held != nullptr) {
            held->scanned = iterHandle;
        }
        return code;
    }
    if (iterHandle != kBeforeScan || (searchAttributes & kSearchDirectories) == 0) {
        return NWErr::Failure;
    }
    record.inheritedRightsMask = kAllTrusteeRights;  // a new directory passes every right on
    iterHandle = held->scanned = kMadeEntryScan;
    return 0;
}

NWCCODE DryRunClient::AddTrustee(NWCONN_HANDLE conn, NWDIR_HANDLE /*dirHandle*/,
                                 const std::string& path, NWObjectID id, uint16_t rights) {
    uint16_t login = 0;
    if (const NWCCODE code = RightsAt(conn, path, login)) {
        return code;
    }
    if (const NWCCODE code = MayChangeEntry(login)) {
        return code;
    }
    return MayAssignTrustee(login, rights, HeldBy(conn, path, id));
}

NWCCODE DryRunClient::ModifyDosInfo(NWCONN_HANDLE conn, NWDIR_HANDLE /*dirHandle*/,
                                    const std::string& path, uint8_t /*nameSpace*/,
                                    uint16_t /*searchAttributes*/, uint32_t modifyMask,
                                    const DosInfo& /*info*/) {
    uint16_t login = 0;
    if (const NWCCODE code = RightsAt(conn, path, login)) {
        return code;
    }
    if (const NWCCODE code = MayChangeEntry(login)) {
        return code;
    }
    return (modifyMask & kModifyOwner) != 0 ? MayChangeOwner(login) : 0;
}

NWCCODE DryRunClient::SetDirSpaceLimit(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle, uint32_t limit) {
    const Held* held = HeldAt(conn, dirHandle);
    if (held == nullptr) {
        return NWErr::BadDirectoryHandle;
    }
    uint16_t login = 0;
    if (const NWCCODE code = RightsAt(conn, held->volumePath, login)) {
        return code;
    }
    if (const NWCCODE code = MayChangeEntry(login)) {
        return code;
    }
    if (limit != 0 && limit < kNoSpaceLimit) {
        return 0;
    }
    // Removing a limit that is not there is answered as the server answers it.
    std::vector<SpaceLimitEntry> list;
    bool had = false;
    if (!held->made && inner_.GetDirSpaceLimitList(conn, dirHandle, list) == 0) {
        for (const SpaceLimitEntry& entry : list) {
            had = had ||
                  (entry.level == PathDepth(held->volumePath) && entry.maximum != kNoSpaceLimit);
        }
    }
    return had ? 0 : NWErr::Failure;
}

NWCCODE DryRunClient::ModifyDirEntry(NWCONN_HANDLE conn, NWDIR_HANDLE dirHandle,
                                     uint16_t searchAttributes, uint32_t iterHandle,
                                     uint32_t /*changeMask*/, const DirEntryRecord& /*record*/) {
    const Held* held = HeldAt(conn, dirHandle);
    if (held == nullptr) {
        return NWErr::BadDirectoryHandle;
    }
    if ((searchAttributes & kSearchDirectories) == 0 || iterHandle != held->scanned) {
        return NWErr::Failure;
    }
    uint16_t login = 0;
    if (const NWCCODE code = RightsAt(conn, held->volumePath, login)) {
        return code;
    }
    return MayChangeEntry(login);
}

}  // namespace ferrit
