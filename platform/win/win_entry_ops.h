// The steps of the Windows file services on open entries: the facts of an entry, temporary
// entries, renaming over a counterpart, deletion, and the crash-safe copy built from them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_services.h"
#include "platform/win/win_api.h"
#include "platform/win/win_confined_paths.h"

namespace ferrit {
namespace win {

// The DOS attributes the copy carries and SetAttributes sets: read-only, hidden, system, archive.
constexpr DWORD kDosSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// What an entry's facts are read from: a listing entry or an open handle.
struct EntryFacts {
    DWORD attributes = 0;
    DWORD reparseTag = 0;
    int64_t size = 0;
    int64_t lastWrite = 0;  // FILETIME
    uint32_t volume = 0;    // volume serial number
    uint64_t fileId = 0;    // 0 where the file system has none
};

// The facts as the seam has them. An entry without a file id gets a stand-in made from its
// absolute path, so that two different entries never share an identity.
void FillStat(const EntryFacts& facts, const std::wstring& absolute, EntryStat& out);
// The DOS attribute word of an entry (a link never has the directory bit).
uint32_t DosAttributesOf(const EntryFacts& facts);
// Reads the facts of an open entry; 0 or a Windows error number.
int FactsOf(HANDLE h, EntryFacts& facts);

// Creates the new entry `name` in the directory (a directory when `directory`), open for writing
// and deletion and shared with no one; never over anything that stands there (183). 0 or a
// Windows error number.
int CreateEntryIn(HANDLE dir, bool directory, const std::wstring& name, UniqueHandle& out);

// Creates a new entry with a reserved name in the directory (a directory when `directory`), open
// for writing and deletion and shared with no one; its name goes to `name`. Such names are never
// listed. 0 or a Windows error number.
int CreateTemporaryIn(HANDLE dir, bool directory, UniqueHandle& out, std::wstring& name);

// Gives the open entry (opened with DELETE) the name `to`. With `replace`, what stands there is
// replaced in one step, a read-only file too and a link itself (never what it leads to); a
// directory there makes it fail. 0 or a Windows error number (183 without `replace` when the
// name is taken).
int RenameInto(HANDLE h, const WinPathAt& to, bool replace);

// Deletes the open entry (opened with DELETE and attribute access), a read-only one too.
int DisposeOf(HANDLE h);

// Makes a copy of the entry `from` to take the place of the entry `to`: a regular file's data,
// or a link as a link, goes to a temporary entry in the target's directory, with the source's
// DOS attributes and last-write time. A source that changes while it is read is not copied (32).
// 0 with `made` set, or a Windows error number with nothing left behind. `targetAbsent`: nothing
// stood at the target a moment ago; something that appears meanwhile is still looked at before
// it is replaced. `inPlace`: the target lies in a staged directory, out of sight until that is
// put in place whole: the copy is made under the target's own name, which must be free (183),
// and publishing it takes no step; dropped unpublished, it is deleted.
int PrepareEntryCopy(const WinPathAt& from, const WinPathAt& to, bool targetAbsent,
                     std::unique_ptr<PreparedCopy>& made, bool inPlace = false);

// Puts a copy made by PrepareEntryCopy in the target's place in one step, without asking; the
// source itself standing there is never replaced (32). On failure nothing is left behind and the
// target is as it was. `published` receives the copy's facts there.
int PublishEntryCopy(std::unique_ptr<PreparedCopy> copy, EntryStat& published);

}  // namespace win
}  // namespace ferrit
