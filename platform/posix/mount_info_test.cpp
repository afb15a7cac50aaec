// The universal names of the path fields' hints.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/fs_util.h"
#include "platform/posix/mount_info.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {

using testing::TempDir;

class MountInfoTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(tmp.path().empty()); }
    TempDir tmp;
};

TEST_F(MountInfoTest, UniversalNameResolvesLinks) {
    EXPECT_EQ(UniversalName(""), "");
    char* real = realpath(tmp.path().c_str(), nullptr);
    ASSERT_NE(real, nullptr);
    std::string root = real;
    std::free(real);
    tmp.Dir("un/real");
    ASSERT_EQ(symlink("real", tmp.Path("un/link").c_str()), 0);
    EXPECT_EQ(UniversalName(tmp.Path("un/link")), root + "/un/real");
    EXPECT_EQ(UniversalName(tmp.Path("un/link/")), root + "/un/real");
    // A path that does not exist yet keeps its missing tail.
    EXPECT_EQ(UniversalName(tmp.Path("un/link/new/deeper")), root + "/un/real/new/deeper");
}

TEST(NetworkNameFromMountInfo, ReplacesNetworkMountPoints) {
    const std::string info =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "30 22 0:40 / /mnt/nfs rw,relatime shared:5 - nfs4 server:/export rw,vers=4.2\n"
        "31 22 0:41 / /mnt/nfs2 rw,relatime - ext4 /dev/sdb1 rw\n"
        "32 22 0:42 / /mnt/my\\040share rw,relatime - cifs //fs01/Team\\040Data rw\n"
        "33 30 0:43 / /mnt/nfs/local rw - tmpfs tmpfs rw\n"
        "34 22 0:44 / /home/u/remote rw,nosuid - fuse.sshfs u@host:/srv rw\n"
        "35 22 0:45 / /mnt/shadow rw - nfs old:/a rw\n"
        "36 22 0:46 / /mnt/shadow rw - cifs //new/b rw\n"
        "37 22 0:40 /projects/x /srv/x rw - nfs4 server:/export rw\n"
        "garbage line\n";
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"/mnt/nfs", "server:/export"},
        {"/mnt/nfs/dir/file", "server:/export/dir/file"},
        {"/mnt/nfs2/dir", "/mnt/nfs2/dir"},  // a sibling whose name only begins alike
        {"/mnt/nfsx", "/mnt/nfsx"},
        {"/mnt/my share/docs", "//fs01/Team Data/docs"},
        {"/mnt/nfs/local/x", "/mnt/nfs/local/x"},  // the deeper local mount wins
        {"/home/u/remote/p", "u@host:/srv/p"},
        {"/mnt/shadow/q", "//new/b/q"},  // the later of two mounts on one point
        {"/usr/bin", "/usr/bin"},
        {"/srv/x/y", "server:/export/projects/x/y"},  // a bind mount of a subdirectory
        {"/srv/x", "server:/export/projects/x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NetworkNameFromMountInfo(c.path, info), c.expected) << c.path;
    }
    EXPECT_EQ(NetworkNameFromMountInfo("/a/b", ""), "/a/b");
    EXPECT_EQ(NetworkNameFromMountInfo("/a/b", "1 0 0:1 / / rw - nfs srv:/ rw\n"), "srv:/a/b");
}

// The layers of an overlay, found by the overlay's device: every lower one (a colon in a path
// written "\:", other characters as octal escapes) and the upper one.
TEST(OverlayLayers, AreReadFromTheMountTable) {
    const std::string table =
        "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
        "47 27 0:40 / /m rw,relatime - overlay overlay "
        "rw,lowerdir=/l1:/odd\\:name:/sp\\040ace,upperdir=/u,workdir=/w,uuid=on\n"
        "48 27 0:41 / /n rw - overlay overlay rw,lowerdir+=/a,lowerdir+=/b,datadir+=/c\n"
        "49 27 0:42 / /o rw - tmpfs tmpfs rw,lowerdir=/nope\n";
    struct {
        unsigned minor;
        std::vector<std::string> layers;
    } const rows[] = {
        {40, {"/l1", "/odd:name", "/sp ace", "/u"}},
        {41, {"/a", "/b", "/c"}},
        {42, {}},  // not an overlay
        {43, {}},  // not mounted
    };
    for (const auto& row : rows) {
        EXPECT_EQ(OverlayLayersFromMountInfo(table, 0, row.minor), row.layers) << row.minor;
    }
}

}  // namespace
}  // namespace ferrit
