#include "nwemu/client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/fs_util.h"
#include "platform/system_services.h"
#include "testing/emulated_servers.h"
#include "testing/faulty_netware_client.h"
#include "testing/system.h"

namespace ferrit {
namespace nwemu {
namespace {

using EmuScratch = testing::TempDir;
using testing::StandardServers;
using namespace testing::StdIds;

constexpr uint16_t A = Rights::AccessControl;
constexpr uint16_t S = Rights::Supervisor;

uint16_t Letters(const std::string& text) {
    uint16_t r = 0;
    EXPECT_TRUE(ParseRightsLetters(text, r)) << text;
    return r;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class EmulatedClientTest : public ::testing::Test {
  protected:
    explicit EmulatedClientTest(MetadataKeeping keeping = SystemMetadataKeeping())
        : keeping(keeping), client(StandardServers(scratch), keeping) {
        fs1 = client.ConnectionOf("FS1");
        fs2 = client.ConnectionOf("FS2");
        fs3 = client.ConnectionOf("FS3");
    }
    EntryMetadata Meta(const std::string& local) { return client.Servers().Metadata(local); }
    void Grant(const std::string& local, uint32_t id, const std::string& rights) {
        std::vector<Trustee> t;
        Meta(local).ReadTrustees(t);
        t.push_back({id, Letters(rights)});
        ASSERT_EQ(0, Meta(local).WriteTrustees(t));
    }
    std::string Fs1(const std::string& rel) { return scratch.Dir("FS1/DATA/" + rel); }
    std::string Fs2(const std::string& rel) { return scratch.Dir("FS2/DATA/" + rel); }
    uint16_t Rights(NWCONN_HANDLE conn, const std::string& path) {
        uint16_t r = 0xFFFF;
        EXPECT_EQ(0, client.GetEffectiveRights(conn, 0, path, r)) << path;
        return r;
    }

    const MetadataKeeping keeping;
    EmuScratch scratch;
    Client client;
    NWCONN_HANDLE fs1 = 0, fs2 = 0, fs3 = 0;
};

// The same, for each way of keeping the metadata: with the entries (extended attributes, where
// the system has them) and beside the volumes.
class EmulatedMetadataTest : public ::testing::WithParamInterface<MetadataKeeping>,
                             public EmulatedClientTest {
  protected:
    EmulatedMetadataTest() : EmulatedClientTest(GetParam()) {}
};

std::vector<MetadataKeeping> Keepings() {
    std::vector<MetadataKeeping> all{MetadataKeeping::BesideVolumes};
    if (SystemMetadataKeeping() == MetadataKeeping::WithEntries) {
        all.push_back(MetadataKeeping::WithEntries);
    }
    return all;
}

INSTANTIATE_TEST_SUITE_P(Keeping, EmulatedMetadataTest, ::testing::ValuesIn(Keepings()),
                         [](const ::testing::TestParamInfo<MetadataKeeping>& info) {
                             return info.param == MetadataKeeping::WithEntries ? "WithEntries"
                                                                               : "BesideVolumes";
                         });

TEST_F(EmulatedClientTest, ParsePathGivesTheServersConnectionAndVolumePath) {
    Fs1("Projects/Alpha");
    struct Case {
        std::string local;
        NWCONN_HANDLE conn;
        std::string volumePath;
    } cases[] = {
        {scratch.Path("FS1/DATA"), fs1, "DATA:"},
        {scratch.Path("FS1/DATA/"), fs1, "DATA:"},
        {scratch.Path("FS1/DATA/Projects/Alpha"), fs1, "DATA:Projects\\Alpha"},
        {scratch.Path("FS1/DATA/Projects/./Alpha/../Alpha/"), fs1, "DATA:Projects\\Alpha"},
        {scratch.Path("FS1/DATA/Projects/new.txt"), fs1,
         "DATA:Projects\\new.txt"},  // not yet there
        {scratch.Path("FS2/DATA"), fs2, "DATA:"},
        {scratch.Path("FS3/DATA/x"), fs3, "DATA:x"},
    };
    for (const Case& c : cases) {
        NWCONN_HANDLE conn = 0;
        NWDIR_HANDLE dh = 7;
        std::string vp;
        EXPECT_EQ(0, client.ParsePath(c.local, conn, dh, vp)) << c.local;
        EXPECT_EQ(c.conn, conn) << c.local;
        EXPECT_EQ(0, dh);
        EXPECT_EQ(c.volumePath, vp) << c.local;
    }
    EXPECT_NE(0u, fs1);
    EXPECT_NE(fs1, fs2);
    EXPECT_NE(fs2, fs3);

    // Anything outside the volumes fails; a link to a volume directory lands on the volume.
    NWCONN_HANDLE conn = 0;
    NWDIR_HANDLE dh = 0;
    std::string vp;
    for (const std::string& outside :
         {scratch.path(), scratch.Dir("FS1/DATAX"), std::string("/"), std::string()}) {
        EXPECT_NE(0, client.ParsePath(outside, conn, dh, vp)) << outside;
        EXPECT_EQ(0u, conn);
        EXPECT_EQ("", vp);
    }
    SKIP_ON_WINDOWS("symbolic links");
    ASSERT_TRUE(testing::MakeSymlink(scratch.Path("FS1/DATA/Projects"), scratch.Path("link")));
    EXPECT_EQ(0, client.ParsePath(scratch.Path("link/Alpha"), conn, dh, vp));
    EXPECT_EQ("DATA:Projects\\Alpha", vp);
}

TEST_F(EmulatedClientTest, VolumePathsFindEntriesWithoutRegardToCaseButNeverLeaveTheVolume) {
    Fs1("Projects/Alpha");
    uint16_t r = 0;
    EXPECT_EQ(0, client.GetEffectiveRights(fs1, 0, "data:PROJECTS\\alpha", r));
    EXPECT_EQ(0, client.GetEffectiveRights(fs1, 0, "FS1/DATA:Projects/Alpha", r));
    for (const char* bad :
         {"DATA:Projects\\..\\..\\..", "DATA:missing", "SYS:", "nocolon", "FS2/DATA:Projects"}) {
        EXPECT_EQ(Code::InvalidPath, client.GetEffectiveRights(fs1, 0, bad, r)) << bad;
    }
    EXPECT_EQ(Code::InvalidConnection, client.GetEffectiveRights(99, 0, "DATA:", r));

    // A link inside the volume is an entry, but no way out of the volume.
    SKIP_ON_WINDOWS("symbolic links");
    scratch.File("outside/secret.txt", "s");
    ASSERT_TRUE(testing::MakeSymlink(scratch.Path("outside"), scratch.Path("FS1/DATA/out")));
    EXPECT_EQ(0, client.GetEffectiveRights(fs1, 0, "DATA:out", r));
    EXPECT_EQ(Code::InvalidPath, client.GetEffectiveRights(fs1, 0, "DATA:out\\secret.txt", r));
}

TEST_F(EmulatedClientTest, ConnectionInformation) {
    std::string text;
    EXPECT_EQ(0, client.GetConnInfoText(fs1, ConnInfo::TreeName, 255, text));
    EXPECT_EQ("ACME" + std::string(28, '_'), text);
    EXPECT_EQ(0, client.GetConnInfoText(fs3, ConnInfo::TreeName, 255, text));
    EXPECT_EQ(std::string(32, '_'), text);
    EXPECT_EQ(0, client.GetConnInfoText(fs2, ConnInfo::ServerName, 255, text));
    EXPECT_EQ("FS2", text);
    EXPECT_EQ(0, client.GetConnInfoText(fs1, ConnInfo::TreeName, 3, text));
    EXPECT_EQ("AC", text);  // the buffer holds the terminator too
    uint32_t value = 7;
    EXPECT_EQ(0, client.GetConnInfoValue(fs1, ConnInfo::DirectoryServices, value));
    EXPECT_EQ(1u, value);
    EXPECT_EQ(0, client.GetConnInfoValue(fs3, ConnInfo::DirectoryServices, value));
    EXPECT_EQ(0u, value);
    EXPECT_NE(0, client.GetConnInfoText(0, ConnInfo::ServerName, 255, text));
    EXPECT_EQ("", text);
    EXPECT_NE(0, client.GetConnInfoValue(fs1, ConnInfo::ServerName, value));
}

TEST_F(EmulatedClientTest, StartUpOpensThePrimaryServer) {
    uint32_t ref = 0;
    EXPECT_EQ(0, client.CallsInit());
    EXPECT_EQ(0, client.ConnLayerInit(ref));
    EXPECT_EQ(0, client.GetPrimaryConnRef(ref));
    NWCONN_HANDLE conn = 0;
    EXPECT_EQ(0, client.OpenConnByReference(ref, 1, 0, conn));
    EXPECT_EQ(fs1, conn);
    EXPECT_NE(0, client.OpenConnByReference(ref + 3, 1, 0, conn));
}

// The rule of effective rights, through several levels: explicit assignments replace what was
// inherited, masks filter what passes down, groups add up, and Supervisor cannot be masked.
TEST_P(EmulatedMetadataTest, EffectiveRightsFollowTheNetWareRule) {
    const std::string root = scratch.Path("FS1/DATA");
    const std::string a = Fs1("A");
    const std::string b = Fs1("A/B");
    const std::string c = Fs1("A/B/C");
    const std::string d = Fs1("A/B/C/D");
    const std::string f = scratch.File("FS1/DATA/A/B/C/D/file.txt", "x");
    Grant(root, Fs1Jsmith, "RWCEMFA");
    ASSERT_EQ(0, Meta(b).WriteMask(Letters("RF")));       // B passes Read and File Scan only
    Grant(b, Fs1Sales, "RWF");                            // the group gets more in B
    ASSERT_EQ(0, Meta(c).WriteMask(Letters("SRWCEMF")));  // C blocks Access Control
    Grant(d, Fs1Jsmith, "R");                             // explicit, replaces what came down
    ASSERT_EQ(0, Meta(f).WriteMask(0));                   // the file blocks everything inherited

    EXPECT_EQ(Letters("RWCEMFA"), Rights(fs1, "DATA:"));
    EXPECT_EQ(Letters("RWCEMFA"), Rights(fs1, "DATA:A"));
    EXPECT_EQ(Letters("RWF"), Rights(fs1, "DATA:A\\B"));  // R F from above, R W F via SALES
    EXPECT_EQ(Letters("RWF"), Rights(fs1, "DATA:A\\B\\C"));
    EXPECT_EQ(Letters("RWF"), Rights(fs1, "DATA:A\\B\\C\\D"));  // own R plus SALES' RWF
    EXPECT_EQ(0, Rights(fs1, "DATA:A\\B\\C\\D\\file.txt"));

    // Another user's assignments count for nobody else.
    Grant(c, Fs1Mbrown, "S");
    EXPECT_EQ(Letters("RWF"), Rights(fs1, "DATA:A\\B\\C"));
    Location atD;
    ASSERT_TRUE(client.Servers().LocateVolumePath(0, "DATA:A\\B\\C\\D", atD));
    EXPECT_EQ(kAllRights, client.Servers().EffectiveRights(atD, Fs1Mbrown));

    // Supervisor granted to a group above gives every right below, whatever the masks.
    Grant(a, Fs1Staff, "S");
    EXPECT_EQ(kAllRights, Rights(fs1, "DATA:A"));
    EXPECT_EQ(kAllRights, Rights(fs1, "DATA:A\\B\\C\\D\\file.txt"));
    EXPECT_EQ(Letters("RWCEMFA"), Rights(fs1, "DATA:"));
    EXPECT_EQ(0, Rights(fs2, "DATA:"));  // nothing granted on FS2
    uint16_t r = 0;
    EXPECT_EQ(Code::InvalidPath, client.GetEffectiveRights(fs1, 0, "DATA:A\\nothing", r));
}

TEST_P(EmulatedMetadataTest, TrusteesComeInBatchesOfTwentyAndEndWithACode) {
    Config config = StandardServers(scratch);
    for (uint32_t i = 0; i < 25; ++i) {
        config.servers[0].User("U" + std::to_string(i), 0x05000000 + i,
                               "CN=U" + std::to_string(i) + ".O=ACME");
    }
    Client many(config, keeping);
    Grant(scratch.Path("FS1/DATA"), Fs1Jsmith, "A");
    const std::string twenty = Fs1("Twenty");
    const std::string twentyFive = Fs1("TwentyFive");
    for (uint32_t i = 0; i < 25; ++i) {
        if (i < 20) {
            Grant(twenty, 0x05000000 + i, "RF");
        }
        Grant(twentyFive, 0x05000000 + i, i % 2 == 0 ? "R" : "RW");
    }
    auto scanAll = [&](const std::string& path, std::vector<int>& batchSizes, uint16_t& endCode) {
        std::vector<Trustee> seen;
        uint32_t iter = 0;
        TrusteeBatch batch;
        for (int guard = 0; guard < 10; ++guard) {
            const NWCCODE code = many.ScanTrustees(fs1, 0, path, iter, batch);
            if (code != 0) {
                endCode = code;
                break;
            }
            int n = 0;
            while (n < kTrusteeBatchSize && batch[static_cast<size_t>(n)].objectId != 0) {
                seen.push_back(
                    {batch[static_cast<size_t>(n)].objectId, batch[static_cast<size_t>(n)].rights});
                ++n;
            }
            batchSizes.push_back(n);
        }
        return seen;
    };
    std::vector<int> sizes;
    uint16_t end = 0;
    std::vector<Trustee> seen = scanAll("DATA:Twenty", sizes, end);
    EXPECT_EQ((std::vector<int>{20}), sizes);
    EXPECT_EQ(Code::InvalidPath, end);
    ASSERT_EQ(20u, seen.size());
    EXPECT_EQ(0x05000013u, seen[19].id);

    sizes.clear();
    seen = scanAll("DATA:TwentyFive", sizes, end);
    EXPECT_EQ((std::vector<int>{20, 5}), sizes);
    ASSERT_EQ(25u, seen.size());
    EXPECT_EQ(0x05000018u, seen[24].id);
    EXPECT_EQ(Letters("R"), seen[24].rights);
    EXPECT_EQ(Letters("RW"), seen[1].rights);

    // A directory without trustees ends at once.
    sizes.clear();
    EXPECT_TRUE(scanAll("DATA:", sizes, end).size() == 1);  // JSMITH at the root
    Fs1("Empty");
    sizes.clear();
    EXPECT_TRUE(scanAll("DATA:Empty", sizes, end).empty());
    EXPECT_TRUE(sizes.empty());
}

TEST_P(EmulatedMetadataTest, AddingATrusteeReplacesItsAssignmentAndNeedsAccessControl) {
    const std::string dir = Fs1("Dir");
    Grant(scratch.Path("FS1/DATA"), Fs1Jsmith, "RWCEFA");
    EXPECT_EQ(0, client.AddTrustee(fs1, 0, "DATA:Dir", Fs1Mbrown, Letters("RF")));
    EXPECT_EQ(0, client.AddTrustee(fs1, 0, "DATA:Dir", Fs1Sales, Letters("R")));
    EXPECT_EQ(0, client.AddTrustee(fs1, 0, "DATA:Dir", Fs1Mbrown, Letters("RWCE")));
    std::vector<Trustee> t;
    ASSERT_TRUE(Meta(dir).ReadTrustees(t));
    ASSERT_EQ(2u, t.size());
    EXPECT_EQ(Fs1Mbrown, t[0].id);
    EXPECT_EQ(Letters("RWCE"), t[0].rights);
    EXPECT_EQ(Code::NoSuchObject, client.AddTrustee(fs1, 0, "DATA:Dir", 0x0BADBAD0, 1));
    EXPECT_EQ(Code::NoSuchObject, client.AddTrustee(fs1, 0, "DATA:Dir", 0, 1));

    // Without Access Control every change is refused and nothing changes; the scan then shows
    // only the workstation's own assignments.
    const std::string locked = Fs1("Locked");
    ASSERT_EQ(0, Meta(locked).WriteMask(Letters("RWCEF")));
    Grant(locked, Fs1Mbrown, "R");
    Grant(locked, Fs1Sales, "RF");
    EXPECT_EQ(Code::NoModifyPrivileges, client.AddTrustee(fs1, 0, "DATA:Locked", Fs1Mbrown, 0xFF));
    DosInfo owner;
    owner.ownerId = Fs1Mbrown;
    EXPECT_EQ(Code::NoModifyPrivileges,
              client.ModifyDosInfo(fs1, 0, "DATA:Locked", 0, 0x16, kModifyOwner, owner));
    NWDIR_HANDLE dh = 0;
    uint8_t mask = 0;
    ASSERT_EQ(0, client.AllocTemporaryDirectoryHandle(fs1, 0, "DATA:Locked", dh, mask));
    EXPECT_EQ(Letters("RWCEF") & 0xFF, mask);
    EXPECT_EQ(Code::NoModifyPrivileges, client.SetDirSpaceLimit(fs1, dh, 100));
    uint32_t iter = 0xFFFFFFFF;
    DirEntryRecord rec;
    ASSERT_EQ(0, client.ScanDirEntryInfo(fs1, dh, 0x16, iter, rec));
    rec.inheritedRightsMask = kAllRights;
    EXPECT_EQ(Code::NoModifyPrivileges,
              client.ModifyDirEntry(fs1, dh, 0x16, iter, kModifyInheritedRightsMask, rec));
    uint16_t stored = 0;
    ASSERT_TRUE(Meta(locked).ReadMask(stored));
    EXPECT_EQ(Letters("RWCEF"), stored);
    uint32_t id = 0;
    EXPECT_FALSE(Meta(locked).ReadOwner(id));
    uint32_t blocks = 0;
    EXPECT_FALSE(Meta(locked).ReadLimit(blocks));

    TrusteeBatch batch;
    uint32_t scan = 0;
    ASSERT_EQ(0, client.ScanTrustees(fs1, 0, "DATA:Locked", scan, batch));
    EXPECT_EQ(Fs1Sales, batch[0].objectId);
    EXPECT_EQ(0u, batch[1].objectId);
}

// Access Control grants every right but Supervisor; Supervisor is granted, or taken away, only
// by a login that holds it.
TEST_P(EmulatedMetadataTest, SupervisorIsGrantedAndTakenOnlyBySupervisor) {
    struct Case {
        const char* login;     // JSMITH's explicit assignment on the directory
        const char* existing;  // MBROWN's assignment before ("" none)
        const char* grant;     // what is added for MBROWN
        uint16_t code;
    } cases[] = {
        {"RWCEMFA", "", "RWCEMFA", 0},
        {"A", "", "RWCEMF", 0},
        {"RWCEMFA", "R", "RWF", 0},
        {"RWCEMFA", "", "SRWCEMFA", Code::NoModifyPrivileges},
        {"RWCEMFA", "", "S", Code::NoModifyPrivileges},
        {"RWCEMFA", "SR", "R", Code::NoModifyPrivileges},
        {"RWCEMFA", "SR", "SR", Code::NoModifyPrivileges},
        {"S", "", "SRWCEMFA", 0},
        {"S", "SRWCEMFA", "RF", 0},
        {"SR", "", "S", 0},
        {"RWCEMF", "", "R", Code::NoModifyPrivileges},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "Sup" + std::to_string(++n);
        const std::string dir = Fs2(name);
        Grant(dir, Fs2Jsmith, c.login);
        if (*c.existing != 0) {
            Grant(dir, Fs2Mbrown, c.existing);
        }
        const std::string what = std::string(c.login) + " / " + c.existing + " / " + c.grant;
        EXPECT_EQ(c.code, client.AddTrustee(fs2, 0, "DATA:" + name, Fs2Mbrown, Letters(c.grant)))
            << what;
        std::vector<Trustee> t;
        Meta(dir).ReadTrustees(t);
        const auto mbrown =
            std::find_if(t.begin(), t.end(), [](const Trustee& x) { return x.id == Fs2Mbrown; });
        const char* expected = c.code == 0 ? c.grant : c.existing;
        if (*expected == 0) {
            EXPECT_EQ(t.end(), mbrown) << what;
        } else {
            ASSERT_NE(t.end(), mbrown) << what;
            EXPECT_EQ(Letters(expected), mbrown->rights) << what;
        }
    }
}

TEST_P(EmulatedMetadataTest, ALongTrusteeListIsReadWholeAndKeptByAnAdd) {
    Grant(scratch.Path("FS1/DATA"), Fs1Jsmith, "RWCEMFA");
    const std::string dir = Fs1("Crowded");
    std::vector<Trustee> many;
    for (uint32_t i = 1; i <= 700; ++i) {
        many.push_back({0x07000000 + i, Rights::Read});
    }
    if (Meta(dir).WriteTrustees(many) != 0) {
        GTEST_SKIP() << "this file system keeps no attribute values of 10 KB";
    }
    std::vector<Trustee> read;
    ASSERT_TRUE(Meta(dir).ReadTrustees(read));
    EXPECT_EQ(700u, read.size());
    ASSERT_EQ(0, client.AddTrustee(fs1, 0, "DATA:Crowded", Fs1Mbrown, Rights::Read));
    ASSERT_TRUE(Meta(dir).ReadTrustees(read));
    EXPECT_EQ(701u, read.size());
}

TEST_P(EmulatedMetadataTest, OwnerDefaultsToTheLoginAndCanBeChanged) {
    Grant(scratch.Path("FS1/DATA"), Fs1Jsmith, "RWCEMFA");
    const std::string file = scratch.File("FS1/DATA/Docs/a.txt", "a");
    uint8_t ns = 0;
    ASSERT_EQ(0, client.GetOwningNameSpace(fs1, 0, "DATA:Docs\\a.txt", ns));
    EntryInfo info;
    ASSERT_EQ(0, client.ObtainEntryInfo(fs1, 0, "DATA:Docs\\a.txt", ns, ns, 0x16, 0x0FFF, info));
    EXPECT_EQ(Fs1Jsmith, info.ownerId);
    DosInfo dos;
    dos.ownerId = Fs1Mbrown;
    // Access Control passes rights on; only Supervisor hands an entry to someone else.
    EXPECT_EQ(Code::NoModifyPrivileges,
              client.ModifyDosInfo(fs1, 0, "DATA:Docs\\a.txt", 0, 0x16, kModifyOwner, dos));
    Grant(scratch.Path("FS1/DATA"), Fs1Jsmith, "SRWCEMFA");
    ASSERT_EQ(0, client.ModifyDosInfo(fs1, 0, "DATA:Docs\\a.txt", 0, 0x16, kModifyOwner, dos));
    ASSERT_EQ(0, client.ObtainEntryInfo(fs1, 0, "DATA:Docs\\a.txt", 4, 4, 0x16, 0x0FFF, info));
    EXPECT_EQ(Fs1Mbrown, info.ownerId);
    dos.ownerId = Fs2Mbrown;  // another server's identifier means nothing here
    EXPECT_EQ(Code::NoSuchObject,
              client.ModifyDosInfo(fs1, 0, "DATA:Docs\\a.txt", 0, 0x16, kModifyOwner, dos));
    EXPECT_EQ(Code::InvalidNameSpace,
              client.ObtainEntryInfo(fs1, 0, "DATA:Docs\\a.txt", 1, 1, 0x16, 0x0FFF, info));
    EXPECT_EQ(Code::InvalidPath,
              client.ObtainEntryInfo(fs1, 0, "DATA:Docs\\b.txt", 4, 4, 0x16, 0x0FFF, info));

    // Metadata travels with the entry: renamed, it keeps its owner; removed, it is gone. A side
    // file tells entries apart by their time of making, which Wine does not keep: there a
    // renamed entry loses its metadata, and a new one may be given a removed one's number.
    PathFacts facts;
    ASSERT_EQ(0, StatPath(file, facts));
    const bool byIdentity = GetParam() == MetadataKeeping::WithEntries || facts.created != 0;
    ASSERT_EQ(0, std::rename(file.c_str(), scratch.Path("FS1/DATA/Docs/b.txt").c_str()));
    ASSERT_EQ(0, client.ObtainEntryInfo(fs1, 0, "DATA:Docs\\b.txt", 4, 4, 0x16, 0x0FFF, info));
    EXPECT_EQ(byIdentity ? Fs1Mbrown : Fs1Jsmith, info.ownerId);
    ASSERT_EQ(0, std::remove(scratch.Path("FS1/DATA/Docs/b.txt").c_str()));
    scratch.File("FS1/DATA/Docs/b.txt", "new");
    ASSERT_EQ(0, client.ObtainEntryInfo(fs1, 0, "DATA:Docs\\b.txt", 4, 4, 0x16, 0x0FFF, info));
    if (byIdentity) {
        EXPECT_EQ(Fs1Jsmith, info.ownerId);
    }
}

TEST_P(EmulatedMetadataTest, ThePlainCopyCarriesNoNetWareMetadata) {
    const std::string src = scratch.File("FS1/DATA/a.txt", "a");
    Grant(src, Fs1Mbrown, "RW");
    ASSERT_EQ(0, Meta(src).WriteOwner(Fs1Mbrown));
    ASSERT_EQ(0, Meta(src).WriteMask(Letters("R")));
    const std::string dst = scratch.Path("FS1/DATA/b.txt");
    ASSERT_EQ(0, MakeFileServices()->CopyFile(src, dst));
    std::vector<Trustee> t;
    uint32_t owner = 0;
    uint16_t mask = 0;
    EXPECT_FALSE(Meta(dst).ReadTrustees(t));
    EXPECT_FALSE(Meta(dst).ReadOwner(owner));
    EXPECT_FALSE(Meta(dst).ReadMask(mask));
    EntryInfo info;
    ASSERT_EQ(0, client.ObtainEntryInfo(fs1, 0, "DATA:b.txt", 4, 4, 0x16, 0x0FFF, info));
    EXPECT_EQ(Fs1Jsmith, info.ownerId);
}

TEST_F(EmulatedClientTest, IdentitiesTranslateWithinTheTreeAndThroughTheBindery) {
    NWDSContextHandle ctx = 0;
    ASSERT_EQ(0u, client.DSCreateContext(ctx));
    ASSERT_EQ(0u, client.DSSetContextText(ctx, ContextKey::NameContext, "[Root]"));
    std::string name;
    ASSERT_EQ(0u, client.DSMapIDToName(ctx, fs1, Fs1Mbrown, name));
    EXPECT_EQ("CN=MBROWN.OU=SALES.O=ACME", name);
    NWObjectID id = 0;
    ASSERT_EQ(0u, client.DSMapNameToID(ctx, fs2, name, id));
    EXPECT_EQ(Fs2Mbrown, id);
    ASSERT_EQ(0u, client.DSMapNameToID(ctx, fs2, "mbrown.sales.acme", id));  // untyped, any case
    EXPECT_EQ(Fs2Mbrown, id);
    // TEMP is described on FS1 alone, yet FS2 knows it from the tree under an identifier of its
    // own; a name the tree does not know maps nowhere, and FS3 speaks no directory services.
    ASSERT_EQ(0u, client.DSMapIDToName(ctx, fs1, Fs1Temp, name));
    ASSERT_EQ(0u, client.DSMapNameToID(ctx, fs2, name, id));
    EXPECT_NE(Fs1Temp, id);
    std::string back;
    ASSERT_EQ(0u, client.DSMapIDToName(ctx, fs2, id, back));
    EXPECT_EQ(name, back);
    EXPECT_EQ(Code::DSNoSuchEntry, client.DSMapNameToID(ctx, fs2, "CN=NOBODY.O=ACME", id));
    EXPECT_EQ(Code::DSWrongTree, client.DSMapNameToID(ctx, fs3, "CN=JSMITH.OU=SALES.O=ACME", id));
    EXPECT_EQ(Code::DSNoSuchEntry, client.DSMapIDToName(ctx, fs1, 0x0BADBAD0, name));
    EXPECT_EQ("", name);

    // Names relative to another name context.
    ASSERT_EQ(0u, client.DSSetContextText(ctx, ContextKey::NameContext, "OU=SALES.O=ACME"));
    ASSERT_EQ(0u, client.DSMapIDToName(ctx, fs1, Fs1Jsmith, name));
    EXPECT_EQ("CN=JSMITH", name);
    ASSERT_EQ(0u, client.DSMapIDToName(ctx, fs1, Fs1Admin, name));
    EXPECT_EQ(".CN=ADMIN.O=ACME", name);
    ASSERT_EQ(0u, client.DSMapNameToID(ctx, fs2, "CN=JSMITH", id));
    EXPECT_EQ(Fs2Jsmith, id);

    // A context pointed at another tree maps nothing; pointed back it does.
    ASSERT_EQ(0u, client.DSSetContextText(ctx, ContextKey::TreeName, "OTHER"));
    std::string tree;
    ASSERT_EQ(0u, client.DSGetContextText(ctx, ContextKey::TreeName, tree));
    EXPECT_EQ("OTHER", tree);
    EXPECT_EQ(Code::DSWrongTree, client.DSMapIDToName(ctx, fs1, Fs1Jsmith, name));
    ASSERT_EQ(0u, client.DSSetContextText(ctx, ContextKey::TreeName, "acme"));
    EXPECT_EQ(0u, client.DSMapIDToName(ctx, fs1, Fs1Jsmith, name));

    EXPECT_EQ(1u, client.OpenContexts());
    EXPECT_EQ(0u, client.DSFreeContext(ctx));
    EXPECT_EQ(0u, client.OpenContexts());
    EXPECT_EQ(Code::DSBadContext, client.DSFreeContext(ctx));
    EXPECT_EQ(Code::DSBadContext, client.DSMapIDToName(ctx, fs1, Fs1Jsmith, name));

    // The bindery knows leaf names in capitals, by type, on every server.
    uint16_t type = 0;
    ASSERT_EQ(0, client.GetObjectName(fs3, Fs3Sales, name, type));
    EXPECT_EQ("SALES", name);
    EXPECT_EQ(ObjType::Group, type);
    ASSERT_EQ(0, client.GetObjectID(fs3, "jsmith", ObjType::User, id));
    EXPECT_EQ(Fs3Jsmith, id);
    EXPECT_EQ(Code::NoSuchObject, client.GetObjectID(fs3, "SALES", ObjType::User, id));
    ASSERT_EQ(0, client.GetObjectID(fs3, "SALES", ObjType::Group, id));
    EXPECT_EQ(Fs3Sales, id);
    EXPECT_EQ(Code::NoSuchObject, client.GetObjectID(fs3, "ADMIN", ObjType::User, id));
    EXPECT_EQ(Code::NoSuchObject, client.GetObjectName(fs3, Fs1Jsmith, name, type));
    ASSERT_EQ(0, client.GetObjectName(fs1, Fs1Jsmith, name, type));
    EXPECT_EQ("JSMITH", name);
}

TEST_F(EmulatedClientTest, DirectoryHandlesAreNumberedPerConnectionAndRunOut) {
    Config config = StandardServers(scratch);
    config.servers[1].HandleLimit(3);
    Client small(config);
    Fs2("X");
    NWDIR_HANDLE h[4] = {};
    uint8_t mask = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(0, small.AllocTemporaryDirectoryHandle(fs2, 0, "DATA:X", h[i], mask));
        EXPECT_EQ(i + 1, h[i]);
    }
    EXPECT_EQ(Code::NoMoreDirHandles,
              small.AllocTemporaryDirectoryHandle(fs2, 0, "DATA:X", h[3], mask));
    EXPECT_EQ(0, h[3]);
    // Another connection has its own numbers.
    NWDIR_HANDLE other = 0;
    ASSERT_EQ(0, small.AllocTemporaryDirectoryHandle(fs1, 0, "DATA:", other, mask));
    EXPECT_EQ(1, other);
    // A released number is given again; an unknown one cannot be released.
    EXPECT_EQ(0, small.DeallocateDirectoryHandle(fs2, 2));
    EXPECT_EQ(Code::BadDirectoryHandle, small.DeallocateDirectoryHandle(fs2, 2));
    EXPECT_EQ(Code::BadDirectoryHandle, small.DeallocateDirectoryHandle(fs2, 0));
    EXPECT_EQ(Code::BadDirectoryHandle, small.DeallocateDirectoryHandle(fs3, 1));
    ASSERT_EQ(0, small.AllocTemporaryDirectoryHandle(fs2, 0, "DATA:X", h[3], mask));
    EXPECT_EQ(2, h[3]);
    EXPECT_EQ(3u, small.HeldDirHandles(fs2));
    // Handles stand for directories only, and a handle is a base for relative paths.
    scratch.File("FS2/DATA/X/f.txt");
    EXPECT_EQ(Code::InvalidPath,
              small.AllocTemporaryDirectoryHandle(fs1, 0, "DATA:nothing", other, mask));
    EXPECT_EQ(0, small.DeallocateDirectoryHandle(fs2, 3));
    EXPECT_EQ(Code::InvalidPath,
              small.AllocTemporaryDirectoryHandle(fs2, 0, "DATA:X\\f.txt", other, mask));
    uint16_t rights = 0;
    EXPECT_EQ(0, small.GetEffectiveRights(fs2, 1, "f.txt", rights));
    EXPECT_EQ(Code::BadDirectoryHandle, small.GetEffectiveRights(fs2, 9, "f.txt", rights));
}

TEST_P(EmulatedMetadataTest, SpaceLimitListHasTheDirectoryAndLimitedAncestorsByLevel) {
    Grant(scratch.Path("FS1/DATA"), Fs1Jsmith, "RWCEMFA");
    const std::string a = Fs1("A");
    Fs1("A/B/C/D");
    scratch.File("FS1/DATA/A/B/big.bin", std::string(10000, 'x'));  // 3 blocks
    scratch.File("FS1/DATA/A/small.txt", "s");                      // 1 block
    ASSERT_EQ(0, Meta(a).WriteLimit(100));
    ASSERT_EQ(0, Meta(scratch.Path("FS1/DATA/A/B/C")).WriteLimit(25));
    auto list = [&](const std::string& path) {
        NWDIR_HANDLE dh = 0;
        uint8_t mask = 0;
        std::vector<SpaceLimitEntry> entries;
        EXPECT_EQ(0, client.AllocTemporaryDirectoryHandle(fs1, 0, path, dh, mask));
        EXPECT_EQ(0, client.GetDirSpaceLimitList(fs1, dh, entries));
        client.DeallocateDirectoryHandle(fs1, dh);
        std::string text;
        for (const SpaceLimitEntry& e : entries) {
            text += std::to_string(e.level) + ":" +
                    (e.maximum == kNoSpaceLimit ? "none" : std::to_string(e.maximum)) + "/" +
                    std::to_string(e.current) + " ";
        }
        return text;
    };
    EXPECT_EQ("0:none/0 ", list("DATA:"));
    EXPECT_EQ("0:100/4 ", list("DATA:A"));
    EXPECT_EQ("1:none/0 0:100/4 ", list("DATA:A\\B"));
    EXPECT_EQ("2:25/0 0:100/4 ", list("DATA:A\\B\\C"));
    EXPECT_EQ("3:none/0 2:25/0 0:100/4 ", list("DATA:A\\B\\C\\D"));

    // Setting 0 removes a limit; removing one that is not there answers 0x89FF; the volume
    // root carries none.
    NWDIR_HANDLE dh = 0;
    uint8_t mask = 0;
    ASSERT_EQ(0, client.AllocTemporaryDirectoryHandle(fs1, 0, "DATA:A\\B\\C", dh, mask));
    EXPECT_EQ(0, client.SetDirSpaceLimit(fs1, dh, 0));
    EXPECT_EQ(Code::Failure, client.SetDirSpaceLimit(fs1, dh, 0));
    EXPECT_EQ(0, client.SetDirSpaceLimit(fs1, dh, 40));
    EXPECT_EQ(0, client.DeallocateDirectoryHandle(fs1, dh));
    EXPECT_EQ("2:40/0 0:100/4 ", list("DATA:A\\B\\C"));
    ASSERT_EQ(0, client.AllocTemporaryDirectoryHandle(fs1, 0, "DATA:", dh, mask));
    EXPECT_EQ(Code::InvalidPath, client.SetDirSpaceLimit(fs1, dh, 40));
    EXPECT_EQ(Code::BadDirectoryHandle, client.SetDirSpaceLimit(fs1, dh + 1, 40));
    std::vector<SpaceLimitEntry> entries;
    EXPECT_EQ(Code::BadDirectoryHandle, client.GetDirSpaceLimitList(fs1, 0, entries));
}

TEST_P(EmulatedMetadataTest, InheritedRightsMaskIsReadAndWrittenThroughTheDirectoryEntry) {
    Grant(scratch.Path("FS1/DATA"), Fs1Jsmith, "RWCEMFA");
    const std::string dir = Fs1("M");
    NWDIR_HANDLE dh = 0;
    uint8_t mask = 0;
    ASSERT_EQ(0, client.AllocTemporaryDirectoryHandle(fs1, 0, "DATA:M", dh, mask));
    uint32_t iter = 0xFFFFFFFF;
    DirEntryRecord rec;
    ASSERT_EQ(0, client.ScanDirEntryInfo(fs1, dh, 0x16, iter, rec));
    EXPECT_EQ(kAllRights, rec.inheritedRightsMask);  // no mask: everything passes
    EXPECT_NE(0xFFFFFFFFu, iter);
    uint32_t again = iter;
    EXPECT_EQ(Code::Failure, client.ScanDirEntryInfo(fs1, dh, 0x16, again, rec));  // one entry
    rec.inheritedRightsMask = Letters("RF");
    EXPECT_EQ(Code::Failure,
              client.ModifyDirEntry(fs1, dh, 0x16, iter + 1, kModifyInheritedRightsMask, rec));
    ASSERT_EQ(0, client.ModifyDirEntry(fs1, dh, 0x16, iter, kModifyInheritedRightsMask, rec));
    uint16_t stored = 0;
    ASSERT_TRUE(Meta(dir).ReadMask(stored));
    EXPECT_EQ(Letters("RF"), stored);
    iter = 0xFFFFFFFF;
    ASSERT_EQ(0, client.ScanDirEntryInfo(fs1, dh, 0x16, iter, rec));
    EXPECT_EQ(Letters("RF"), rec.inheritedRightsMask);
    // Directories are found only when the search attributes ask for them.
    iter = 0xFFFFFFFF;
    EXPECT_EQ(Code::Failure, client.ScanDirEntryInfo(fs1, dh, 0x06, iter, rec));
}

TEST_F(EmulatedClientTest, ServerCopyWorksOnOneServerOnly) {
    const std::string content = "0123456789abcdefghij";
    const std::string src = scratch.File("FS1/DATA/src.txt", content);
    const std::unique_ptr<FileServices> services = MakeFileServices();
    OpenFiles* files = &services->OpenFileAccess();
    std::string same, other, local;
    const FileHandle in = files->OpenRead(src);
    const FileHandle out = files->CreateTemporary(scratch.Path("FS1/DATA/copy.txt"), same);
    const FileHandle far = files->CreateTemporary(scratch.Path("FS2/DATA/copy.txt"), other);
    const FileHandle off = files->CreateTemporary(scratch.Path("plain.txt"), local);
    for (const FileHandle h : {in, out, far, off}) {
        ASSERT_NE(kInvalidFileHandle, h);
    }
    uint32_t copied = 99;
    EXPECT_EQ(0, client.FileServerFileCopy(in, out, 0, 0, 0x7FFFFFFF, copied));
    EXPECT_EQ(content.size(), copied);
    EXPECT_EQ(Code::NotSameServer, client.FileServerFileCopy(in, far, 0, 0, 0x7FFFFFFF, copied));
    EXPECT_EQ(0u, copied);
    EXPECT_EQ(Code::InvalidFileHandle,
              client.FileServerFileCopy(in, off, 0, 0, 0x7FFFFFFF, copied));
    EXPECT_EQ(Code::InvalidFileHandle,
              client.FileServerFileCopy(in, kInvalidFileHandle, 0, 0, 10, copied));
    // Offsets and count are honoured.
    EXPECT_EQ(0, client.FileServerFileCopy(in, out, 10, 20, 5, copied));
    EXPECT_EQ(5u, copied);
    for (const FileHandle h : {in, out, far, off}) {
        files->CloseFile(h);
    }
    // Each copy is read where it was put in place: an unfinished one may be open to nobody.
    EXPECT_EQ(0, files->RenameOver(same, scratch.Path("FS1/DATA/copy.txt")));
    EXPECT_EQ(0, files->RenameOver(other, scratch.Path("FS2/DATA/copy.txt")));
    EXPECT_EQ(0, files->RenameOver(local, scratch.Path("plain.txt")));
    EXPECT_EQ(content + "abcde", Slurp(scratch.Path("FS1/DATA/copy.txt")));
    EXPECT_EQ("", Slurp(scratch.Path("FS2/DATA/copy.txt")));
    EXPECT_EQ("", Slurp(scratch.Path("plain.txt")));
}

TEST_F(EmulatedClientTest, FailuresCanBeInjectedAroundItAndEveryCallIsRecorded) {
    testing::FaultyNetWareClient faulty(client);
    NWCONN_HANDLE conn = 0;
    NWDIR_HANDLE dh = 0;
    std::string vp;
    const std::string path = scratch.Path("FS1/DATA");
    faulty.FailOperation(testing::NwOp::ParsePath, 0x8999, 2);  // the second call from now
    EXPECT_EQ(0, faulty.ParsePath(path, conn, dh, vp));
    EXPECT_EQ(fs1, conn);
    conn = 77;
    EXPECT_EQ(0x8999, faulty.ParsePath(path, conn, dh, vp));
    EXPECT_EQ(77u, conn);  // the failed call never reached the client
    EXPECT_EQ(0, faulty.ParsePath(path, conn, dh, vp));
    faulty.FailOperation(testing::NwOp::DSCreateContext, 0xFFFFFD00);  // every call
    NWDSContextHandle ctx = 0;
    EXPECT_EQ(0xFFFFFD00u, faulty.DSCreateContext(ctx));
    EXPECT_EQ(0xFFFFFD00u, faulty.DSCreateContext(ctx));
    EXPECT_EQ(0u, client.OpenContexts());
    faulty.ClearFailures();
    EXPECT_EQ(0u, faulty.DSCreateContext(ctx));
    EXPECT_EQ(1u, client.OpenContexts());

    const std::vector<testing::NwCall>& calls = faulty.Calls();
    ASSERT_EQ(6u, calls.size());
    EXPECT_EQ(testing::NwOp::ParsePath, calls[1].op);
    EXPECT_EQ("path=" + path, calls[1].args);
    EXPECT_EQ(0x8999u, calls[1].code);
    EXPECT_EQ(0u, calls[2].code);
    EXPECT_EQ(3u, faulty.CallCount(testing::NwOp::ParsePath));
    EXPECT_EQ(3u, faulty.CallCount(testing::NwOp::DSCreateContext));
    EXPECT_EQ(0u, faulty.CallCount(testing::NwOp::AddTrustee));
    EXPECT_STREQ("DSCreateContext", testing::NwOpName(calls[5].op));
    faulty.ClearCalls();
    EXPECT_TRUE(faulty.Calls().empty());
}

TEST_F(EmulatedClientTest, ErrorLibraryNamesTheEmulatorsCodes) {
    std::unique_ptr<NWErrorLibrary> lib = client.LoadErrorLibrary();
    ASSERT_NE(nullptr, lib);
    EXPECT_TRUE(lib->HasNWstrerror());
    EXPECT_EQ("No modify privileges", lib->NWstrerror(Code::NoModifyPrivileges));
    EXPECT_EQ("No more directory handles", lib->NWstrerror(Code::NoMoreDirHandles));
    EXPECT_EQ("No such entry", lib->NWstrerror(Code::DSNoSuchEntry));
    EXPECT_EQ("Unknown error", lib->NWstrerror(0x1234));
    EXPECT_EQ("Unknown error", lib->NWstrerror(0));

    // The wrapper can hide the function or the whole library.
    using Mode = testing::FaultyNetWareClient::ErrorLibrary;
    testing::FaultyNetWareClient faulty(client);
    faulty.SetErrorLibrary(Mode::WithoutFunction);
    lib = faulty.LoadErrorLibrary();
    ASSERT_NE(nullptr, lib);
    EXPECT_FALSE(lib->HasNWstrerror());
    faulty.SetErrorLibrary(Mode::Missing);
    EXPECT_EQ(nullptr, faulty.LoadErrorLibrary());
    faulty.SetErrorLibrary(Mode::Present);
    EXPECT_NE(nullptr, faulty.LoadErrorLibrary());
    faulty.FailOperation(testing::NwOp::LoadErrorLibrary, 1);
    EXPECT_EQ(nullptr, faulty.LoadErrorLibrary());
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 0, 1}),
              (std::vector<uint32_t>{faulty.Calls()[0].code, faulty.Calls()[1].code,
                                     faulty.Calls()[2].code, faulty.Calls()[3].code}));
}

TEST(RightsLettersTest, WriteAndRead) {
    EXPECT_EQ("[SRWCEMFA]", RightsLetters(kAllRights));
    EXPECT_EQ("[ RWCE F ]", RightsLetters(0x5B));
    EXPECT_EQ("[        ]", RightsLetters(0));
    struct Case {
        const char* text;
        bool ok;
        uint16_t rights;
    } cases[] = {
        {"[ RWCE F ]", true, 0x5B}, {"rwcef", true, 0x5B}, {"SRWCEMFA", true, kAllRights},
        {"all", true, kAllRights},  {"none", true, 0},     {"[]", true, 0},
        {"A", true, 0x20},          {"RX", false, 0},      {"R]W", false, 0},
    };
    for (const Case& c : cases) {
        uint16_t r = 0xFFFF;
        EXPECT_EQ(c.ok, ParseRightsLetters(c.text, r)) << c.text;
        if (c.ok) {
            EXPECT_EQ(c.rights, r) << c.text;
        }
    }
}

}  // namespace
}  // namespace nwemu
}  // namespace ferrit
