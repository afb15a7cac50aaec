#include "platform/fs_util.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "testing/temp_dir.h"

namespace ferrit {
namespace {

using testing::ListDir;
using testing::TempDir;

// Sets the umask for one test and puts the old one back.
class UmaskScope {
  public:
    explicit UmaskScope(mode_t mask) : old_(umask(mask)) {}
    ~UmaskScope() { umask(old_); }

  private:
    mode_t old_;
};

mode_t ModeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(MakeDirectoriesPlain, MakesOnlyWhatIsMissing) {
    TempDir tmp;
    EXPECT_EQ(MakeDirectoriesPlain(tmp.Path("x/y/z")), 0);
    EXPECT_EQ(MakeDirectoriesPlain(tmp.Path("x/y/z")), 0);
    EXPECT_EQ(MakeDirectoriesPlain(tmp.Path("x/y/z/")), 0);
    tmp.File("file", "f");
    EXPECT_EQ(MakeDirectoriesPlain(tmp.Path("file")), EEXIST);
    EXPECT_EQ(MakeDirectoriesPlain(tmp.Path("file/sub")), ENOTDIR);
    EXPECT_EQ(ListDir(tmp.path()), (std::vector<std::string>{"file", "x"}));
}

// Each caller asks for its own mode (the settings file keeps its directory private); every level
// made gets it, a level that was there keeps its own.
TEST(MakeDirectoriesPlain, GivesEveryLevelMadeTheModeAsked) {
    struct Case {
        mode_t mode, umask, expected;
    };
    const std::vector<Case> cases = {
        {0700, 022, 0700}, {0755, 022, 0755}, {0777, 022, 0755}, {0777, 002, 0775}, {0777, 0, 0777},
    };
    for (const Case& c : cases) {
        TempDir tmp;
        tmp.Dir("old");
        ASSERT_EQ(chmod(tmp.Path("old").c_str(), 0751), 0);
        {
            UmaskScope scope(c.umask);
            ASSERT_EQ(MakeDirectoriesPlain(tmp.Path("old/a/b"), c.mode), 0);
        }
        EXPECT_EQ(ModeOf(tmp.Path("old/a")), c.expected) << std::oct << c.mode << " " << c.umask;
        EXPECT_EQ(ModeOf(tmp.Path("old/a/b")), c.expected) << std::oct << c.mode << " " << c.umask;
        EXPECT_EQ(ModeOf(tmp.Path("old")), 0751u);
    }
}

enum class Before { Nothing, PrivateFile, LinkToPrivateFile, Directory, KilledSave };

// What stands at "dir/f.ini" before the save, and what the save leaves there, with the umask 002
// so that a kept or fixed mode differs from a new file's.
TEST(SaveWholeFile, ReplacesTheFileWholeAsAsked) {
    struct Case {
        const char* what;
        Before before;
        bool throughLink, keepMode;
        bool ok;
        mode_t mode;         // of the file saved (through a kept link)
        bool linkKept;       // f.ini is still a link
        std::string target;  // the text of real.ini afterwards, when there is one
    };
    const std::vector<Case> cases = {
        {"new, mode kept", Before::Nothing, true, true, true, 0644, false, ""},
        {"new, fresh mode", Before::Nothing, false, false, true, 0664, false, ""},
        {"private, mode kept", Before::PrivateFile, false, true, true, 0600, false, ""},
        {"private, fresh mode", Before::PrivateFile, false, false, true, 0664, false, ""},
        {"link followed", Before::LinkToPrivateFile, true, true, true, 0600, true, "new"},
        {"link replaced", Before::LinkToPrivateFile, false, false, true, 0664, false, "old"},
        {"directory in the way", Before::Directory, false, false, false, 0, false, ""},
        {"a killed save's leftover", Before::KilledSave, false, false, true, 0664, false, ""},
    };
    for (const Case& c : cases) {
        TempDir tmp;
        const std::string path = tmp.Path("dir/f.ini");
        switch (c.before) {
            case Before::Nothing:
                break;
            case Before::PrivateFile:
                tmp.File("dir/f.ini", "old");
                ASSERT_EQ(chmod(path.c_str(), 0600), 0);
                break;
            case Before::LinkToPrivateFile:
                tmp.File("dir/real.ini", "old");
                ASSERT_EQ(chmod(tmp.Path("dir/real.ini").c_str(), 0600), 0);
                ASSERT_EQ(symlink("real.ini", path.c_str()), 0);
                break;
            case Before::Directory:
                tmp.Dir("dir/f.ini/inside");
                break;
            case Before::KilledSave: {
                const std::string leftover = "dir/" + testing::DeadProcessTemporaryName(0);
                tmp.File("dir/f.ini", "old");
                tmp.File(leftover, "half");
                ASSERT_TRUE(testing::MarkAsUnfinishedCopy(tmp.Path(leftover)));
                break;
            }
        }
        WholeFileSave how;
        how.directoryMode = 0700;
        how.throughLink = c.throughLink;
        how.keepMode = c.keepMode;
        bool ok = false;
        {
            UmaskScope scope(002);
            ok = SaveWholeFile(path, "new", how);
        }
        EXPECT_EQ(ok, c.ok) << c.what;
        struct stat lst;
        ASSERT_EQ(lstat(path.c_str(), &lst), 0) << c.what;
        EXPECT_EQ(S_ISLNK(lst.st_mode), c.linkKept) << c.what;
        if (c.ok) {
            EXPECT_EQ(testing::ReadFile(path), "new") << c.what;
            EXPECT_EQ(ModeOf(path), c.mode) << std::oct << c.what;
        }
        if (c.before == Before::Nothing) {
            EXPECT_EQ(ModeOf(tmp.Path("dir")), 0700u) << c.what;
        }
        if (!c.target.empty()) {
            EXPECT_EQ(testing::ReadFile(tmp.Path("dir/real.ini")), c.target) << c.what;
        }
        // Nothing but what was there and the file itself: no temporary file is left behind.
        const std::vector<std::string> expected =
            c.before == Before::LinkToPrivateFile ? std::vector<std::string>{"f.ini", "real.ini"}
                                                  : std::vector<std::string>{"f.ini"};
        EXPECT_EQ(ListDir(tmp.Path("dir")), expected) << c.what;
    }
}

// An attribute as a getxattr-like call sees it on a busy file: each call meets the next version
// (the last one stays), so the value may change between the length query and the read.
struct ChangingAttr {
    std::vector<std::string> versions;  // empty: no such attribute
    size_t calls = 0;

    ssize_t operator()(char* buf, size_t size) {
        if (versions.empty()) {
            errno = ENODATA;
            return -1;
        }
        const std::string& v = versions[std::min(calls++, versions.size() - 1)];
        if (size == 0) {
            return static_cast<ssize_t>(v.size());
        }
        if (v.size() > size) {
            errno = ERANGE;
            return -1;
        }
        v.copy(buf, v.size());
        return static_cast<ssize_t>(v.size());
    }
};

TEST(ReadWholeXattr, ReadsTheWholeValueOrSaysWhyNot) {
    const std::string big(1000, 'x');
    const std::string huge(70000, 'h');
    std::vector<std::string> growing;
    for (size_t i = 0; i < 10; ++i) {
        growing.push_back(big + std::string(2 * i, 'g'));
    }
    struct Case {
        const char* what;
        std::vector<std::string> versions;
        size_t maxBytes;
        bool ok;
        std::string value;  // when ok
        int error;          // when not ok
    };
    const std::vector<Case> cases = {
        {"short", {"0x20"}, SIZE_MAX, true, "0x20", 0},
        {"empty", {""}, SIZE_MAX, true, "", 0},
        {"longer than the first buffer", {big}, SIZE_MAX, true, big, 0},
        {"absent", {}, SIZE_MAX, false, "", ENODATA},
        {"over the limit", {huge}, 65536, false, "", E2BIG},
        {"no limit", {huge}, SIZE_MAX, true, huge, 0},
        {"grows after the length query", {big, big, big + "more"}, SIZE_MAX, true, big + "more", 0},
        {"changes after an empty length", {big, "", "new"}, SIZE_MAX, true, "new", 0},
        {"grows without end", growing, SIZE_MAX, false, "", ERANGE},
    };
    for (const Case& c : cases) {
        ChangingAttr attr{c.versions};
        std::string value = "before";
        errno = 0;
        const bool ok = ReadWholeXattr(std::ref(attr), value, c.maxBytes);
        EXPECT_EQ(ok, c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.what;
        } else {
            EXPECT_EQ(errno, c.error) << c.what;
            EXPECT_EQ(value, "before") << c.what;  // a failed read leaves the value alone
        }
    }
}

}  // namespace
}  // namespace ferrit
