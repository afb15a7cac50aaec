#include "platform/win/win_file_services.h"

#include <algorithm>
#include <cstring>

#include "platform/fs_util.h"
#include "platform/name_pattern.h"
#include "platform/set_aside.h"
#include "platform/temporary_names.h"
#include "platform/win/win_api.h"
#include "platform/win/win_confined_paths.h"
#include "platform/win/win_entry_ops.h"

namespace ferrit {

// Windows grows a process's handle table without stopping its other threads.
void ReserveRunDescriptors() {}

using win::EntryFacts;
using win::OpenAt;
using win::OpenRequest;
using win::UniqueHandle;
using win::WinPathAt;

namespace win {

namespace {

constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;  // 1970-01-01 in 100 ns from 1601

// A stand-in file id from an entry's absolute path (letters folded as the system folds them),
// with the top bit set so it never meets a real one of the usual size.
uint64_t StandInId(const std::wstring& absolute) {
    std::wstring folded = absolute;
    if (!folded.empty()) {
        CharUpperBuffW(&folded[0], static_cast<DWORD>(folded.size()));
    }
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (wchar_t c : folded) {
        hash = (hash ^ static_cast<uint16_t>(c)) * 1099511628211ull;
    }
    return hash | (1ull << 63);
}

}  // namespace

void FillStat(const EntryFacts& facts, const std::wstring& absolute, EntryStat& out) {
    if (IsNameSurrogate(facts.attributes, facts.reparseTag)) {
        out.kind = EntryKind::Link;
    } else if ((facts.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        out.kind = EntryKind::Directory;
    } else {
        out.kind = EntryKind::File;
    }
    out.device = facts.volume;
    out.inode = facts.fileId != 0 ? facts.fileId : StandInId(absolute);
    out.size = out.kind == EntryKind::Directory ? 0 : facts.size;
    // Seconds and nanoseconds since 1970, rounded down also before it.
    const int64_t t = facts.lastWrite - kUnixEpochAsFileTime;
    int64_t seconds = t / 10000000;
    int64_t rest = t % 10000000;
    if (rest < 0) {
        --seconds;
        rest += 10000000;
    }
    out.mtimeSec = seconds;
    out.mtimeNsec = static_cast<int32_t>(rest * 100);
    out.age = out.kind == EntryKind::Directory ? -1 : DosDateTimeOfFileTime(facts.lastWrite);
}

uint32_t DosAttributesOf(const EntryFacts& facts) {
    uint32_t attr = facts.attributes & (kDosSettable | FILE_ATTRIBUTE_DIRECTORY);
    if (IsNameSurrogate(facts.attributes, facts.reparseTag)) {
        attr &= ~static_cast<uint32_t>(FILE_ATTRIBUTE_DIRECTORY);
    }
    return attr;
}

int FactsOf(HANDLE h, EntryFacts& facts) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info) ||
        !AttributeTag(h, facts.attributes, facts.reparseTag)) {
        return static_cast<int>(GetLastError());
    }
    facts.size = static_cast<int64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    facts.lastWrite =
        static_cast<int64_t>(static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32 |
                             info.ftLastWriteTime.dwLowDateTime);
    facts.volume = info.dwVolumeSerialNumber;
    facts.fileId = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return 0;
}

}  // namespace win

namespace {

// Opens the entry itself (a link is never followed) with the access asked for.
int OpenEntry(const WinPathAt& at, ACCESS_MASK access, UniqueHandle& out) {
    OpenRequest request;
    request.access = access;
    request.options = FILE_OPEN_REPARSE_POINT;
    return OpenAt(at.Dir(), at.name, request, out);
}

int StatAt(const WinPathAt& at, EntryStat& out, EntryFacts* factsOut = nullptr) {
    UniqueHandle h;
    if (const int err = OpenEntry(at, FILE_READ_ATTRIBUTES, h)) {
        return err;
    }
    EntryFacts facts;
    if (const int err = win::FactsOf(h.Get(), facts)) {
        return err;
    }
    win::FillStat(facts, win::JoinName(at.dirText, at.name), out);
    if (factsOut != nullptr) {
        *factsOut = facts;
    }
    return 0;
}

// Whether the path lies on a disk of this computer (not a network share).
bool LocalDisk(const std::string& path) {
    std::wstring absolute;
    wchar_t volume[MAX_PATH + 1] = {};
    if (win::AbsolutePath(path, absolute) != 0 ||
        !GetVolumePathNameW(absolute.c_str(), volume, MAX_PATH)) {
        return false;
    }
    const UINT type = GetDriveTypeW(volume);
    return type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_RAMDISK;
}

// Sets the attributes a DOS program can set and keeps the others.
int SetDosAttributes(HANDLE h, uint32_t attr) {
    FILE_BASIC_INFO basic;
    if (!GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic)) {
        return static_cast<int>(GetLastError());
    }
    const DWORD wanted = (basic.FileAttributes & ~win::kDosSettable) | (attr & win::kDosSettable);
    if (wanted == basic.FileAttributes) {
        return 0;
    }
    FILE_BASIC_INFO change = {};  // times of 0 stay as they are
    change.FileAttributes = wanted == 0 ? FILE_ATTRIBUTE_NORMAL : wanted;
    return SetFileInformationByHandle(h, FileBasicInfo, &change, sizeof change)
               ? 0
               : static_cast<int>(GetLastError());
}

}  // namespace

WinFileServices::WinFileServices() : paths_(new win::WinConfinedPaths) {}

WinFileServices::~WinFileServices() {
    for (const auto& kept : unfinished_) {
        CloseHandle(kept.second);  // never put in place: the temporary goes with it
    }
}

void* WinFileServices::TakeUnfinished(const std::string& tempPath) {
    const std::lock_guard<std::mutex> hold(unfinishedLock_);
    const auto it = unfinished_.find(tempPath);
    if (it == unfinished_.end()) {
        return nullptr;
    }
    void* kept = it->second;
    unfinished_.erase(it);
    return kept;
}

std::unique_ptr<FileServices> WinFileServices::ConfinedTo(const std::vector<std::string>& roots) {
    auto run = std::make_unique<WinFileServices>();
    run->paths_->SetRoots(roots);
    return run;
}

int WinFileServices::LockTree(const std::string&, bool, std::unique_ptr<TreeLock>& lock) {
    // Windows has no advisory lock on a directory; the identity rule of a move still holds.
    lock.reset();
    return ERROR_NOT_SUPPORTED;
}

template <typename Admit>
int WinFileServices::List(const std::string& dir, bool sorted, Admit admit,
                          std::vector<ListEntry>& out) {
    out.clear();
    win::SharedHandle at;
    int err = paths_->OpenDirectory(dir.empty() ? std::string(".") : dir, at);
    if (err != 0) {
        return err == ERROR_FILE_NOT_FOUND || err == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : err;
    }
    // A handle of its own: a listing's place is kept in the handle.
    UniqueHandle list;
    if ((err = OpenAt(at->Get(), std::wstring(), win::DirectoryRequest(false), list)) != 0) {
        return err;
    }
    std::wstring dirText;
    win::AbsolutePath(dir.empty() ? std::string(".") : dir, dirText);
    BY_HANDLE_FILE_INFORMATION self;
    if (!GetFileInformationByHandle(list.Get(), &self)) {
        return static_cast<int>(GetLastError());
    }
    std::vector<uint64_t> buffer(64 * 1024 / sizeof(uint64_t));
    FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(list.Get(), request, buffer.data(),
                                          static_cast<DWORD>(buffer.size() * sizeof(uint64_t)))) {
            err = static_cast<int>(GetLastError());
            break;
        }
        request = FileIdBothDirectoryInfo;
        const char* p = reinterpret_cast<const char*>(buffer.data());
        for (;;) {
            const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(p);
            const std::wstring wide(info->FileName, info->FileNameLength / sizeof(wchar_t));
            std::string original;
            const bool held =
                (info->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                ClassifyAsideName(win::Narrow(wide).c_str(), original) == AsideLeftover::InUse;
            // An entry a running program holds set aside is out of every other program's way.
            if (wide != L"." && wide != L".." && !held) {
                ListEntry entry;
                entry.name = win::Narrow(wide);
                EntryFacts facts;
                facts.attributes = info->FileAttributes;
                // For a reparse point this field holds its tag.
                facts.reparseTag =
                    (info->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? info->EaSize : 0;
                facts.size = info->EndOfFile.QuadPart;
                facts.lastWrite = info->LastWriteTime.QuadPart;
                facts.volume = self.dwVolumeSerialNumber;
                facts.fileId = static_cast<uint64_t>(info->FileId.QuadPart);
                win::FillStat(facts, win::JoinName(dirText, wide), entry);
                entry.attr = win::DosAttributesOf(facts);
                if (admit(entry)) {
                    out.push_back(std::move(entry));
                }
            }
            if (info->NextEntryOffset == 0) {
                break;
            }
            p += info->NextEntryOffset;
        }
    }
    if (err != ERROR_NO_MORE_FILES) {
        out.clear();
        return err;
    }
    if (sorted) {
        std::sort(out.begin(), out.end(),
                  [](const ListEntry& a, const ListEntry& b) { return a.name < b.name; });
    }
    return 0;
}

int WinFileServices::ListFiles(const std::string& dir, const std::string& pattern,
                               std::vector<ListEntry>& out) {
    const int err = List(
        dir, true,
        [](const ListEntry& e) {
            return (e.kind == EntryKind::File || e.kind == EntryKind::Link) &&
                   !IsTemporaryName(e.name.c_str());
        },
        out);
    // What a killed move left set aside is listed under its own name, to be put back.
    for (ListEntry& e : out) {
        std::string original;
        if (ClassifyAsideName(e.name.c_str(), original) == AsideLeftover::PutBack) {
            e.setAside = e.name;
            e.name = original;
        }
    }
    SettleSetAside(out);
    out.erase(std::remove_if(out.begin(), out.end(),
                             [&](const ListEntry& e) { return !MatchPattern(pattern, e.name); }),
              out.end());
    return err;
}

int WinFileServices::ListNames(const std::string& dir, std::vector<std::string>& out,
                               std::vector<std::string>* stale) {
    out.clear();
    if (stale != nullptr) {
        stale->clear();
    }
    std::vector<ListEntry> entries;
    const int err = List(
        dir, false, [](const ListEntry&) { return true; }, entries);
    for (ListEntry& e : entries) {
        out.push_back(std::move(e.name));
    }
    return err;
}

int WinFileServices::RemoveStaleTemporary(const std::string& path) {
    // Nothing here is ever a stale copy (see ListNames): what stands at the path is left alone.
    EntryStat st;
    const int err = StatEntry(path, st);
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND
           : err != 0                                                 ? err
                                                                      : ERROR_ACCESS_DENIED;
}

int WinFileServices::ListSubdirs(const std::string& dir, std::vector<ListEntry>& out) {
    return List(
        dir, true, [](const ListEntry& e) { return e.kind == EntryKind::Directory; }, out);
}

bool WinFileServices::DirectoryExists(const std::string& path) {
    win::SharedHandle dir;
    return !path.empty() && paths_->OpenDirectory(path, dir) == 0;
}

bool WinFileServices::DirectoryId(const std::string& path, DirIdentity& id) {
    win::SharedHandle dir;
    EntryFacts facts;
    std::wstring absolute;
    if (path.empty() || paths_->OpenDirectory(path, dir) != 0 ||
        win::FactsOf(dir->Get(), facts) != 0 || win::AbsolutePath(path, absolute) != 0) {
        return false;
    }
    EntryStat st;
    win::FillStat(facts, absolute, st);
    id.device = st.device;
    id.inode = st.inode;
    return true;
}

int WinFileServices::StatEntry(const std::string& path, EntryStat& out) {
    out = EntryStat();
    WinPathAt at;
    if (const int err = paths_->Locate(path, at)) {
        return err;
    }
    const int err = StatAt(at, out);
    if (err != 0) {
        out = EntryStat();
    }
    return err;
}

int32_t WinFileServices::FileAge(const std::string& path) {
    EntryStat st;
    return StatEntry(path, st) == 0 ? st.age : -1;
}

int32_t WinFileServices::GetAttributes(const std::string& path) {
    WinPathAt at;
    EntryStat st;
    EntryFacts facts;
    if (paths_->Locate(path, at) != 0 || StatAt(at, st, &facts) != 0) {
        return -1;
    }
    return static_cast<int32_t>(win::DosAttributesOf(facts));
}

int WinFileServices::SetAttributes(const std::string& path, uint32_t attr) {
    {
        // An unfinished temporary refuses every new open: its kept handle is used.
        const std::lock_guard<std::mutex> hold(unfinishedLock_);
        const auto it = unfinished_.find(path);
        if (it != unfinished_.end()) {
            return SetDosAttributes(it->second, attr);
        }
    }
    WinPathAt at;
    if (const int err = paths_->Locate(path, at)) {
        return err;
    }
    UniqueHandle h;
    if (const int err = OpenEntry(at, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, h)) {
        return err;
    }
    return SetDosAttributes(h.Get(), attr);
}

int WinFileServices::DeleteFile(const std::string& path) {
    if (void* kept = TakeUnfinished(path)) {
        UniqueHandle h(kept);
        return win::DisposeOf(h.Get());  // marked already: it goes when the handle closes
    }
    WinPathAt at;
    if (const int err = paths_->Locate(path, at)) {
        return err;
    }
    UniqueHandle h;
    if (const int err = OpenEntry(at, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, h)) {
        return err;
    }
    DWORD attributes = 0, tag = 0;
    if (!win::AttributeTag(h.Get(), attributes, tag)) {
        return static_cast<int>(GetLastError());
    }
    // A directory is no file; a link to one is (it goes, never what it leads to).
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !win::IsNameSurrogate(attributes, tag)) {
        return ERROR_ACCESS_DENIED;
    }
    return win::DisposeOf(h.Get());
}

int WinFileServices::CreateDirectories(const std::string& path) {
    if (path.empty()) {
        return ERROR_PATH_NOT_FOUND;
    }
    return paths_->MakeDirectories(path);
}

int WinFileServices::CreateDirectoriesNoting(const std::string& path, bool& made) {
    made = false;
    if (path.empty()) {
        return ERROR_PATH_NOT_FOUND;
    }
    return paths_->MakeDirectories(path, &made);
}

int WinFileServices::RemoveDirectory(const std::string& path) {
    WinPathAt at;
    if (const int err = paths_->Locate(path, at)) {
        return err;
    }
    // Handles kept on it would leave it pending until they are closed.
    paths_->Forget(path);
    UniqueHandle h;
    OpenRequest request;
    request.access = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
    request.options = FILE_OPEN_REPARSE_POINT | FILE_DIRECTORY_FILE;
    if (const int err = OpenAt(at.Dir(), at.name, request, h)) {
        return err == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : err;
    }
    DWORD attributes = 0, tag = 0;
    if (!win::AttributeTag(h.Get(), attributes, tag)) {
        return static_cast<int>(GetLastError());
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return ERROR_CANT_RESOLVE_FILENAME;  // a link where a directory was: left alone
    }
    const int err = win::DisposeOf(h.Get());
    if (err == 0 && anyStaged_.load(std::memory_order_acquire)) {
        // A staged directory removed unpublished (a stop, a refusal) is forgotten too.
        const std::lock_guard<std::mutex> hold(stagedLock_);
        staged_.erase(win::JoinName(at.dirText, at.name));
    }
    return err;
}

int WinFileServices::PrepareCopy(const std::string& source, const std::string& target,
                                 bool targetAbsent, std::unique_ptr<PreparedCopy>& out) {
    out.reset();
    WinPathAt from, to;
    if (const int err = paths_->Locate(source, from)) {
        return err;
    }
    if (const int err = paths_->Locate(target, to)) {
        return err;
    }
    bool inPlace = false;
    if (anyStaged_.load(std::memory_order_acquire)) {
        const std::lock_guard<std::mutex> hold(stagedLock_);
        inPlace = staged_.count(to.dirText) != 0;
    }
    const int err = win::PrepareEntryCopy(from, to, targetAbsent, out, inPlace);
    if (out) {
        out->target = target;
    }
    return err;
}

int WinFileServices::PublishCopy(std::unique_ptr<PreparedCopy> copy, EntryStat& published) {
    return win::PublishEntryCopy(std::move(copy), published);
}

int WinFileServices::CopiesSideBySide(const std::string& dir) {
    // A share (\\server\share) or a drive letter mapped to one, NetWare volumes among them:
    // each call is a round trip there, and many copies in flight hide the waits.
    constexpr int kRoundTripCopies = 16;
    std::wstring absolute;
    if (dir.empty() || win::AbsolutePath(dir, absolute) != 0) {
        return 0;
    }
    if (absolute.compare(0, 2, L"\\\\") == 0) {
        return kRoundTripCopies;
    }
    if (absolute.size() < 2 || absolute[1] != L':') {
        return 0;
    }
    const std::wstring root = absolute.substr(0, 2) + L"\\";
    return GetDriveTypeW(root.c_str()) == DRIVE_REMOTE ? kRoundTripCopies : 0;
}

int WinFileServices::StageDirectory(const std::string& within, std::string& staged) {
    staged.clear();
    std::wstring absolute;
    if (within.empty()) {
        return ERROR_PATH_NOT_FOUND;
    }
    if (const int err = win::AbsolutePath(within, absolute)) {
        return err;
    }
    // Opened as any directory the run writes into: below a root never through a link.
    win::SharedHandle dir;
    if (const int err = paths_->OpenDirectory(within, dir)) {
        return err == ERROR_FILE_NOT_FOUND || err == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : err;
    }
    UniqueHandle made;
    std::wstring name;
    if (const int err = win::CreateTemporaryIn(dir->Get(), true, made, name)) {
        return err;
    }
    const char last = within.back();
    staged = within + (last == '\\' || last == '/' ? "" : "\\") + win::Narrow(name);
    const std::lock_guard<std::mutex> hold(stagedLock_);
    staged_.insert(win::JoinName(absolute, name));
    anyStaged_.store(true, std::memory_order_release);
    return 0;
}

int WinFileServices::PublishDirectory(const std::string& staged, const std::string& path) {
    WinPathAt from, to;
    if (const int err = paths_->Locate(staged, from)) {
        return err;
    }
    if (const int err = paths_->Locate(path, to)) {
        return err;
    }
    // No handle of these services is kept on it while it is renamed, nor under its old name.
    paths_->Forget(staged);
    UniqueHandle h;
    OpenRequest request;
    request.access = DELETE | FILE_READ_ATTRIBUTES;
    request.options = FILE_OPEN_REPARSE_POINT | FILE_DIRECTORY_FILE;
    if (const int err = OpenAt(from.Dir(), from.name, request, h)) {
        return err == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : err;
    }
    DWORD attributes = 0, tag = 0;
    if (!win::AttributeTag(h.Get(), attributes, tag)) {
        return static_cast<int>(GetLastError());
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return ERROR_CANT_RESOLVE_FILENAME;  // no longer the directory staged: left alone
    }
    // Never over anything: a directory that appeared there meanwhile, even an empty one, is
    // another program's.
    const int err = win::RenameInto(h.Get(), to, false);
    if (err != 0) {
        return err == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : err;
    }
    h.Reset();
    paths_->Forget(staged);
    const std::lock_guard<std::mutex> hold(stagedLock_);
    staged_.erase(win::JoinName(from.dirText, from.name));
    return 0;
}

int WinFileServices::SetAside(const std::string& path, std::string& asidePath) {
    asidePath.clear();
    WinPathAt at;
    if (const int err = paths_->Locate(path, at)) {
        return err;
    }
    UniqueHandle h;
    if (const int err = OpenEntry(at, DELETE | FILE_READ_ATTRIBUTES, h)) {
        return err;
    }
    const std::string aside = AsideName(win::Narrow(at.name));
    WinPathAt to{at.dir, std::wstring(), at.dirText};
    if (!win::Widen(aside, to.name)) {
        return ERROR_INVALID_NAME;
    }
    if (const int err = win::RenameInto(h.Get(), to, false)) {
        return err;
    }
    const size_t slash = path.find_last_of("\\/");
    asidePath = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + aside;
    return 0;
}

int WinFileServices::PutBack(const std::string& asidePath, const std::string& path) {
    const int err = RenameEntry(asidePath, path, false);
    return err == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : err;
}

bool WinFileServices::SeparateFiles(const std::string& a, const EntryStat& aStat,
                                    const std::string& b, const EntryStat& bStat) {
    if (aStat.kind == EntryKind::Missing || bStat.kind == EntryKind::Missing ||
        aStat.SameEntryAs(bStat)) {
        return false;
    }
    // One volume shows each of its files under one identity. Across volumes, only local disks
    // are proven to hold files of their own: a network share may be a local folder seen again.
    return aStat.device == bStat.device || (LocalDisk(a) && LocalDisk(b));
}
bool WinFileServices::FreeSpace(const std::string& path, int64_t& bytes) {
    std::wstring wide;
    if (!win::Widen(path, wide)) {
        return false;
    }
    const bool drive = wide.size() >= 3 && wide[1] == L':' && (wide[2] == L'\\' || wide[2] == L'/');
    const bool unc = wide.size() > 2 && (wide[0] == L'\\' || wide[0] == L'/') &&
                     (wide[1] == L'\\' || wide[1] == L'/');
    std::wstring absolute;
    if (!(drive || unc) || !DirectoryExists(path) || win::AbsolutePath(path, absolute) != 0) {
        return false;
    }
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(win::JoinName(absolute, std::wstring()).c_str(), &available, nullptr,
                             nullptr)) {
        return false;
    }
    bytes = available.QuadPart > static_cast<ULONGLONG>(INT64_MAX)
                ? INT64_MAX
                : static_cast<int64_t>(available.QuadPart);
    return true;
}

FileHandle WinFileServices::OpenRead(const std::string& path) {
    WinPathAt at;
    if (paths_->Locate(path, at) != 0) {
        return kInvalidFileHandle;
    }
    // Others may read it meanwhile, never write it; a link or a directory is refused.
    OpenRequest request;
    request.access = FILE_GENERIC_READ;
    request.share = FILE_SHARE_READ;
    request.options = FILE_OPEN_REPARSE_POINT | FILE_NON_DIRECTORY_FILE;
    UniqueHandle h;
    DWORD attributes = 0, tag = 0;
    if (OpenAt(at.Dir(), at.name, request, h) != 0 ||
        !win::AttributeTag(h.Get(), attributes, tag) || win::IsNameSurrogate(attributes, tag)) {
        return kInvalidFileHandle;
    }
    return win::FileHandleOf(h.Release());
}

FileHandle WinFileServices::CreateTemporary(const std::string& target, std::string& tempPath) {
    tempPath.clear();
    WinPathAt at;
    if (paths_->Locate(target, at) != 0) {
        return kInvalidFileHandle;
    }
    UniqueHandle h;
    std::wstring name;
    if (win::CreateTemporaryIn(at.Dir(), false, h, name) != 0) {
        return kInvalidFileHandle;
    }
    const std::string made = win::Narrow(win::JoinName(at.dirText, name));
    // Until RenameOver puts it in place the copy goes with its handle, so a killed copy leaves
    // nothing behind; where the file system refuses, a leftover keeps the program's temporary
    // name. The caller closes its handle when the data is written; a second one is kept here.
    if (win::DeleteOnClose(h.Get(), true)) {
        HANDLE kept = nullptr;
        if (!DuplicateHandle(GetCurrentProcess(), h.Get(), GetCurrentProcess(), &kept, 0, FALSE,
                             DUPLICATE_SAME_ACCESS)) {
            return kInvalidFileHandle;  // the temporary goes with `h`
        }
        const std::lock_guard<std::mutex> hold(unfinishedLock_);
        unfinished_[made] = kept;
    }
    tempPath = made;
    return win::FileHandleOf(h.Release());
}

bool WinFileServices::HandleStat(FileHandle handle, EntryStat& out) {
    EntryFacts facts;
    if (handle == kInvalidFileHandle || win::FactsOf(win::HandleOf(handle), facts) != 0) {
        return false;
    }
    win::FillStat(facts, std::wstring(), out);
    return true;
}

int32_t WinFileServices::GetHandleAge(FileHandle handle) {
    EntryStat st;
    return HandleStat(handle, st) ? st.age : -1;
}

int WinFileServices::SetHandleAge(FileHandle handle, int32_t dosDateTime) {
    int64_t time = 0;
    if (handle == kInvalidFileHandle || !win::FileTimeOfDosDateTime(dosDateTime, time)) {
        return ERROR_GEN_FAILURE;
    }
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(time));
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(time) >> 32);
    return SetFileTime(win::HandleOf(handle), nullptr, nullptr, &ft)
               ? 0
               : static_cast<int>(GetLastError());
}

int WinFileServices::CloseFile(FileHandle handle) {
    if (handle == kInvalidFileHandle) {
        return ERROR_GEN_FAILURE;
    }
    return CloseHandle(win::HandleOf(handle)) ? 0 : static_cast<int>(GetLastError());
}

int WinFileServices::RenameOver(const std::string& from, const std::string& to) {
    void* kept = TakeUnfinished(from);
    if (kept == nullptr) {
        return RenameEntry(from, to, true);
    }
    UniqueHandle h(kept);
    WinPathAt b;
    if (const int err = paths_->Locate(to, b)) {
        return err;  // the temporary goes with its handle
    }
    // Under its final name the copy must stay when the handle closes: a marked file renamed
    // over the target would take the target's name with it. Where the mark stays, nothing is
    // renamed.
    if (!win::DeleteOnClose(h.Get(), false)) {
        return static_cast<int>(GetLastError());
    }
    return win::RenameInto(h.Get(), b, true);
}

int WinFileServices::RenameEntry(const std::string& from, const std::string& to, bool replace) {
    WinPathAt a, b;
    if (const int err = paths_->Locate(from, a)) {
        return err;
    }
    if (const int err = paths_->Locate(to, b)) {
        return err;
    }
    UniqueHandle h;
    if (const int err = OpenEntry(a, DELETE | FILE_READ_ATTRIBUTES, h)) {
        return err;
    }
    return win::RenameInto(h.Get(), b, replace);
}

}  // namespace ferrit
