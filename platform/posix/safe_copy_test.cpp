// The crash-safe copy of one file through the file services, every case with unnamed and with
// named temporary files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <thread>

#include "platform/error_codes.h"
#include "platform/posix/posix_file_services.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {

using testing::GetModTime;
using testing::ListDir;
using testing::ReadFile;
using testing::SetModTime;
using testing::TempDir;
using testing::XattrsSupported;

struct stat LStat(const std::string& path) {
    struct stat st;
    std::memset(&st, 0, sizeof st);
    lstat(path.c_str(), &st);
    return st;
}

bool HasTempFile(const std::string& dir) {
    for (const std::string& name : ListDir(dir)) {
        if (name.compare(0, std::strlen(kTempPrefix), kTempPrefix) == 0)
            return true;
    }
    return false;
}

// Descriptors open in this process; a copy must leave the count as it found it, or an unnamed
// file could stay alive (and hold its space) behind a forgotten descriptor.
size_t OpenDescriptors() {
    return ListDir("/proc/self/fd").size();
}

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen());
    return s;
}

// A scratch file system mounted on a directory for the length of a test; needs root.
class ScratchMount {
  public:
    ScratchMount(const std::string& dir, const char* type, const char* options) : dir_(dir) {
        if (geteuid() != 0) {
            why_ = "needs root to mount a scratch file system";
            return;
        }
        if (mount(type, dir.c_str(), type, MS_NOSUID | MS_NODEV, options) != 0) {
            why_ = std::string("cannot mount ") + type + ": " + std::strerror(errno);
            return;
        }
        mounted_ = true;
    }
    ~ScratchMount() {
        if (mounted_ && umount2(dir_.c_str(), 0) != 0)
            umount2(dir_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }

  private:
    std::string dir_;
    bool mounted_ = false;
    std::string why_;
};

// Every case runs twice: with copies written as unnamed files and linked into place, and with
// the named temporary files that file systems without O_TMPFILE get.
class CopyFileTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        ASSERT_FALSE(tmp.path().empty());
        src = tmp.Dir("src");
        dst = tmp.Dir("dst");
    }
    TempDir tmp;
    PosixFileServices fs{PosixFileServices::Settings{GetParam()}};
    std::string src, dst;
};

TEST_P(CopyFileTest, CarriesContentModeTimeAndAttributes) {
    bool xattrs = XattrsSupported(tmp.path());
    struct Case {
        const char* name;
        std::string content;
        mode_t mode;
        uint32_t attr;  // set through the services before copying
    };
    const Case cases[] = {
        {"empty", "", 0644, Attr::Archive},
        {"small.txt", "hello, world\n", 0640, Attr::Archive | Attr::Hidden},
        {"script.sh", "#!/bin/sh\necho hi\n", 0750, Attr::System},
        {"readonly", "cannot touch this", 0644, Attr::ReadOnly | Attr::Archive},
        {"cleared", "archive bit cleared", 0600, Attr::ReadOnly},
        {"large.bin", RandomBytes(3 * 1024 * 1024 + 17, 7), 0644, Attr::Archive},
    };
    long ns = 1;
    for (const Case& c : cases) {
        std::string from = tmp.File("src/" + std::string(c.name), c.content);
        ASSERT_EQ(chmod(from.c_str(), c.mode), 0);
        ASSERT_TRUE(SetModTime(from, 1500000000 + ns, ns * 111111111 % 1000000000));
        ++ns;
        if (xattrs) {
            ASSERT_EQ(fs.SetAttributes(from, c.attr), 0);
        }
        std::string to = dst + "/" + c.name;
        ASSERT_EQ(fs.CopyFile(from, to), 0) << c.name;
        EXPECT_EQ(ReadFile(to), c.content) << c.name;
        struct stat a = LStat(from), b = LStat(to);
        EXPECT_TRUE(S_ISREG(b.st_mode));
        EXPECT_EQ(b.st_mode & 07777, a.st_mode & 07777) << c.name;
        EXPECT_EQ(b.st_mtim.tv_sec, a.st_mtim.tv_sec) << c.name;
        EXPECT_EQ(b.st_mtim.tv_nsec, a.st_mtim.tv_nsec) << c.name;
        EXPECT_EQ(fs.FileAge(to), fs.FileAge(from));
        if (xattrs) {
            EXPECT_EQ(fs.GetAttributes(to), static_cast<int32_t>(c.attr)) << c.name;
        }
    }
    EXPECT_FALSE(HasTempFile(dst));
    EXPECT_EQ(ListDir(dst).size(), std::size(cases));
    if (xattrs) {
        // The copy of a file whose archive bit was cleared reads as changed once it is edited.
        ASSERT_EQ(chmod((dst + "/cleared").c_str(), 0600), 0);
        ASSERT_TRUE(testing::WriteFile(dst + "/cleared", "edited"));
        EXPECT_EQ(fs.GetAttributes(dst + "/cleared"), Attr::Archive);
    }
}

// The copy's facts come with its publication where they are wanted (a move compares them with
// what stands at the target before it deletes the source); either way the copy is put in
// place whole and nothing else is left.
TEST_P(CopyFileTest, PublicationGivesTheCopysFactsWhereWanted) {
    for (const bool wanted : {true, false}) {
        SCOPED_TRACE(wanted ? "wanted" : "not wanted");
        const std::string name = wanted ? "with-facts" : "without-facts";
        const std::string from = tmp.File("src/" + name, name + " data");
        const std::string to = dst + "/" + name;
        std::unique_ptr<PreparedCopy> copy;
        ASSERT_EQ(fs.PrepareCopy(from, to, true, copy), 0);
        ASSERT_TRUE(copy);
        copy->factsWanted = wanted;
        EntryStat published;
        ASSERT_EQ(fs.PublishCopy(std::move(copy), published), 0);
        EXPECT_EQ(ReadFile(to), name + " data");
        EntryStat standing;
        ASSERT_EQ(fs.StatEntry(to, standing), 0);
        if (wanted) {
            EXPECT_TRUE(SameFacts(published, standing));
        }
    }
    EXPECT_FALSE(HasTempFile(dst));
    EXPECT_EQ(ListDir(dst).size(), 2u);
}

TEST_P(CopyFileTest, ReplacesExistingCounterparts) {
    std::string from = tmp.File("src/f", "new");
    std::string to = tmp.File("dst/f", "a much longer old content that must not survive");
    ASSERT_EQ(chmod(to.c_str(), 0444), 0);  // a read-only counterpart is replaced too
    ASSERT_EQ(fs.CopyFile(from, to), 0);
    EXPECT_EQ(ReadFile(to), "new");
    EXPECT_EQ(LStat(to).st_mode & 0777, 0644u);
    // Copying a file onto itself is refused and leaves it whole.
    ASSERT_EQ(fs.CopyFile(from, from), WinErr::SharingViolation);
    EXPECT_EQ(ReadFile(from), "new");
    EXPECT_FALSE(HasTempFile(dst));
    EXPECT_FALSE(HasTempFile(src));
}

TEST_P(CopyFileTest, PermissionBitsDoNotDependOnTheUmask) {
    const mode_t modes[] = {0644, 0666, 0600, 0755, 0777, 0444, 0400, 0070};
    const mode_t masks[] = {022, 077, 0, 0777};
    int n = 0;
    for (mode_t mask : masks) {
        // As a program started under this mask: the services are made after it is set.
        mode_t saved = umask(mask);
        PosixFileServices started{PosixFileServices::Settings{GetParam()}};
        for (mode_t mode : modes) {
            std::string name = "m" + std::to_string(n++);
            std::string from = tmp.File("src/" + name, "bits");
            ASSERT_EQ(chmod(from.c_str(), mode), 0);
            EXPECT_EQ(started.CopyFile(from, dst + "/" + name), 0)
                << std::oct << mode << " " << mask;
            EXPECT_EQ(LStat(dst + "/" + name).st_mode & 07777, mode)
                << std::oct << mode << " " << mask;
        }
        umask(saved);
    }
    EXPECT_FALSE(HasTempFile(dst));
}

TEST_P(CopyFileTest, LinksAreCopiedAsLinks) {
    std::string target = tmp.File("src/real.txt", "link target");
    struct Case {
        const char* name;
        const char* text;
    };
    const Case cases[] = {
        {"rel", "real.txt"},
        {"dangling", "../nowhere/at all"},
        {"absolute", "/etc/hostname"},
        {"todir", "."},
    };
    for (const Case& c : cases) {
        std::string from = src + "/" + c.name;
        ASSERT_EQ(symlink(c.text, from.c_str()), 0);
        ASSERT_TRUE(SetModTime(from, 1234567890, 987654321));
        std::string to = dst + "/" + c.name;
        ASSERT_EQ(fs.CopyFile(from, to), 0) << c.name;
        struct stat st = LStat(to);
        ASSERT_TRUE(S_ISLNK(st.st_mode)) << c.name;
        char buf[256];
        ssize_t n = readlink(to.c_str(), buf, sizeof buf);
        ASSERT_GT(n, 0);
        EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), c.text);
        EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);
        EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);
    }
    // A link replaces a regular counterpart, and a regular file replaces a link counterpart.
    std::string plain = tmp.File("dst/plain", "old");
    ASSERT_EQ(fs.CopyFile(src + "/rel", plain), 0);
    EXPECT_TRUE(S_ISLNK(LStat(plain).st_mode));
    EXPECT_FALSE(HasTempFile(dst));
    EXPECT_EQ(ReadFile(target), "link target");
}

TEST_P(CopyFileTest, NeverWritesThroughALinkAtTheCounterpart) {
    std::string victim = tmp.File("elsewhere/victim", "must stay");
    std::string from = tmp.File("src/f", "replacement");
    std::string to = dst + "/f";
    ASSERT_EQ(symlink(victim.c_str(), to.c_str()), 0);
    ASSERT_EQ(fs.CopyFile(from, to), 0);
    EXPECT_EQ(ReadFile(victim), "must stay");
    EXPECT_TRUE(S_ISREG(LStat(to).st_mode));
    EXPECT_EQ(ReadFile(to), "replacement");
    // The same for a dangling link: nothing is created at its target.
    ASSERT_EQ(symlink("../elsewhere/created", (dst + "/g").c_str()), 0);
    ASSERT_EQ(fs.CopyFile(from, dst + "/g"), 0);
    EXPECT_EQ(ListDir(tmp.Path("elsewhere")), std::vector<std::string>{"victim"});
    EXPECT_TRUE(S_ISREG(LStat(dst + "/g").st_mode));
}

TEST_P(CopyFileTest, FailuresLeaveNoTraceAndGiveMappedCodes) {
    const size_t descriptors = OpenDescriptors();
    std::string from = tmp.File("src/f", "data");
    // A directory standing at the counterpart's name.
    std::string dirTarget = tmp.Dir("dst/f");
    tmp.File("dst/f/inside", "kept");
    EXPECT_EQ(fs.CopyFile(from, dirTarget), WinErr::AccessDenied);
    EXPECT_EQ(ReadFile(dirTarget + "/inside"), "kept");
    EXPECT_FALSE(HasTempFile(dst));
    tmp.Dir("dst/empty");
    EXPECT_NE(fs.CopyFile(from, dst + "/empty"), 0);
    EXPECT_TRUE(S_ISDIR(LStat(dst + "/empty").st_mode));
    ASSERT_EQ(symlink("f", (src + "/link").c_str()), 0);
    EXPECT_NE(fs.CopyFile(src + "/link", dirTarget), 0);
    EXPECT_FALSE(HasTempFile(dst));
    // Missing source, missing source directory, missing target directory.
    EXPECT_EQ(fs.CopyFile(src + "/missing", dst + "/x"), WinErr::FileNotFound);
    EXPECT_EQ(fs.CopyFile(tmp.Path("nodir/x"), dst + "/x"), WinErr::PathNotFound);
    EXPECT_EQ(fs.CopyFile(from, tmp.Path("nodir/x")), WinErr::PathNotFound);
    EXPECT_EQ(fs.CopyFile(src + "/link", tmp.Path("nodir/x")), WinErr::PathNotFound);
    // A source directory is not a file.
    EXPECT_NE(fs.CopyFile(src, dst + "/x"), 0);
    // A name the file system refuses fails only when the finished copy is to be named.
    EXPECT_EQ(fs.CopyFile(from, dst + "/" + std::string(300, 'n')), WinErr::FilenameTooLong);
    EXPECT_EQ(ListDir(dst), (std::vector<std::string>{"empty", "f"}));
    EXPECT_EQ(OpenDescriptors(), descriptors);
    if (geteuid() != 0) {
        // An unreadable source and an unwritable target directory.
        ASSERT_EQ(chmod(from.c_str(), 0), 0);
        EXPECT_EQ(fs.CopyFile(from, dst + "/y"), WinErr::AccessDenied);
        ASSERT_EQ(chmod(from.c_str(), 0644), 0);
        ASSERT_EQ(chmod(dst.c_str(), 0555), 0);
        EXPECT_EQ(fs.CopyFile(from, dst + "/y"), WinErr::AccessDenied);
        ASSERT_EQ(chmod(dst.c_str(), 0755), 0);
        EXPECT_FALSE(HasTempFile(dst));
    }
}

TEST_P(CopyFileTest, SparseFilesStaySparse) {
    std::string from = src + "/sparse";
    const off_t size = off_t(5) << 30;
    int fd = open(from.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::string head = "head of the file";
    const std::string middle = RandomBytes(100000, 3);
    const std::string tail = "last bytes";
    bool ok = ftruncate(fd, size) == 0 &&
              pwrite(fd, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size()) &&
              pwrite(fd, middle.data(), middle.size(), off_t(2) << 30) ==
                  static_cast<ssize_t>(middle.size()) &&
              pwrite(fd, tail.data(), tail.size(), size - static_cast<off_t>(tail.size())) ==
                  static_cast<ssize_t>(tail.size());
    close(fd);
    ASSERT_TRUE(ok);
    struct stat a = LStat(from);
    if (static_cast<off_t>(a.st_blocks) * 512 > (off_t(64) << 20)) {
        GTEST_SKIP() << "the file system here does not keep sparse files";
    }
    std::string to = dst + "/sparse";
    ASSERT_EQ(fs.CopyFile(from, to), 0);
    struct stat b = LStat(to);
    EXPECT_EQ(b.st_size, size);
    EXPECT_LE(static_cast<off_t>(b.st_blocks) * 512, off_t(64) << 20) << "holes were filled";
    fd = open(to.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    std::string got(middle.size(), '\0');
    ASSERT_EQ(pread(fd, &got[0], got.size(), off_t(2) << 30), static_cast<ssize_t>(got.size()));
    EXPECT_EQ(got, middle);
    got.assign(head.size(), '\0');
    ASSERT_EQ(pread(fd, &got[0], got.size(), 0), static_cast<ssize_t>(got.size()));
    EXPECT_EQ(got, head);
    got.assign(tail.size(), '\0');
    ASSERT_EQ(pread(fd, &got[0], got.size(), size - static_cast<off_t>(tail.size())),
              static_cast<ssize_t>(got.size()));
    EXPECT_EQ(got, tail);
    char zero[4096];
    ASSERT_EQ(pread(fd, zero, sizeof zero, off_t(1) << 30), static_cast<ssize_t>(sizeof zero));
    EXPECT_EQ(std::string(zero, sizeof zero), std::string(sizeof zero, '\0'));
    close(fd);
}

// ---------------------------------------------------------------------------------------------
// Scratch file systems (root only)

TEST_P(CopyFileTest, FullDiskKeepsTheOldCounterpart) {
    std::string mnt = tmp.Dir("small");
    ScratchMount scratch(mnt, "tmpfs", "size=1m,mode=0755");
    if (!scratch.mounted())
        GTEST_SKIP() << scratch.why();
    std::string old = std::string(200 * 1024, 'o');
    std::string to = mnt + "/victim";
    ASSERT_TRUE(testing::WriteFile(to, old));
    // Fill most of what is left so the bigger file cannot fit.
    ASSERT_TRUE(testing::WriteFile(mnt + "/filler", std::string(600 * 1024, 'f')));
    std::string from = tmp.File("src/big", RandomBytes(2 * 1024 * 1024, 11));
    struct statvfs before, after;
    ASSERT_EQ(statvfs(mnt.c_str(), &before), 0);
    const size_t descriptors = OpenDescriptors();
    EXPECT_EQ(fs.CopyFile(from, to), WinErr::DiskFull);
    EXPECT_EQ(ReadFile(to), old);
    // The same for a copy with no counterpart: nothing appears under its name.
    EXPECT_EQ(fs.CopyFile(from, mnt + "/new"), WinErr::DiskFull);
    EXPECT_FALSE(HasTempFile(mnt));
    EXPECT_EQ(ListDir(mnt), (std::vector<std::string>{"filler", "victim"}));
    // Nor is the partial copy kept alive unseen: every block it took is free again.
    EXPECT_EQ(OpenDescriptors(), descriptors);
    ASSERT_EQ(statvfs(mnt.c_str(), &after), 0);
    EXPECT_EQ(after.f_bfree, before.f_bfree);
    // Once there is room again the same copy succeeds.
    ASSERT_EQ(unlink((mnt + "/filler").c_str()), 0);
    ASSERT_TRUE(testing::WriteFile(from, RandomBytes(500 * 1024, 12)));
    EXPECT_EQ(fs.CopyFile(from, to), 0);
    EXPECT_EQ(ReadFile(to), ReadFile(from));
}

TEST_P(CopyFileTest, CopiesAcrossFileSystems) {
    // Between two file systems the kernel may refuse the copy offload; the data must arrive
    // through the fallback all the same.
    std::string mnt = tmp.Dir("other");
    ScratchMount scratch(mnt, "tmpfs", "size=16m");
    if (!scratch.mounted())
        GTEST_SKIP() << scratch.why();
    std::string content = RandomBytes(5 * 1024 * 1024 + 3, 5);
    std::string from = tmp.File("src/cross", content);
    ASSERT_TRUE(SetModTime(from, 1400000000, 42));
    ASSERT_EQ(fs.CopyFile(from, mnt + "/cross"), 0);
    EXPECT_EQ(ReadFile(mnt + "/cross"), content);
    int64_t s;
    long ns;
    ASSERT_TRUE(GetModTime(mnt + "/cross", s, ns));
    EXPECT_EQ(s, 1400000000);
    EXPECT_EQ(ns, 42);
    ASSERT_EQ(fs.CopyFile(mnt + "/cross", dst + "/back"), 0);
    EXPECT_EQ(ReadFile(dst + "/back"), content);
}

TEST_P(CopyFileTest, WithoutUserAttributesOnlyReadOnlyIsKept) {
    // ramfs keeps no user extended attributes.
    std::string mnt = tmp.Dir("plainfs");
    ScratchMount scratch(mnt, "ramfs", "mode=0755");
    if (!scratch.mounted())
        GTEST_SKIP() << scratch.why();
    if (XattrsSupported(mnt))
        GTEST_SKIP() << "ramfs keeps user attributes on this kernel";
    std::string file = mnt + "/f";
    ASSERT_TRUE(testing::WriteFile(file, "x"));
    EXPECT_EQ(fs.GetAttributes(file), Attr::Archive);
    EXPECT_EQ(fs.SetAttributes(file, Attr::Hidden | Attr::System), 0);
    EXPECT_EQ(fs.GetAttributes(file), Attr::Archive);  // defaults, the write failed silently
    EXPECT_EQ(fs.SetAttributes(file, Attr::ReadOnly | Attr::Hidden), 0);
    EXPECT_EQ(fs.GetAttributes(file), Attr::ReadOnly | Attr::Archive);
    // A copy from a file with stored attributes onto such a file system still succeeds.
    std::string from = tmp.File("src/hidden", "h");
    if (XattrsSupported(tmp.path())) {
        ASSERT_EQ(fs.SetAttributes(from, Attr::Hidden), 0);
    }
    ASSERT_EQ(fs.CopyFile(from, mnt + "/hidden"), 0);
    EXPECT_EQ(ReadFile(mnt + "/hidden"), "h");
    EXPECT_EQ(fs.GetAttributes(mnt + "/hidden"), Attr::Archive);
}

// A source that grows while it is copied may give a torn copy; it never takes the target's
// place. The writer runs beside the copy, so a few tries make sure one overlaps it.
TEST_P(CopyFileTest, SourceChangingWhileCopiedIsNotPublished) {
    const std::string from = tmp.File("src/growing", std::string(16 << 20, 'g'));
    const std::string to = tmp.File("dst/growing", "old");
    std::atomic<bool> stop{false};
    std::atomic<int> appends{0};
    std::thread writer([&] {
        while (!stop.load()) {
            const int fd = open(from.c_str(), O_WRONLY | O_APPEND);
            if (fd >= 0) {
                (void)!write(fd, "x", 1);
                close(fd);
            }
            ++appends;
        }
    });
    while (appends.load() == 0) std::this_thread::yield();
    int refused = 0;
    for (int attempt = 0; attempt < 20 && refused == 0; ++attempt) {
        const int rc = fs.CopyFile(from, to);
        if (rc == WinErr::SharingViolation) {
            ++refused;
            EXPECT_EQ(ReadFile(to), "old");
        } else {
            ASSERT_EQ(rc, 0);
            ASSERT_TRUE(testing::WriteFile(to, "old"));
        }
        EXPECT_FALSE(HasTempFile(dst));
    }
    stop = true;
    writer.join();
    EXPECT_EQ(refused, 1);
}

// A leftover is known for a killed copy's by its name (a program of this host that no longer
// runs) and by the mark of an unfinished copy; a user's file named like one is never touched,
// and no listing removes anything.
TEST_P(CopyFileTest, OnlyMarkedLeftoversOfProgramsThatNoLongerRunAreSwept) {
    const std::string dead = testing::DeadProcessTemporaryName(7);
    const std::string host = dead.substr(dead.rfind('.'));
    const std::string deadPrefix = dead.substr(0, dead.rfind('.', dead.rfind('.') - 1) + 1);
    const std::string own = NewTemporaryName();
    struct Row {
        std::string name;
        mode_t mode;  // 1: a link
        bool swept;
    };
    const Row rows[] = {
        {dead, 0200, true},
        {deadPrefix + "9" + host, 0644, false},      // a user's file
        {deadPrefix + "11.elsewhere", 0200, false},  // another host's may still be written
        {own, 0200, false},                          // a program that runs
        {deadPrefix + "13" + host, 1, false},
    };
    std::vector<std::string> all = {"kept.txt"};
    tmp.File("dst/kept.txt", "k");
    for (const Row& row : rows) {
        const std::string path = dst + "/" + row.name;
        if (row.mode == 1) {
            ASSERT_EQ(symlink("kept.txt", path.c_str()), 0);
        } else {
            ASSERT_TRUE(testing::WriteFile(path, "partial"));
            ASSERT_EQ(chmod(path.c_str(), row.mode), 0);
        }
        all.push_back(row.name);
    }
    std::sort(all.begin(), all.end());
    std::vector<ListEntry> listed;
    ASSERT_EQ(fs.ListFiles(dst, "*.*", listed), 0);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].name, "kept.txt");
    std::vector<std::string> names, stale;
    ASSERT_EQ(fs.ListNames(dst, names, &stale), 0);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, all);
    EXPECT_EQ(ListDir(dst), all);  // listing changed nothing
    for (const Row& row : rows) {
        const bool named = std::find(stale.begin(), stale.end(), row.name) != stale.end();
        EXPECT_EQ(named, row.swept) << row.name;
        EXPECT_EQ(fs.RemoveStaleTemporary(dst + "/" + row.name),
                  row.swept ? 0 : WinErr::AccessDenied)
            << row.name;
        struct stat st;
        EXPECT_EQ(lstat((dst + "/" + row.name).c_str(), &st) != 0, row.swept) << row.name;
    }
    EXPECT_EQ(fs.RemoveStaleTemporary(dst + "/" + dead), WinErr::FileNotFound);
}

INSTANTIATE_TEST_SUITE_P(Publish, CopyFileTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Unnamed" : "NamedTemporary");
                         });

}  // namespace
}  // namespace ferrit
