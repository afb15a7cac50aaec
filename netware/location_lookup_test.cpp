#include <gtest/gtest.h>

#include "netware/netware_services.h"
#include "platform/posix/posix_file_services.h"
#include "support/format_size.h"
#include "testing/scripted_client.h"
#include "testing/scripted_dialogs.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {
using testing::AskedDialog;

using testing::ScriptedClient;
using testing::TempDir;
using Lines = std::vector<std::string>;

class LocationsTest : public testing::ScriptedServicesTest {
  protected:
    void SetUp() override {
        // Two servers: srv1 (connection 1) and srv2 (connection 2); "local" is on neither.
        client.volumes[tmp.Path("srv1/")] = 1;
        client.volumes[tmp.Path("srv2/")] = 2;
        client.servers[1] = "FS1";
        client.servers[2] = "FS2";
        client.rights[1] = client.rights[2] = 0x1FF;
        a1 = tmp.Dir("srv1/vol/a");
        b1 = tmp.Dir("srv1/vol/b");
        a2 = tmp.Dir("srv2/vol/a");
        local = tmp.Dir("local/a");
    }
    const TPathInfo& Src() const { return state.PathInfo[kSource]; }
    const TPathInfo& Tgt() const { return state.PathInfo[kTarget]; }

    TempDir tmp;
    std::string a1, b1, a2, local;
};

TEST_F(LocationsTest, EntriesAndFlagsFollowThePaths) {
    struct Case {
        std::string source, target;
        bool both, same;
    };
    const Case cases[] = {
        {a1, b1, true, true},      {a1, a2, true, false},        {a1, local, false, false},
        {local, a2, false, false}, {local, local, false, false},
    };
    for (const Case& c : cases) {
        state = nw.GetNetWarePaths(c.source, c.target);
        EXPECT_EQ(state.BothNetWare, c.both) << c.source << " " << c.target;
        EXPECT_EQ(state.SameConnection, c.same);
        for (int i : {kSource, kTarget}) {
            const TPathInfo& e = state.PathInfo[i];
            const bool onNetWare = (i == kSource ? c.source : c.target) != local;
            EXPECT_TRUE(e.DirExists);
            EXPECT_EQ(e.OnNetWare, onNetWare);
            EXPECT_EQ(e.ServerName.empty(), !onNetWare);
            EXPECT_EQ(e.EffectiveRights, onNetWare ? 0x1FFu : 0u);
            EXPECT_EQ(e.NetWarePath.rfind("VOL:", 0) == 0, onNetWare);
        }
    }
    state = nw.GetNetWarePaths(a1, a2);
    EXPECT_EQ(Src().NetWarePath, "VOL:vol/a");
    EXPECT_EQ(Tgt().ServerName, "FS2");
    EXPECT_TRUE(dialogs.Asked().empty());
}

// A directory that does not exist yet lies where its nearest existing parent lies and has that
// parent's rights, as it will once made; nothing is asked about an empty path.
TEST_F(LocationsTest, AMissingPathLiesWhereItsParentLiesAnEmptyOneNowhere) {
    state = nw.GetNetWarePaths("", "");
    EXPECT_TRUE(client.log.empty());
    EXPECT_EQ(Tgt().OemPath, "");
    EXPECT_EQ(state.AvailText, "Available Space: n/a");

    client.rights[1] = 0x0FB;
    state = nw.GetNetWarePaths(tmp.Path("srv1/vol/none/deeper"), tmp.Path("local/none"));
    EXPECT_FALSE(Src().DirExists);
    EXPECT_EQ(Src().OemPath, tmp.Path("srv1/vol/none/deeper"));
    EXPECT_EQ(Src().ConnHandle, 1u);
    EXPECT_EQ(Src().NetWarePath, "VOL:vol\\none\\deeper");
    EXPECT_EQ(Src().ServerName, "FS1");
    EXPECT_EQ(Src().EffectiveRights, 0x0FBu);
    EXPECT_FALSE(Tgt().OnNetWare);
    EXPECT_EQ(Tgt().ConnHandle, 0u);
    // The parent's rights that cannot be read are none, without a dialog: the directory asked
    // about is not there.
    client.rightsCode = 0x899C;
    state = nw.GetNetWarePaths(tmp.Path("srv1/vol/none"), "");
    EXPECT_TRUE(Src().OnNetWare);
    EXPECT_EQ(Src().EffectiveRights, 0u);
    EXPECT_TRUE(dialogs.Asked().empty());
}

TEST_F(LocationsTest, FailedRightsQueryAsksOnEveryRefresh) {
    client.rightsCode = 0x899C;
    state = nw.GetNetWarePaths(a1, local);
    state = nw.GetNetWarePaths(a1, local);
    ASSERT_EQ(dialogs.Asked().size(), 2u);
    for (const AskedDialog& d : dialogs.Asked()) {
        EXPECT_EQ(d.kind, DialogKind::Error);
        EXPECT_EQ(d.text, "Error 899C: Error getting effective rights");
        EXPECT_EQ(d.buttons, Btn::OK);
    }
    EXPECT_EQ(Src().EffectiveRights, 0u);
    EXPECT_TRUE(Src().OnNetWare);
}

TEST_F(LocationsTest, AvailableSpaceOfTheTarget) {
    state = nw.GetNetWarePaths(a1, b1);
    EXPECT_EQ(state.AvailText.rfind("Available Space: ", 0), 0u);
    EXPECT_NE(state.AvailText, "Available Space: n/a");
    EXPECT_GT(state.FreeSpace, 0);
    state = nw.GetNetWarePaths(a1, "relative/path");
    EXPECT_EQ(state.AvailText, "Available Space: n/a");
    // A target that does not exist yet shows the space where it will be made.
    for (const std::string& missing : {b1 + "/not/yet/made", b1 + "/new/"}) {
        state = nw.GetNetWarePaths(a1, missing);
        EXPECT_EQ(state.AvailText.rfind("Available Space: ", 0), 0u) << missing;
        EXPECT_NE(state.AvailText, "Available Space: n/a") << missing;
    }
}

// On NetWare the tightest space limit of the target directory and its ancestors counts where
// it leaves less than the volume's free space.
TEST_F(LocationsTest, AvailableSpaceOnNetWareHonoursTheSpaceLimits) {
    constexpr int64_t kVolume = -1;  // the volume's free space, which other programs change
    const struct {
        std::vector<SpaceLimitEntry> limits;
        int64_t shown;
    } rows[] = {
        {{}, kVolume},
        {{SpaceLimitEntry{2, kNoSpaceLimit, 0}}, kVolume},
        {{SpaceLimitEntry{2, 10, 4}}, 6 * 4096},
        {{SpaceLimitEntry{2, 100, 4}, SpaceLimitEntry{1, 20, 15}}, 5 * 4096},
        {{SpaceLimitEntry{2, 10, 12}}, 0},  // already over its limit
        {{SpaceLimitEntry{2, 0x7FFFFFF0, 0}}, kVolume},
    };
    for (const auto& row : rows) {
        client.limitList = row.limits;
        state = nw.GetNetWarePaths(a1, b1);
        if (row.shown == kVolume) {
            EXPECT_GT(state.FreeSpace, 1 << 20) << row.limits.size();
        } else {
            EXPECT_EQ(row.shown, state.FreeSpace) << row.limits.size();
        }
        EXPECT_EQ("Available Space: " + FormatSize(state.FreeSpace), state.AvailText);
    }
    // A local target asks no NetWare client about limits.
    client.limitList = {SpaceLimitEntry{2, 10, 4}};
    state = nw.GetNetWarePaths(a1, local);
    EXPECT_GT(state.FreeSpace, 6 * 4096);
}

TEST_F(LocationsTest, RightsWarningsInTheirOrder) {
    OptionSet options;  // everything in force
    client.rights[1] = client.rights[2] = 0;
    state = nw.GetNetWarePaths(a1, a2);
    EXPECT_EQ(nw.CheckRights(state, options),
              (Lines{"  Insufficient rights to scan files on source",
                     "  Insufficient rights to read all trustees on source",
                     "  Insufficient rights to move source files from source",
                     "  Insufficient rights to create files on target",
                     "  Insufficient rights to grant rights on target"}));

    // Without the trustee, mask and move options only the two unconditional lines remain.
    for (uint8_t o : {KeepDirectoryTrustees, KeepInheritedRightsMask, MoveFiles}) {
        options.SetTicked(o, false);
    }
    EXPECT_EQ(nw.CheckRights(state, options),
              (Lines{"  Insufficient rights to scan files on source",
                     "  Insufficient rights to create files on target"}));
    options.SetTicked(KeepInheritedRightsMask, true);  // either option brings both back
    client.rights[1] = Rights::Read | Rights::FileScan | Rights::Erase;
    client.rights[2] = Rights::Write | Rights::Create;
    state = nw.GetNetWarePaths(a1, a2);
    EXPECT_EQ(nw.CheckRights(state, options),
              (Lines{"  Insufficient rights to read all trustees on source",
                     "  Insufficient rights to grant rights on target"}));
    client.rights[1] = client.rights[2] = 0x1FF;
    state = nw.GetNetWarePaths(a1, a2);
    EXPECT_TRUE(nw.CheckRights(state, options).empty());
}

// The option rules fed with the facts of real lookups.
TEST_F(LocationsTest, OptionRulesUnderEachCombinationOfLocations) {
    constexpr uint16_t kFull = 0x1FF;
    constexpr uint16_t kNoAccessControl = 0x1FF & ~Rights::AccessControl;
    constexpr uint16_t kNoCreate = 0x1FF & ~Rights::Create;
    struct Case {
        bool sourceOnNetWare, targetOnNetWare;
        bool sameServer;
        uint16_t sourceRights, targetRights;
        bool netwareItems;   // items 8 to 12 enabled
        bool bidirectional;  // item 7 enabled
        bool start;          // the rules leave Start alone
    };
    const Case cases[] = {
        {false, false, false, 0, 0, false, true, true},
        {true, false, false, kFull, 0, false, true, true},
        {false, true, false, 0, kFull, false, true, true},
        {true, true, true, kFull, kFull, true, true, true},
        {true, true, false, kFull, kFull, true, true, true},
        {true, true, false, kNoAccessControl, kFull, false, true, true},
        {true, true, false, kFull, kNoAccessControl, false, true, true},
        {true, true, false, kNoCreate, kFull, true, false, true},
        {true, true, false, kFull, kNoCreate, true, true, false},
        {false, true, false, 0, kNoCreate, false, true, false},
        {true, false, false, kNoCreate, 0, false, false, true},
    };
    for (const Case& c : cases) {
        client.rights[1] = c.sourceRights;
        client.rights[2] = c.targetRights;
        const std::string source = c.sourceOnNetWare ? a1 : local;
        const std::string target = !c.targetOnNetWare ? local : c.sameServer ? b1 : a2;
        state = nw.GetNetWarePaths(source, target);
        OptionSet options;  // fresh: step 6 never gives item 7 back
        options.SetTicked(CopyBidirectional, false);
        const bool start = CheckBoxDependancies(options, FactsOf(state));
        for (uint8_t item : {KeepOwner, KeepDirectoryTrustees, KeepFileTrustees,
                             KeepInheritedRightsMask, KeepSpaceLimitations}) {
            EXPECT_EQ(options.Enabled(item), c.netwareItems) << int(item);
        }
        EXPECT_EQ(options.Enabled(CopyBidirectional), c.bidirectional);
        EXPECT_EQ(start, c.start);
    }
}

}  // namespace
}  // namespace ferrit
