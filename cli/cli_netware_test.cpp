// ferrit-cli with a NetWare client: the emulated servers named by --netware-config, or found in
// the configuration directory, or none.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_app.h"
#include "nwemu/config_text.h"
#include "nwemu/network.h"
#include "testing/emulated_servers.h"
#include "testing/odd_files.h"
#include "testing/scoped_env.h"
#include "testing/system.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace {

using namespace testing::StdIds;
using namespace nwemu;  // the emulated servers' metadata helpers

class CliNetWareTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // No description is found unless a test writes one.
        configDir = env.UseConfigDirectoryBelow(scratch.Dir("config"));
        testing::MakeDirs(configDir);
        config = testing::StandardServers(scratch);
        const uint16_t allButSupervisor = nwemu::kAllRights & ~Rights::Supervisor;
        Meta(scratch.Path("FS1/DATA")).WriteTrustees({{Fs1Jsmith, allButSupervisor}});
        Meta(scratch.Path("FS2/DATA")).WriteTrustees({{Fs2Jsmith, allButSupervisor}});
        configFile = scratch.File("servers.ini", nwemu::FormatConfig(config));
    }
    int Run(const std::vector<std::string>& args) {
        std::ostringstream o, e;
        std::istringstream in;
        const int code = RunCli(args, o, e, in, CliHooks{});
        out = testing::WithSlashes(o.str());  // paths as the tests spell them
        err = testing::WithSlashes(e.str());
        return code;
    }
    std::string P(const std::string& relative) const { return scratch.Path(relative); }
    // The metadata of an entry on the described volumes.
    nwemu::EntryMetadata Meta(const std::string& local) const {
        return nwemu::Network(config).Metadata(local);
    }

    testing::TempDir scratch;
    testing::ScopedEnv env;
    std::string configDir;  // where the program looks for its description
    nwemu::Config config;
    std::string configFile, out, err;
};

TEST_F(CliNetWareTest, CarriesEveryKindOfMetadataWithWarningsAsStatusLines) {
    const std::string a = scratch.File("FS1/DATA/SRC/A/A.TXT", "a");
    Meta(P("FS1/DATA/SRC/A")).WriteTrustees({{Fs1Mbrown, 0x4B}});
    Meta(P("FS1/DATA/SRC/A")).WriteLimit(100);
    Meta(a).WriteOwner(Fs1Mbrown);
    scratch.File("FS1/DATA/SRC/B/B.TXT", "b");
    scratch.Dir("FS2/DATA/TGT/B");
    uint16_t rwcf = 0;
    ASSERT_TRUE(nwemu::ParseRightsLetters("RWCF", rwcf));
    Meta(P("FS2/DATA/TGT/B")).WriteTrustees({{Fs2Jsmith, rwcf}});
    // Owners need Supervisor: JSMITH holds it on A's target.
    Meta(scratch.Dir("FS2/DATA/TGT/A")).WriteTrustees({{Fs2Jsmith, nwemu::kAllRights}});

    EXPECT_EQ(Run({"--netware-config=" + configFile, "--subdirs", "--create-dirs", "--keep-owner",
                   "--keep-dir-trustees", "--keep-file-trustees", "--keep-irm", "--keep-limits",
                   P("FS1/DATA/SRC"), P("FS2/DATA/TGT")}),
              kExitDone)
        << err;
    EXPECT_EQ(out, P("FS1/DATA/SRC/A") + "\n   A.TXT copied\n" + P("FS1/DATA/SRC/B") +
                       "\n  Insufficient rights to grant rights on target\n   B.TXT copied\n");
    std::vector<nwemu::Trustee> trustees;
    ASSERT_TRUE(Meta(P("FS2/DATA/TGT/A")).ReadTrustees(trustees));
    ASSERT_EQ(trustees.size(), 2u);  // JSMITH's own, then the one carried
    EXPECT_EQ(trustees[1].id, Fs2Mbrown);
    uint32_t value = 0;
    ASSERT_TRUE(Meta(P("FS2/DATA/TGT/A")).ReadLimit(value));
    EXPECT_EQ(value, 100u);
    ASSERT_TRUE(Meta(P("FS2/DATA/TGT/A/A.TXT")).ReadOwner(value));
    EXPECT_EQ(value, Fs2Mbrown);
    EXPECT_EQ(err.find("InitNetWare"), std::string::npos) << err;
}

// Metadata the target refuses fails the run; an object it does not know is only named.
TEST_F(CliNetWareTest, RefusedMetadataEndsWithStatusOneAnUnknownObjectDoesNot) {
    scratch.File("FS1/DATA/SRC/A/A.TXT", "a");
    const std::vector<std::string> flags = {"--netware-config=" + configFile, "--subdirs",
                                            "--create-dirs", "--keep-dir-trustees"};
    struct Row {
        NWObjectID trustee;
        std::string line;
        int status;
    } rows[] = {
        {Fs1Admin,
         "  Trustee CN=ADMIN.O=ACME [SRWCEMFA] not carried to FS2/DATA:T1\\A: 0x898C (No modify "
         "privileges)",
         kExitError},
        {Fs1Temp, "  not carried: no object CN=TEMP.O=ACME on FS3", kExitDone},
    };
    Meta(P("FS3/DATA")).WriteTrustees({{Fs3Jsmith, nwemu::kAllRights & ~Rights::Supervisor}});
    int n = 0;
    for (const Row& row : rows) {
        Meta(P("FS1/DATA/SRC/A")).WriteTrustees({{row.trustee, nwemu::kAllRights}});
        const std::string server = n == 0 ? "FS2" : "FS3";
        const std::string target = server + "/DATA/T" + std::to_string(++n);
        scratch.Dir(target);
        std::vector<std::string> args = flags;
        args.insert(args.end(), {P("FS1/DATA/SRC"), P(target)});
        EXPECT_EQ(Run(args), row.status) << err;
        EXPECT_EQ(out, testing::WithSlashes(P("FS1/DATA/SRC/A") + "\n   A.TXT copied\n" + row.line +
                                            "\n"));
    }
}

// A target root the run makes keeps the NetWare options: before the run it lies where its
// nearest existing parent lies, and once made it is looked up itself.
TEST_F(CliNetWareTest, ATargetRootTheRunMakesKeepsTheNetWareOptions) {
    const std::string a = scratch.File("FS1/DATA/SRC/A.TXT", "a");
    Meta(a).WriteOwner(Fs1Mbrown);
    Meta(a).WriteTrustees({{Fs1Sales, 0x41}});
    scratch.File("FS1/DATA/SRC/SUB/B.TXT", "b");
    Meta(P("FS1/DATA/SRC/SUB")).WriteTrustees({{Fs1Mbrown, 0x4B}});
    Meta(P("FS2/DATA")).WriteTrustees({{Fs2Jsmith, nwemu::kAllRights}});
    EXPECT_EQ(Run({"--netware-config=" + configFile, "--subdirs", "--create-dirs", "--keep-owner",
                   "--keep-dir-trustees", "--keep-file-trustees", P("FS1/DATA/SRC"),
                   P("FS2/DATA/NEW/ROOT")}),
              kExitDone)
        << err;
    EXPECT_EQ(err.find("not in force"), std::string::npos) << err;
    uint32_t owner = 0;
    EXPECT_TRUE(Meta(P("FS2/DATA/NEW/ROOT/A.TXT")).ReadOwner(owner) && owner == Fs2Mbrown);
    std::vector<nwemu::Trustee> trustees;
    ASSERT_TRUE(Meta(P("FS2/DATA/NEW/ROOT/A.TXT")).ReadTrustees(trustees));
    EXPECT_EQ(trustees[0].id, Fs2Sales);
    ASSERT_TRUE(Meta(P("FS2/DATA/NEW/ROOT/SUB")).ReadTrustees(trustees));
    EXPECT_EQ(trustees[0].id, Fs2Mbrown);
}

TEST_F(CliNetWareTest, TheDefaultDescriptionIsUsedWhenItExists) {
    scratch.File("FS1/DATA/SRC/A.TXT", "a");
    scratch.Dir("FS1/DATA/TGT");
    // Without a description the NetWare options are not in force.
    EXPECT_EQ(Run({"--keep-owner", P("FS1/DATA/SRC"), P("FS1/DATA/TGT")}), kExitDone);
    EXPECT_NE(err.find("\"Keep Owner\" is not in force"), std::string::npos) << err;
    // Only a Windows workstation looks for a client of its own, and says that it has none.
    EXPECT_EQ(err.find("Could not initialize NetWare Client. InitNetWare") != std::string::npos,
              testing::kOnWindows)
        << err;
    EXPECT_EQ(err.find("without NetWare"), std::string::npos) << err;

    testing::WriteFile(configDir + "/ferrit-netware.ini", nwemu::FormatConfig(config));
    Meta(P("FS1/DATA/SRC/A.TXT")).WriteOwner(Fs1Mbrown);
    Meta(P("FS1/DATA")).WriteTrustees({{Fs1Jsmith, nwemu::kAllRights}});  // owners need Supervisor
    EXPECT_EQ(Run({"--keep-owner", "--always", P("FS1/DATA/SRC"), P("FS1/DATA/TGT")}), kExitDone)
        << err;
    EXPECT_EQ(err.find("not in force"), std::string::npos) << err;
    uint32_t owner = 0;
    ASSERT_TRUE(Meta(P("FS1/DATA/TGT/A.TXT")).ReadOwner(owner));
    EXPECT_EQ(owner, Fs1Mbrown);
}

TEST_F(CliNetWareTest, ABadDescriptionIsReportedAndTheRunGoesOnWithoutNetWare) {
    scratch.File("FS1/DATA/SRC/A.TXT", "a");
    scratch.Dir("FS1/DATA/TGT");
    const std::string bad = scratch.File("bad.ini", "[server FS1]\nvolume = nowhere\n");
    EXPECT_EQ(Run({"--netware-config=" + bad, P("FS1/DATA/SRC"), P("FS1/DATA/TGT")}), kExitDone);
    EXPECT_EQ(err.rfind("ferrit-cli: " + bad + ":2: ", 0), 0u) << err;
    EXPECT_NE(err.find("(running without NetWare)"), std::string::npos);
    EXPECT_EQ(testing::ReadFile(P("FS1/DATA/TGT/A.TXT")), "a");

    EXPECT_EQ(Run({"--netware-config=" + P("missing.ini"), P("FS1/DATA/SRC"), P("FS1/DATA/TGT")}),
              kExitDone);
    EXPECT_NE(err.find("missing.ini"), std::string::npos) << err;
    EXPECT_EQ(Run({"--netware-config=", P("FS1/DATA/SRC"), P("FS1/DATA/TGT")}), kExitUsage);
}

// A description that is not a regular file of reasonable size, in the configuration directory
// or given by name, neither blocks nor grows the run: it is named on stderr and the run copies
// without NetWare.
class CliOddDescription : public CliNetWareTest,
                          public ::testing::WithParamInterface<testing::OddFile> {};

TEST_P(CliOddDescription, IsNamedAndTheRunGoesOnWithoutNetWare) {
    scratch.File("FS1/DATA/SRC/A.TXT", "a");
    scratch.Dir("FS1/DATA/TGT");
    const std::string odd = configDir + "/ferrit-netware.ini";
    ASSERT_TRUE(testing::MakeOddFile(odd, GetParam()));
    for (const std::string& flag : {std::string("--always"), "--netware-config=" + odd}) {
        EXPECT_EQ(Run({flag, "--keep-owner", P("FS1/DATA/SRC"), P("FS1/DATA/TGT")}), kExitDone)
            << err;
        EXPECT_EQ(err.rfind(testing::WithSlashes("ferrit-cli: " + odd + ": " +
                                                 testing::OddFileProblem(GetParam())) +
                                " (running without NetWare)\n",
                            0),
                  0u)
            << err;
        EXPECT_NE(err.find("\"Keep Owner\" is not in force: both paths must be on NetWare"),
                  std::string::npos)
            << err;
        EXPECT_EQ(testing::ReadFile(P("FS1/DATA/TGT/A.TXT")), "a");
    }
}

INSTANTIATE_TEST_SUITE_P(Odd, CliOddDescription, ::testing::ValuesIn(testing::AllOddFiles()),
                         [](const ::testing::TestParamInfo<testing::OddFile>& info) {
                             return std::string(testing::OddFileName(info.param));
                         });

}  // namespace
}  // namespace ferrit
