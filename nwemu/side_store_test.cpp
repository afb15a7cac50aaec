// The side file that keeps the metadata beside a volume, where the system keeps no extended
// attributes: what it keeps, what it never overwrites, and what two stores of one volume see.
#include <gtest/gtest.h>

#include "nwemu/network.h"
#include "platform/error_codes.h"
#include "platform/fs_util.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace nwemu {
namespace {

constexpr const char* kHeader = "ferrit-nwemu metadata 1\n";

class SideStoreTest : public ::testing::Test {
  protected:
    SideStoreTest() {
        config.AddServer("FS1")
            .AddVolume("DATA", scratch.Dir("FS1/DATA"))
            .Login("JSMITH")
            .User("JSMITH", 0x301);
    }
    // A network of its own each time, so nothing is remembered between two calls.
    EntryMetadata Fresh(const std::string& relative) const {
        return Network(config, MetadataKeeping::BesideVolumes).Metadata(scratch.Path(relative));
    }
    std::string SideFile() const { return scratch.Path("FS1/DATA.nwemu"); }

    testing::TempDir scratch;
    Config config;
};

TEST(SideFileOfTest, LiesBesideTheVolumeOrNowhere) {
    EXPECT_EQ(SideFileOf("/srv/nw/DATA"), "/srv/nw/DATA.nwemu");
    EXPECT_EQ(SideFileOf("/"), "");
#ifdef _WIN32
    EXPECT_EQ(SideFileOf("C:\\nw\\DATA"), "C:\\nw\\DATA.nwemu");
    EXPECT_EQ(SideFileOf("C:\\"), "");
#endif
}

// A side file this store cannot read whole is never replaced: every read and write fails, and
// the file stays as it was.
TEST_F(SideStoreTest, WhatCannotBeReadIsNeverOverwritten) {
    struct Case {
        const char* what;
        std::string contents;  // empty: a directory in the side file's place
    } cases[] = {
        {"another format", "ferrit-nwemu metadata 2\n/\t1:2:3\towner=301\n"},
        {"no header", "/\t1:2:3\towner=301\n"},
        {"a directory", ""},
    };
    scratch.File("FS1/DATA/a.txt", "a");
    for (const Case& c : cases) {
        testing::RemoveTree(SideFile());
        if (c.contents.empty()) {
            scratch.Dir("FS1/DATA.nwemu");
        } else {
            testing::WriteFile(SideFile(), c.contents);
        }
        uint32_t owner = 0;
        std::vector<Trustee> trustees;
        int error = 0;
        EXPECT_FALSE(Fresh("FS1/DATA/a.txt").ReadOwner(owner)) << c.what;
        EXPECT_FALSE(Fresh("FS1/DATA").ReadTrustees(trustees, &error)) << c.what;
        EXPECT_NE(error, 0) << c.what;
        EXPECT_NE(Fresh("FS1/DATA/a.txt").WriteOwner(0x301), 0) << c.what;
        if (!c.contents.empty()) {
            EXPECT_EQ(testing::ReadFile(SideFile()), c.contents) << c.what;
        }
    }
}

// Records of names with the file's own separators, and lines it does not understand, survive a
// write by another store.
TEST_F(SideStoreTest, KeepsOddNamesAndLinesItDoesNotUnderstand) {
    std::vector<std::string> names = {"100%", "a b", "ÄÖÜ"};
#ifndef _WIN32
    names.push_back("tab\there");
    names.push_back("line\nfeed");
#endif
    for (size_t i = 0; i < names.size(); ++i) {
        scratch.File("FS1/DATA/D/" + names[i], "x");
        ASSERT_EQ(Fresh("FS1/DATA/D/" + names[i]).WriteOwner(0x1000 + i), 0) << names[i];
    }
    testing::WriteFile(SideFile(), testing::ReadFile(SideFile()) + "a line from elsewhere\n");
    ASSERT_EQ(Fresh("FS1/DATA/D").WriteMask(0x0B), 0);
    for (size_t i = 0; i < names.size(); ++i) {
        uint32_t owner = 0;
        EXPECT_TRUE(Fresh("FS1/DATA/D/" + names[i]).ReadOwner(owner)) << names[i];
        EXPECT_EQ(owner, 0x1000 + i) << names[i];
    }
    const std::string text = testing::ReadFile(SideFile());
    EXPECT_EQ(text.rfind(kHeader, 0), 0u);
    EXPECT_NE(text.find("\na line from elsewhere\n"), std::string::npos);
}

// One store's write is seen by another that read the file before; an entry made anew under an
// old name, or a renamed directory's entries, are told apart by their identity.
TEST_F(SideStoreTest, StoresOfOneVolumeSeeEachOthersWritesAndEntriesByIdentity) {
    const std::string file = scratch.File("FS1/DATA/D/f.txt", "f");
    const Network first(config, MetadataKeeping::BesideVolumes);
    const Network second(config, MetadataKeeping::BesideVolumes);
    uint16_t mask = 0;
    EXPECT_FALSE(second.Metadata(file).ReadMask(mask));
    ASSERT_EQ(first.Metadata(file).WriteMask(0x0B), 0);
    ASSERT_TRUE(second.Metadata(file).ReadMask(mask));
    EXPECT_EQ(mask, 0x0B);
    ASSERT_EQ(second.Metadata(file).WriteMask(0), 0);
    ASSERT_TRUE(first.Metadata(file).ReadMask(mask));
    EXPECT_EQ(mask, 0);

    // Without a time of making (Wine) no renamed entry is looked for, and a new entry may be
    // given the number of a removed one.
    PathFacts facts;
    ASSERT_EQ(StatPath(file, facts), 0);
    const bool byIdentity = facts.created != 0;
    ASSERT_EQ(std::rename(scratch.Path("FS1/DATA/D").c_str(), scratch.Path("FS1/DATA/E").c_str()),
              0);
    EXPECT_EQ(first.Metadata(scratch.Path("FS1/DATA/E/f.txt")).ReadMask(mask), byIdentity);
    ASSERT_EQ(first.Metadata(scratch.Path("FS1/DATA/E/f.txt")).WriteMask(0x0B), 0);
    ASSERT_EQ(std::remove(scratch.Path("FS1/DATA/E/f.txt").c_str()), 0);
    scratch.File("FS1/DATA/E/f.txt", "new");
    if (byIdentity) {
        EXPECT_FALSE(second.Metadata(scratch.Path("FS1/DATA/E/f.txt")).ReadMask(mask));
    }
    EXPECT_EQ(first.Metadata(scratch.Path("FS1/DATA/E/gone.txt")).WriteMask(1),
              WinErr::FileNotFound);
}

}  // namespace
}  // namespace nwemu
}  // namespace ferrit
