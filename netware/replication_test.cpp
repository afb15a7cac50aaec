#include <gtest/gtest.h>

#include "netware/netware_services.h"
#include "platform/posix/posix_file_services.h"
#include "testing/scripted_client.h"
#include "testing/scripted_dialogs.h"

namespace ferrit {
namespace {
using testing::AskedDialog;

using testing::ScriptedClient;

constexpr NWCONN_HANDLE kSrcConn = 1;
constexpr NWCONN_HANDLE kTgtConn = 2;

class ReplicationTest : public testing::ScriptedServicesTest {
  protected:
    void SetUp() override {
        Locate(kSrcConn, kTgtConn, 0x1FF);
        client.trees[kSrcConn] = client.trees[kTgtConn] = "ACME";
        client.dsConns = {kSrcConn, kTgtConn};
    }
    // The two entries as a directory step leaves them.
    void Locate(NWCONN_HANDLE src, NWCONN_HANDLE tgt, uint32_t targetRights) {
        state.PathInfo[kSource].ConnHandle = src;
        state.PathInfo[kTarget].ConnHandle = tgt;
        state.PathInfo[kSource].EffectiveRights = 0x1FF;
        state.PathInfo[kTarget].EffectiveRights = targetRights;
        state.BothNetWare = true;
        state.SameConnection = src == tgt;
    }
    // Trustees 1..n on the source; on another server object k is known as 100 + k.
    void SourceTrustees(int n) {
        for (int k = 1; k <= n; ++k) {
            const NWObjectID id = static_cast<NWObjectID>(k);
            client.trustees.push_back({id, static_cast<uint16_t>(k)});
            const std::string name = "CN=U" + std::to_string(k) + ".O=ACME";
            client.dsNames[{kSrcConn, id}] = name;
            client.dsIds[{kTgtConn, name}] = 100 + id;
        }
    }
    std::vector<NWObjectID> AddedIds() const {
        std::vector<NWObjectID> ids;
        for (const auto& a : client.added) ids.push_back(a.id);
        return ids;
    }
    static std::vector<NWObjectID> Ids(int from, int to, NWObjectID base = 0) {
        std::vector<NWObjectID> ids;
        for (int k = from; k <= to; ++k) ids.push_back(base + static_cast<NWObjectID>(k));
        return ids;
    }

    int16_t runState = 1;
};

TEST_F(ReplicationTest, WithoutAccessControlOnTheTargetNothingAsksTheClient) {
    SourceTrustees(3);
    client.owners[{kSrcConn, "S:F"}] = 10;
    client.limitList = {{0, 500, 0}};
    client.allocFails[kSrcConn] = 0x8998;  // would raise a dialog if asked
    for (uint32_t rights : {0x00u, 0x1DFu, 0x0Fu}) {
        Locate(kSrcConn, kTgtConn, rights);
        nw.CopyTrustees(state, "S:", "T:");
        nw.CopyOwner(state, "S:F", "T:F");
        nw.CopyInheritedRightsMask(state, "S:", "T:", runState);
        nw.CopySpaceLimits(state, "S:", "T:", runState);
    }
    EXPECT_TRUE(client.log.empty());
    EXPECT_TRUE(dialogs.Asked().empty());
    EXPECT_EQ(runState, 1);
}

TEST_F(ReplicationTest, TrusteesComeInBatchesOfTwenty) {
    struct Case {
        int trustees;
        size_t scans;
    };
    for (const Case c : {Case{0, 1}, Case{1, 2}, Case{20, 2}, Case{25, 3}, Case{40, 3}}) {
        ScriptedClient fresh;
        NetWareServices services(fresh, files, dialogs);
        Locate(kSrcConn, kSrcConn, 0x1FF);  // one connection: identifiers unchanged
        for (int k = 1; k <= c.trustees; ++k) {
            fresh.trustees.push_back({static_cast<NWObjectID>(k), static_cast<uint16_t>(k)});
        }
        services.CopyTrustees(state, "SYS:DATA", "SYS:COPY");
        EXPECT_EQ(fresh.Count("ScanTrustees"), c.scans) << c.trustees;
        ASSERT_EQ(fresh.added.size(), static_cast<size_t>(c.trustees));
        for (int k = 0; k < c.trustees; ++k) {
            EXPECT_EQ(fresh.added[k].id, static_cast<NWObjectID>(k + 1));
            EXPECT_EQ(fresh.added[k].rights, k + 1);
            EXPECT_EQ(fresh.added[k].path, "SYS:COPY");
            EXPECT_EQ(fresh.added[k].conn, kSrcConn);
        }
        EXPECT_EQ(fresh.Count("DSCreateContext") + fresh.Count("GetObjectName"), 0u);
    }
}

TEST_F(ReplicationTest, TrusteesAreTranslatedBetweenServers) {
    SourceTrustees(25);
    nw.CopyTrustees(state, "S:", "T:");
    EXPECT_EQ(AddedIds(), Ids(1, 25, 100));
    EXPECT_EQ(client.openContexts, 0);
}

TEST_F(ReplicationTest, TrusteeWithoutCounterpartOnTheTargetIsSkipped) {
    SourceTrustees(25);
    // Object 20, the last of the first batch, and 25, the last of all, have no target object.
    client.dsIds.erase({kTgtConn, "CN=U20.O=ACME"});
    client.dsIds.erase({kTgtConn, "CN=U25.O=ACME"});
    EXPECT_EQ(nw.CopyTrustees(state, "S:", "T:"), 0x89FCu);  // the bindery's "no such object"
    std::vector<NWObjectID> expected = Ids(1, 19, 100);
    for (NWObjectID id : Ids(21, 24, 100)) expected.push_back(id);
    EXPECT_EQ(AddedIds(), expected);
    EXPECT_EQ(client.Count("ScanTrustees"), 3u);
}

TEST_F(ReplicationTest, ASourceSideFailureOnTheLastEntryOfABatchSkipsThatEntryAlone) {
    SourceTrustees(25);
    client.dsNames.erase({kSrcConn, 20});  // neither directory services nor the bindery know it
    EXPECT_EQ(nw.CopyTrustees(state, "S:", "T:"), 0x89FCu);
    std::vector<NWObjectID> expected = Ids(1, 19, 100);
    for (NWObjectID id : Ids(21, 25, 100)) expected.push_back(id);
    EXPECT_EQ(AddedIds(), expected);
    EXPECT_EQ(client.Count("ScanTrustees"), 3u);
}

TEST_F(ReplicationTest, ASourceSideFailureEarlierInTheBatchDoesNotEndIt) {
    SourceTrustees(25);
    client.dsNames.erase({kSrcConn, 5});
    nw.CopyTrustees(state, "S:", "T:");
    std::vector<NWObjectID> expected = Ids(1, 4, 100);
    for (NWObjectID id : Ids(6, 25, 100)) expected.push_back(id);
    EXPECT_EQ(AddedIds(), expected);
}

TEST_F(ReplicationTest, AFailedAddSkipsThatEntryAlone) {
    Locate(kSrcConn, kSrcConn, 0x1FF);
    SourceTrustees(25);
    client.addFails[3] = 0x898C;
    EXPECT_EQ(nw.CopyTrustees(state, "S:", "T:"), 0x898Cu);
    EXPECT_EQ(client.added.size(), 24u);

    ScriptedClient fresh;
    NetWareServices services(fresh, files, dialogs);
    for (int k = 1; k <= 25; ++k) fresh.trustees.push_back({static_cast<NWObjectID>(k), 1});
    fresh.addFails[20] = 0x898C;
    EXPECT_EQ(services.CopyTrustees(state, "S:", "T:"), 0x898Cu);
    EXPECT_EQ(fresh.added.size(), 24u);
    EXPECT_EQ(fresh.Count("ScanTrustees"), 3u);
}

// Every entry of every batch is handled, whatever fails where: a trustee that cannot be carried
// is skipped, the others all arrive, and the routine answers the code of the last failure.
TEST_F(ReplicationTest, FailingTrusteesAreSkippedWhereverTheyStand) {
    enum Fault { SourceName, NoCounterpart, AddRefused };
    struct Case {
        bool sameConnection;
        std::vector<std::pair<int, Fault>> faults;  // position (1-25) and what fails there
        uint32_t result;
    } cases[] = {
        {false, {}, 0},
        {false, {{1, AddRefused}}, 0x8901},
        {false, {{20, SourceName}}, 0x89FC},
        {false, {{21, NoCounterpart}}, 0x89FC},
        {false, {{25, AddRefused}}, 0x8919},
        {false, {{1, SourceName}, {20, AddRefused}, {21, NoCounterpart}, {25, AddRefused}}, 0x8919},
        {false, {{1, AddRefused}, {20, NoCounterpart}, {21, AddRefused}, {25, SourceName}}, 0x89FC},
        {false, {{19, AddRefused}, {20, AddRefused}, {21, AddRefused}}, 0x8915},
        {true, {{1, AddRefused}, {20, AddRefused}, {21, AddRefused}, {25, AddRefused}}, 0x8919},
    };
    for (const Case& c : cases) {
        ScriptedClient fresh;
        fresh.trees[kSrcConn] = fresh.trees[kTgtConn] = "ACME";
        fresh.dsConns = {kSrcConn, kTgtConn};
        NetWareServices services(fresh, files, dialogs);
        Locate(kSrcConn, c.sameConnection ? kSrcConn : kTgtConn, 0x1FF);
        const NWObjectID offset = c.sameConnection ? 0 : 100;
        for (int k = 1; k <= 25; ++k) {
            const NWObjectID id = static_cast<NWObjectID>(k);
            const std::string name = "CN=U" + std::to_string(k) + ".O=ACME";
            fresh.trustees.push_back({id, static_cast<uint16_t>(k)});
            fresh.dsNames[{kSrcConn, id}] = name;
            fresh.dsIds[{kTgtConn, name}] = 100 + id;
        }
        std::vector<NWObjectID> expected;
        for (int k = 1; k <= 25; ++k) {
            const NWObjectID id = static_cast<NWObjectID>(k);
            const std::string name = "CN=U" + std::to_string(k) + ".O=ACME";
            bool fails = false;
            for (const auto& [position, fault] : c.faults) {
                if (position != k) {
                    continue;
                }
                fails = true;
                if (fault == SourceName) {
                    fresh.dsNames.erase({kSrcConn, id});
                } else if (fault == NoCounterpart) {
                    fresh.dsIds.erase({kTgtConn, name});
                } else {
                    fresh.addFails[offset + id] = static_cast<NWCCODE>(0x8900 + k);
                }
            }
            if (!fails) {
                expected.push_back(offset + id);
            }
        }
        const std::string what = ::testing::PrintToString(c.faults.size()) + " faults, first at " +
                                 (c.faults.empty() ? "-" : std::to_string(c.faults[0].first));
        EXPECT_EQ(services.CopyTrustees(state, "S:", "T:"), c.result) << what;
        std::vector<NWObjectID> added;
        for (const auto& a : fresh.added) added.push_back(a.id);
        EXPECT_EQ(added, expected) << what;
        EXPECT_EQ(fresh.Count("ScanTrustees"), 3u) << what;
        EXPECT_EQ(fresh.openContexts, 0) << what;
    }
}

TEST_F(ReplicationTest, OwnerIsReplacedOnlyWhenItDiffers) {
    Locate(kSrcConn, kSrcConn, 0x1FF);
    client.owners[{kSrcConn, "S:A"}] = 10;
    client.owners[{kSrcConn, "T:A"}] = 11;
    client.owners[{kSrcConn, "S:B"}] = 12;
    client.owners[{kSrcConn, "T:B"}] = 12;
    nw.CopyOwner(state, "S:A", "T:A");
    nw.CopyOwner(state, "S:B", "T:B");
    EXPECT_EQ(client.ownerWrites, (std::vector<std::pair<std::string, NWObjectID>>{{"T:A", 10}}));
}

TEST_F(ReplicationTest, OwnerIsTranslatedBetweenServers) {
    client.dsNames[{kSrcConn, 10}] = "CN=JSMITH.O=ACME";
    client.dsIds[{kTgtConn, "CN=JSMITH.O=ACME"}] = 0x2010;
    client.owners[{kSrcConn, "S:A"}] = 10;
    client.owners[{kTgtConn, "T:A"}] = 1;
    nw.CopyOwner(state, "S:A", "T:A");
    EXPECT_EQ((client.owners[{kTgtConn, "T:A"}]), 0x2010u);
}

TEST_F(ReplicationTest, OwnerWithoutCounterpartLeavesTheTargetOwnerAlone) {
    client.dsNames[{kSrcConn, 10}] = "CN=NOBODY.O=ACME";  // unknown on the target
    client.owners[{kSrcConn, "S:A"}] = 10;
    client.owners[{kTgtConn, "T:A"}] = 1;
    client.owners[{kSrcConn, "S:B"}] = 99;  // its name cannot even be read on the source
    client.owners[{kTgtConn, "T:B"}] = 1;
    nw.CopyOwner(state, "S:A", "T:A");
    nw.CopyOwner(state, "S:B", "T:B");
    EXPECT_TRUE(client.ownerWrites.empty());
    EXPECT_EQ(client.Count("ModifyDosInfo"), 0u);
}

TEST_F(ReplicationTest, UnreadableOwnersOnEitherSide) {
    // An unreadable source ends the step before any translation.
    nw.CopyOwner(state, "S:MISSING", "T:A");
    EXPECT_EQ(client.Count("DSCreateContext") + client.Count("ModifyDosInfo"), 0u);

    // An unreadable target on one connection: the record still holds the source's owner, so
    // the owners look equal and nothing is written.
    Locate(kSrcConn, kSrcConn, 0x1FF);
    client.owners[{kSrcConn, "S:A"}] = 10;
    nw.CopyOwner(state, "S:A", "T:NEW");
    EXPECT_TRUE(client.ownerWrites.empty());

    // Between servers the translated owner differs from the source's, so it is written.
    Locate(kSrcConn, kTgtConn, 0x1FF);
    client.dsNames[{kSrcConn, 10}] = "CN=JSMITH.O=ACME";
    client.dsIds[{kTgtConn, "CN=JSMITH.O=ACME"}] = 0x2010;
    nw.CopyOwner(state, "S:A", "T:NEW");
    EXPECT_EQ(client.ownerWrites,
              (std::vector<std::pair<std::string, NWObjectID>>{{"T:NEW", 0x2010}}));
}

TEST_F(ReplicationTest, EntryInformationFallsBackToNameSpaceFour) {
    client.owners[{kSrcConn, "S:A"}] = 10;
    using NsPairs = std::vector<std::pair<uint8_t, uint8_t>>;
    struct Case {
        NWCCODE nameSpaceCode;
        uint8_t owning;
        std::set<uint8_t> refused;
        NsPairs calls;
        bool ok;
    };
    const Case cases[] = {
        {0, 0, {}, {{0, 0}}, true},
        {0, 4, {}, {{4, 4}}, true},
        {0, 2, {2}, {{2, 2}, {4, 2}}, true},
        {0x899C, 0, {}, {{4, 0}}, true},  // no name space known: asked for in the DOS one
        {0x899C, 0, {4}, {{4, 0}}, false},
    };
    for (const Case& c : cases) {
        client.nameSpaceCode = c.nameSpaceCode;
        client.nameSpace = c.owning;
        client.refusedSourceNameSpaces = c.refused;
        client.entryInfoNameSpaces.clear();
        EntryInfo info;
        info.ownerId = 77;
        const NWCCODE code = nw.ReadEntryInfo(kSrcConn, "S:A", info);
        EXPECT_EQ(code == 0, c.ok);
        EXPECT_EQ(info.ownerId, c.ok ? 10u : 77u);  // a failed read leaves the record alone
        EXPECT_EQ(client.entryInfoNameSpaces, c.calls);
    }
}

TEST_F(ReplicationTest, HandlesAreAllocatedOnceAndReleasedAtTheEndOfTheStep) {
    client.limitList = {{0, 500, 0}};
    client.masks = {{kSrcConn, 0x1FF}, {kTgtConn, 0x0FF}};
    nw.CopySpaceLimits(state, "S:", "T:", runState);
    nw.CopyInheritedRightsMask(state, "S:", "T:", runState);
    EXPECT_EQ(client.Count("AllocTemporaryDirectoryHandle"), 2u);
    EXPECT_EQ(client.allocated, (std::vector<std::pair<NWCONN_HANDLE, std::string>>{
                                    {kSrcConn, "S:"}, {kTgtConn, "T:"}}));
    const NWDIR_HANDLE src = state.PathInfo[kSource].TempDirHandle;
    const NWDIR_HANDLE tgt = state.PathInfo[kTarget].TempDirHandle;
    EXPECT_NE(src, 0);
    EXPECT_NE(tgt, 0);
    EXPECT_EQ(nw.FreeTempDirHandle(state, kSource), 0);
    EXPECT_EQ(nw.FreeTempDirHandle(state, kTarget), 0);
    EXPECT_EQ(client.released, (std::vector<std::pair<NWCONN_HANDLE, NWDIR_HANDLE>>{
                                   {kSrcConn, src}, {kTgtConn, tgt}}));
    EXPECT_EQ(state.PathInfo[kSource].TempDirHandle, 0);
    EXPECT_EQ(state.PathInfo[kTarget].TempDirHandle, 0);
    // Nothing left to release.
    EXPECT_EQ(nw.FreeTempDirHandle(state, kSource), 0);
    EXPECT_EQ(client.released.size(), 2u);
}

TEST_F(ReplicationTest, InheritedRightsMaskIsWrittenOnlyWhenItDiffers) {
    client.masks = {{kSrcConn, 0x00FB}, {kTgtConn, 0x00FB}};
    nw.CopyInheritedRightsMask(state, "S:", "T:", runState);
    EXPECT_EQ(client.Count("ScanDirEntryInfo"), 2u);
    EXPECT_EQ(client.Count("ModifyDirEntry"), 0u);

    client.masks[kTgtConn] = 0x01FF;
    nw.CopyInheritedRightsMask(state, "S:", "T:", runState);
    EXPECT_EQ(client.maskWrites, std::vector<uint16_t>{0x00FB});
    EXPECT_EQ(client.masks[kTgtConn], 0x00FB);
    EXPECT_TRUE(dialogs.Asked().empty());
}

TEST_F(ReplicationTest, SourceHandleFailureAsksWithAbortAlone) {
    client.allocFails[kSrcConn] = 0x899C;
    client.masks = {{kSrcConn, 1}, {kTgtConn, 2}};
    client.limitList = {{0, 500, 0}};
    for (DialogAnswer answer : {Answer::Abort, Answer::OK}) {
        client.log.clear();
        dialogs.ClearRecord();
        dialogs.Script({answer, answer});
        runState = 1;
        nw.CopyInheritedRightsMask(state, "S:", "T:", runState);
        EXPECT_EQ(runState, answer);
        nw.CopySpaceLimits(state, "S:", "T:", runState);
        EXPECT_EQ(runState, answer);
        ASSERT_EQ(dialogs.Asked().size(), 2u);
        for (const AskedDialog& d : dialogs.Asked()) {
            EXPECT_EQ(d.kind, DialogKind::Error);
            EXPECT_EQ(d.text, "Error 899C: NWAllocTemporaryDirectoryHandle");
            EXPECT_EQ(d.buttons, Btn::Abort);
        }
        // After Abort nothing more is asked of the client; otherwise the routines go on with
        // handle 0, which the scans and the list read refuse.
        EXPECT_EQ(client.Count("ScanDirEntryInfo"), answer == Answer::Abort ? 0u : 1u);
        EXPECT_EQ(client.Count("GetDirSpaceLimitList"), answer == Answer::Abort ? 0u : 1u);
        EXPECT_EQ(state.PathInfo[kSource].TempDirHandle, 0);  // a failed allocation keeps none
    }
}

TEST_F(ReplicationTest, TargetHandleFailureIsSilentForTheMask) {
    client.allocFails[kTgtConn] = 0x899C;
    client.masks = {{kSrcConn, 1}, {kTgtConn, 2}};
    nw.CopyInheritedRightsMask(state, "S:", "T:", runState);
    EXPECT_TRUE(dialogs.Asked().empty());
    EXPECT_EQ(client.Count("ModifyDirEntry"), 0u);
    EXPECT_EQ(runState, 1);
}

TEST_F(ReplicationTest, SpaceLimitOfTheDirectoryItselfIsCarried) {
    struct Case {
        std::vector<SpaceLimitEntry> list;
        std::vector<uint32_t> writes;
    };
    // The source "S:A\B" is at depth 1.
    const Case cases[] = {
        {{}, {}},
        {{{0, 900, 0}}, {}},  // only the parent has a limit
        {{{1, 400, 3}, {0, 900, 0}}, {400}},
        {{{1, kNoSpaceLimit, 0}}, {0}},  // no limit is written as 0
        {{{1, 0, 0}}, {0}},
    };
    for (const Case& c : cases) {
        client.limitList = c.list;
        client.limitWrites.clear();
        nw.CopySpaceLimits(state, "S:A\\B", "T:A\\B", runState);
        EXPECT_EQ(client.limitWrites, c.writes);
        nw.FreeTempDirHandle(state, kSource);
        nw.FreeTempDirHandle(state, kTarget);
    }
    EXPECT_TRUE(dialogs.Asked().empty());
}

TEST_F(ReplicationTest, SpaceLimitWriteAnswers) {
    client.limitList = {{0, 100, 0}, {0, 200, 0}};  // two entries at the directory's level
    // 0x89FF counts as success.
    client.setLimitCode = 0x89FF;
    nw.CopySpaceLimits(state, "S:", "T:", runState);
    EXPECT_TRUE(dialogs.Asked().empty());
    EXPECT_EQ(client.limitWrites, (std::vector<uint32_t>{100, 200}));

    // Any other code asks with Abort and Ignore for every entry; the answer goes to runState.
    client.setLimitCode = 0x898C;
    dialogs.Script({Answer::Abort, Answer::Ignore});
    nw.CopySpaceLimits(state, "S:", "T:", runState);
    ASSERT_EQ(dialogs.Asked().size(), 2u);
    EXPECT_EQ(dialogs.Asked()[0].text, "Error 898C: NWSetDirSpaceLimit");
    EXPECT_EQ(dialogs.Asked()[0].buttons, Btn::AbortIgnore);
    EXPECT_EQ(runState, Answer::Ignore);

    // A target handle that cannot be had is reported the same way, with its own code.
    nw.FreeTempDirHandle(state, kTarget);
    client.allocFails[kTgtConn] = 0x8996;
    dialogs.ClearRecord();
    dialogs.Script({Answer::Abort, Answer::Abort});
    nw.CopySpaceLimits(state, "S:", "T:", runState);
    EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"Error 8996: NWSetDirSpaceLimit",
                                                         "Error 8996: NWSetDirSpaceLimit"}));
    EXPECT_EQ(runState, Answer::Abort);
}

TEST_F(ReplicationTest, LongLimitListsAndDeepPathsAreHandledWhole) {
    // More entries than the client's 102-entry buffer: the one for the directory comes last.
    std::vector<SpaceLimitEntry> list(150, SpaceLimitEntry{9, 1, 0});
    list.back() = {2, 4242, 0};
    client.limitList = list;
    nw.CopySpaceLimits(state, "S:A\\B\\C", "T:A\\B\\C", runState);
    EXPECT_EQ(client.limitWrites, std::vector<uint32_t>{4242});
    nw.FreeTempDirHandle(state, kSource);
    nw.FreeTempDirHandle(state, kTarget);

    // 256 levels deep: no 8-bit level names it, so the volume's limit (level 0) is not taken
    // for its own.
    std::string deep = "S:";
    for (int k = 0; k < 256; ++k) deep += "\\d";
    client.limitList = {{0, 777, 0}, {255, 555, 0}};
    client.limitWrites.clear();
    nw.CopySpaceLimits(state, deep, "T:X", runState);
    EXPECT_TRUE(client.limitWrites.empty());
    EXPECT_EQ(PathDepth(deep), 256u);
    EXPECT_EQ(PathDepth("VOL:"), 0u);
    EXPECT_EQ(PathDepth("VOL:A\\B"), 1u);
}

}  // namespace
}  // namespace ferrit
