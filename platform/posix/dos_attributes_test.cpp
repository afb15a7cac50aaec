// DOS attributes through the file services: read-only from the mode, the stored word, and the
// archive bit set again by a change.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/error_codes.h"
#include "platform/posix/dos_attributes.h"
#include "platform/posix/posix_file_services.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {

using testing::SetModTime;
using testing::TempDir;
using testing::XattrsSupported;

bool SetDosXattr(const std::string& path, const std::string& value) {
    return lsetxattr(path.c_str(), "user.DOSATTRIB", value.data(), value.size(), 0) == 0;
}

std::string GetXattr(const std::string& path, const char* name) {
    char buf[2048];
    ssize_t n = lgetxattr(path.c_str(), name, buf, sizeof buf);
    return n < 0 ? std::string("<none>") : std::string(buf, static_cast<size_t>(n));
}

mode_t ModeOf(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

class DosAttributesTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(tmp.path().empty()); }
    TempDir tmp;
    PosixFileServices fs;
};

TEST_F(DosAttributesTest, AttributesFromModeAndStoredWord) {
    if (!XattrsSupported(tmp.path()))
        GTEST_SKIP() << "no user extended attributes here";
    struct Case {
        const char* stored;  // nullptr: attribute absent
        mode_t mode;
        int32_t expected;
    };
    const Case cases[] = {
        {nullptr, 0644, Attr::Archive},
        {nullptr, 0444, Attr::Archive | Attr::ReadOnly},
        {nullptr, 0466, Attr::Archive | Attr::ReadOnly},  // only the owner's bit counts
        {"0x0", 0644, 0},
        {"0x2", 0644, Attr::Hidden},
        {"0x26", 0644, Attr::Hidden | Attr::System | Attr::Archive},
        {"0X4", 0444, Attr::System | Attr::ReadOnly},
        {"0x21", 0644, Attr::Archive},  // read-only comes from the mode alone
        {"0x2080", 0644, 0},            // foreign bits are not reported
        {"0x20a2", 0644, Attr::Archive | Attr::Hidden},
        {"garbage", 0644, Attr::Archive},  // unreadable word: as if absent
        {"0x", 0644, Attr::Archive},
    };
    int i = 0;
    for (const Case& c : cases) {
        std::string path = tmp.File("attr/f" + std::to_string(i++));
        if (c.stored) {
            ASSERT_TRUE(SetDosXattr(path, c.stored));
        }
        ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
        EXPECT_EQ(fs.GetAttributes(path), c.expected) << (c.stored ? c.stored : "none");
        // The listing leaves the stored word unread and says so: read-only from the mode.
        std::vector<ListEntry> out;
        ASSERT_EQ(fs.ListFiles(tmp.Path("attr"), "f" + std::to_string(i - 1), out), 0);
        ASSERT_EQ(out.size(), 1u);
        EXPECT_TRUE(out[0].attrUnread);
        EXPECT_EQ(out[0].attr, (c.mode & 0200 ? 0u : Attr::ReadOnly) | Attr::Archive);
    }
    // Samba's binary form begins with the same text, NUL-terminated.
    std::string path = tmp.File("attr/samba");
    std::string blob("0x6\0\x03\x00\x11\x22", 8);
    ASSERT_TRUE(SetDosXattr(path, blob));
    EXPECT_EQ(fs.GetAttributes(path), Attr::Hidden | Attr::System);
    std::string longBlob = "0x2" + std::string(1, '\0') + std::string(1000, '\x5a');
    ASSERT_TRUE(SetDosXattr(path, longBlob));
    EXPECT_EQ(fs.GetAttributes(path), Attr::Hidden);
    // A link shows its own attributes, not its target's.
    ASSERT_EQ(symlink("samba", tmp.Path("attr/samba-link").c_str()), 0);
    EXPECT_EQ(fs.GetAttributes(tmp.Path("attr/samba-link")), Attr::Archive);
    EXPECT_EQ(fs.CopyFile(path, path + ".copy"), 0);
    EXPECT_EQ(GetXattr(path + ".copy", "user.DOSATTRIB").size(), longBlob.size());

    std::string dir = tmp.Dir("attr/hiddendir");
    EXPECT_EQ(fs.GetAttributes(dir), Attr::Directory);
    ASSERT_TRUE(SetDosXattr(dir, "0x2"));
    EXPECT_EQ(fs.GetAttributes(dir), Attr::Directory | Attr::Hidden);
    EXPECT_EQ(fs.GetAttributes(tmp.Path("attr/missing")), -1);
}

TEST_F(DosAttributesTest, SetAttributesRoundTrips) {
    if (!XattrsSupported(tmp.path()))
        GTEST_SKIP() << "no user extended attributes here";
    const uint32_t values[] = {0x00, 0x01, 0x02, 0x04, 0x20, 0x21, 0x26, 0x27, 0x07};
    for (uint32_t v : values) {
        std::string path = tmp.File("rt/f" + std::to_string(v), "data");
        ASSERT_EQ(chmod(path.c_str(), 0664), 0);
        ASSERT_EQ(fs.SetAttributes(path, v), 0);
        EXPECT_EQ(fs.GetAttributes(path), static_cast<int32_t>(v)) << "value " << v;
        // Read-only takes every write bit away; clearing it gives the owner's back.
        EXPECT_EQ(ModeOf(path), (v & Attr::ReadOnly) ? 0444u : 0664u) << "value " << v;
        ASSERT_EQ(fs.SetAttributes(path, Attr::Archive), 0);
        EXPECT_EQ(fs.GetAttributes(path), Attr::Archive);
        EXPECT_EQ(ModeOf(path), (v & Attr::ReadOnly) ? 0644u : 0664u) << "value " << v;
    }
    // Bits found in the stored word that this program does not own are kept.
    std::string path = tmp.File("rt/foreign");
    ASSERT_TRUE(SetDosXattr(path, "0x2080"));
    ASSERT_EQ(fs.SetAttributes(path, Attr::Hidden), 0);
    EXPECT_EQ(GetXattr(path, "user.DOSATTRIB"), "0x2082");
    // A link is left alone: neither it nor its target changes.
    std::string target = tmp.File("rt/target");
    ASSERT_EQ(symlink("target", tmp.Path("rt/link").c_str()), 0);
    EXPECT_EQ(fs.SetAttributes(tmp.Path("rt/link"), Attr::ReadOnly | Attr::Hidden), 0);
    EXPECT_EQ(fs.GetAttributes(target), Attr::Archive);
    EXPECT_EQ(ModeOf(target), 0644u);
    EXPECT_EQ(fs.SetAttributes(tmp.Path("rt/missing"), 0), WinErr::FileNotFound);
    EXPECT_EQ(fs.SetAttributes(tmp.Path("nodir/missing"), 0), WinErr::PathNotFound);
}

TEST_F(DosAttributesTest, ChangedFileReadsAsArchiveSetAgain) {
    if (!XattrsSupported(tmp.path()))
        GTEST_SKIP() << "no user extended attributes here";
    std::string path = tmp.File("arch/doc.txt", "version 1");
    ASSERT_TRUE(SetModTime(path, 1600000000, 123456789));
    ASSERT_EQ(fs.SetAttributes(path, Attr::Hidden), 0);
    EXPECT_EQ(fs.GetAttributes(path), Attr::Hidden);
    // Unchanged content, attribute and mode changes: still clear.
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(fs.GetAttributes(path), Attr::Hidden);
    // An edit changes the modification time: archive reads as set.
    ASSERT_TRUE(testing::WriteFile(path, "version 2"));
    EXPECT_EQ(fs.GetAttributes(path), Attr::Hidden | Attr::Archive);
    // A time differing only in the nanoseconds counts as a change too.
    ASSERT_EQ(fs.SetAttributes(path, 0), 0);
    EXPECT_EQ(fs.GetAttributes(path), 0);
    ASSERT_TRUE(SetModTime(path, 1600000000, 123456788));
    ASSERT_EQ(fs.SetAttributes(path, 0), 0);
    ASSERT_TRUE(SetModTime(path, 1600000000, 123456789));
    EXPECT_EQ(fs.GetAttributes(path), Attr::Archive);
    // Clearing again records the new time; setting the bit explicitly sets it.
    ASSERT_EQ(fs.SetAttributes(path, 0), 0);
    EXPECT_EQ(fs.GetAttributes(path), 0);
    ASSERT_EQ(fs.SetAttributes(path, Attr::Archive), 0);
    EXPECT_EQ(fs.GetAttributes(path), Attr::Archive);
    // A read-only file can have its archive bit cleared, and stays read-only.
    ASSERT_EQ(fs.SetAttributes(path, Attr::ReadOnly | Attr::Archive), 0);
    ASSERT_EQ(fs.SetAttributes(path, Attr::ReadOnly), 0);
    EXPECT_EQ(fs.GetAttributes(path), Attr::ReadOnly);
    EXPECT_EQ(ModeOf(path), 0400u);
}

}  // namespace
}  // namespace ferrit
