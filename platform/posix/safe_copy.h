// The crash-safe copy of one file: the data goes to a temporary file beside the target (an
// unnamed one where the file system can make it) that takes the target's name only when it is
// complete, so a failure or a killed program never leaves a half-written file in the target's
// place. Nothing is flushed to the disk: a power loss may still lose the new copy.
#pragma once

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file_services.h"
#include "platform/temporary_names.h"

namespace ferrit {

struct PathAt;

// The mark of an unfinished copy: the permission bits of a named temporary file from its
// creation until it is put in place. Only the owner's write: the owner can still fill it (data
// and attributes), while nobody, the owner included, may read it, which no one's own file has by
// accident. So a leftover is known for the program's by more than its name.
constexpr mode_t kUnfinishedMode = S_IWUSR;

// Whether an entry (its lstat result) is a regular file that bears the mark of an unfinished copy.
inline bool BearsUnfinishedMark(const struct stat& st) {
    return S_ISREG(st.st_mode) && (st.st_mode & 07777 & ~kUnfinishedMode) == 0;
}

// Whether an entry (its lstat result) is a temporary copy that a killed program of this host
// left behind: a regular file named as a temporary of a program that no longer runs, still
// bearing the mark of an unfinished copy. Only such an entry may be swept away.
bool IsStaleTemporary(const char* name, const struct stat& st);

// The process's file-creation mask as the kernel reports it (it cannot be read without changing
// it otherwise, which would race with other threads creating files); -1 when unknown.
int ProcessUmask();

// The permission bits a new file gets from `bits` under the mask `umask` (of ProcessUmask): the
// usual 022 stands in for a mask that is unknown, so a new file is never writable by others then.
inline mode_t LessUmask(mode_t bits, int umask) {
    return bits & ~static_cast<mode_t>(umask >= 0 ? umask : 022);
}

class SafeCopier {
  public:
    // `allowUnnamed`: whether a copy may be written as an unnamed (O_TMPFILE) file and linked
    // into place; off, every copy goes through a named temporary file, as on file systems that
    // cannot make unnamed files.
    explicit SafeCopier(bool allowUnnamed);

    // Makes a complete copy of the source entry (a regular file, or a link as a link) beside the
    // target entry, whose directory it takes over, to take the target's place later (Publish).
    // Returns 0 with `out` set, or a Windows error code with nothing left behind. Safe on any
    // number of threads at once.
    // `targetAbsent`: nothing was seen at the target just before; publishing then takes its
    // place without a look at it first. `inPlace`: the target lies in a directory that is kept
    // out of sight until it is complete (a staged directory): the copy is made under the
    // target's own name, which must be free, and publishing it takes no step.
    int Prepare(const PathAt& source, PathAt&& target, bool targetAbsent,
                std::unique_ptr<PreparedCopy>& out, bool inPlace = false);

    // Puts a copy made by Prepare in its target's place in one step; `published` receives the
    // copy's facts there. Returns 0, or a Windows error code with the target as it was. Either
    // way nothing of the copy is left behind.
    static int Publish(std::unique_ptr<PreparedCopy> copy, EntryStat& published);

    // Creates a new, empty named temporary file in the directory with the given open flags;
    // returns its descriptor (or -1 with errno set) and its name in `name`.
    static int CreateNamedTemporary(int dir, std::string& name, int flags, mode_t mode);

    // The bits less the process's file-creation mask: those a new file gets.
    mode_t NewFileMode(mode_t bits) const;

  private:
    // A finished copy waiting beside its target.
    class Prepared;
    // Whether a copy created with the source's bits (owner-writable) has them all already, the
    // file-creation mask taking none away.
    bool CreatedFinal(const struct stat& st) const;
    // `inPlace`: the link is made under the target's name `name`, else under a temporary one.
    int PrepareLink(const PathAt& source, Prepared& ready, const struct stat& st, bool keepMadeTime,
                    const std::string* inPlace);
    int LinkUnnamed(int fd, int dir, const std::string& name);
    // A file system that refused an unnamed file once is not asked again: on a network volume
    // every refused attempt costs a round trip.
    // `knownDevice`: the directory's device where it is known (0: asked).
    bool RefusesUnnamed(int dir, uint64_t knownDevice);
    void LearnRefusal(int dir, uint64_t knownDevice);

    // How copies are made on one file system, learned once from its type.
    struct DeviceWays {
        uint64_t device = 0;
        // Reads of its regular files never wait, whatever the open flags: a file opened
        // without waiting needs no change of its flags before it is read.
        bool plainReads = false;
        // Setting a link's own times may reach the entry it points to instead (a user-space
        // file system such as sshfs sets them by name on the server, where the name is
        // followed): a link copied there keeps the time of its making.
        bool linkTimesMayFollow = false;
    };
    // The ways of the file system of the open `fd`, whose device is `device` (0: asked).
    DeviceWays WaysOf(int fd, uint64_t device);

    // Learned on the way: whether unnamed files cannot be named here at all (no /proc, no
    // linkat by descriptor), and whether linkat(AT_EMPTY_PATH) works for this process (-1 not
    // yet known).
    std::atomic<bool> unnamedUnusable_;
    std::atomic<int> linkByDescriptor_{-1};
    std::atomic<bool> anyRefusal_{false};
    std::mutex refusalMutex_;
    std::vector<uint64_t> refusingDevices_;
    std::mutex waysMutex_;
    std::vector<DeviceWays> ways_;
    // The process's file-creation mask, read once; -1 when unknown (the bits are then always
    // set after the creation). The program never changes it.
    int umask_;
};

}  // namespace ferrit
