#include "platform/posix/dos_attributes.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/error_codes.h"
#include "platform/file_services.h"
#include "platform/fs_util.h"
#include "platform/posix/confined_paths.h"

namespace ferrit {

namespace {

// Hidden, system and archive live in this attribute as "0x" and hexadecimal digits.
constexpr const char* kDosAttribXattr = "user.DOSATTRIB";
// The modification time ("seconds.nanoseconds") a file had when its archive bit was cleared;
// a file whose time differs has been changed since and reads as archive set again.
constexpr const char* kArchivedXattr = "user.ferrit.archived";

constexpr uint32_t kXattrBits = Attr::Hidden | Attr::System | Attr::Archive;
// Bits of the stored word this program owns; any other bits found there are kept as they are.
constexpr uint32_t kOwnedBits = 0x3F;

std::string TimeStamp(const struct timespec& t) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%lld.%09ld", static_cast<long long>(t.tv_sec),
                  static_cast<long>(t.tv_nsec));
    return buf;
}

// Reads a small extended attribute through `get`. False when absent or unsupported. A longer
// value than the usual few bytes (Samba's binary form can carry more) is read at its full size,
// up to 64 KiB.
template <typename Get>
bool ReadXattrWith(Get get, std::string& value) {
    return ReadWholeXattr(get, value, 65536);
}

// getxattrat(2) (Linux 6.13) reads an attribute of a name in an open directory, which spares a
// lookup of the whole path. Its number is the same on every architecture listed here.
#if defined(__NR_getxattrat)
#define FERRIT_NR_GETXATTRAT __NR_getxattrat
#elif (defined(__x86_64__) && !defined(__ILP32__)) || defined(__aarch64__) || defined(__i386__) || \
    defined(__arm__) || (defined(__riscv) && __riscv_xlen == 64)
#define FERRIT_NR_GETXATTRAT 464
#endif

#ifdef FERRIT_NR_GETXATTRAT
struct XattrArgs {  // struct xattr_args of the kernel
    uint64_t value;
    uint32_t size;
    uint32_t flags;
};
// Set once the kernel has said it does not know the call; learned once per process because it
// is a property of the running kernel.
std::atomic<bool> g_noGetxattrat{false};
#endif

// Reads an extended attribute of the entry itself (a link is not followed).
bool ReadXattr(const EntryAt& e, const char* name, std::string& value) {
    if (e.dir == AT_FDCWD) {
        return ReadXattrWith(
            [&](char* buf, size_t size) { return lgetxattr(e.name, name, buf, size); }, value);
    }
#ifdef FERRIT_NR_GETXATTRAT
    if (!g_noGetxattrat.load(std::memory_order_relaxed)) {
        bool gone = false;
        bool found = ReadXattrWith(
            [&](char* buf, size_t size) -> ssize_t {
                XattrArgs args = {reinterpret_cast<uintptr_t>(buf), static_cast<uint32_t>(size), 0};
                long n = syscall(FERRIT_NR_GETXATTRAT, e.dir, e.name, AT_SYMLINK_NOFOLLOW, name,
                                 &args, sizeof args);
                if (n < 0 && errno == ENOSYS)
                    gone = true;
                return static_cast<ssize_t>(n);
            },
            value);
        if (!gone)
            return found;
        g_noGetxattrat.store(true, std::memory_order_relaxed);
    }
#endif
    const std::string path = ProcPath(e.dir, e.name);
    return ReadXattrWith(
        [&](char* buf, size_t size) { return lgetxattr(path.c_str(), name, buf, size); }, value);
}

// Parses the leading "0x..." of the stored attribute word (Samba's binary form begins with the
// same text). False when the text has no such start.
bool ParseDosAttrib(const std::string& text, uint32_t& bits) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    uint32_t v = 0;
    size_t i = 2;
    for (; i < text.size() && i < 10; ++i) {
        char c = text[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    if (i == 2)
        return false;
    bits = v;
    return true;
}

}  // namespace

bool ReadXattrFd(int fd, const char* name, std::string& value) {
    return ReadXattrWith([&](char* buf, size_t size) { return fgetxattr(fd, name, buf, size); },
                         value);
}

uint32_t ModeAttributes(const struct stat& st) {
    if (S_ISDIR(st.st_mode))
        return Attr::Directory;
    const bool readOnly = (st.st_mode & S_IWUSR) == 0 && !S_ISLNK(st.st_mode);
    return (readOnly ? Attr::ReadOnly : 0) | Attr::Archive;
}

uint32_t DosAttributesOf(const EntryAt& entry, const struct stat& st) {
    std::string raw;
    uint32_t stored = 0;
    // A link carries no user attributes of its own.
    bool present = !S_ISLNK(st.st_mode) && ReadXattr(entry, kDosAttribXattr, raw) &&
                   ParseDosAttrib(raw, stored);
    if (!present)
        return ModeAttributes(st);
    if (S_ISDIR(st.st_mode)) {
        return Attr::Directory | (stored & (Attr::Hidden | Attr::System));
    }
    uint32_t attr = ModeAttributes(st) & Attr::ReadOnly;
    attr |= stored & (Attr::Hidden | Attr::System);
    if (stored & Attr::Archive)
        return attr | Attr::Archive;
    std::string record;
    if (ReadXattr(entry, kArchivedXattr, record) && record != TimeStamp(st.st_mtim)) {
        attr |= Attr::Archive;
    }
    return attr;
}

int SetDosAttributes(const EntryAt& entry, uint32_t attr) {
    // The entry is opened once, without following a link, and every change goes to that very
    // inode, so a name swapped for a link meanwhile cannot redirect a write.
    UniqueFd fd(openat(entry.dir, entry.name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.Valid()) {
        return WinErrorFromErrno(errno);
    }
    struct stat st;
    if (fstat(fd.Get(), &st) != 0) {
        return WinErrorFromErrno(errno);
    }
    if (S_ISLNK(st.st_mode))
        return 0;  // a link has neither permission bits nor user attributes
    const std::string self = ProcPath(fd.Get(), nullptr);

    bool readOnly = (attr & Attr::ReadOnly) != 0;
    mode_t wanted = st.st_mode & 07777;
    if (S_ISREG(st.st_mode)) {
        wanted = readOnly ? (wanted & ~static_cast<mode_t>(0222)) : (wanted | S_IWUSR);
    }

    // What is to be stored: hidden, system, archive, plus any foreign bits found there.
    std::string raw;
    uint32_t stored = 0;
    bool present = ReadXattrWith(
                       [&](char* buf, size_t size) {
                           return getxattr(self.c_str(), kDosAttribXattr, buf, size);
                       },
                       raw) &&
                   ParseDosAttrib(raw, stored);
    uint32_t word = (present ? (stored & ~kOwnedBits) : 0) | (attr & kXattrBits);
    bool clearsArchive = !S_ISDIR(st.st_mode) && (attr & Attr::Archive) == 0;
    bool writeWord = present ? word != stored : word != Attr::Archive;
    if (S_ISDIR(st.st_mode)) {
        word &= ~static_cast<uint32_t>(Attr::Archive);
        writeWord = present ? word != stored : word != 0;
    }
    // The archive record needs writing only where it does not hold this time already.
    const std::string stamp = clearsArchive ? TimeStamp(st.st_mtim) : std::string();
    if (clearsArchive) {
        std::string record;
        if (ReadXattrWith(
                [&](char* buf, size_t size) {
                    return getxattr(self.c_str(), kArchivedXattr, buf, size);
                },
                record) &&
            record == stamp) {
            clearsArchive = false;
        }
    }

    // A file system without user attributes makes these fail; they are not examined.
    auto writeXattrs = [&]() {
        if (clearsArchive)
            setxattr(self.c_str(), kArchivedXattr, stamp.data(), stamp.size(), 0);
        if (writeWord) {
            char text[16];
            std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(word));
            setxattr(self.c_str(), kDosAttribXattr, text, std::char_traits<char>::length(text), 0);
        }
    };
    bool xattrWork = clearsArchive || writeWord;
    mode_t current = st.st_mode & 07777;
    int rc = 0;
    // User attributes need write permission on the file: write them while the owner may.
    if (xattrWork && (current & S_IWUSR) == 0 && geteuid() != 0 && st.st_uid == geteuid()) {
        if (chmod(self.c_str(), current | S_IWUSR) == 0) {
            writeXattrs();
            if (chmod(self.c_str(), current) != 0)
                rc = WinErrorFromErrno(errno);
        } else {
            writeXattrs();  // may still succeed for a privileged caller
        }
    } else if (xattrWork) {
        writeXattrs();
    }
    if (wanted != current && chmod(self.c_str(), wanted) != 0)
        rc = WinErrorFromErrno(errno);
    return rc;
}

void CopyDosAttributes(int in, int out) {
    std::string value;
    if (ReadXattrFd(in, kDosAttribXattr, value)) {
        fsetxattr(out, kDosAttribXattr, value.data(), value.size(), 0);
        if (ReadXattrFd(in, kArchivedXattr, value))
            fsetxattr(out, kArchivedXattr, value.data(), value.size(), 0);
    }
}

}  // namespace ferrit
