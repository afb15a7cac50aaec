// Carrying trustees, the owner, the inherited rights mask and space limits from a source
// location to a target location. Whatever cannot be carried is noted as a status line (see
// TakeNotes); the two handle and space-limit dialogs stay as they are.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "netware/netware_services.h"
#include "netware/server_rules.h"

namespace ferrit {

namespace {

constexpr uint16_t kSearchAttributes = 0x16;  // hidden, system, directory
constexpr uint32_t kEntryInfoMask = 0x0FFF;
constexpr uint8_t kFallbackNameSpace = 4;
constexpr uint8_t kDosNameSpace = 0;
constexpr NWCCODE kNoDirSpaceRestriction = 0x89FF;  // the limit write's "success" answer

std::string HexId(NWObjectID id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(id));
    return text;
}

// Both directory routines and the trustee and owner steps need Access Control on the target:
// without it they make no client call at all.
bool TargetLacksAccessControl(const DirectoryPair& pair) {
    return LacksRights(static_cast<uint16_t>(pair.PathInfo[kTarget].EffectiveRights),
                       Rights::AccessControl);
}

}  // namespace

std::vector<NetWareNote> NetWareServices::TakeNotes() {
    std::vector<NetWareNote> notes;
    notes.swap(notes_);
    return notes;
}

void NetWareServices::NoteNotCarried(const DirectoryPair& pair, const std::string& what,
                                     const std::string& target, uint32_t code) {
    const TPathInfo& tgt = pair.PathInfo[kTarget];
    notes_.push_back({"  " + what + " not carried to " + tgt.ServerName + "/" + target + ": " +
                          NetWareErrorText(code),
                      true});
}

void NetWareServices::NoteNoObject(const std::string& name, const std::string& server) {
    notes_.push_back({"  not carried: no object " + name + " on " + server, false});
}

std::string NetWareServices::ObjectName(NWCONN_HANDLE conn, NWObjectID id) {
    std::string name;
    return IdToName(conn, id, name) == 0 && !name.empty() ? name : HexId(id);
}

bool NetWareServices::TranslateId(const DirectoryPair& pair, NWObjectID id, NWObjectID& targetId,
                                  std::string& name) {
    const TPathInfo& src = pair.PathInfo[kSource];
    const TPathInfo& tgt = pair.PathInfo[kTarget];
    targetId = 0;
    name.clear();
    if (pair.SameConnection) {
        targetId = id;
        return true;
    }
    // An object without a name on the source, or whose name the target does not know, has no
    // counterpart there: by the translation rule it is not carried.
    if (IdToName(src.ConnHandle, id, name) != 0 || name.empty()) {
        NoteNoObject(HexId(id), src.ServerName);
        name = HexId(id);
        return false;
    }
    if (NameToId(tgt.ConnHandle, name, targetId) != 0 || targetId == 0) {
        NoteNoObject(name, tgt.ServerName);
        targetId = 0;
        return false;
    }
    return true;
}

uint32_t NetWareServices::CopyTrustees(const DirectoryPair& pair, const std::string& source,
                                       const std::string& target) {
    if (TargetLacksAccessControl(pair)) {
        return 0;
    }
    const NWCONN_HANDLE sourceConn = pair.PathInfo[kSource].ConnHandle;
    const NWCONN_HANDLE targetConn = pair.PathInfo[kTarget].ConnHandle;
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
        // counterpart on the target, the add refused) is noted and skipped, never the rest
        // with it.
        for (const TrusteeEntry& entry : batch) {
            if (entry.objectId == 0) {
                break;
            }
            NWObjectID targetId = 0;
            std::string name;
            if (!TranslateId(pair, entry.objectId, targetId, name)) {
                lastFailure = NWErr::NoSuchObject;
                continue;
            }
            const uint32_t code = client_.AddTrustee(targetConn, 0, target, targetId, entry.rights);
            if (code != 0) {
                lastFailure = code;
                NoteNotCarried(pair,
                               "Trustee " +
                                   (name.empty() ? ObjectName(sourceConn, entry.objectId) : name) +
                                   " " + RightsLetters(entry.rights),
                               target, code);
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

void NetWareServices::CopyOwner(const DirectoryPair& pair, const std::string& source,
                                const std::string& target) {
    if (TargetLacksAccessControl(pair)) {
        return;
    }
    const NWCONN_HANDLE sourceConn = pair.PathInfo[kSource].ConnHandle;
    const NWCONN_HANDLE targetConn = pair.PathInfo[kTarget].ConnHandle;
    EntryInfo record;
    if (const NWCCODE code = ReadEntryInfo(sourceConn, source, record)) {
        NoteNotCarried(pair, "Owner", target, code);
        return;
    }
    NWObjectID targetOwner = 0;
    std::string name;
    if (!TranslateId(pair, record.ownerId, targetOwner, name)) {
        return;  // an owner without a counterpart leaves the target's owner as it is
    }
    // The same record: when the target cannot be read it still holds the source's owner.
    ReadEntryInfo(targetConn, target, record);
    if (record.ownerId == targetOwner) {
        return;
    }
    DosInfo dos;
    dos.ownerId = targetOwner;
    if (const NWCCODE code = client_.ModifyDosInfo(targetConn, 0, target, kDosNameSpace,
                                                   kSearchAttributes, kModifyOwner, dos)) {
        NoteNotCarried(pair, "Owner " + (name.empty() ? ObjectName(sourceConn, targetOwner) : name),
                       target, code);
    }
}

NWCCODE NetWareServices::AllocTempDirHandle(DirectoryPair& pair, int i, const std::string& path) {
    TPathInfo& entry = pair.PathInfo[i];
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

NWCCODE NetWareServices::FreeTempDirHandle(DirectoryPair& pair, int i) {
    TPathInfo& entry = pair.PathInfo[i];
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
bool NetWareServices::OpenSourceDirectory(DirectoryPair& pair, const std::string& source,
                                          int16_t& runState) {
    if (TargetLacksAccessControl(pair)) {
        return false;
    }
    const NWCCODE code = AllocTempDirHandle(pair, kSource, source);
    if (code != 0) {
        runState = static_cast<int16_t>(ShowErrorCode(
            dialogs_, DialogKind::Error, code, "NWAllocTemporaryDirectoryHandle", Btn::Abort));
    }
    return runState != Answer::Abort;
}

void NetWareServices::CopyInheritedRightsMask(DirectoryPair& pair, const std::string& source,
                                              const std::string& target, int16_t& runState) {
    if (!OpenSourceDirectory(pair, source, runState)) {
        return;
    }
    const TPathInfo& src = pair.PathInfo[kSource];
    const TPathInfo& tgt = pair.PathInfo[kTarget];
    const std::string what = "Inherited rights mask";
    uint32_t iterHandle = 0xFFFFFFFF;
    DirEntryRecord sourceRecord;
    if (const NWCCODE code = client_.ScanDirEntryInfo(
            src.ConnHandle, src.TempDirHandle, kSearchAttributes, iterHandle, sourceRecord)) {
        NoteNotCarried(pair, what, target, code);
        return;
    }
    const uint16_t mask = sourceRecord.inheritedRightsMask;
    const std::string carried = what + " " + RightsLetters(mask);
    if (const NWCCODE code = AllocTempDirHandle(pair, kTarget, target)) {
        NoteNotCarried(pair, carried, target, code);
        return;
    }
    iterHandle = 0xFFFFFFFF;
    DirEntryRecord targetRecord;
    if (const NWCCODE code = client_.ScanDirEntryInfo(
            tgt.ConnHandle, tgt.TempDirHandle, kSearchAttributes, iterHandle, targetRecord)) {
        NoteNotCarried(pair, carried, target, code);
        return;
    }
    if (targetRecord.inheritedRightsMask == mask) {
        return;
    }
    targetRecord.inheritedRightsMask = mask;
    if (const NWCCODE code =
            client_.ModifyDirEntry(tgt.ConnHandle, tgt.TempDirHandle, kSearchAttributes, iterHandle,
                                   kModifyInheritedRightsMask, targetRecord)) {
        NoteNotCarried(pair, carried, target, code);
    }
}

void NetWareServices::CopySpaceLimits(DirectoryPair& pair, const std::string& source,
                                      const std::string& target, int16_t& runState) {
    if (!OpenSourceDirectory(pair, source, runState)) {
        return;
    }
    const TPathInfo& src = pair.PathInfo[kSource];
    const TPathInfo& tgt = pair.PathInfo[kTarget];
    // The whole list, however long: the client's fixed buffer does not limit it here.
    std::vector<SpaceLimitEntry> list;
    if (const NWCCODE code =
            client_.GetDirSpaceLimitList(src.ConnHandle, src.TempDirHandle, list)) {
        NoteNotCarried(pair, "Space limit", target, code);
        return;
    }
    // Counted whole: a directory deeper than any 8-bit level matches no entry.
    const size_t depth = PathDepth(source);
    for (const SpaceLimitEntry& entry : list) {
        if (entry.level != depth) {
            continue;
        }
        const uint32_t limit = entry.maximum == kNoSpaceLimit ? 0 : entry.maximum;
        NWCCODE code = AllocTempDirHandle(pair, kTarget, target);
        if (code == 0) {
            code = client_.SetDirSpaceLimit(tgt.ConnHandle, tgt.TempDirHandle, limit);
            if (code == kNoDirSpaceRestriction) {
                code = 0;
            }
        }
        if (code != 0) {
            NoteNotCarried(
                pair,
                "Space limit " + (limit == 0 ? std::string("none")
                                             : std::to_string(uint64_t{limit} * 4) + " KB"),
                target, code);
            // Whatever the answer, the remaining entries are still handled; an Abort takes
            // effect at the run's next test.
            runState = static_cast<int16_t>(ShowErrorCode(dialogs_, DialogKind::Error, code,
                                                          "NWSetDirSpaceLimit", Btn::AbortIgnore));
        }
    }
}

size_t PathDepth(const std::string& path) {
    return static_cast<size_t>(std::count(path.begin(), path.end(), '\\'));
}

}  // namespace ferrit
