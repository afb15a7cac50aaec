// The engine's NetWare work on emulated servers: the directory step's refresh, warnings and
// metadata, the per-file owner and trustees, and the choice of the server copy.
#include <gtest/gtest.h>

#include "engine/run_data.h"
#include "engine/transfer_engine.h"
#include "netware/netware_services.h"
#include "nwemu/client.h"
#include "testing/emulated_servers.h"
#include "testing/faulty_netware_client.h"
#include "testing/native_file_services.h"
#include "testing/recording_sink.h"
#include "testing/scripted_dialogs.h"
#include "testing/system.h"
#include "testing/temp_dir.h"

#include <algorithm>

namespace ferrit {
namespace {
using testing::NativeFileServices;
using testing::RecordingSink;
using testing::ScriptedDialogs;

using namespace testing::StdIds;
using namespace nwemu;  // the emulated servers' metadata helpers
using Lines = std::vector<std::string>;

constexpr uint16_t kAllButSupervisor = nwemu::kAllRights & ~Rights::Supervisor;

uint16_t Letters(const char* text) {
    uint16_t rights = 0;
    EXPECT_TRUE(nwemu::ParseRightsLetters(text, rights)) << text;
    return rights;
}

class NetWareWalkTest : public ::testing::Test {
  protected:
    NetWareWalkTest() : emulated(Servers(scratch)), client(emulated) {
        sink.SlashSeparators();
        dialogs.SlashSeparators();
        for (uint8_t i = 0; i < kOptionCount; ++i) options.SetTicked(i, false);
        for (CopyOption o :
             {CopySubdirectories, CreateDirectoriesOnTarget, KeepOwner, KeepDirectoryTrustees,
              KeepFileTrustees, KeepInheritedRightsMask, KeepSpaceLimitations}) {
            options.SetTicked(o, true);
        }
    }
    static nwemu::Config Servers(testing::TempDir& scratch) {
        nwemu::Config config = testing::StandardServers(scratch);
        const nwemu::Network volumes(config);
        volumes.Metadata(scratch.Path("FS1/DATA")).WriteTrustees({{Fs1Jsmith, kAllButSupervisor}});
        volumes.Metadata(scratch.Path("FS2/DATA")).WriteTrustees({{Fs2Jsmith, kAllButSupervisor}});
        return config;
    }
    std::string P(const std::string& relative) const { return scratch.Path(relative); }
    nwemu::EntryMetadata Meta(const std::string& local) {
        return emulated.Servers().Metadata(local);
    }
    std::vector<uint32_t> TrusteeIds(const std::string& path) {
        std::vector<nwemu::Trustee> trustees;
        Meta(path).ReadTrustees(trustees);
        std::vector<uint32_t> ids;
        for (const nwemu::Trustee& t : trustees) ids.push_back(t.id);
        return ids;
    }
    void Run(const std::string& source, const std::string& target) {
        locations = netware.GetNetWarePaths(P(source), P(target));
        CheckBoxDependancies(options, FactsOf(locations));
        client.ClearCalls();
        engine.ButtonStartClick(RunRequest{P(source), P(target), "*.*"});
    }
    std::vector<std::string> Ops() const {
        std::vector<std::string> ops;
        for (const testing::NwCall& c : client.Calls()) ops.push_back(testing::NwOpName(c.op));
        return ops;
    }

    testing::TempDir scratch;
    nwemu::Client emulated;
    testing::FaultyNetWareClient client;  // records the engine's calls
    NativeFileServices files;
    ScriptedDialogs dialogs;
    RecordingSink sink;
    OptionSet options;
    DirectoryPair locations;
    NetWareServices netware{client, files, dialogs};
    RunData run;
    TransferEngine engine{run, options, netware, files, dialogs, sink};
};

TEST_F(NetWareWalkTest, TwoDirectoriesBetweenTreeServers) {
    scratch.File("FS1/DATA/SRC/ROOT.TXT", "r");
    const std::string a = scratch.File("FS1/DATA/SRC/A/A.TXT", "a");
    scratch.File("FS1/DATA/SRC/B/B.TXT", "b");
    scratch.Dir("FS2/DATA/TGT");
    // Owners need Supervisor: JSMITH holds it on A's target.
    Meta(scratch.Dir("FS2/DATA/TGT/A")).WriteTrustees({{Fs2Jsmith, nwemu::kAllRights}});
    // Rights shortfalls on B's target: only Read, Write, Create and File Scan there.
    scratch.Dir("FS2/DATA/TGT/B");
    uint16_t rwcf = 0;
    ASSERT_TRUE(nwemu::ParseRightsLetters("RWCF", rwcf));
    Meta(P("FS2/DATA/TGT/B")).WriteTrustees({{Fs2Jsmith, rwcf}});
    // A's metadata.
    Meta(P("FS1/DATA/SRC/A")).WriteTrustees({{Fs1Mbrown, 0x4B}});
    Meta(P("FS1/DATA/SRC/A")).WriteMask(kAllButSupervisor & ~Rights::Erase);
    Meta(P("FS1/DATA/SRC/A")).WriteLimit(300);
    Meta(a).WriteOwner(Fs1Mbrown);
    Meta(a).WriteTrustees({{Fs1Sales, 0x41}});

    Run("FS1/DATA/SRC", "FS2/DATA/TGT");
    EXPECT_EQ(
        sink.List(),
        (Lines{"   ROOT.TXT copied", P("FS1/DATA/SRC/A"), "   A.TXT copied", P("FS1/DATA/SRC/B"),
               "  Insufficient rights to grant rights on target", "   B.TXT copied"}));
    EXPECT_TRUE(dialogs.Asked().empty());

    // A's directory metadata arrived, translated to FS2's identifiers; the roots' did not.
    std::vector<nwemu::Trustee> trustees;
    ASSERT_TRUE(Meta(P("FS2/DATA/TGT/A")).ReadTrustees(trustees));
    ASSERT_EQ(trustees.size(), 2u);  // JSMITH's own, then the one carried
    EXPECT_EQ(trustees[1].id, Fs2Mbrown);
    uint16_t mask = 0;
    ASSERT_TRUE(Meta(P("FS2/DATA/TGT/A")).ReadMask(mask));
    EXPECT_EQ(mask, kAllButSupervisor & ~Rights::Erase);
    uint32_t blocks = 0;
    ASSERT_TRUE(Meta(P("FS2/DATA/TGT/A")).ReadLimit(blocks));
    EXPECT_EQ(blocks, 300u);
    // The file's owner and trustees too.
    uint32_t owner = 0;
    ASSERT_TRUE(Meta(P("FS2/DATA/TGT/A/A.TXT")).ReadOwner(owner));
    EXPECT_EQ(owner, Fs2Mbrown);
    ASSERT_TRUE(Meta(P("FS2/DATA/TGT/A/A.TXT")).ReadTrustees(trustees));
    ASSERT_EQ(trustees.size(), 1u);
    EXPECT_EQ(trustees[0].id, Fs2Sales);
    // Between two servers the files go through the plain copy; every handle is given back.
    EXPECT_EQ(client.CallCount(testing::NwOp::FileServerFileCopy), 0u);
    EXPECT_EQ(emulated.HeldDirHandles(emulated.ConnectionOf("FS1")), 0u);
    EXPECT_EQ(emulated.HeldDirHandles(emulated.ConnectionOf("FS2")), 0u);
    EXPECT_EQ(emulated.OpenContexts(), 0u);
}

// A directory the client cannot name (a backslash in its name) loses its own metadata only:
// every later pair is looked at afresh.
TEST_F(NetWareWalkTest, OneDirectoryTheClientCannotNameLeavesTheOthersCarried) {
    for (const char* dir : {"A", "B\\X", "C"}) {
        scratch.File(std::string("FS1/DATA/SRC/") + dir + "/F.TXT", "f");
        Meta(P(std::string("FS1/DATA/SRC/") + dir)).WriteTrustees({{Fs1Mbrown, 0x4B}});
    }
    scratch.Dir("FS2/DATA/TGT");
    Run("FS1/DATA/SRC", "FS2/DATA/TGT");
    for (const char* dir : {"A", "C"}) {
        SCOPED_TRACE(dir);
        std::vector<nwemu::Trustee> trustees;
        ASSERT_TRUE(Meta(P(std::string("FS2/DATA/TGT/") + dir)).ReadTrustees(trustees));
        ASSERT_EQ(trustees.size(), 1u);
        EXPECT_EQ(trustees[0].id, Fs2Mbrown);
    }
    EXPECT_EQ(testing::ReadFile(P("FS2/DATA/TGT/B\\X/F.TXT")), "f");
}

TEST_F(NetWareWalkTest, DirectoryStepOrderAndHandleRelease) {
    scratch.File("FS1/DATA/SRC/A/A.TXT", "a");
    Meta(P("FS1/DATA/SRC/A")).WriteLimit(300);
    scratch.Dir("FS2/DATA/TGT");
    Run("FS1/DATA/SRC", "FS2/DATA/TGT");
    // The directory step's calls, from its lookup to the release of both handles, before A's
    // file is handled.
    const std::vector<std::string> ops = Ops();
    std::vector<std::string> step;
    bool in = false;
    for (const std::string& op : ops) {
        if (op == "ScanTrustees")
            in = true;
        if (in)
            step.push_back(op);
        if (in && op == "DeallocateDirectoryHandle" && step.size() > 1 &&
            step[step.size() - 2] == "DeallocateDirectoryHandle") {
            break;
        }
    }
    auto pos = [&](const std::string& op) {
        return std::find(step.begin(), step.end(), op) - step.begin();
    };
    EXPECT_LT(pos("ScanTrustees"), pos("GetDirSpaceLimitList"));
    EXPECT_LT(pos("GetDirSpaceLimitList"), pos("SetDirSpaceLimit"));
    EXPECT_LT(pos("SetDirSpaceLimit"), pos("ScanDirEntryInfo"));
    EXPECT_EQ(std::count(step.begin(), step.end(), "AllocTemporaryDirectoryHandle"), 2);
    ASSERT_GE(step.size(), 2u);
    EXPECT_EQ(step.back(), "DeallocateDirectoryHandle");
    uint32_t blocks = 0;
    EXPECT_TRUE(Meta(P("FS2/DATA/TGT/A")).ReadLimit(blocks));
}

TEST_F(NetWareWalkTest, ServerCopyOnOneConnectionInBothPasses) {
    scratch.File("FS1/DATA/SRC/A/A.TXT", "a");
    scratch.File("FS1/DATA/TGT/A/BACK.TXT", "back");
    options.SetTicked(CopyBidirectional, true);
    options.SetTicked(OverwriteOlderFiles, true);
    Run("FS1/DATA/SRC", "FS1/DATA/TGT");
    EXPECT_EQ(client.CallCount(testing::NwOp::FileServerFileCopy), 2u);
    EXPECT_EQ(testing::ReadFile(P("FS1/DATA/TGT/A/A.TXT")), "a");
    EXPECT_EQ(testing::ReadFile(P("FS1/DATA/SRC/A/BACK.TXT")), "back");
    // The second pass carries no owner or trustees.
    for (const testing::NwCall& c : client.Calls()) {
        if (c.op == testing::NwOp::ObtainEntryInfo || c.op == testing::NwOp::ScanTrustees) {
            EXPECT_EQ(c.args.find("BACK.TXT"), std::string::npos) << c.args;
        }
    }
}

// What the operator may carry at the start is carried, whatever the masks being copied take
// from the operator: each directory's mask lands after everything below it. What the target
// server refuses (granting Supervisor without holding it) is a failed step with its own line; an
// object the target does not know is named once per run and fails nothing.
TEST_F(NetWareWalkTest, MetadataArrivesWhateverTheMasksAndEachLossIsReported) {
    struct Row {
        const char* target;  // server directory
        bool supervisor;     // the login holds Supervisor at the target volume's root
        const char* masks;   // of D1 and D2 on the source; without A they take Access Control
    };
    const Row rows[] = {
        {"FS1", false, "RWCF"}, {"FS1", true, "RWCF"},   {"FS2", false, "RWCF"},
        {"FS2", true, "RWCF"},  {"FS2", false, "RWCFA"}, {"FS3", false, "RWCF"},
        {"FS3", true, "RWCF"},
    };
    int n = 0;
    for (const Row& row : rows) {
        const std::string target = row.target;
        SCOPED_TRACE(target + (row.supervisor ? " as Supervisor" : "") + " masks " + row.masks);
        const std::string src = "FS1/DATA/S" + std::to_string(++n);
        const std::string tgt = target + "/DATA/T" + std::to_string(n);
        const uint32_t jsmith = target == "FS1"   ? Fs1Jsmith
                                : target == "FS2" ? Fs2Jsmith
                                                  : Fs3Jsmith;
        const uint32_t mbrown = target == "FS1"   ? Fs1Mbrown
                                : target == "FS2" ? Fs2Mbrown
                                                  : Fs3Mbrown;
        const uint32_t sales = target == "FS1" ? Fs1Sales : target == "FS2" ? Fs2Sales : Fs3Sales;
        Meta(P(target + "/DATA"))
            .WriteTrustees({{jsmith, row.supervisor ? nwemu::kAllRights : kAllButSupervisor}});
        const std::string f1 = scratch.File(src + "/D1/f1.txt", "1");
        const std::string f2 = scratch.File(src + "/D1/D2/f2.txt", "2");
        Meta(P(src + "/D1"))
            .WriteTrustees({{Fs1Jsmith, nwemu::kAllRights},
                            {Fs1Mbrown, Letters("RWF")},
                            {Fs1Sales, Letters("RF")},
                            {Fs1Temp, Letters("R")}});
        Meta(P(src + "/D1")).WriteMask(Letters(row.masks));
        Meta(P(src + "/D1")).WriteLimit(300);
        Meta(P(src + "/D1/D2")).WriteTrustees({{Fs1Jsmith, nwemu::kAllRights}});
        Meta(P(src + "/D1/D2")).WriteMask(Letters(row.masks) & Letters("RFA"));
        for (const std::string& f : {f1, f2}) {
            Meta(f).WriteOwner(Fs1Mbrown);
            Meta(f).WriteTrustees({{Fs1Sales, Letters("R")}});
        }
        scratch.Dir(tgt);
        sink.Reset();
        Run(src, tgt);

        const std::string refused =
            " [SRWCEMFA] not carried to " + target + "/DATA:T" + std::to_string(n) + "\\D1";
        const std::string why = ": 0x898C (No modify privileges)";
        // Without Supervisor no owner is handed over.
        const std::string owner = row.supervisor ? "" : "  Owner CN=MBROWN.OU=SALES.O=ACME";
        Lines expected{P(src + "/D1"), "   f1.txt copied"};
        if (!row.supervisor)
            expected.push_back(owner + refused.substr(11) + "\\f1.txt" + why);
        expected.insert(expected.end(), {P(src + "/D1/D2"), "   f2.txt copied"});
        if (!row.supervisor) {
            expected.push_back(owner + refused.substr(11) + "\\D2\\f2.txt" + why);
            expected.push_back("  Trustee CN=JSMITH.OU=SALES.O=ACME" + refused + "\\D2" + why);
            expected.push_back("  Trustee CN=JSMITH.OU=SALES.O=ACME" + refused + why);
        }
        if (target == "FS3") {  // FS2 knows TEMP from the tree
            expected.push_back("  not carried: no object CN=TEMP.O=ACME on FS3");
        }
        for (std::string& line : expected) line = testing::WithSlashes(line);  // as recorded
        EXPECT_EQ(sink.List(), expected);
        EXPECT_EQ(run.NetWareFailures, row.supervisor ? 0 : 4);

        std::vector<uint32_t> d1{mbrown, sales};
        const nwemu::Server& server = emulated.Servers().ServerAt(target[2] - '1');
        if (const nwemu::Object* temp = server.FindObject("TEMP"))
            d1.push_back(temp->id);
        if (row.supervisor)
            d1.insert(d1.begin(), jsmith);
        EXPECT_EQ(TrusteeIds(P(tgt + "/D1")), d1);
        EXPECT_EQ(TrusteeIds(P(tgt + "/D1/D2")),
                  row.supervisor ? std::vector<uint32_t>{jsmith} : std::vector<uint32_t>{});
        uint16_t mask = 0;
        uint32_t value = 0;
        EXPECT_TRUE(Meta(P(tgt + "/D1")).ReadMask(mask) && mask == Letters(row.masks));
        EXPECT_TRUE(Meta(P(tgt + "/D1/D2")).ReadMask(mask) &&
                    mask == (Letters(row.masks) & Letters("RFA")));
        EXPECT_TRUE(Meta(P(tgt + "/D1")).ReadLimit(value) && value == 300u);
        for (const char* f : {"/D1/f1.txt", "/D1/D2/f2.txt"}) {
            const uint32_t owner = Meta(P(tgt + f)).ReadOwner(value) ? value : jsmith;
            EXPECT_EQ(owner, row.supervisor ? mbrown : jsmith) << f;
            EXPECT_EQ(TrusteeIds(P(tgt + f)), std::vector<uint32_t>{sales}) << f;
        }
        // D1's mask is the run's last change.
        const std::vector<std::string> ops = Ops();
        const auto last = std::find_if(ops.rbegin(), ops.rend(), [](const std::string& op) {
            return op == "AddTrustee" || op == "ModifyDosInfo" || op == "SetDirSpaceLimit" ||
                   op == "ModifyDirEntry";
        });
        ASSERT_NE(last, ops.rend());
        EXPECT_EQ(*last, "ModifyDirEntry");
    }
}

// A path text that does not fit the client's 511 characters is never cut and used: cut, it names
// the parent (on a separator) or a directory that is not there (inside a name). Its directory
// gets nothing, its parent nothing of it, and the loss is reported.
TEST_F(NetWareWalkTest, APathBeyondTheClientsBufferIsNeverCut) {
    struct Row {
        size_t length;     // of the deepest target directory's path text
        const char* name;  // its name
    };
    const Row rows[] = {{510, "xy"}, {511, "xy"}, {512, "xy"}, {513, "xy"}, {513, "wxyz"}};
    int n = 0;
    for (const Row& row : rows) {
        const std::string src = "FS1/DATA/S" + std::to_string(++n);
        const std::string tgt = "FS2/DATA/T" + std::to_string(n);
        // a(200)/b(200)/c...c/name below the target root, to the length asked for.
        const size_t name = std::string(row.name).size();
        const std::string fixed(row.length - P(tgt).size() - 4 - 400 - name, 'c');
        const std::string parent =
            std::string(200, 'a') + "/" + std::string(200, 'b') + "/" + fixed;
        const std::string leaf = parent + "/" + row.name;
        ASSERT_EQ(P(tgt + "/" + leaf).size(), row.length);
        SCOPED_TRACE(std::to_string(row.length) + " " + row.name);
        scratch.Dir(src + "/" + leaf);
        Meta(P(src + "/" + leaf)).WriteTrustees({{Fs1Mbrown, Letters("RWCEMFA")}});
        Meta(P(src + "/" + leaf)).WriteMask(Letters("RFA"));
        Meta(P(src + "/" + leaf)).WriteLimit(300);
        scratch.Dir(tgt);
        sink.Reset();
        Run(src, tgt);

        const bool fits = row.length <= 511;
        std::vector<nwemu::Trustee> trustees;
        uint16_t mask = 0;
        uint32_t limit = 0;
        EXPECT_EQ(Meta(P(tgt + "/" + leaf)).ReadTrustees(trustees) && trustees.size() == 1, fits);
        EXPECT_EQ(Meta(P(tgt + "/" + leaf)).ReadMask(mask), fits);
        EXPECT_EQ(Meta(P(tgt + "/" + leaf)).ReadLimit(limit), fits);
        for (const std::string& above : {parent, std::string(200, 'a')}) {
            EXPECT_FALSE(Meta(P(tgt + "/" + above)).ReadTrustees(trustees) ||
                         Meta(P(tgt + "/" + above)).ReadMask(mask) ||
                         Meta(P(tgt + "/" + above)).ReadLimit(limit));
        }
        const Lines list = sink.List();
        ASSERT_FALSE(list.empty());
        EXPECT_EQ(list.back(),
                  fits ? P(src + "/" + leaf)
                       : "  NetWare path too long: trustees, mask and limit not carried");
        EXPECT_EQ(run.NetWareFailures, fits ? 0 : 1);
        EXPECT_TRUE(dialogs.Asked().empty());
    }
}

// A failed server copy is described in the server's words, as a failed plain copy is in the
// system's.
TEST_F(NetWareWalkTest, AFailedServerCopyIsDescribedInTheServersWords) {
    scratch.File("FS1/DATA/SRC/A.TXT", "a");
    scratch.Dir("FS1/DATA/TGT");
    client.FailOperation(testing::NwOp::FileServerFileCopy, nwemu::Code::InsufficientSpace);
    Run("FS1/DATA/SRC", "FS1/DATA/TGT");
    EXPECT_EQ(dialogs.Texts(), (Lines{"Error 8901: Could not copy " + P("FS1/DATA/TGT/A.TXT") +
                                      " (Insufficient space on the volume)"}));
}

TEST_F(NetWareWalkTest, SecondPassAndLocalTargetsDoNoNetWareWork) {
    scratch.File("FS1/DATA/SRC/A/A.TXT", "a");
    scratch.Dir("LOCAL");
    Run("FS1/DATA/SRC", "LOCAL");
    EXPECT_EQ(testing::ReadFile(P("LOCAL/A/A.TXT")), "a");
    for (const std::string& op : Ops()) {
        EXPECT_NE(op, "ScanTrustees");
        EXPECT_NE(op, "AllocTemporaryDirectoryHandle");
        EXPECT_NE(op, "FileServerFileCopy");
    }
    EXPECT_EQ(sink.List(), (Lines{P("FS1/DATA/SRC/A"), "   A.TXT copied"}));
}

}  // namespace
}  // namespace ferrit
