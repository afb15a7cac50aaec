// The server-side copy: the file data stays on the server; the workstation only opens the two
// files, asks the server to copy, and carries the time and the attributes across.
#include <algorithm>
#include <string>
#include <vector>

#include "netware/netware_services.h"
#include "platform/error_codes.h"
#include "platform/file_handles.h"
#include "support/strings.h"

namespace ferrit {

namespace {

constexpr uint16_t kCopyNotStarted = 0xFFFF;
constexpr uint32_t kRequestBytes = 0x7FFFFFFF;  // the most one request may copy
constexpr uint64_t kLastOffset = 0xFFFFFFFF;    // requests address bytes by 32-bit offsets

// The size of a file as its directory lists it; false when the listing does not show it.
bool ListedSize(FileServices& files, const std::string& path, uint64_t& size) {
    std::string dir, name;
    if (!SplitLastName(path, dir, name)) {
        return false;
    }
    // The name as its own pattern matches at least itself; the exact entry is picked out.
    std::vector<ListEntry> entries;
    if (files.ListFiles(dir, name, entries) != 0) {
        return false;
    }
    for (const ListEntry& entry : entries) {
        if (entry.name == name && entry.size >= 0) {
            size = static_cast<uint64_t>(entry.size);
            return true;
        }
    }
    return false;
}

// The client's completion code.
ServerCopyResult ClientResult(NWCCODE code) {
    return {code, true};
}

// A file-services result (a Windows number): never 0 for a failure.
ServerCopyResult FilesResult(int result) {
    if (result >= 0 && result <= 0xFFFF) {
        return {static_cast<uint16_t>(result), false};
    }
    return ClientResult(kCopyNotStarted);
}

}  // namespace

std::string NetWareServices::ServerCopyErrorDetail(const ServerCopyResult& result) {
    if (result.clientCode) {
        return NetWareErrorDetail(result.code);
    }
    // The front end describes a Windows number itself; one the system has no short description
    // for gets its message text here.
    return ErrorDescription(result.code).empty()
               ? TrimRightChars(WinErrorText(result.code), " \r\n.")
               : std::string();
}

ServerCopyResult NetWareServices::NetWareCopyFile(FileServices& files, const std::string& source,
                                                  const std::string& target, int64_t sourceSize,
                                                  CopyFacts* facts) {
    NWCONN_HANDLE sourceConn = 0;
    NWCONN_HANDLE targetConn = 0;
    NWDIR_HANDLE dirHandle = 0;
    std::string volumePath;
    NWCCODE code = client_.ParsePath(source, sourceConn, dirHandle, volumePath);
    if (code != 0) {
        return ClientResult(code);
    }
    code = client_.ParsePath(target, targetConn, dirHandle, volumePath);
    if (code != 0) {
        return ClientResult(code);
    }
    if (sourceConn != targetConn) {
        return ClientResult(kCopyNotStarted);
    }
    // The server copies regular files only; a link goes through the plain copy, which copies
    // it as a link. Anything else (a FIFO, a device) is never opened.
    EntryStat sourceStat;
    if (files.StatEntry(source, sourceStat) == 0 && sourceStat.kind == EntryKind::Link) {
        return FilesResult(files.CopyFile(source, target, false, facts));
    }
    uint64_t size = sourceSize >= 0 ? static_cast<uint64_t>(sourceSize) : 0;
    const bool sizeKnown = sourceSize >= 0 || ListedSize(files, source, size);

    OpenFiles& open = files.OpenFileAccess();
    const FileHandle in = open.OpenRead(source);
    if (in == kInvalidFileHandle) {
        return ClientResult(kCopyNotStarted);
    }
    EntryStat opened;
    EntryStat counterpart;
    const bool haveOpened = open.HandleStat(in, opened);
    const bool counterpartStands = files.StatEntry(target, counterpart) == 0;
    // A read-only target cannot be replaced, whatever rights the workstation's own account has;
    // nor can the source itself (reached by another name), which the copy would destroy.
    const int32_t targetAttributes = counterpartStands ? files.GetAttributes(target) : -1;
    const bool targetReadOnly =
        targetAttributes != -1 && (static_cast<uint32_t>(targetAttributes) & Attr::ReadOnly);
    if (!haveOpened || targetReadOnly || (counterpartStands && counterpart.SameEntryAs(opened))) {
        open.CloseFile(in);
        return ClientResult(kCopyNotStarted);
    }
    // The copy goes to a new entry beside the target that replaces it only when complete: a
    // failure or a killed program leaves the old target as it was, and a hard link at the
    // target is replaced rather than written through.
    std::string tempPath;
    const FileHandle out = open.CreateTemporary(target, tempPath);
    if (out == kInvalidFileHandle) {
        open.CloseFile(in);
        return ClientResult(kCopyNotStarted);
    }

    // One request covers the usual file whole. A larger one is continued at the offset where the
    // last request stopped; a request that copies less than it asked for has met the end of the
    // source. A copy that falls short of the listed size never counts as done.
    // The client's code of the first step that failed, or the file services' Windows number.
    int failure = 0;
    uint64_t copiedTotal = 0;
    uint32_t request = kRequestBytes;
    for (;;) {
        uint32_t copied = 0;
        const uint32_t offset = static_cast<uint32_t>(copiedTotal);
        code = client_.FileServerFileCopy(in, out, offset, offset, request, copied);
        if (code != 0) {
            break;
        }
        copiedTotal += std::min(copied, request);
        if (copied < request || (sizeKnown && copiedTotal >= size)) {
            break;
        }
        if (copiedTotal >= kLastOffset) {
            // Beyond what 32-bit offsets reach: the rest cannot be copied on the server.
            failure = WinErr::GenFailure;
            break;
        }
        request =
            static_cast<uint32_t>(std::min<uint64_t>(kRequestBytes, kLastOffset - copiedTotal));
    }
    if (code == 0 && failure == 0 && sizeKnown && copiedTotal < size) {
        failure = WinErr::GenFailure;
    }
    // A source written to while it was copied may have given a torn copy (old and new parts).
    EntryStat after;
    bool ok = code == 0 && failure == 0;
    if (ok && (!open.HandleStat(in, after) || after.size != opened.size ||
               after.mtimeSec != opened.mtimeSec || after.mtimeNsec != opened.mtimeNsec)) {
        failure = WinErr::SharingViolation;
        ok = false;
    }

    CopyFacts made;
    if (ok) {
        // A DOS date-time: two-second resolution, an odd second becomes the even one below.
        const int32_t age = open.GetHandleAge(in);
        if (age != -1) {
            open.SetHandleAge(out, age);
        }
        // The copy as it will stand at the target: a move deletes the source only while it does.
        made.source = opened;
        if (!open.HandleStat(out, made.copy)) {
            failure = WinErr::GenFailure;
            ok = false;
        }
    }
    const int closed = open.CloseFile(out);
    open.CloseFile(in);
    if (ok && closed != 0) {
        failure = closed;
        ok = false;
    }
    if (ok) {
        const int32_t attributes = files.GetAttributes(source);
        if (attributes != -1) {
            files.SetAttributes(tempPath, static_cast<uint32_t>(attributes));
        }
        failure = open.RenameOver(tempPath, target);
        ok = failure == 0;
    }
    if (!ok) {
        files.DeleteFile(tempPath);
        return code != 0 ? ClientResult(code) : FilesResult(failure);
    }
    if (facts != nullptr) {
        *facts = made;
    }
    return {};
}

}  // namespace ferrit
