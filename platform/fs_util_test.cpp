#include "platform/fs_util.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
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

}  // namespace
}  // namespace ferrit
