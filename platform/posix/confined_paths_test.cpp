#include "platform/posix/confined_paths.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "testing/temp_dir.h"

namespace ferrit {
namespace {

using testing::ListDir;
using testing::TempDir;

class ConfinedPathsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = tmp.Dir("root");
        tmp.File("root/a/b/file.txt", "f");
        tmp.File("outside/secret.txt", "s");
        ASSERT_EQ(symlink(tmp.Path("outside").c_str(), tmp.Path("root/a/linked").c_str()), 0);
        ASSERT_EQ(symlink("file.txt", tmp.Path("root/a/b/filelink").c_str()), 0);
        ASSERT_EQ(symlink(root.c_str(), tmp.Path("rootlink").c_str()), 0);
        paths.SetRoots({tmp.Path("rootlink") + "/"});
    }
    std::string Under(const std::string& rel) const { return tmp.Path("rootlink/" + rel); }

    TempDir tmp;
    std::string root;
    ConfinedPaths paths;
};

TEST_F(ConfinedPathsTest, LocateNeverPassesALinkBelowTheRoot) {
    struct Row {
        const char* path;
        int err;
        const char* name;
    };
    const Row rows[] = {
        {"a/b/file.txt", 0, "file.txt"},
        {"a/b//file.txt", 0, "file.txt"},
        {"a/b/filelink", 0, "filelink"},  // the link itself is the entry, never its target
        {"a/b/missing", 0, "missing"},
        {"a/linked/secret.txt", ELOOP, ""},
        {"a/linked/deeper/x", ELOOP, ""},
        {"a/nothere/x", ENOENT, ""},
        {"a/b/file.txt/x", ENOTDIR, ""},
        {"a/../../outside/secret.txt", EINVAL, ""},
        {"a/./b/file.txt", EINVAL, ""},
        // After names of the same directory were located: "." and ".." are still refused.
        {"a/b/..", EINVAL, ""},
        {"a/b/.", EINVAL, ""},
    };
    // The second time round the directories are ones located before: the answers stay.
    for (int round = 0; round < 2; ++round) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.path) + " round " + std::to_string(round));
            PathAt at;
            ASSERT_EQ(paths.Locate(Under(row.path), at).errnoValue, row.err);
            if (row.err == 0) {
                EXPECT_TRUE(at.confined);
                EXPECT_EQ(at.name, row.name);
                EXPECT_TRUE(at.held.Valid());
                EXPECT_EQ(at.dirText, Under("a/b"));
                struct stat dir, expected;
                ASSERT_EQ(fstat(at.held.Get(), &dir), 0);
                ASSERT_EQ(stat((root + "/a/b").c_str(), &expected), 0);
                EXPECT_EQ(dir.st_ino, expected.st_ino);
            }
        }
    }
    // The root as typed is followed, and so is everything outside it.
    SharedFd fd;
    EXPECT_EQ(paths.OpenDirectory(tmp.Path("rootlink"), fd).errnoValue, 0);
    EXPECT_EQ(paths.OpenDirectory(Under("a/linked"), fd).errnoValue, ELOOP);
    EXPECT_EQ(paths.OpenDirectory(tmp.Path("root/a/linked"), fd).errnoValue, 0);
    PathAt outside;
    ASSERT_EQ(paths.Locate(tmp.Path("root/a/linked/secret.txt"), outside).errnoValue, 0);
    EXPECT_FALSE(outside.confined);
}

TEST_F(ConfinedPathsTest, MakeDirectoriesStopsAtLinksAndFiles) {
    // The second time round a name in each parent was located first, as a walk has done
    // before it makes a directory there.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string made = "new" + std::to_string(round);
        if (round == 1) {
            ASSERT_EQ(paths.MakeDirectories(Under(made + "/one")).errnoValue, 0);
            for (const char* located : {"/one/x", "/x"}) {
                PathAt at;
                ASSERT_EQ(paths.Locate(Under(made + located), at).errnoValue, 0);
            }
            PathAt at;
            ASSERT_EQ(paths.Locate(Under("a/b/x"), at).errnoValue, 0);
            ASSERT_EQ(paths.Locate(Under("a/x"), at).errnoValue, 0);
        }
        EXPECT_EQ(paths.MakeDirectories(Under(made + "/one/two")).errnoValue, 0);
        struct stat st;
        EXPECT_EQ(stat((root + "/" + made + "/one/two").c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(paths.MakeDirectories(Under(made + "/one/two")).errnoValue, 0);  // there
        EXPECT_EQ(paths.MakeDirectories(Under("a/linked")).errnoValue, ELOOP);
        EXPECT_EQ(paths.MakeDirectories(Under("a/linked/made")).errnoValue, ELOOP);
        EXPECT_EQ(paths.MakeDirectories(Under("a/b/file.txt")).errnoValue, EEXIST);
        EXPECT_EQ(paths.MakeDirectories(Under("a/b/..")).errnoValue, EINVAL);
        EXPECT_EQ(ListDir(tmp.Path("outside")), std::vector<std::string>{"secret.txt"});
    }
}

TEST_F(ConfinedPathsTest, ARemovedDirectoryIsForgotten) {
    // Whether another directory was resolved between (so that only the directories kept as
    // lately resolved still hold the removed one), and how deep the removal was.
    // `located`: a name in the directory was located before it was removed.
    struct Row {
        const char* between;
        const char* removed;
        bool located;
    };
    const Row rows[] = {
        {nullptr, "gone", false},      {"a/b", "gone", false}, {"a/b", "gone/inner", false},
        {nullptr, "gone/inner", true}, {"a/b", "gone", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.between ? row.between : "-") + " " + row.removed +
                     (row.located ? " located" : ""));
        SharedFd fd;
        ASSERT_EQ(paths.MakeDirectories(Under("gone/inner")).errnoValue, 0);
        ASSERT_EQ(paths.OpenDirectory(Under("gone/inner"), fd).errnoValue, 0);
        fd.Reset();
        if (row.located) {
            PathAt old;
            ASSERT_EQ(paths.Locate(Under("gone/inner/new.txt"), old).errnoValue, 0);
        }
        if (row.between != nullptr) {
            ASSERT_EQ(paths.OpenDirectory(Under(row.between), fd).errnoValue, 0);
            ASSERT_EQ(paths.OpenDirectory(Under("gone/inner"), fd).errnoValue, 0);
            ASSERT_EQ(paths.OpenDirectory(Under(row.between), fd).errnoValue, 0);
        }
        ASSERT_EQ(rmdir((root + "/gone/inner").c_str()), 0);
        if (std::string(row.removed) == "gone") {
            ASSERT_EQ(rmdir((root + "/gone").c_str()), 0);
        }
        paths.Forget(Under(row.removed));
        // Made again under the same names: the new directories are the ones reached.
        ASSERT_EQ(paths.MakeDirectories(Under("gone/inner")).errnoValue, 0);
        tmp.File("root/gone/inner/new.txt", "n");
        PathAt at;
        ASSERT_EQ(paths.Locate(Under("gone/inner/new.txt"), at).errnoValue, 0);
        struct stat st;
        EXPECT_EQ(fstatat(at.held.Get(), at.name.c_str(), &st, 0), 0);
        ASSERT_EQ(unlink((root + "/gone/inner/new.txt").c_str()), 0);
        ASSERT_EQ(rmdir((root + "/gone/inner").c_str()), 0);
        ASSERT_EQ(rmdir((root + "/gone").c_str()), 0);
        paths.Forget(Under("gone"));
    }
}

// Thousands of levels stay within a bounded number of open descriptors, going down and up.
TEST_F(ConfinedPathsTest, DeepTreesKeepTheDescriptorsBounded) {
    const size_t before = ListDir("/proc/self/fd").size();
    std::string rel = "deep";
    for (int i = 0; i < 600; ++i) rel += "/d";
    ASSERT_EQ(paths.MakeDirectories(Under(rel)).errnoValue, 0);
    EXPECT_LT(ListDir("/proc/self/fd").size(), before + 160);
    // Up again, level by level, as a walk returns.
    for (int i = 0; i < 600; i += 37) {
        std::string up = rel.substr(0, rel.size() - 2 * static_cast<size_t>(i));
        SharedFd fd;
        ASSERT_EQ(paths.OpenDirectory(Under(up), fd).errnoValue, 0) << i;
    }
    EXPECT_LT(ListDir("/proc/self/fd").size(), before + 160);
    paths.SetRoots({});
    EXPECT_EQ(ListDir("/proc/self/fd").size(), before - 1);  // the root's own too
}

}  // namespace
}  // namespace ferrit
