// Carrying trustees, the owner, the inherited rights mask and space limits from a source
// location to a target location. Nothing here reports a failure except the two handle and
// space-limit dialogs; every other failed client call only drops its step.
#include <algorithm>
#include <string>
#include <vector>

#include "netware/netware_services.h"

namespace ferrit {

namespace {

constexpr uint16_t kSearchAttributes = 0x16;  // hidden, system, directory
constexpr uint32_t kEntryInfoMask = 0x0FFF;
constexpr uint8_t kFallbackNameSpace = 4;
constexpr uint8_t kDosNameSpace = 0;
constexpr NWCCODE kNoDirSpaceRestriction = 0x89FF;  // the limit write's "success" answer

}  // namespace

// Both routines need Access Control on the target: without it they make no client call at all.
bool NetWareServices::TargetLacksAccessControl() const {
    return LacksRights(static_cast<uint16_t>(state_.PathInfo[kTarget].EffectiveRights),
                       Rights::AccessControl);
}

uint32_t NetWareServices::CopyTrustees(const std::string& source, const std::string& target) {
    if (TargetLacksAccessControl()) {
        return 0;
    }
    const NWCONN_HANDLE sourceConn = state_.PathInfo[kSource].ConnHandle;
    const NWCONN_HANDLE targetConn = state_.PathInfo[kTarget].ConnHandle;
    // 32 bits wide, so a translation failure is never mistaken for success.
    uint32_t lastFailure = 0;
    uint32_t iterHandle = 0;
    for (;;) {
        TrusteeBatch batch{};
        if (client_.ScanTrustees(sourceConn, 0, source, iterHandle, batch) != 0) {
            return lastFailure;  // no (further) trustees
        }
        if (batch[0].objectId == 0) {
            return lastFailure;  // a batch without entries cannot lead any further
        }
        // Every entry is handled: one that cannot be carried (no name on the source, no
        // counterpart on the target, the add refused) is skipped, never the rest with it.
        for (const TrusteeEntry& entry : batch) {
            if (entry.objectId == 0) {
                break;
            }
            uint32_t code = 0;
            NWObjectID targetId = 0;
            if (state_.SameConnection) {
                targetId = entry.objectId;
            } else {
                std::string name;
                code = IdToName(sourceConn, entry.objectId, name);
                if (code == 0) {
                    code = NameToId(targetConn, name, targetId);
                }
            }
            if (code == 0 && targetId != 0) {
                code = client_.AddTrustee(targetConn, 0, target, targetId, entry.rights);
            }
            if (code != 0) {
                lastFailure = code;
            }
        }
    }
}

NWCCODE NetWareServices::ReadEntryInfo(NWCONN_HANDLE conn, const std::string& path,
                                       EntryInfo& info) {
    EntryInfo read;
    uint8_t nameSpace = 0;
    NWCCODE code = client_.GetOwningNameSpace(conn, 0, path, nameSpace);
    const bool nameSpaceKnown = code == 0;
    if (nameSpaceKnown) {
        code = client_.ObtainEntryInfo(conn, 0, path, nameSpace, nameSpace, kSearchAttributes,
                                       kEntryInfoMask, read);
    }
    if (code != 0) {
        // Without a known name space the answer is asked for in the DOS name space.
        code = client_.ObtainEntryInfo(conn, 0, path, kFallbackNameSpace,
                                       nameSpaceKnown ? nameSpace : kDosNameSpace,
                                       kSearchAttributes, kEntryInfoMask, read);
    }
    // A failed read leaves the caller's record as it was.
    if (code == 0) {
        info = read;
    }
    return code;
}

void NetWareServices::CopyOwner(const std::string& source, const std::string& target) {
    if (TargetLacksAccessControl()) {
        return;
    }
    const NWCONN_HANDLE sourceConn = state_.PathInfo[kSource].ConnHandle;
    const NWCONN_HANDLE targetConn = state_.PathInfo[kTarget].ConnHandle;
    EntryInfo record;
    if (ReadEntryInfo(sourceConn, source, record) != 0) {
        return;
    }
    const NWObjectID owner = record.ownerId;
    NWObjectID targetOwner = 0;
    if (state_.SameConnection) {
        targetOwner = owner;
    } else {
        std::string name;
        if (IdToName(sourceConn, owner, name) == 0 && !name.empty()) {
            NameToId(targetConn, name, targetOwner);
        }
    }
    // The same record: when the target cannot be read it still holds the source's owner.
    ReadEntryInfo(targetConn, target, record);
    // An owner without a counterpart on the target leaves the target's owner as it is.
    if (targetOwner == 0 || record.ownerId == targetOwner) {
        return;
    }
    DosInfo dos;
    dos.ownerId = targetOwner;
    client_.ModifyDosInfo(targetConn, 0, target, kDosNameSpace, kSearchAttributes, kModifyOwner,
                          dos);
}

NWCCODE NetWareServices::AllocTempDirHandle(int i, const std::string& path) {
    TPathInfo& entry = state_.PathInfo[i];
    if (entry.TempDirHandle != 0) {
        return 0;  // this directory step's handle is reused
    }
    NWDIR_HANDLE handle = 0;
    uint8_t rights = 0;
    const NWCCODE code =
        client_.AllocTemporaryDirectoryHandle(entry.ConnHandle, 0, path, handle, rights);
    // Only a handle the client actually gave is kept, so only that one is released later.
    entry.TempDirHandle = code == 0 ? handle : 0;
    return code;
}

NWCCODE NetWareServices::FreeTempDirHandle(int i) {
    TPathInfo& entry = state_.PathInfo[i];
    NWCCODE code = 0;
    if (entry.TempDirHandle != 0) {
        code = client_.DeallocateDirectoryHandle(entry.ConnHandle, entry.TempDirHandle);
    }
    entry.TempDirHandle = 0;
    return code;
}

// The opening both directory routines share: nothing without Access Control on the target;
// then the source directory's handle, whose failure is reported with the Abort button alone.
// False when the routine ends here: no Access Control, or the run is being aborted.
bool NetWareServices::OpenSourceDirectory(const std::string& source, int16_t& runState) {
    if (TargetLacksAccessControl()) {
        return false;
    }
    const NWCCODE code = AllocTempDirHandle(kSource, source);
    if (code != 0) {
        runState = static_cast<int16_t>(ShowErrorCode(
            dialogs_, DialogKind::Error, code, "NWAllocTemporaryDirectoryHandle", Btn::Abort));
    }
    return runState != Answer::Abort;
}

void NetWareServices::CopyInheritedRightsMask(const std::string& source, const std::string& target,
                                              int16_t& runState) {
    if (!OpenSourceDirectory(source, runState)) {
        return;
    }
    const TPathInfo& src = state_.PathInfo[kSource];
    const TPathInfo& tgt = state_.PathInfo[kTarget];
    uint32_t iterHandle = 0xFFFFFFFF;
    DirEntryRecord sourceRecord;
    if (client_.ScanDirEntryInfo(src.ConnHandle, src.TempDirHandle, kSearchAttributes, iterHandle,
                                 sourceRecord) != 0) {
        return;
    }
    const uint16_t mask = sourceRecord.inheritedRightsMask;
    if (AllocTempDirHandle(kTarget, target) != 0) {
        return;
    }
    iterHandle = 0xFFFFFFFF;
    DirEntryRecord targetRecord;
    if (client_.ScanDirEntryInfo(tgt.ConnHandle, tgt.TempDirHandle, kSearchAttributes, iterHandle,
                                 targetRecord) != 0) {
        return;
    }
    if (targetRecord.inheritedRightsMask == mask) {
        return;
    }
    targetRecord.inheritedRightsMask = mask;
    client_.ModifyDirEntry(tgt.ConnHandle, tgt.TempDirHandle, kSearchAttributes, iterHandle,
                           kModifyInheritedRightsMask, targetRecord);
}

void NetWareServices::CopySpaceLimits(const std::string& source, const std::string& target,
                                      int16_t& runState) {
    if (!OpenSourceDirectory(source, runState)) {
        return;
    }
    const TPathInfo& src = state_.PathInfo[kSource];
    const TPathInfo& tgt = state_.PathInfo[kTarget];
    // The whole list, however long: the client's fixed buffer does not limit it here.
    std::vector<SpaceLimitEntry> list;
    if (client_.GetDirSpaceLimitList(src.ConnHandle, src.TempDirHandle, list) != 0) {
        return;
    }
    // Counted whole: a directory deeper than any 8-bit level matches no entry.
    const size_t depth = PathDepthFull(source);
    for (const SpaceLimitEntry& entry : list) {
        if (entry.level != depth) {
            continue;
        }
        const uint32_t limit = entry.maximum == kNoSpaceLimit ? 0 : entry.maximum;
        NWCCODE code = AllocTempDirHandle(kTarget, target);
        if (code == 0) {
            code = client_.SetDirSpaceLimit(tgt.ConnHandle, tgt.TempDirHandle, limit);
            if (code == kNoDirSpaceRestriction) {
                code = 0;
            }
        }
        if (code != 0) {
            // Whatever the answer, the remaining entries are still handled; an Abort takes
            // effect at the run's next test.
            runState = static_cast<int16_t>(ShowErrorCode(dialogs_, DialogKind::Error, code,
                                                          "NWSetDirSpaceLimit", Btn::AbortIgnore));
        }
    }
}

size_t PathDepthFull(const std::string& path) {
    return static_cast<size_t>(std::count(path.begin(), path.end(), '\\'));
}

uint8_t PathDepth(const std::string& path) {
    return static_cast<uint8_t>(std::min<size_t>(PathDepthFull(path), 255));
}

}  // namespace ferrit
