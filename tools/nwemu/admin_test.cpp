#include "tools/nwemu/admin.h"

#include <gtest/gtest.h>

#include "nwemu/client.h"
#include "nwemu/config_text.h"
#include "testing/emulated_servers.h"
#include "testing/system.h"

namespace ferrit {
namespace nwemu {
namespace {

using Scratch = testing::TempDir;

class NwEmuTest : public ::testing::Test {
  protected:
    NwEmuTest() : config(scratch.Path("cfg.ini")) {
        const AdminResult r = Run({"demo", scratch.Path("demo")});
        EXPECT_EQ(0, r.status) << r.err;
        demoOut = r.out;
    }
    AdminResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), "--config=" + config);
        AdminResult r = RunNwEmu(args);
        r.out = testing::WithSlashes(r.out);  // paths as the tests spell them
        r.err = testing::WithSlashes(r.err);
        return r;
    }
    std::string Fs(int server, const std::string& rel) {
        return scratch.Path("demo/FS" + std::to_string(server) + "/DATA" +
                            (rel.empty() ? "" : "/" + rel));
    }
    std::string Show(const std::string& path) {
        const AdminResult r = Run({"show", path});
        EXPECT_EQ(0, r.status) << r.err;
        return r.out;
    }

    Scratch scratch;
    std::string config;
    std::string demoOut;
};

TEST_F(NwEmuTest, DemoBuildsTheServersAndTellsWhereToLook) {
    for (const std::string& line :
         {"  From:                                        " + Fs(1, "PROJECTS"),
          "  To, same server (server-side copy):          " + Fs(1, "COPY"),
          "  To, other server of the tree (translated):   " + Fs(2, "TARGET"),
          "  To, bindery-only server (by leaf names):     " + Fs(3, "TARGET"),
          "  To, without Access Control for JSMITH:       " + Fs(2, "LOCKED")}) {
        EXPECT_NE(std::string::npos, demoOut.find(line + "\n")) << line;
    }
    EXPECT_EQ(testing::WithSlashes("path: " + Fs(1, "PROJECTS/ALPHA") +
                                   "\n"
                                   "server: FS1\n"
                                   "tree: ACME_TREE\n"
                                   "volume path: DATA:PROJECTS\\ALPHA\n"
                                   "owner: JSMITH 0x01000011 (login)\n"
                                   "trustees: 2\n"
                                   "trustee: JSMITH 0x01000011 [ RWCEMFA]\n"
                                   "trustee: MBROWN 0x01000012 [ RWCEMF ]\n"
                                   "irm: [ RWCE F ]\n"
                                   "limit: 2048 KB, used 8 KB\n"
                                   "login: JSMITH 0x01000011\n"
                                   "effective: [ RWCEMFA]\n"),
              Show(Fs(1, "PROJECTS/ALPHA")));
    EXPECT_NE(std::string::npos,
              Show(Fs(1, "PROJECTS/readme.txt")).find("owner: ADMIN 0x01000001\n"));
    EXPECT_NE(std::string::npos, Show(Fs(3, "")).find("tree: -\n"));
    EXPECT_NE(std::string::npos, Show(Fs(3, "")).find("limit: -\n"));

    // What the demonstration promises, as the client sees it.
    Config parsed;
    std::string error;
    ASSERT_TRUE(LoadConfig(config, parsed, error)) << error;
    Client client(parsed);
    NWCONN_HANDLE conn = 0;
    NWDIR_HANDLE dh = 0;
    std::string vp;
    uint16_t rights = 0;
    ASSERT_EQ(0, client.ParsePath(Fs(2, "LOCKED"), conn, dh, vp));
    ASSERT_EQ(0, client.GetEffectiveRights(conn, 0, vp, rights));
    EXPECT_EQ(0, rights & Rights::AccessControl);
    EXPECT_NE(0, rights & Rights::Create);
    ASSERT_EQ(0, client.ParsePath(Fs(1, "PROJECTS/BETA/NOTES"), conn, dh, vp));
    ASSERT_EQ(0, client.GetEffectiveRights(conn, 0, vp, rights));
    EXPECT_EQ(Rights::Read | Rights::FileScan, rights);
    for (const std::string& target : {Fs(1, "COPY"), Fs(2, "TARGET"), Fs(3, "TARGET")}) {
        ASSERT_EQ(0, client.ParsePath(target, conn, dh, vp));
        ASSERT_EQ(0, client.GetEffectiveRights(conn, 0, vp, rights));
        EXPECT_NE(0, rights & Rights::AccessControl) << target;
    }
}

TEST_F(NwEmuTest, DemoRefusesToOverwriteWithoutForce) {
    AdminResult r = Run({"demo", scratch.Path("other")});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(config + " exists; use --force to overwrite it\n", r.err);
    ASSERT_EQ(0, Run({"grant", Fs(2, "TARGET"), "MBROWN", "R"}).status);
    r = Run({"demo", scratch.Path("demo"), "--force"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, Show(Fs(2, "TARGET")).find("trustees: 0\n"));  // afresh
}

TEST_F(NwEmuTest, ChangesAreStoredWithTheEntryAndSeenByTheClient) {
    const std::string dir = Fs(2, "TARGET");
    ASSERT_EQ(0, Run({"grant", dir, "mbrown", "rwf"}).status);
    ASSERT_EQ(0, Run({"grant", dir, "CN=SALES.OU=SALES.O=ACME", "[ R    F ]"}).status);
    ASSERT_EQ(0, Run({"grant", dir, "0x0B000106", "RWCEF"}).status);  // replaces MBROWN's
    ASSERT_EQ(0, Run({"owner", dir, "ADMIN"}).status);
    ASSERT_EQ(0, Run({"irm", dir, "RFA"}).status);
    ASSERT_EQ(0, Run({"limit", dir, "1001"}).status);  // rounded up to 251 blocks
    std::string shown = Show(dir);
    EXPECT_NE(std::string::npos, shown.find("owner: ADMIN 0x0B000101\n"));
    EXPECT_NE(std::string::npos, shown.find("trustees: 2\n"
                                            "trustee: MBROWN 0x0B000106 [ RWCE F ]\n"
                                            "trustee: SALES 0x0C000201 [ R    F ]\n"));
    EXPECT_NE(std::string::npos, shown.find("irm: [ R    FA]\n"));
    EXPECT_NE(std::string::npos, shown.find("limit: 1004 KB, used 0 KB\n"));

    Config parsed;
    std::string error;
    ASSERT_TRUE(LoadConfig(config, parsed, error)) << error;
    Client client(parsed);
    const NWCONN_HANDLE fs2 = client.ConnectionOf("FS2");
    uint32_t iter = 0;
    TrusteeBatch batch;
    ASSERT_EQ(0, client.ScanTrustees(fs2, 0, "DATA:TARGET", iter, batch));
    EXPECT_EQ(0x0B000106u, batch[0].objectId);
    EXPECT_EQ(0x0C000201u, batch[1].objectId);
    EntryInfo info;
    ASSERT_EQ(0, client.ObtainEntryInfo(fs2, 0, "DATA:TARGET", 4, 4, 0x16, 0x0FFF, info));
    EXPECT_EQ(0x0B000101u, info.ownerId);
    NWDIR_HANDLE dh = 0;
    uint8_t mask = 0;
    ASSERT_EQ(0, client.AllocTemporaryDirectoryHandle(fs2, 0, "DATA:TARGET", dh, mask));
    std::vector<SpaceLimitEntry> list;
    ASSERT_EQ(0, client.GetDirSpaceLimitList(fs2, dh, list));
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(251u, list[0].maximum);

    ASSERT_EQ(0, Run({"revoke", dir, "SALES"}).status);
    ASSERT_EQ(0, Run({"limit", dir, "none"}).status);
    shown = Show(dir);
    EXPECT_NE(std::string::npos, shown.find("trustees: 1\n"));
    EXPECT_NE(std::string::npos, shown.find("limit: none\n"));
    // The administrator is not bound by the rights: LOCKED is changed although JSMITH lacks A.
    EXPECT_EQ(0, Run({"grant", Fs(2, "LOCKED"), "MBROWN", "all"}).status);
    EXPECT_EQ("[ RWCE F ]\n", Run({"rights", Fs(2, "LOCKED")}).out);
}

TEST_F(NwEmuTest, WrongRequestsAreRefusedWithAReason) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;  // the start of the message
    } cases[] = {
        {{"grant", Fs(3, "TARGET"), "ADMIN", "R"}, 1, "no object 'ADMIN' on server FS3"},
        {{"grant", Fs(1, "COPY"), "MBROWN", "RQ"}, 2, "rights must be letters of [SRWCEMFA]"},
        {{"revoke", Fs(1, "COPY"), "MBROWN"}, 1, "MBROWN is not a trustee of " + Fs(1, "COPY")},
        {{"limit", Fs(1, "PROJECTS/readme.txt"), "10"},
         1,
         Fs(1, "PROJECTS/readme.txt") + ": space limits belong to directories"},
        {{"limit", Fs(1, ""), "10"},
         1,
         Fs(1, "") + ": the root of a volume carries no directory space limit"},
        {{"limit", Fs(1, "COPY"), "-5"}, 2, "the limit must be a number of KB or 'none'"},
        {{"show", scratch.path()}, 1, scratch.path() + ": not on a volume of the emulated servers"},
        {{"show", Fs(1, "nothing")}, 1, Fs(1, "nothing") + ": does not exist"},
        {{"show"}, 2, "wrong number of arguments for show"},
        {{"paint", "x"}, 2, "unknown command paint"},
        {{"--colour", "show", "x"}, 2, "unknown option --colour"},
    };
    for (const Case& c : cases) {
        const AdminResult r = Run(c.args);
        EXPECT_EQ(c.status, r.status) << c.args[0];
        EXPECT_EQ(0u, r.err.find(c.err)) << r.err;
    }
    const AdminResult r = RunNwEmu({"--config=" + scratch.Path("none.ini"), "show", Fs(1, "")});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(0u, r.err.find(scratch.Path("none.ini") + ": cannot be read"));
}

}  // namespace
}  // namespace nwemu
}  // namespace ferrit
