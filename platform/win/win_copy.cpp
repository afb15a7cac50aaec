// The crash-safe copy of one entry on Windows, and the steps it shares with the other file
// services: temporary entries, renaming over a counterpart, deletion of an open entry.
#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/file_handles.h"
#include "platform/temporary_names.h"
#include "platform/win/win_entry_ops.h"

#include <winioctl.h>

namespace ferrit {
namespace win {

namespace {

// Flags of newer systems; where a system does not know them the classic calls take over.
#ifndef FILE_RENAME_FLAG_IGNORE_READONLY_ATTRIBUTE
#define FILE_RENAME_FLAG_IGNORE_READONLY_ATTRIBUTE 0x00000040
#endif
#ifndef FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE
#define FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE 0x00000010
#endif
// The information classes of Windows 10 version 1607 on, by their documented numbers.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);

// This workstation's name as it goes into temporary names: letters, digits and '-' only, as
// the other systems write it, so that a temporary file on a shared volume is never taken for a
// leftover of a program on another workstation.
const std::wstring& HostTag() {
    static const std::wstring tag = [] {
        wchar_t buf[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
        std::wstring out;
        if (GetComputerNameW(buf, &n)) {
            for (DWORD i = 0; i < n && out.size() < 63; ++i) {
                const wchar_t c = buf[i];
                const bool plain = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
                                   (c >= L'0' && c <= L'9') || c == L'-';
                out += plain ? c : L'-';
            }
        }
        return out.empty() ? std::wstring(L"localhost") : out;
    }();
    return tag;
}

std::wstring NewTemporaryName() {
    static std::atomic<unsigned> counter{0};
    std::wstring prefix;
    Widen(kTempPrefix, prefix);
    return prefix + std::to_wstring(GetCurrentProcessId()) + L"." +
           std::to_wstring(counter.fetch_add(1, std::memory_order_relaxed)) + L"." + HostTag();
}

int LastError() {
    return static_cast<int>(GetLastError());
}

bool GetBasic(HANDLE h, FILE_BASIC_INFO& basic) {
    return GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) != 0;
}

// Sets the attributes (NORMAL standing for none) and leaves the times as they are.
bool SetAttributesOf(HANDLE h, DWORD attributes) {
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    return SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic) != 0;
}

// Runs `step` on an entry whose read-only attribute stands in its way: the attribute is taken
// off for the step and put back when the step fails.
template <typename Step>
int WithoutReadOnly(HANDLE h, Step step) {
    FILE_BASIC_INFO basic;
    if (!GetBasic(h, basic) || (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    if (!SetAttributesOf(h, basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY)) {
        return ERROR_ACCESS_DENIED;
    }
    const int err = step();
    if (err != 0) {
        SetAttributesOf(h, basic.FileAttributes);
    }
    return err;
}

int RenameRaw(HANDLE h, HANDLE root, const std::wstring& name, FILE_INFO_BY_HANDLE_CLASS kind,
              DWORD flags) {
    const size_t nameBytes = name.size() * sizeof(wchar_t);
    const size_t size = offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t);
    std::vector<uint64_t> buffer(size / sizeof(uint64_t) + 1, 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->Flags = flags;
    info->RootDirectory = root;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, name.data(), nameBytes);
    return SetFileInformationByHandle(h, kind, info, static_cast<DWORD>(size)) ? 0 : LastError();
}

// The new name relative to its directory's handle, so no path resolution can lead elsewhere;
// where the system does not take that form (Wine), the directory's full name.
int RenameRequest(HANDLE h, const WinPathAt& to, FILE_INFO_BY_HANDLE_CLASS kind, DWORD flags) {
    const int err = RenameRaw(h, to.Dir(), to.name, kind, flags);
    if (err != ERROR_INVALID_PARAMETER) {
        return err;
    }
    return RenameRaw(h, nullptr, NtName(JoinName(to.dirText, to.name)), kind, flags);
}

// Whether the entry `name` of `dir` is the file whose facts are `source`, reached by this name
// too: a copy put in its place would destroy it.
bool IsSameEntry(HANDLE dir, const std::wstring& name, const BY_HANDLE_FILE_INFORMATION& source) {
    UniqueHandle h;
    OpenRequest request;
    request.options = FILE_OPEN_REPARSE_POINT;
    BY_HANDLE_FILE_INFORMATION info;
    if (OpenAt(dir, name, request, h) != 0 || !GetFileInformationByHandle(h.Get(), &info)) {
        return false;
    }
    const bool hasId = (source.nFileIndexHigh | source.nFileIndexLow) != 0;
    return hasId && info.dwVolumeSerialNumber == source.dwVolumeSerialNumber &&
           info.nFileIndexHigh == source.nFileIndexHigh &&
           info.nFileIndexLow == source.nFileIndexLow;
}

// Whether the open source changed since its facts were `before`: a copy made meanwhile may be
// torn (old and new parts) and must not take the target's place.
bool ChangedSince(HANDLE in, const BY_HANDLE_FILE_INFORMATION& before) {
    BY_HANDLE_FILE_INFORMATION now;
    return !GetFileInformationByHandle(in, &now) || now.nFileSizeHigh != before.nFileSizeHigh ||
           now.nFileSizeLow != before.nFileSizeLow ||
           now.ftLastWriteTime.dwLowDateTime != before.ftLastWriteTime.dwLowDateTime ||
           now.ftLastWriteTime.dwHighDateTime != before.ftLastWriteTime.dwHighDateTime;
}

// Copies the data of `in` (of `size` bytes) to the start of `out`. 0, a Windows error number, or
// 31 when the source ends early.
int CopyData(HANDLE in, HANDLE out, int64_t size) {
    // The room is asked for first: a full disk shows before any data moves.
    FILE_ALLOCATION_INFO room;
    room.AllocationSize.QuadPart = size;
    if (size > 0 && !SetFileInformationByHandle(out, FileAllocationInfo, &room, sizeof room)) {
        const int err = LastError();
        if (err == ERROR_DISK_FULL || err == ERROR_HANDLE_DISK_FULL) {
            return ERROR_DISK_FULL;
        }
    }
    uint64_t copied = 0;
    const uint64_t want = static_cast<uint64_t>(size);
    const int err = CopyBetweenHandles(FileHandleOf(in), 0, FileHandleOf(out), 0, want, copied);
    if (err != 0) {
        return err;
    }
    return copied < want ? ERROR_GEN_FAILURE : 0;  // the source is shorter than it was
}

// Gives the new entry the reparse data of the link `in`, so it leads where the link leads.
int CopyLinkData(HANDLE in, HANDLE out) {
    std::vector<uint64_t> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE / sizeof(uint64_t));
    DWORD n = 0;
    if (!DeviceIoControl(in, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                         MAXIMUM_REPARSE_DATA_BUFFER_SIZE, &n, nullptr)) {
        return LastError();
    }
    DWORD ignored = 0;
    if (!DeviceIoControl(out, FSCTL_SET_REPARSE_POINT, buffer.data(), n, nullptr, 0, &ignored,
                         nullptr)) {
        return LastError();
    }
    return 0;
}

// The copy's last-write time and DOS attributes, the source's; the last step before the copy
// is published.
int SetCopyFacts(HANDLE out, const BY_HANDLE_FILE_INFORMATION& source, bool directory) {
    FILE_BASIC_INFO basic = {};
    basic.LastWriteTime.LowPart = source.ftLastWriteTime.dwLowDateTime;
    basic.LastWriteTime.HighPart = static_cast<LONG>(source.ftLastWriteTime.dwHighDateTime);
    const DWORD attributes =
        (source.dwFileAttributes & kDosSettable) | (directory ? FILE_ATTRIBUTE_DIRECTORY : 0);
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    return SetFileInformationByHandle(out, FileBasicInfo, &basic, sizeof basic) ? 0 : LastError();
}

// Puts the finished copy in the target's place.
int Publish(HANDLE copy, const WinPathAt& to, const BY_HANDLE_FILE_INFORMATION& source,
            bool targetAbsent) {
    if (targetAbsent) {
        const int err = RenameInto(copy, to, false);
        if (err != ERROR_ALREADY_EXISTS && err != ERROR_FILE_EXISTS) {
            return err;
        }
        // Something appeared at the target meanwhile: it is looked at like any counterpart.
    }
    if (IsSameEntry(to.Dir(), to.name, source)) {
        return ERROR_SHARING_VIOLATION;
    }
    return RenameInto(copy, to, true);
}

}  // namespace

int CreateEntryIn(HANDLE dir, bool directory, const std::wstring& name, UniqueHandle& out) {
    OpenRequest request;
    request.access = directory ? FILE_WRITE_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES |
                                     DELETE | SYNCHRONIZE
                               : GENERIC_READ | GENERIC_WRITE | DELETE;
    request.share = 0;
    request.disposition = FILE_CREATE;
    request.options = directory ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE;
    const int err = OpenAt(dir, name, request, out);
    return err == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : err;
}

int CreateTemporaryIn(HANDLE dir, bool directory, UniqueHandle& out, std::wstring& name) {
    int err = ERROR_ALREADY_EXISTS;
    for (int attempt = 0; attempt < 100 && err == ERROR_ALREADY_EXISTS; ++attempt) {
        name = NewTemporaryName();
        err = CreateEntryIn(dir, directory, name, out);
    }
    return err;
}

int RenameInto(HANDLE h, const WinPathAt& to, bool replace) {
    if (replace) {
        // One step that also replaces a read-only file and frees the name at once, where the
        // system and the file system know it.
        const DWORD flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS |
                            FILE_RENAME_FLAG_IGNORE_READONLY_ATTRIBUTE;
        if (RenameRequest(h, to, kFileRenameInfoEx, flags) == 0) {
            return 0;
        }
    }
    const int err = RenameRequest(h, to, FileRenameInfo, replace ? TRUE : FALSE);
    if (err != ERROR_ACCESS_DENIED || !replace) {
        return err;
    }
    // A read-only counterpart refuses to be replaced: its attribute is taken off for the rename.
    UniqueHandle target;
    OpenRequest request;
    request.access = FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
    request.options = FILE_OPEN_REPARSE_POINT | FILE_NON_DIRECTORY_FILE;
    if (OpenAt(to.Dir(), to.name, request, target) != 0) {
        return err;
    }
    return WithoutReadOnly(target.Get(),
                           [&] { return RenameRequest(h, to, FileRenameInfo, TRUE); });
}

int DisposeOf(HANDLE h) {
    // The name goes at once, even while others hold the file open, where the system can.
    FILE_DISPOSITION_INFO_EX ex;
    ex.Flags = FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS |
               FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE;
    if (SetFileInformationByHandle(h, kFileDispositionInfoEx, &ex, sizeof ex)) {
        return 0;
    }
    if (GetLastError() == ERROR_DIR_NOT_EMPTY) {
        return ERROR_DIR_NOT_EMPTY;
    }
    auto dispose = [h] {
        FILE_DISPOSITION_INFO info = {TRUE};  // its one member: delete the file
        return SetFileInformationByHandle(h, FileDispositionInfo, &info, sizeof info) ? 0
                                                                                      : LastError();
    };
    const int err = dispose();
    if (err != ERROR_ACCESS_DENIED) {
        return err;
    }
    const int without = WithoutReadOnly(h, dispose);
    return without == 0 ? 0 : err;
}

namespace {

// A finished copy in its temporary entry, waiting to take the target's place; removed when
// dropped unpublished.
class WinPreparedCopy : public PreparedCopy {
  public:
    ~WinPreparedCopy() override {
        if (out.Valid()) {
            DisposeOf(out.Get());
        } else if (inPlace) {
            // Closed under its own name in a staged directory: it goes by that name.
            UniqueHandle h;
            OpenRequest request;
            request.access = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
            request.options = FILE_OPEN_REPARSE_POINT;
            if (OpenAt(to.Dir(), to.name, request, h) == 0) {
                DisposeOf(h.Get());
            }
        }
    }
    UniqueHandle out;
    WinPathAt to;
    BY_HANDLE_FILE_INFORMATION before = {};
    bool targetAbsent = false;
    bool deleteOnClose = false;  // the temporary entry goes when its handle closes
    // Made under the target's own name in a staged directory, and closed: publishing it takes
    // no step, as the directory is put in place whole. Cleared once published.
    bool inPlace = false;
    EntryStat copy;  // the finished copy, as it will stand at the target
};

}  // namespace

int PrepareEntryCopy(const WinPathAt& from, const WinPathAt& to, bool targetAbsent,
                     std::unique_ptr<PreparedCopy>& made, bool inPlace) {
    made.reset();
    // Others may read the source meanwhile, never write, rename or delete it.
    OpenRequest request;
    request.access = FILE_GENERIC_READ;
    request.share = FILE_SHARE_READ;
    request.options = FILE_OPEN_REPARSE_POINT | FILE_SEQUENTIAL_ONLY;
    UniqueHandle in;
    int err = OpenAt(from.Dir(), from.name, request, in);
    if (err != 0) {
        return err;
    }
    DWORD attributes = 0, tag = 0;
    if (!AttributeTag(in.Get(), attributes, tag)) {
        return LastError();
    }
    const bool link = IsNameSurrogate(attributes, tag);
    if (!link && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // Another kind of reparse point (a deduplicated or cloud file): its data is read
        // through the file system's own handling of it.
        request.options = FILE_SEQUENTIAL_ONLY;
        err = OpenAt(from.Dir(), from.name, request, in);
        if (err != 0) {
            return err;
        }
    }
    auto ready = std::make_unique<WinPreparedCopy>();
    BY_HANDLE_FILE_INFORMATION& before = ready->before;
    EntryFacts sourceFacts;
    if (!GetFileInformationByHandle(in.Get(), &before) || FactsOf(in.Get(), sourceFacts) != 0) {
        return LastError();
    }
    FillStat(sourceFacts, JoinName(from.dirText, from.name), ready->source);
    const bool directory = (before.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (directory && !link) {
        return ERROR_ACCESS_DENIED;
    }
    std::wstring tempName;
    // In a staged directory the target's name is out of sight until the directory is put in
    // place: the copy is made under it, never over anything that stands there.
    err = inPlace ? CreateEntryIn(to.Dir(), link && directory, to.name, ready->out)
                  : CreateTemporaryIn(to.Dir(), link && directory, ready->out, tempName);
    if (err != 0) {
        return err;
    }
    const HANDLE out = ready->out.Get();
    // Until it is put in place the copy goes with its handle, so a killed copy leaves nothing
    // behind; where the file system refuses, a leftover keeps the program's temporary name.
    // In a staged directory the whole directory is such a leftover until it is put in place.
    ready->deleteOnClose = !inPlace && DeleteOnClose(out, true);
    const int64_t size = static_cast<int64_t>(before.nFileSizeHigh) << 32 | before.nFileSizeLow;
    err = link ? CopyLinkData(in.Get(), out) : CopyData(in.Get(), out, size);
    if (err == 0 && !link && ChangedSince(in.Get(), before)) {
        err = ERROR_SHARING_VIOLATION;
    }
    if (err == 0) {
        err = SetCopyFacts(out, before, link && directory);
    }
    EntryFacts copyFacts;
    if (err == 0) {
        err = FactsOf(out, copyFacts);
    }
    if (err != 0) {
        return err;  // the temporary entry goes with `ready`
    }
    FillStat(copyFacts, JoinName(to.dirText, to.name), ready->copy);
    ready->to = to;
    ready->targetAbsent = targetAbsent;
    if (inPlace) {
        // Complete under its name: the handle closes here, on the worker, and the publication
        // in walk order is left with nothing to do.
        ready->inPlace = true;
        ready->out.Reset();
    }
    made = std::move(ready);
    return 0;
}

int PublishEntryCopy(std::unique_ptr<PreparedCopy> copy, EntryStat& published) {
    published = EntryStat();
    auto* ready = dynamic_cast<WinPreparedCopy*>(copy.get());
    if (ready == nullptr) {
        return ERROR_GEN_FAILURE;  // not a copy of these file services
    }
    if (ready->inPlace) {
        ready->inPlace = false;  // it stays: its directory is put in place whole
        published = ready->copy;
        return 0;
    }
    // Under its final name the copy must stay when the handle closes.
    if (ready->deleteOnClose && !DeleteOnClose(ready->out.Get(), false)) {
        return LastError();  // the temporary entry goes with the copy; the target is untouched
    }
    ready->deleteOnClose = false;
    const int err = Publish(ready->out.Get(), ready->to, ready->before, ready->targetAbsent);
    if (err != 0) {
        return err;  // the temporary entry goes with the copy
    }
    ready->out.Reset();  // published: the handle closes, the entry stays
    published = ready->copy;
    return 0;
}

}  // namespace win

std::string NewTemporaryName() {
    return win::Narrow(win::NewTemporaryName());
}

}  // namespace ferrit
