// The NetWare services against the emulated client on real temporary volumes: FS1 and FS2 in
// one directory tree and the bindery server FS3, each with its own identifiers for the same
// people. JSMITH is logged in everywhere. On Windows every test runs twice: with the emulated
// client called directly, and through the program's binding to the client libraries, bound to
// the stand-in libraries that the emulated servers serve.
#include <gtest/gtest.h>

#include "netware/netware_services.h"
#include "nwemu/client.h"
#include "platform/system_services.h"
#include "testing/emulated_servers.h"
#include "testing/faulty_netware_client.h"
#include "testing/scripted_dialogs.h"
#include "testing/stand_in_client.h"
#include "testing/temp_dir.h"

namespace ferrit {
using testing::ScriptedDialogs;
namespace nwemu {

bool operator==(const Trustee& a, const Trustee& b) {
    return a.id == b.id && a.rights == b.rights;
}

namespace {

using namespace testing::StdIds;
using Texts = std::vector<std::string>;
using Trustees = std::vector<Trustee>;

constexpr uint16_t kAllButSupervisor = kAllRights & ~Rights::Supervisor;
constexpr uint16_t kSomeRights[] = {0x01, 0x41, 0x0B, 0xFB, 0x4B};

enum class Served { Directly, ThroughStandIns };

class EmulatedServicesTest : public ::testing::TestWithParam<Served> {
  protected:
    EmulatedServicesTest()
        : config(Servers(scratch)),
          emulated(config),
          client(ServedClient()),
          nw(client, *files, dialogs) {
        for (const char* dir : {"FS1/DATA/SRC/SUB", "FS2/DATA/TGT", "FS3/DATA/TGT", "LOCAL"}) {
            scratch.Dir(dir);
        }
    }
    // The standard servers; JSMITH holds every right but Supervisor on each volume, so an
    // assignment further down replaces them.
    static Config Servers(testing::TempDir& scratch) {
        Config config = testing::StandardServers(scratch);
        const Network volumes(config);
        volumes.Metadata(scratch.Path("FS1/DATA")).WriteTrustees({{Fs1Jsmith, kAllButSupervisor}});
        volumes.Metadata(scratch.Path("FS2/DATA")).WriteTrustees({{Fs2Jsmith, kAllButSupervisor}});
        volumes.Metadata(scratch.Path("FS3/DATA")).WriteTrustees({{Fs3Jsmith, kAllButSupervisor}});
        return config;
    }
    // The client the services talk to: `direct` itself, or the binding to the stand-ins serving
    // the same description (whose servers answer from the same volumes and metadata). The
    // stand-ins serve one description at a time: the one served last.
    NetWareClient& Serve(const Config& servers, Client& direct,
                         std::unique_ptr<testing::StandInClient>& standIns,
                         const std::string& file) {
#ifdef _WIN32
        if (GetParam() == Served::ThroughStandIns) {
            standIns = std::make_unique<testing::StandInClient>(servers, scratch.Path(file));
            if (standIns->Get() != nullptr) {
                return *standIns->Get();
            }
            ADD_FAILURE() << "the stand-ins cannot be bound: " << standIns->Problem();
        }
#else
        static_cast<void>(servers), static_cast<void>(standIns), static_cast<void>(file);
#endif
        return direct;
    }
    NetWareClient& ServedClient() {
        return Serve(config, emulated, standIns, "nw.ini");
    }
    size_t OpenContexts() const {
#ifdef _WIN32
        if (standIns) {
            return standIns->OpenContexts();
        }
#endif
        return emulated.OpenContexts();
    }
    size_t HeldDirHandles(NWCONN_HANDLE conn) const {
#ifdef _WIN32
        if (standIns) {
            return standIns->HeldDirHandles(conn);
        }
#endif
        return emulated.HeldDirHandles(conn);
    }
    std::string P(const std::string& relative) const {
        return scratch.Path(relative);
    }
    EntryMetadata Meta(const std::string& local) {
        return emulated.Servers().Metadata(local);
    }
    NWCONN_HANDLE Conn(const std::string& server) const {
        return emulated.ConnectionOf(server);
    }
    // The identifier a server gives an object it knows by name (from its tree, say).
    uint32_t TreeId(const std::string& server, const std::string& object) {
        const Object* o =
            emulated.Servers().ServerAt(emulated.ConnectionOf(server) - 1).FindObject(object);
        return o != nullptr ? o->id : 0;
    }
    // Locates the two directories as a directory step does, and forgets the calls that made.
    void Locate(const std::string& source, const std::string& target) {
        state = nw.GetNetWarePaths(P(source), P(target));
        client.ClearCalls();
    }
    void EndStep() {
        nw.FreeTempDirHandle(state, kSource);
        nw.FreeTempDirHandle(state, kTarget);
    }
    Trustees TrusteesOf(const std::string& relative) {
        Trustees t;
        Meta(P(relative)).ReadTrustees(t);
        return t;
    }
    uint16_t TargetRights() const {
        return static_cast<uint16_t>(state.PathInfo[kTarget].EffectiveRights);
    }

    testing::TempDir scratch;
    Config config;
    Client emulated;  // also the servers' view of the volumes for the checks
    std::unique_ptr<testing::StandInClient> standIns;  // on Windows, through the stand-ins
    testing::FaultyNetWareClient client;  // records the services' calls, fails chosen ones
    DirectoryPair state;
    std::unique_ptr<FileServices> files = MakeFileServices();
    ScriptedDialogs dialogs;
    NetWareServices nw;
    int16_t runState = 1;
};

TEST_P(EmulatedServicesTest, StartUpRunsOnceAndErrorTextsUseTheLibrary) {
    EXPECT_EQ(nw.InitNetWare(), 0);
    const size_t calls = client.Calls().size();
    EXPECT_EQ(calls, 4u);
    EXPECT_EQ(nw.InitNetWare(), 0);
    EXPECT_EQ(client.Calls().size(), calls);
    EXPECT_TRUE(dialogs.Asked().empty());

    const std::string detail = CodeText(Code::InvalidPath);
    ASSERT_FALSE(detail.empty());
    EXPECT_EQ(nw.NetWareErrorText(Code::InvalidPath), "0x899C (" + detail + ")");
    client.SetErrorLibrary(testing::FaultyNetWareClient::ErrorLibrary::WithoutFunction);
    EXPECT_EQ(nw.NetWareErrorText(5), "0x0005 (Access is denied)");
    EXPECT_EQ(nw.NetWareErrorText(Code::InvalidPath), "0x899C ()");
    client.SetErrorLibrary(testing::FaultyNetWareClient::ErrorLibrary::Missing);
    EXPECT_EQ(nw.NetWareErrorText(Code::InvalidPath), "0x899C");
}

TEST_P(EmulatedServicesTest, StartUpFailureIsReported) {
    client.FailOperation(testing::NwOp::OpenConnByReference, Code::NoPrimaryConnection);
    EXPECT_EQ(nw.InitNetWare(), Code::NoPrimaryConnection);
    ASSERT_EQ(dialogs.Asked().size(), 1u);
    EXPECT_EQ(dialogs.Texts()[0].rfind(
                  "Could not find server/tree connection. InitNetWare returned error 0x880F (", 0),
              0u);
}

TEST_P(EmulatedServicesTest, IdentitiesTranslateByTreeNameAndByBinderyLeaf) {
    std::string name;
    EXPECT_EQ(nw.IdToName(Conn("FS1"), Fs1Mbrown, name), 0u);
    EXPECT_EQ(name, "CN=MBROWN.OU=SALES.O=ACME");
    NWObjectID id = 0;
    EXPECT_EQ(nw.NameToId(Conn("FS2"), name, id), 0u);
    EXPECT_EQ(id, Fs2Mbrown);
    EXPECT_EQ(nw.NameToId(Conn("FS3"), name, id), 0u);
    EXPECT_EQ(id, Fs3Mbrown);
    EXPECT_EQ(nw.NameToId(Conn("FS3"), "CN=SALES.OU=SALES.O=ACME", id), 0u);
    EXPECT_EQ(id, Fs3Sales);  // not a user: found as a group
    // TEMP, described on FS1 alone, has a counterpart on the other tree server but none in
    // FS3's bindery; a name the tree does not know has none anywhere.
    EXPECT_EQ(nw.NameToId(Conn("FS2"), "CN=TEMP.O=ACME", id), 0u);
    EXPECT_EQ(id, TreeId("FS2", "TEMP"));
    EXPECT_NE(nw.NameToId(Conn("FS3"), "CN=TEMP.O=ACME", id), 0u);
    EXPECT_EQ(id, 0u);
    EXPECT_NE(nw.NameToId(Conn("FS2"), "CN=NOBODY.O=ACME", id), 0u);
    EXPECT_EQ(id, 0u);
    // A bindery server is asked by the bindery alone.
    client.ClearCalls();
    EXPECT_EQ(nw.IdToName(Conn("FS3"), Fs3Jsmith, name), 0u);
    EXPECT_EQ(name, "JSMITH");
    EXPECT_EQ(client.CallCount(testing::NwOp::DSCreateContext), 0u);
    EXPECT_EQ(OpenContexts(), 0u);
}

TEST_P(EmulatedServicesTest, LocationsOfRealVolumes) {
    state = nw.GetNetWarePaths(P("FS1/DATA/SRC"), P("FS1/DATA/SRC/SUB"));
    EXPECT_TRUE(state.SameConnection);
    EXPECT_EQ(state.PathInfo[kSource].ServerName, "FS1");
    EXPECT_EQ(state.PathInfo[kSource].NetWarePath, "DATA:SRC");
    EXPECT_EQ(state.PathInfo[kTarget].NetWarePath, "DATA:SRC\\SUB");
    EXPECT_FALSE(LacksRights(TargetRights(), kAllButSupervisor));

    state = nw.GetNetWarePaths(P("FS1/DATA/SRC"), P("FS2/DATA/TGT"));
    EXPECT_TRUE(state.BothNetWare);
    EXPECT_FALSE(state.SameConnection);
    EXPECT_EQ(state.PathInfo[kTarget].ServerName, "FS2");

    state = nw.GetNetWarePaths(P("FS1/DATA/SRC"), P("LOCAL"));
    EXPECT_FALSE(state.BothNetWare);
    EXPECT_TRUE(state.PathInfo[kSource].OnNetWare);
    EXPECT_FALSE(state.PathInfo[kTarget].OnNetWare);
    EXPECT_EQ(state.PathInfo[kTarget].EffectiveRights, 0u);
    EXPECT_TRUE(dialogs.Asked().empty());

    // A rights query that fails: its dialog on every refresh.
    client.FailOperation(testing::NwOp::GetEffectiveRights, Code::InvalidPath);
    state = nw.GetNetWarePaths(P("FS1/DATA/SRC"), P("LOCAL"));
    state = nw.GetNetWarePaths(P("FS1/DATA/SRC"), P("LOCAL"));
    EXPECT_EQ(dialogs.Texts(), (Texts{"Error 899C: Error getting effective rights",
                                      "Error 899C: Error getting effective rights"}));
}

TEST_P(EmulatedServicesTest, OptionRulesFromEmulatedLocations) {
    // Without Access Control on the FS2 target the NetWare items are greyed; without Create
    // there, Start is refused too.
    struct Case {
        std::string targetRights;  // JSMITH's explicit assignment on FS2's TGT ("" none)
        bool netwareItems, start;
    };
    const Case cases[] = {
        {"", true, true}, {"RWCEMFA", true, true}, {"RWCEMF", false, true}, {"RFA", true, false}};
    for (const Case& c : cases) {
        uint16_t rights = 0;
        ASSERT_TRUE(ParseRightsLetters(c.targetRights.empty() ? "-" : c.targetRights, rights));
        Meta(P("FS2/DATA/TGT"))
            .WriteTrustees(c.targetRights.empty() ? Trustees{} : Trustees{{Fs2Jsmith, rights}});
        state = nw.GetNetWarePaths(P("FS1/DATA/SRC"), P("FS2/DATA/TGT"));
        OptionSet options;
        options.SetTicked(CopyBidirectional, false);
        EXPECT_EQ(CheckBoxDependancies(options, FactsOf(state)), c.start) << c.targetRights;
        EXPECT_EQ(options.Enabled(KeepOwner), c.netwareItems) << c.targetRights;
        EXPECT_EQ(options.Enabled(KeepSpaceLimitations), c.netwareItems);
    }
}

TEST_P(EmulatedServicesTest, TrusteesTranslatedBetweenTreeServersAndToTheBindery) {
    ASSERT_EQ(Meta(P("FS1/DATA/SRC"))
                  .WriteTrustees(
                      {{Fs1Mbrown, 0x0B}, {Fs1Sales, 0x41}, {Fs1Admin, 0x1FB}, {Fs1Temp, 0x41}}),
              0);
    Locate("FS1/DATA/SRC", "FS2/DATA/TGT");
    nw.CopyTrustees(state, "DATA:SRC", "DATA:TGT");
    // ADMIN's Supervisor cannot be granted with Access Control alone and is skipped; TEMP,
    // described on FS1 only, arrives under FS2's identifier for it.
    EXPECT_EQ(TrusteesOf("FS2/DATA/TGT"),
              (Trustees{{Fs2Mbrown, 0x0B}, {Fs2Sales, 0x41}, {TreeId("FS2", "TEMP"), 0x41}}));
    EXPECT_EQ(OpenContexts(), 0u);

    // The bindery server knows neither ADMIN nor TEMP.
    Locate("FS1/DATA/SRC", "FS3/DATA/TGT");
    nw.CopyTrustees(state, "DATA:SRC", "DATA:TGT");
    EXPECT_EQ(TrusteesOf("FS3/DATA/TGT"), (Trustees{{Fs3Mbrown, 0x0B}, {Fs3Sales, 0x41}}));
}

TEST_P(EmulatedServicesTest, TrusteesInBatchesAndAFailingEntrySkipped) {
    // 25 objects on FS1, known on FS2 under other identifiers.
    Config config = Servers(scratch);
    Trustees many;
    for (uint32_t k = 1; k <= 25; ++k) {
        const std::string user = "U" + std::to_string(k);
        config.servers[0].User(user, 0x03000000 + k, "CN=" + user + ".O=ACME");
        config.servers[1].User(user, 0x07000000 + k, "CN=" + user + ".O=ACME");
        many.push_back({0x03000000 + k, kSomeRights[k % 5]});
    }
    Client wideServers(config);
    std::unique_ptr<testing::StandInClient> wideStandIns;
    testing::FaultyNetWareClient wide(Serve(config, wideServers, wideStandIns, "wide.ini"));
    NetWareServices services(wide, *files, dialogs);
    ASSERT_EQ(Meta(P("FS1/DATA/SRC")).WriteTrustees(many), 0);

    // One connection: identifiers unchanged, two batches and the scan that ends it.
    state = services.GetNetWarePaths(P("FS1/DATA/SRC"), P("FS1/DATA/SRC/SUB"));
    wide.ClearCalls();
    services.CopyTrustees(state, "DATA:SRC", "DATA:SRC\\SUB");
    EXPECT_EQ(TrusteesOf("FS1/DATA/SRC/SUB"), many);
    EXPECT_EQ(wide.CallCount(testing::NwOp::ScanTrustees), 3u);
    EXPECT_EQ(wide.CallCount(testing::NwOp::DSCreateContext), 0u);

    // Between servers, the 20th name cannot be read on the source (directory services and
    // bindery both fail): it is the last entry of its batch, and only it is missing.
    state = services.GetNetWarePaths(P("FS1/DATA/SRC"), P("FS2/DATA/TGT"));
    wide.FailOperation(testing::NwOp::DSMapIDToName, Code::DSNoSuchEntry, 20);
    wide.FailOperation(testing::NwOp::GetObjectName, Code::NoSuchObject, 1);
    EXPECT_EQ(services.CopyTrustees(state, "DATA:SRC", "DATA:TGT"), Code::NoSuchObject);
    const Trustees all = TrusteesOf("FS2/DATA/TGT");
    ASSERT_EQ(all.size(), 24u);
    EXPECT_EQ(all[18].id, 0x07000013u);
    EXPECT_EQ(all[19].id, 0x07000015u);

    // The same failure on the 5th: only that one is missing.
    Meta(P("FS2/DATA/TGT")).WriteTrustees({});
    wide.ClearFailures();
    wide.FailOperation(testing::NwOp::DSMapIDToName, Code::DSNoSuchEntry, 5);
    wide.FailOperation(testing::NwOp::GetObjectName, Code::NoSuchObject, 1);
    services.CopyTrustees(state, "DATA:SRC", "DATA:TGT");
    const Trustees copied = TrusteesOf("FS2/DATA/TGT");
    ASSERT_EQ(copied.size(), 24u);
    EXPECT_EQ(copied[3].id, 0x07000004u);
    EXPECT_EQ(copied[4].id, 0x07000006u);
    EXPECT_EQ(copied[23].id, 0x07000019u);
}

TEST_P(EmulatedServicesTest, WithoutAccessControlOnTheTargetNothingIsAsked) {
    ASSERT_EQ(Meta(P("FS1/DATA/SRC")).WriteTrustees({{Fs1Mbrown, 0x0B}}), 0);
    ASSERT_EQ(Meta(P("FS1/DATA/SRC")).WriteLimit(100), 0);
    uint16_t rights = 0;
    ASSERT_TRUE(ParseRightsLetters("RWCEMF", rights));
    ASSERT_EQ(Meta(P("FS2/DATA/TGT")).WriteTrustees({{Fs2Jsmith, rights}}), 0);
    Locate("FS1/DATA/SRC", "FS2/DATA/TGT");
    ASSERT_TRUE(LacksRights(TargetRights(), Rights::AccessControl));
    nw.CopyTrustees(state, "DATA:SRC", "DATA:TGT");
    nw.CopyOwner(state, "DATA:SRC", "DATA:TGT");
    nw.CopySpaceLimits(state, "DATA:SRC", "DATA:TGT", runState);
    nw.CopyInheritedRightsMask(state, "DATA:SRC", "DATA:TGT", runState);
    EndStep();
    EXPECT_TRUE(client.Calls().empty());
    EXPECT_TRUE(dialogs.Asked().empty());
    EXPECT_EQ(TrusteesOf("FS2/DATA/TGT").size(), 1u);
}

TEST_P(EmulatedServicesTest, OwnerTranslatedAndLeftAloneWhenEqualOrUnknown) {
    const std::string a = scratch.File("FS1/DATA/SRC/A.TXT", "a");
    const std::string b = scratch.File("FS2/DATA/TGT/A.TXT", "a");
    ASSERT_EQ(Meta(a).WriteOwner(Fs1Mbrown), 0);
    Meta(P("FS2/DATA")).WriteTrustees({{Fs2Jsmith, kAllRights}});  // owners need Supervisor
    Locate("FS1/DATA/SRC", "FS2/DATA/TGT");
    nw.CopyOwner(state, "DATA:SRC\\A.TXT", "DATA:TGT\\A.TXT");
    uint32_t owner = 0;
    ASSERT_TRUE(Meta(b).ReadOwner(owner));
    EXPECT_EQ(owner, Fs2Mbrown);

    client.ClearCalls();
    nw.CopyOwner(state, "DATA:SRC\\A.TXT", "DATA:TGT\\A.TXT");
    EXPECT_EQ(client.CallCount(testing::NwOp::ObtainEntryInfo), 2u);
    EXPECT_EQ(client.CallCount(testing::NwOp::ModifyDosInfo), 0u);

    ASSERT_EQ(Meta(a).WriteOwner(0x0BADBAD0), 0);  // an owner FS1 does not know
    nw.CopyOwner(state, "DATA:SRC\\A.TXT", "DATA:TGT\\A.TXT");
    ASSERT_TRUE(Meta(b).ReadOwner(owner));
    EXPECT_EQ(owner, Fs2Mbrown);
    EXPECT_EQ(client.CallCount(testing::NwOp::ModifyDosInfo), 0u);

    ASSERT_EQ(Meta(a).WriteOwner(Fs1Temp), 0);  // FS2 knows TEMP from the tree
    nw.CopyOwner(state, "DATA:SRC\\A.TXT", "DATA:TGT\\A.TXT");
    ASSERT_TRUE(Meta(b).ReadOwner(owner));
    EXPECT_EQ(owner, TreeId("FS2", "TEMP"));

    // The owning name space cannot be asked: the entry is read in name space 4, answered in the
    // DOS one.
    ASSERT_EQ(Meta(a).WriteOwner(Fs1Admin), 0);
    client.FailOperation(testing::NwOp::GetOwningNameSpace, Code::InvalidNameSpace, 1);
    client.ClearCalls();
    nw.CopyOwner(state, "DATA:SRC\\A.TXT", "DATA:TGT\\A.TXT");
    ASSERT_TRUE(Meta(b).ReadOwner(owner));
    EXPECT_EQ(owner, Fs2Admin);
    EXPECT_NE(client.Calls()[1].args.find("ns=4/0"), std::string::npos) << client.Calls()[1].args;
}

TEST_P(EmulatedServicesTest, MaskAndLimitWithHandlesReusedAndReleased) {
    // A mask that keeps Access Control, so the login may still change the target afterwards.
    constexpr uint16_t kMask = kAllButSupervisor & ~Rights::Erase;
    ASSERT_EQ(Meta(P("FS1/DATA/SRC")).WriteMask(kMask), 0);
    ASSERT_EQ(Meta(P("FS1/DATA/SRC")).WriteLimit(250), 0);
    Locate("FS1/DATA/SRC", "FS2/DATA/TGT");
    nw.CopySpaceLimits(state, "DATA:SRC", "DATA:TGT", runState);
    nw.CopyInheritedRightsMask(state, "DATA:SRC", "DATA:TGT", runState);
    EXPECT_EQ(client.CallCount(testing::NwOp::AllocTemporaryDirectoryHandle), 2u);
    EXPECT_EQ(HeldDirHandles(Conn("FS1")), 1u);
    EXPECT_EQ(HeldDirHandles(Conn("FS2")), 1u);
    EndStep();
    EXPECT_EQ(HeldDirHandles(Conn("FS1")), 0u);
    EXPECT_EQ(HeldDirHandles(Conn("FS2")), 0u);
    uint16_t mask = 0;
    uint32_t blocks = 0;
    ASSERT_TRUE(Meta(P("FS2/DATA/TGT")).ReadMask(mask));
    EXPECT_EQ(mask, kMask);
    ASSERT_TRUE(Meta(P("FS2/DATA/TGT")).ReadLimit(blocks));
    EXPECT_EQ(blocks, 250u);
    EXPECT_TRUE(dialogs.Asked().empty());

    // Equal masks: no write. A source without a limit takes the target's away.
    ASSERT_EQ(Meta(P("FS1/DATA/SRC")).WriteLimit(0), 0);
    client.ClearCalls();
    nw.CopySpaceLimits(state, "DATA:SRC", "DATA:TGT", runState);
    nw.CopyInheritedRightsMask(state, "DATA:SRC", "DATA:TGT", runState);
    EndStep();
    EXPECT_EQ(client.CallCount(testing::NwOp::ScanDirEntryInfo), 2u);
    EXPECT_EQ(client.CallCount(testing::NwOp::ModifyDirEntry), 0u);
    EXPECT_FALSE(Meta(P("FS2/DATA/TGT")).ReadLimit(blocks));
    EXPECT_TRUE(dialogs.Asked().empty());
}

TEST_P(EmulatedServicesTest, LimitDialogsAndTheirAnswers) {
    ASSERT_EQ(Meta(P("FS1/DATA/SRC")).WriteLimit(250), 0);
    Locate("FS1/DATA/SRC", "FS2/DATA/TGT");
    client.FailOperation(testing::NwOp::SetDirSpaceLimit, Code::InsufficientSpace);
    dialogs.Script(Answer::Ignore);
    nw.CopySpaceLimits(state, "DATA:SRC", "DATA:TGT", runState);
    EXPECT_EQ(dialogs.Texts(), Texts{"Error 8901: NWSetDirSpaceLimit"});
    EXPECT_EQ(dialogs.Asked()[0].buttons, Btn::AbortIgnore);
    EXPECT_EQ(runState, Answer::Ignore);

    // 0x89FF counts as success.
    dialogs.ClearRecord();
    client.FailOperation(testing::NwOp::SetDirSpaceLimit, Code::Failure);
    nw.CopySpaceLimits(state, "DATA:SRC", "DATA:TGT", runState);
    EXPECT_TRUE(dialogs.Asked().empty());
    EndStep();

    // No target handle: reported as the limit write, with the allocation's code.
    client.ClearFailures();
    ASSERT_EQ(nw.AllocTempDirHandle(state, kSource, "DATA:SRC"), 0);
    client.FailOperation(testing::NwOp::AllocTemporaryDirectoryHandle, Code::NoMoreDirHandles, 1);
    dialogs.Script(Answer::Abort);
    nw.CopySpaceLimits(state, "DATA:SRC", "DATA:TGT", runState);
    EXPECT_EQ(dialogs.Texts(), Texts{"Error 899D: NWSetDirSpaceLimit"});
    EXPECT_EQ(runState, Answer::Abort);
    EndStep();

    // No source handle: Abort alone, and an Abort ends the routine.
    dialogs.ClearRecord();
    client.FailOperation(testing::NwOp::AllocTemporaryDirectoryHandle, Code::NoMoreDirHandles, 1);
    dialogs.Script(Answer::Abort);
    client.ClearCalls();
    runState = 1;
    nw.CopySpaceLimits(state, "DATA:SRC", "DATA:TGT", runState);
    EXPECT_EQ(dialogs.Texts(), Texts{"Error 899D: NWAllocTemporaryDirectoryHandle"});
    EXPECT_EQ(dialogs.Asked()[0].buttons, Btn::Abort);
    EXPECT_EQ(runState, Answer::Abort);
    EXPECT_EQ(client.CallCount(testing::NwOp::GetDirSpaceLimitList), 0u);
    EndStep();
    EXPECT_EQ(HeldDirHandles(Conn("FS1")) + HeldDirHandles(Conn("FS2")), 0u);
}

TEST_P(EmulatedServicesTest, ServerCopyOnOneServerOnly) {
    const std::string a = scratch.File("FS1/DATA/SRC/A.TXT", "contents");
    ASSERT_EQ(files->SetAttributes(a, Attr::ReadOnly | Attr::Archive | Attr::Hidden), 0);
    const std::string copy = P("FS1/DATA/SRC/SUB/A.TXT");
    EXPECT_EQ(nw.NetWareCopyFile(a, copy), 0);
    EXPECT_EQ(testing::ReadFile(copy), "contents");
    EXPECT_EQ(files->GetAttributes(copy), files->GetAttributes(a));
    EXPECT_EQ(files->FileAge(copy), files->FileAge(a));
    EXPECT_EQ(client.CallCount(testing::NwOp::FileServerFileCopy), 1u);

    // Again over the read-only copy: refused, and the copy stays as it was.
    scratch.File("FS1/DATA/SRC/A.TXT~", "");
    EXPECT_EQ(nw.NetWareCopyFile(P("FS1/DATA/SRC/A.TXT~"), copy), 0xFFFF);
    EXPECT_EQ(testing::ReadFile(copy), "contents");

    client.ClearCalls();
    EXPECT_EQ(nw.NetWareCopyFile(a, P("FS2/DATA/TGT/A.TXT")), 0xFFFF);
    EXPECT_EQ(client.CallCount(testing::NwOp::FileServerFileCopy), 0u);
    EXPECT_TRUE(testing::ListDir(P("FS2/DATA/TGT")).empty());
}

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(, EmulatedServicesTest,
                         ::testing::Values(Served::Directly, Served::ThroughStandIns),
                         [](const ::testing::TestParamInfo<Served>& info) {
                             return info.param == Served::Directly ? "Directly" : "ThroughStandIns";
                         });
#else
INSTANTIATE_TEST_SUITE_P(, EmulatedServicesTest, ::testing::Values(Served::Directly),
                         [](const ::testing::TestParamInfo<Served>&) { return "Directly"; });
#endif

}  // namespace
}  // namespace nwemu
}  // namespace ferrit
